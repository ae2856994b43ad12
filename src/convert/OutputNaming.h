#pragma once

#include <QString>

namespace kv {

// The output folder choice as the window holds it.
struct OutputFolderChoice {
    bool sameFolder = true; // optSameFolder, else optOtherFolder with txtOutPath
    QString outPath;        // txtOutPath
};

struct OutputName {
    enum class Outcome {
        Ok,               // path is free
        FolderNotCreated, // creating the folder failed: skip the row
        FolderMissing,    // the folder is still missing: show message 30012
        NoFreeName,       // every numbered name is taken
    };
    Outcome outcome = Outcome::Ok;
    QString path; // empty unless Ok
};

// Joins paths with "/", collapsing doubled separators except a leading pair.
QString NormalizeSeparators(const QString& path);

// A free output path for `sourcePath` with `extension` (no dot): the source's folder or the
// chosen one (its last component created when missing), the source's base name, then
// "_Converted", then "_Converted_0" to "_Converted_10000". Only files count as taken. A CD track
// ("TrackNN.cda") always goes to the chosen folder.
OutputName GetOutputFileName(const QString& sourcePath, const QString& extension,
                             const OutputFolderChoice& choice);

} // namespace kv
