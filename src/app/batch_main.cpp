// kelvanto-batch: the file list without a window. Adds each path as the window would and
// prints the resulting list, one row a line; with --convert, converts the list first through
// the window's own batch driver.
#include "convert/BatchDriver.h"
#include "convert/SettingsOptions.h"
#include "convert/StatusWriting.h"
#include "convert/WavConverter.h"
#include "convert/WmaConverter.h"
#include "engine/Decoders.h"
#include "filelist/AddFile2Grid.h"
#include "lang/Captions.h"
#include "lang/LanguageList.h"
#include "settings/SettingOverrides.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <QEventLoop>
#include <QHash>
#include <QTimer>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr int kExitAllAdded = 0;
constexpr int kExitSomeRefused = 1;
constexpr int kExitUsage = 2;

const char* const kUsage =
    "Usage: kelvanto-batch [--convert [--format wav|wma] [--set NAME=VALUE]...\n"
    "                      [--wma-tag NAME=TEXT]... [--out DIR | --same-folder]] [--] PATH...\n"
    "\n"
    "Adds each file to a file list as Kelvanto's window does, measuring its play length,\n"
    "and prints the list: one line per row, tab-separated fields\n"
    "  FilePath  Status  Duration  FileSize\n"
    "with the texts the list shows. In a field, a backslash, tab, line feed or carriage\n"
    "return is written as \\\\, \\t, \\n or \\r.\n"
    "A folder adds the files directly inside it (not its subfolders), in name order.\n"
    "Paths that are refused (already listed, extension not accepted, unreadable) are\n"
    "reported on standard error.\n"
    "Put -- before paths that begin with '-'.\n"
    "\n"
    "With --convert, the rows are then converted as the window's \"Convert All\" does:\n"
    "a progress line per file goes to standard error, and the printed list shows the\n"
    "final statuses with a fifth field, the output file. Options not given are taken\n"
    "from the settings the window saved. Ctrl+C stops after the current block; that file\n"
    "ends \"Cancelled\".\n"
    "\n"
    "Exit status: 0 when every path became a row (and, with --convert, no row ended in\n"
    "\"Error\"), 1 otherwise, 2 for bad usage.\n"
    "\n"
    "Options:\n"
    "  --convert         convert the rows after adding them\n"
    "  --format FORMAT   output format: wav or wma (the same as --set optFileFormat=0 or 1)\n"
    "  --set NAME=VALUE  use VALUE for the saved setting NAME in this run, without saving\n"
    "                    it; repeatable, names without regard to case (list below)\n"
    "  --wma-tag NAME=TEXT  write the WMA tag NAME (Title, Author, WM/AlbumTitle,\n"
    "                    Description, Rating, Copyright, WM/Genre or WM/Year) as TEXT;\n"
    "                    repeatable; any given writes the tags in this run\n"
    "  --out DIR         write the outputs into DIR (its last part is made when missing)\n"
    "  --same-folder     write each output beside its source\n"
    "  -h, --help        show this text\n"
    "\n"
    "Settings for --set, as NAME=DEFAULT and what VALUE may be:\n";

std::atomic<bool> interrupted{false};
extern "C" void onInterrupt(int) {
    interrupted = true;
}

void printErr(const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fputc('\n', stderr);
}

QString field(QString text) {
    text.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    text.replace(QLatin1Char('\t'), QLatin1String("\\t"));
    text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    text.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    return text;
}

class BatchHost final : public kv::AddFileHost {
public:
    void ShowAddFileError(const QString& text) override {
        QString line = text;
        line.replace(QChar(13), QLatin1String(": "));
        printErr(QStringLiteral("kelvanto-batch: %1: %2").arg(current, line));
    }
    QString current;
};

// Adds one file; false when it did not become a row.
bool addOne(QString path, kv::FileListModel& model, BatchHost& host) {
    host.current = path;
    const kv::AddFileResult r = kv::AddFile(path, model, host);
    switch (r) {
    case kv::AddFileResult::Added:
        return true;
    case kv::AddFileResult::Duplicate:
        printErr(QStringLiteral("kelvanto-batch: %1: refused, already in the list").arg(path));
        return false;
    case kv::AddFileResult::NotAccepted:
        printErr(
            QStringLiteral("kelvanto-batch: %1: refused, not an accepted extension").arg(path));
        return false;
    case kv::AddFileResult::Failed:
        return false;
    }
    return false;
}

bool addFolder(const QString& folder, kv::FileListModel& model, BatchHost& host) {
    const QDir dir(folder);
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    if (names.isEmpty()) {
        printErr(QStringLiteral("kelvanto-batch: %1: Selected Folder is empty.").arg(folder));
        return false;
    }
    // A folder that ends in "/" gets no second one: "//" at the front would read as a network
    // path and stay.
    const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    bool all = true;
    for (const QString& name : names)
        all = addOne(prefix + name, model, host) && all;
    return all;
}

int formatIndex(const QString& name) {
    for (int f = kv::kFormatWAV; f <= kv::kFormatOGG; ++f) {
        if (name.compare(kv::OutputExtension(f), Qt::CaseInsensitive) == 0)
            return f;
    }
    return -1;
}

// Converts every waiting row; false when some row ended in "Error".
bool convertAll(kv::FileListModel& model, const kv::ConversionOptions& options,
                QHash<kv::FileListRowId, QString>& outputs) {
    kv::BatchDriver driver;
    driver.setConverter(
        kv::kFormatWAV,
        [](const QString& source, const QString& output, const kv::ConversionOptions&,
           kv::ConversionControl& control) { return kv::ConvertToWAV(source, output, control); });
    driver.setConverter(kv::kFormatWMA,
                        [](const QString& source, const QString& output,
                           const kv::ConversionOptions& options, kv::ConversionControl& control) {
                            return kv::ConvertToWMA(source, output, options.wma, control);
                        });
    driver.setOptions(options);
    const bool tty = isatty(fileno(stderr)) != 0;
    bool anyError = false;
    QHash<kv::FileListRowId, QString> sources;
    QObject::connect(&driver, &kv::BatchDriver::fileStarted, &driver,
                     [&](kv::FileListRowId id, const QString& source, const QString& output) {
                         sources.insert(id, source);
                         outputs.insert(id, output);
                     });
    QObject::connect(&driver, &kv::BatchDriver::fileProgress, &driver,
                     [&](kv::FileListRowId id, double percent) {
                         kv::WriteProgress(model, id, percent);
                         if (tty)
                             std::fprintf(stderr, "\r%s: %5.1f%%",
                                          sources.value(id).toLocal8Bit().constData(), percent);
                     });
    QObject::connect(&driver, &kv::BatchDriver::fileFinished, &driver,
                     [&](kv::FileListRowId id, kv::FileOutcome outcome, const QString& output) {
                         kv::WriteFinalStatus(model, id, outcome);
                         anyError |= outcome == kv::FileOutcome::Error;
                         if (tty)
                             std::fputc('\r', stderr);
                         printErr(
                             QStringLiteral("%1: %2 -> %3")
                                 .arg(sources.value(id), kv::FinalStatusText(outcome),
                                      output.isEmpty() ? QStringLiteral("(no output)") : output));
                     });
    QObject::connect(&driver, &kv::BatchDriver::outputFolderMissing, &driver, [] {
        printErr(QStringLiteral("kelvanto-batch: ") +
                 kv::GetCaption(
                     30012, QStringLiteral("Output Folder is not exist and can not be created.")));
    });
    QEventLoop loop;
    QObject::connect(&driver, &kv::BatchDriver::finished, &loop, &QEventLoop::quit);
    // Ctrl+C asks the batch to stop, as the window's Stop button does.
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &driver, [&] {
        if (interrupted)
            driver.requestStop();
    });
    watch.start(50);
    const std::vector<kv::BatchRow> rows = kv::BatchRowsOf(*model.table());
    driver.start(rows, false);
    loop.exec();
    // A waiting row the batch could not start (its output folder cannot be made) failed too.
    for (const kv::BatchRow& row : rows) {
        if (row.waiting && !sources.contains(row.id) && !interrupted) {
            printErr(QStringLiteral("kelvanto-batch: %1: the output folder cannot be created")
                         .arg(row.path));
            anyError = true;
        }
    }
    return !anyError;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Kelvanto"));
    QCoreApplication::setOrganizationName(QStringLiteral("Kelvanto"));

    QStringList paths;
    bool options = true;
    bool convert = false;
    QString format, outDir;
    QStringList overrides, wmaTags;
    bool sameFolder = false;
    const QStringList args = QCoreApplication::arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (options && arg == QLatin1String("--")) {
            options = false;
        } else if (options && arg == QLatin1String("--convert")) {
            convert = true;
        } else if (options && arg == QLatin1String("--same-folder")) {
            sameFolder = true;
        } else if (options && (arg == QLatin1String("--format") || arg == QLatin1String("--out"))) {
            if (!hasValue) {
                printErr(QStringLiteral("kelvanto-batch: %1 needs a value").arg(arg));
                return kExitUsage;
            }
            (arg == QLatin1String("--format") ? format : outDir) = args[++i];
        } else if (options && arg == QLatin1String("--set")) {
            if (!hasValue) {
                printErr(QStringLiteral("kelvanto-batch: --set needs NAME=VALUE"));
                return kExitUsage;
            }
            overrides << args[++i];
        } else if (options && arg == QLatin1String("--wma-tag")) {
            if (!hasValue) {
                printErr(QStringLiteral("kelvanto-batch: --wma-tag needs NAME=TEXT"));
                return kExitUsage;
            }
            wmaTags << args[++i];
        } else if (options && (arg == QLatin1String("-h") || arg == QLatin1String("--help"))) {
            std::fputs(kUsage, stdout);
            std::fputs(kv::SettingOverrideHelp().join(QLatin1Char('\n')).toLocal8Bit() + '\n',
                       stdout);
            return kExitAllAdded;
        } else if (options && arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            printErr(QStringLiteral("kelvanto-batch: unknown option %1 (put -- before paths "
                                    "that begin with '-')")
                         .arg(arg));
            std::fputs(kUsage, stderr);
            return kExitUsage;
        } else {
            paths << arg;
        }
    }
    if (paths.isEmpty()) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    if (!convert && (!format.isEmpty() || !outDir.isEmpty() || sameFolder || !overrides.isEmpty() ||
                     !wmaTags.isEmpty())) {
        printErr(QStringLiteral("kelvanto-batch: --format, --set, --wma-tag, --out and "
                                "--same-folder go with --convert"));
        return kExitUsage;
    }
    if (!outDir.isEmpty() && sameFolder) {
        printErr(QStringLiteral("kelvanto-batch: --out and --same-folder exclude each other"));
        return kExitUsage;
    }
    kv::ConversionOptions conversion;
    if (convert) {
        if (!format.isEmpty()) {
            if (formatIndex(format) < 0) {
                printErr(QStringLiteral("kelvanto-batch: --format takes wav, wma, mp3 or ogg"));
                return kExitUsage;
            }
            overrides << QStringLiteral("optFileFormat=%1").arg(formatIndex(format));
        }
        QString error;
        if (!kv::SavedConversionOptions(overrides, conversion, error)) {
            printErr(QStringLiteral("kelvanto-batch: ") + error);
            return kExitUsage;
        }
        for (const QString& tag : wmaTags) {
            error = kv::ApplyWmaTagOption(conversion.wma, tag);
            if (!error.isEmpty()) {
                printErr(QStringLiteral("kelvanto-batch: ") + error);
                return kExitUsage;
            }
        }
        if (!outDir.isEmpty())
            conversion.folder = {false, outDir};
        if (sameFolder)
            conversion.folder = {true, QString()};
        if (conversion.outputFormat != kv::kFormatWAV &&
            conversion.outputFormat != kv::kFormatWMA) {
            const QString name =
                format.isEmpty() ? kv::OutputExtension(conversion.outputFormat).toUpper() : format;
            printErr(QStringLiteral("kelvanto-batch: %1 output is not available; use --format wav "
                                    "or wma")
                         .arg(name.isEmpty() ? QStringLiteral("this") : name));
            return kExitUsage;
        }
    }

    // The language chosen in the window, without storing a choice of our own.
    const QString language = kv::ReadLanguageSetting();
    if (!language.isEmpty())
        kv::SetLanguageFile(language);
    kv::RegisterDecoders();

    kv::FileListModel model;
    BatchHost host;
    bool all = true;
    for (const QString& path : paths) {
        if (QFileInfo(path).isDir())
            all = addFolder(path, model, host) && all;
        else
            all = addOne(path, model, host) && all;
    }

    QHash<kv::FileListRowId, QString> outputs;
    bool anyError = false;
    if (convert)
        anyError = !convertAll(model, conversion, outputs);

    const kv::FileListTable& table = *model.table();
    for (int i = 0; i < table.rowCount(); ++i) {
        const kv::FileListRow& row = table.row(i);
        QString line = field(row.FilePath) + QLatin1Char('\t') + field(row.Status) +
                       QLatin1Char('\t') + field(row.Duration) + QLatin1Char('\t') +
                       field(row.FileSize);
        if (convert)
            line += QLatin1Char('\t') + field(outputs.value(table.idAt(i)));
        line += QLatin1Char('\n');
        std::fputs(line.toLocal8Bit().constData(), stdout);
    }
    std::fflush(stdout);
    return all && !anyError ? kExitAllAdded : kExitSomeRefused;
}
