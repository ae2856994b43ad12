// kelvanto-batch: the file list without a window. Adds each path as the window would and
// prints the resulting list, one row a line.
#include "engine/Decoders.h"
#include "filelist/AddFile2Grid.h"
#include "lang/Captions.h"
#include "lang/LanguageList.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>

namespace {

constexpr int kExitAllAdded = 0;
constexpr int kExitSomeRefused = 1;
constexpr int kExitUsage = 2;

const char* const kUsage =
    "Usage: kelvanto-batch [--] PATH...\n"
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
    "Exit status: 0 when every path became a row, 1 when some did not, 2 for bad usage.\n"
    "\n"
    "Options:\n"
    "  -h, --help  show this text\n";

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

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Kelvanto"));
    QCoreApplication::setOrganizationName(QStringLiteral("Kelvanto"));

    QStringList paths;
    bool options = true;
    const QStringList args = QCoreApplication::arguments().mid(1);
    for (const QString& arg : args) {
        if (options && arg == QLatin1String("--")) {
            options = false;
        } else if (options && (arg == QLatin1String("-h") || arg == QLatin1String("--help"))) {
            std::fputs(kUsage, stdout);
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

    const kv::FileListTable& table = *model.table();
    for (int i = 0; i < table.rowCount(); ++i) {
        const kv::FileListRow& row = table.row(i);
        const QString line = field(row.FilePath) + QLatin1Char('\t') + field(row.Status) +
                             QLatin1Char('\t') + field(row.Duration) + QLatin1Char('\t') +
                             field(row.FileSize) + QLatin1Char('\n');
        std::fputs(line.toLocal8Bit().constData(), stdout);
    }
    std::fflush(stdout);
    return all ? kExitAllAdded : kExitSomeRefused;
}
