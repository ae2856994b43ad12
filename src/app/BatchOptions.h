#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace kv {

// What a kelvanto-batch command line asks for. Paths are absolute and clean.
struct BatchRequest {
    enum class Command { Run, Help, Version };
    Command command = Command::Run;
    bool convert = false;
    QString format; // as given; empty for the one the window saved
    QString outDir; // empty for the saved folder choice
    bool sameFolder = false;
    QString languageFile;  // empty for the built-in English texts
    QStringList overrides; // "NAME=VALUE" for saved settings, in the order given
    QStringList wmaTags;   // "NAME=TEXT" for WMA tags, in the order given
    int jobs = -1;         // files converted at once; 0 one per core, -1 as saved
    bool noTags = false;   // the source's tags stay out of the outputs in this run
    bool recursive = false; // folders bring the files of their sub-folders too
    QStringList paths;
};

// One option of the tool. Options are table entries: parsing, the help text and the checks
// all come from this table.
struct BatchOption {
    QStringList names;   // without dashes: {"h", "help"}, {"out"}
    QString valueName;   // empty for a switch
    QString description; // one line of the help text
    bool convertOnly = false;
    // Applies the option's values (one per time it was given, none for a switch); returns the
    // bad-usage message, empty when all is well.
    std::function<QString(BatchRequest& request, const QStringList& values)> apply;
};

const std::vector<BatchOption>& BatchOptions();

// Parses the arguments (without the program name). False for bad usage, with the one-line
// message in `error`.
bool ParseBatchCommandLine(const QStringList& arguments, BatchRequest& request, QString& error);

QString BatchHelpText();

// `path` made absolute against the working folder, with "." and ".." parts and doubled
// separators taken out as text (links are not followed, so the names stay the user's).
QString AbsoluteCleanPath(const QString& path);

} // namespace kv
