#include "app/BatchOptions.h"

#include "convert/BatchDriver.h"
#include "settings/SettingOverrides.h"

#include <QCommandLineParser>
#include <QDir>

namespace kv {
namespace {
const char* const kUsageLine = "Usage: kelvanto-batch [options] [--] PATH...\n";

const char* const kDescription =
    "\n"
    "Adds each file to a file list as Kelvanto's window does, measuring its play length,\n"
    "and prints the list: one line per row, tab-separated fields\n"
    "  FilePath  Status  Duration  FileSize\n"
    "with the texts the list shows, in English unless --language is given.\n"
    "In every field and message, a backslash, tab, line feed, carriage return or escape is\n"
    "written as \\\\, \\t, \\n, \\r or \\e; any other control character, and each byte\n"
    "of a name that is not UTF-8, as \\xHH (a control character U+0080 to U+009F as the\n"
    "two bytes of its UTF-8 form, \\xC2\\xHH). Read back, a path gives its exact bytes.\n"
    "Paths are made absolute first, so one file named in several ways is one row.\n"
    "A folder adds the files directly inside it, in name order; with --recursive, those\n"
    "of its sub-folders follow (hidden folders and folders already entered are skipped).\n"
    "A CD drive (/dev/sr0), the folder its disc is mounted on or a BIN/CUE image (.cue)\n"
    "adds the disc's audio tracks as DRIVE/TrackNN.cda; their outputs are named TrackNN\n"
    "and always go to the output folder.\n"
    "Paths that are refused (extension not accepted, unreadable) are reported on standard\n"
    "error. Put -- before paths that begin with '-'.\n"
    "\n"
    "With --convert, the rows are then converted as the window's \"Convert All\" does:\n"
    "a progress line per file goes to standard error, and the printed list shows the\n"
    "final statuses with a fifth field, the output file (empty when none was left).\n"
    "Options not given are taken from the settings the window saved. With --jobs N (or\n"
    "the saved spnSimultaneous), N files are converted at once, started in list order.\n"
    "Ctrl+C, SIGTERM or SIGHUP (the terminal closed) stops after the current block; the\n"
    "files being converted end \"Cancelled\" and the list is printed. A second signal\n"
    "does the same. The encoders end with the tool, however it ends.\n";

const char* const kExitStatus =
    "\n"
    "Exit status:\n"
    "  0        every path is in the list and, with --convert, every row ended \"Complete\"\n"
    "  1        a path was refused, or a row was not converted (\"Codec Not Supported\",\n"
    "           \"Error\", \"Cancelled\", or its output folder cannot be made)\n"
    "  2        bad usage\n"
    "  129      stopped by SIGHUP (the terminal closed)\n"
    "  130      stopped by Ctrl+C (SIGINT)\n"
    "  143      stopped by SIGTERM\n";

QString switchOn(bool& flag) {
    flag = true;
    return QString();
}
} // namespace

const std::vector<BatchOption>& BatchOptions() {
    static const std::vector<BatchOption> options{
        {{QStringLiteral("convert")},
         {},
         QStringLiteral("convert the rows after adding them"),
         false,
         [](BatchRequest& r, const QStringList&) { return switchOn(r.convert); }},
        {{QStringLiteral("format")},
         QStringLiteral("FORMAT"),
         QStringLiteral("output format: wav, wma, mp3, ogg, flac, opus or m4a (as --set "
                        "optFileFormat)"),
         true,
         [](BatchRequest& r, const QStringList& values) {
             r.format = values.last();
             return r.format.isEmpty() ? QStringLiteral("--format needs a format") : QString();
         }},
        {{QStringLiteral("set")},
         QStringLiteral("NAME=VALUE"),
         QStringLiteral("use VALUE for the saved setting NAME in this run, without saving it; "
                        "repeatable, names without regard to case (list below)"),
         true,
         [](BatchRequest& r, const QStringList& values) {
             r.overrides += values;
             return QString();
         }},
        {{QStringLiteral("wma-tag")},
         QStringLiteral("NAME=TEXT"),
         QStringLiteral("write the WMA tag NAME (Title, Author, WM/AlbumTitle, Description, "
                        "Rating, Copyright, WM/Genre or WM/Year) as TEXT; repeatable; any given "
                        "writes the tags in this run"),
         true,
         [](BatchRequest& r, const QStringList& values) {
             r.wmaTags += values;
             return QString();
         }},
        {{QStringLiteral("jobs")},
         QStringLiteral("N"),
         QStringLiteral("convert N files at once (1 to 64; 0 for one per core) instead of the "
                        "saved spnSimultaneous"),
         true,
         [](BatchRequest& r, const QStringList& values) {
             bool ok = false;
             r.jobs = values.last().toInt(&ok);
             return ok && r.jobs >= 0 && r.jobs <= kMaxJobs
                        ? QString()
                        : QStringLiteral("--jobs takes a number from 0 to %1").arg(kMaxJobs);
         }},
        {{QStringLiteral("no-tags")},
         {},
         QStringLiteral("leave the source's tags out of the outputs in this run "
                        "(as --set chkCopyTags=False)"),
         true,
         [](BatchRequest& r, const QStringList&) { return switchOn(r.noTags); }},
        {{QStringLiteral("recursive")},
         {},
         QStringLiteral("a folder PATH brings the files of its sub-folders too, hidden "
                        "folders and links back up the tree left out (as --set "
                        "chkSubfolders=True)"),
         false,
         [](BatchRequest& r, const QStringList&) { return switchOn(r.recursive); }},
        {{QStringLiteral("out")},
         QStringLiteral("DIR"),
         QStringLiteral("write the outputs into DIR (its last part is made when missing)"),
         true,
         [](BatchRequest& r, const QStringList& values) {
             if (values.last().isEmpty())
                 return QStringLiteral("--out needs a folder");
             r.outDir = AbsoluteCleanPath(values.last());
             return QString();
         }},
        {{QStringLiteral("same-folder")},
         {},
         QStringLiteral("write each output beside its source"),
         true,
         [](BatchRequest& r, const QStringList&) { return switchOn(r.sameFolder); }},
        {{QStringLiteral("language")},
         QStringLiteral("FILE"),
         QStringLiteral("texts from this language file (a name in the program's Lang folder, "
                        "or a path)"),
         false,
         [](BatchRequest& r, const QStringList& values) {
             r.languageFile = values.last();
             return r.languageFile.isEmpty() ? QStringLiteral("--language needs a file")
                                             : QString();
         }},
        {{QStringLiteral("h"), QStringLiteral("help")},
         {},
         QStringLiteral("show this text"),
         false,
         [](BatchRequest& r, const QStringList&) {
             r.command = BatchRequest::Command::Help;
             return QString();
         }},
        {{QStringLiteral("version")},
         {},
         QStringLiteral("show the version"),
         false,
         [](BatchRequest& r, const QStringList&) {
             if (r.command == BatchRequest::Command::Run)
                 r.command = BatchRequest::Command::Version;
             return QString();
         }},
    };
    return options;
}

QString AbsoluteCleanPath(const QString& path) {
    return QDir::cleanPath(QDir::current().absoluteFilePath(path));
}

bool ParseBatchCommandLine(const QStringList& arguments, BatchRequest& request, QString& error) {
    QCommandLineParser parser;
    // "-out" is the option "out", not the letters o, u, t.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const BatchOption& option : BatchOptions())
        parser.addOption(QCommandLineOption(option.names, option.description, option.valueName));
    if (!parser.parse(QStringList{QStringLiteral("kelvanto-batch")} + arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (unknown.isEmpty()) {
            error = parser.errorText();
        } else {
            const QString& name = unknown.first();
            error = QStringLiteral("unknown option %1%2")
                        .arg(name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--"), name);
        }
        return false;
    }
    bool convertOnlyGiven = false;
    QString convertOnlyName;
    for (const BatchOption& option : BatchOptions()) {
        const QString& name = option.names.last();
        if (!parser.isSet(name))
            continue;
        if (option.convertOnly && convertOnlyName.isEmpty()) {
            convertOnlyGiven = true;
            convertOnlyName = name;
        }
        error = option.apply(request, parser.values(name));
        if (!error.isEmpty())
            return false;
    }
    if (request.command != BatchRequest::Command::Run)
        return true;
    if (convertOnlyGiven && !request.convert) {
        error = QStringLiteral("--%1 goes with --convert").arg(convertOnlyName);
        return false;
    }
    if (!request.outDir.isEmpty() && request.sameFolder) {
        error = QStringLiteral("--out and --same-folder exclude each other");
        return false;
    }
    const QStringList paths = parser.positionalArguments();
    if (paths.isEmpty()) {
        error = QStringLiteral("no PATH given");
        return false;
    }
    for (const QString& path : paths) {
        if (path.isEmpty()) {
            error = QStringLiteral("an empty PATH");
            return false;
        }
        request.paths << AbsoluteCleanPath(path);
    }
    return true;
}

QString BatchHelpText() {
    constexpr int kDescriptionColumn = 23, kHelpWidth = 80;
    QString text = QString::fromLatin1(kUsageLine) + QString::fromLatin1(kDescription) +
                   QStringLiteral("\nOptions:\n");
    for (const BatchOption& option : BatchOptions()) {
        QStringList spelled;
        for (const QString& name : option.names)
            spelled << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
        QString left = QStringLiteral("  ") + spelled.join(QStringLiteral(", "));
        if (!option.valueName.isEmpty())
            left += QLatin1Char(' ') + option.valueName;
        // The description goes on under itself, word by word, within a terminal's width.
        QString line = left.leftJustified(kDescriptionColumn - 1) + QLatin1Char(' ');
        qsizetype start = line.size();
        for (const QString& word : option.description.split(QLatin1Char(' '))) {
            if (line.size() > start && line.size() + 1 + word.size() > kHelpWidth) {
                text += line + QLatin1Char('\n');
                line = QString(kDescriptionColumn, QLatin1Char(' '));
                start = line.size();
            }
            if (line.size() > start)
                line += QLatin1Char(' ');
            line += word;
        }
        text += line + QLatin1Char('\n');
    }
    text += QStringLiteral("\nSettings for --set, as NAME=DEFAULT and what VALUE may be:\n");
    text += SettingOverrideHelp().join(QLatin1Char('\n')) + QLatin1Char('\n');
    return text + QString::fromLatin1(kExitStatus);
}

} // namespace kv
