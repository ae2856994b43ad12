#pragma once

#include <QString>

#include <cstdint>

class QFile;

namespace kv {

// The output folder choice as the window holds it.
struct OutputFolderChoice {
    bool sameFolder = true; // optSameFolder, else optOtherFolder with txtOutPath
    QString outPath;        // txtOutPath
    bool operator==(const OutputFolderChoice&) const = default;
};

// Which file a claim made, so that only that file is ever removed again.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool isValid() const { return device != 0 || inode != 0; }
};

struct OutputName {
    enum class Outcome {
        Ok,               // path is ours (see GetOutputFileName)
        FolderNotCreated, // creating the folder failed: skip the row
        FolderMissing,    // the folder is still missing: show message 30012
        NoFreeName,       // every numbered name is taken
        NotCreated,       // the output file cannot be made there (no access, disk full...)
    };
    Outcome outcome = Outcome::Ok;
    QString path;       // Ok: the output; NotCreated: the name that failed
    QString error;      // FolderNotCreated, NotCreated: the folder or file and the system's reason
    FileIdentity claim; // the empty file made for Ok; invalid when a folder holds the name
};

// Joins paths with "/", collapsing doubled separators except a leading pair.
QString NormalizeSeparators(const QString& path);

// Picks and claims an output path for `sourcePath` with `extension` (no dot): the source's
// folder or the chosen one (its last component created when missing), the source's base name,
// then "_Converted", then "_Converted_0" to "_Converted_10000". A name is claimed by creating
// it as an empty file, exclusively: a name that another run took meanwhile goes on to the next
// number, and nothing is ever overwritten. Only files (and links) count as taken: a folder
// holding a candidate's name gives that name unclaimed, and its conversion fails. A CD track
// ("TrackNN.cda") always goes to the chosen folder.
OutputName GetOutputFileName(const QString& sourcePath, const QString& extension,
                             const OutputFolderChoice& choice);

// Removes the claimed file of `name` when it is still the very file the claim made and still
// empty: a conversion that failed leaves no empty file behind.
void ReleaseOutputClaim(const OutputName& name);

// How a converter opens its output for writing: the empty file that GetOutputFileName claimed
// is taken over in place; a missing file is created exclusively. Anything else (a file with
// data, a link, a folder) is refused, so nothing is overwritten. The file is open for reading
// and writing, unbuffered. `error` gets the file and the system's reason. Encoders that write to a path themselves may truncate the claimed file: it
// is theirs alone.
bool OpenClaimedOutput(QFile& file, const QString& path, QString* error = nullptr);

// "<path>: <the system's text for errno>".
QString SystemErrorText(const QString& path, int errorNumber);

} // namespace kv
