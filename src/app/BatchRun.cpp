#include "app/BatchRun.h"

#include "app/SignalWatch.h"
#include "convert/BatchDriver.h"
#include "convert/Converters.h"
#include "convert/SettingsOptions.h"
#include "convert/StatusWriting.h"
#include "engine/Decoders.h"
#include "filelist/AddFile2Grid.h"
#include "filelist/PathExpansion.h"
#include "formats/Format.h"
#include "formats/WmaFormat.h"
#include "lang/Captions.h"
#include "settings/NativePath.h"
#include "settings/OutputSettings.h"
#include "settings/SettingOverrides.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace kv {
namespace {

// Names may hold anything a file name can: nothing reaches the terminal unescaped.
void printErr(const QString& text) {
    std::fputs((PrintableText(text) + QLatin1Char('\n')).toUtf8().constData(), stderr);
}

QString field(const QString& text) {
    return PrintableText(text);
}

class BatchHost final : public AddFileHost {
public:
    void ShowAddFileError(const QString& text) override {
        QString line = text;
        line.replace(QChar(13), QLatin1String(": "));
        printErr(QStringLiteral("kelvanto-batch: %1: %2").arg(current, line));
    }
    QString current;
};

// Adds one file; false when it is not in the list. A path listed already is in it.
bool addOne(QString path, FileListModel& model, BatchHost& host) {
    host.current = path;
    switch (AddFile(path, model, host)) {
    case AddFileResult::Added:
        return true;
    case AddFileResult::Duplicate:
        printErr(QStringLiteral("kelvanto-batch: %1: already in the list").arg(path));
        return true;
    case AddFileResult::NotAccepted:
        printErr(
            QStringLiteral("kelvanto-batch: %1: refused, not an accepted extension").arg(path));
        return false;
    case AddFileResult::Failed:
        return false;
    case AddFileResult::NameNotReadable:
        printErr(QStringLiteral("kelvanto-batch: %1: refused, more than one file has this name")
                     .arg(path));
        return false;
    }
    return false;
}

// Adds what a path stands for: a folder's files, a disc's audio tracks, or the file itself.
bool addPath(const QString& path, bool recursive, FileListModel& model, BatchHost& host) {
    const PathsToAdd add = ExpandPathForAdding(path, recursive);
    if (add.empty) {
        printErr(QStringLiteral("kelvanto-batch: %1: Selected Folder is empty.").arg(path));
        return false;
    }
    bool all = true;
    for (const QString& p : add.paths) {
        if (SignalWatch::Received())
            break;
        all = addOne(p, model, host) && all;
    }
    return all;
}

int formatIndex(const QString& name) {
    for (const Format* f : Formats()) {
        if (name.compare(f->extension(), Qt::CaseInsensitive) == 0)
            return f->id();
    }
    return -1;
}

// A name in the language folder, else a path. False when no such file can be read.
bool applyLanguage(const QString& file, QString& error) {
    if (file.isEmpty()) {
        SetLanguageFile(QString());
        return true;
    }
    const bool inFolder =
        !file.contains(QLatin1Char('/')) && QFileInfo(LanguageFolder() + file).isFile();
    const QString path = inFolder ? LanguageFolder() + file : AbsoluteCleanPath(file);
    const QString problem = LanguageFileProblem(path);
    if (!problem.isEmpty()) {
        error = path + QStringLiteral(": ") + problem;
        return false;
    }
    SetLanguageFile(inFolder ? file : path);
    return true;
}

// Converts every waiting row; the rows that ended "Complete" go into `completed`.
void convertAll(FileListModel& model, const ConversionOptions& options,
                QHash<FileListRowId, QString>& outputs, QSet<FileListRowId>& completed,
                BatchDriver*& running) {
    BatchDriver driver;
    RegisterConverters(driver);
    driver.setOptions(options);
    const bool tty = isatty(fileno(stderr)) != 0;
    QHash<FileListRowId, QString> sources;
    // The files being converted and their progress, in the order they started.
    std::vector<std::pair<FileListRowId, double>> converting;
    const auto showProgress = [&] {
        std::vector<std::pair<QString, double>> line;
        for (const auto& [id, percent] : converting)
            line.emplace_back(sources.value(id), percent);
        // "\e[K" clears what a longer line left behind.
        std::fprintf(stderr, "\r%s\033[K",
                     PrintableText(ProgressLineText(line)).toUtf8().constData());
    };
    QObject::connect(&driver, &BatchDriver::fileStarted, &driver,
                     [&](FileListRowId id, const QString& source, const QString&) {
                         sources.insert(id, source);
                         converting.emplace_back(id, 0.0);
                     });
    QObject::connect(&driver, &BatchDriver::fileProgress, &driver,
                     [&](FileListRowId id, double percent) {
                         WriteProgress(model, id, percent);
                         for (auto& [runningId, shown] : converting) {
                             if (runningId == id)
                                 shown = percent;
                         }
                         if (tty)
                             showProgress();
                     });
    QObject::connect(
        &driver, &BatchDriver::fileFinished, &driver,
        [&](FileListRowId id, FileOutcome outcome, const QString& output, const QString& error) {
            WriteFinalStatus(model, id, outcome);
            // Outputs are made through Qt's file names, which write a byte of the source's
            // name that is not UTF-8 as U+FFFD: printed so, the path names the file made.
            const QString made = DisplayPath(output);
            outputs.insert(id, made);
            if (outcome == FileOutcome::Complete)
                completed.insert(id);
            std::erase_if(converting, [id](const auto& entry) { return entry.first == id; });
            if (tty)
                std::fputs("\r\033[K", stderr);
            const QString status = FinalStatusText(outcome);
            if (outcome == FileOutcome::Error && !error.isEmpty())
                printErr(QStringLiteral("%1: %2: %3").arg(sources.value(id), status, error));
            else
                printErr(QStringLiteral("%1: %2 -> %3")
                             .arg(sources.value(id), status,
                                  made.isEmpty() ? QStringLiteral("(no output)") : made));
        });
    QObject::connect(&driver, &BatchDriver::fileSkipped, &driver,
                     [](FileListRowId, const QString& source, const QString& error) {
                         printErr(QStringLiteral("kelvanto-batch: %1: the output folder cannot be "
                                                 "created: %2")
                                      .arg(source, error));
                     });
    QObject::connect(&driver, &BatchDriver::outputFolderMissing, &driver, [] {
        printErr(QStringLiteral("kelvanto-batch: ") +
                 GetCaption(30012,
                            QStringLiteral("Output Folder is not exist and can not be created.")));
    });
    QEventLoop loop;
    QObject::connect(&driver, &BatchDriver::finished, &loop, &QEventLoop::quit);
    running = &driver;
    driver.start(BatchRowsOf(*model.table()), false);
    loop.exec();
    running = nullptr;
}

} // namespace

QString ProgressLineText(const std::vector<std::pair<QString, double>>& running) {
    const auto percent = [](double p) { return QString::asprintf("%5.1f%%", p); };
    if (running.size() == 1)
        return running.front().first + QStringLiteral(": ") + percent(running.front().second);
    QStringList parts;
    for (const auto& [source, p] : running)
        parts << QFileInfo(source).fileName() + QStringLiteral(": ") + percent(p);
    return parts.join(QStringLiteral("  "));
}

int RunBatch(const BatchRequest& request) {
    QString error;
    if (!applyLanguage(request.languageFile, error)) {
        printErr(QStringLiteral("kelvanto-batch: ") + error);
        return kBatchExitUsage;
    }
    ConversionOptions conversion;
    if (request.convert) {
        QStringList overrides = request.overrides;
        if (!request.format.isEmpty()) {
            if (formatIndex(request.format) < 0) {
                printErr(QStringLiteral(
                    "kelvanto-batch: --format takes wav, wma, mp3, ogg, flac, opus or m4a"));
                return kBatchExitUsage;
            }
            // --format wins over --set optFileFormat.
            overrides << QStringLiteral("optFileFormat=%1").arg(formatIndex(request.format));
        }
        if (!SavedConversionOptions(overrides, conversion, error)) {
            printErr(QStringLiteral("kelvanto-batch: ") + error);
            return kBatchExitUsage;
        }
        for (const QString& tag : request.wmaTags) {
            error = ApplyWmaTagOption(conversion.wma, tag);
            if (!error.isEmpty()) {
                printErr(QStringLiteral("kelvanto-batch: ") + error);
                return kBatchExitUsage;
            }
        }
        if (request.jobs >= 0)
            conversion.jobs = request.jobs == 0 ? JobsPerCore() : request.jobs;
        if (request.noTags)
            conversion.copyTags = false;
        if (!request.outDir.isEmpty())
            conversion.folder = {false, request.outDir};
        // CD tracks still go to the saved output folder.
        if (request.sameFolder)
            conversion.folder.sameFolder = true;
        BatchDriver registered;
        RegisterConverters(registered);
        if (!registered.hasConverter(conversion.outputFormat)) {
            const QString name = request.format.isEmpty()
                                     ? OutputExtension(conversion.outputFormat).toUpper()
                                     : request.format;
            printErr(QStringLiteral("kelvanto-batch: %1 output is not available; use --format "
                                    "wav, wma, mp3 or ogg")
                         .arg(name.isEmpty() ? QStringLiteral("this") : name));
            return kBatchExitUsage;
        }
    }

    // Ctrl+C, SIGTERM and SIGHUP (the terminal closed) stop the batch as the window's Stop
    // button does. A second one asks the same: the batch ends after the current block either
    // way, with its encoders ended and every row's final status printed.
    BatchDriver* running = nullptr;
    SignalWatch watch(
        {SIGINT, SIGTERM, SIGHUP},
        [&running](int) {
            if (running)
                running->requestStop();
        },
        SignalWatch::Repeat::Handled);
    RegisterDecoders();

    // --recursive, or the window's saved "Include sub-folders" (as --set may give it).
    bool recursive = request.recursive;
    if (!recursive) {
        CRegister reg;
        OutputSettings saved;
        ReadStoredOutputSettings(reg, saved);
        for (const QString& assignment : request.overrides)
            ApplySettingOverride(saved, assignment); // already checked above
        recursive = saved.selected(OutputSetting::chkSubfolders);
    }

    FileListModel model;
    BatchHost host;
    bool allListed = true;
    for (const QString& path : request.paths) {
        if (SignalWatch::Received())
            break;
        allListed = addPath(path, recursive, model, host) && allListed;
    }

    QHash<FileListRowId, QString> outputs;
    QSet<FileListRowId> completed;
    if (request.convert && !SignalWatch::Received())
        convertAll(model, conversion, outputs, completed, running);

    const FileListTable& table = *model.table();
    bool allConverted = true;
    for (int i = 0; i < table.rowCount(); ++i) {
        const FileListRow& row = table.row(i);
        QString line = field(row.FilePath) + QLatin1Char('\t') + field(row.Status) +
                       QLatin1Char('\t') + field(row.Duration) + QLatin1Char('\t') +
                       field(row.FileSize);
        if (request.convert) {
            line += QLatin1Char('\t') + field(outputs.value(table.idAt(i)));
            allConverted = allConverted && completed.contains(table.idAt(i));
            if (row.Status == kStatusNotSupported)
                printErr(QStringLiteral("kelvanto-batch: %1: not converted: %2")
                             .arg(row.FilePath, row.Status));
        }
        line += QLatin1Char('\n');
        std::fputs(line.toUtf8().constData(), stdout);
    }
    std::fflush(stdout);
    if (const int signalNumber = SignalWatch::Received())
        return 128 + signalNumber;
    return allListed && allConverted ? kBatchExitDone : kBatchExitFailed;
}

} // namespace kv
