#include "filelist/AddFile2Grid.h"

#include "filelist/LengthProbe.h"
#include "lang/Captions.h"
#include "settings/NativePath.h"

#include <QColor>
#include <QLocale>

namespace kv {

namespace {

const QColor kNotSupportedColor(220, 10, 10);

// Numbers of the failures the add-error box reports.
constexpr int kAddErrorRowRefused = 1;
constexpr int kAddErrorFileLength = 2;

void reportFailure(AddFileHost& host, int number, const QString& description) {
    host.ShowAddFileError(QStringLiteral("An error occured while Adding File") + QChar(13) +
                          QString::number(number) + QLatin1Char(':') + description);
}

} // namespace

QString NormalisePath(const QString& path) {
    if (path.startsWith(QLatin1String("//")))
        return path;
    QString out = path;
    out.replace(QLatin1String("//"), QLatin1String("/"));
    return out;
}

QString ExtensionOf(const QString& path) {
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1);
}

bool IsAcceptedExtension(const QString& extension) {
    return !extension.isEmpty() &&
           kAcceptedExtensions.contains(QLatin1Char('.') + extension, Qt::CaseInsensitive);
}

bool IsCdTrack(const QString& path) {
    return path.right(3).compare(QLatin1String("cda"), Qt::CaseInsensitive) == 0;
}

AddFileResult CheckFile(QString& sFilePath, const FileListTable& table) {
    sFilePath = NormalisePath(sFilePath);
    const std::optional<QString> own = ResolveLossyPath(sFilePath);
    if (!own)
        return AddFileResult::NameNotReadable;
    sFilePath = *own;
    if (table.IsInFileList(sFilePath))
        return AddFileResult::Duplicate;
    if (!IsAcceptedExtension(ExtensionOf(sFilePath)))
        return AddFileResult::NotAccepted;
    return AddFileResult::Added;
}

FileMeasure MeasureFile(const QString& path, const std::atomic<bool>* cancel) {
    FileMeasure m;
    m.seconds = ProbeSeconds(path, cancel);
    const NativeFileInfo fi = StatNative(path);
    m.isFile = fi.isFile;
    m.size = m.isFile ? fi.size : 0;
    return m;
}

AddFileResult AppendMeasuredFile(const QString& path, const FileMeasure& measure,
                                 FileListModel& model, AddFileHost& host) {
    if (model.table()->IsInFileList(path))
        return AddFileResult::Duplicate;
    // The row is complete before it goes in: a failure leaves no half-filled row behind.
    FileListRow row;
    row.ID = 0;
    row.CheckBox = 0;
    row.FilePath = path;
    const bool probeFailed = !measure.seconds;
    // The failure text is looked up here, in the window's thread and current language.
    row.Duration =
        probeFailed ? GetCaption(20013, QStringLiteral("Error")) : LengthText(*measure.seconds);
    if (IsCdTrack(path)) {
        row.FileSize = QStringLiteral("CD Track");
    } else {
        if (!measure.isFile) {
            reportFailure(host, kAddErrorFileLength,
                          QStringLiteral("Can't read the length of the file"));
            return AddFileResult::Failed;
        }
        row.FileSize = FormatFileSize(static_cast<std::uint64_t>(measure.size));
    }
    row.Status = probeFailed ? kStatusNotSupported : kStatusWaiting;
    QString error;
    if (!model.appendRow(row, &error)) {
        reportFailure(host, kAddErrorRowRefused, error);
        return AddFileResult::Failed;
    }
    if (probeFailed) {
        const int index = model.rowCount() - 1;
        model.setCellColor(index, FileListColumn::Status, kNotSupportedColor);
        model.setCellColor(index, FileListColumn::Duration, kNotSupportedColor);
    }
    host.ClearSelectAll();
    if (probeFailed)
        host.ProbeFailed(path);
    return AddFileResult::Added;
}

AddFileResult AddFile(QString& sFilePath, FileListModel& model, AddFileHost& host) {
    const AddFileResult checked = CheckFile(sFilePath, *model.table());
    if (checked != AddFileResult::Added)
        return checked;
    return AppendMeasuredFile(sFilePath, MeasureFile(sFilePath), model, host);
}

bool AddFile2Grid(QString& sFilePath, FileListModel& model, AddFileHost& host) {
    return AddFile(sFilePath, model, host) == AddFileResult::Added;
}

QString FormatFileSize(std::uint64_t size) {
    static constexpr std::uint64_t kKB = 1024, kMB = 1048576, kGB = 1073741824;
    if (size < kKB)
        return QString::number(size) + QStringLiteral(" Bytes");
    const std::uint64_t unit = size < kMB ? kKB : size < kGB ? kMB : kGB;
    const QString word = size < kMB   ? QStringLiteral(" KB")
                         : size < kGB ? QStringLiteral(" MB")
                                      : QStringLiteral(" GB");
    // Hundredths in integers, so halves are decided exactly and go to the even neighbour.
    const std::uint64_t part = (size % unit) * 100;
    std::uint64_t hundredths = (size / unit) * 100 + part / unit;
    const std::uint64_t rest = part % unit;
    if (rest * 2 > unit || (rest * 2 == unit && (hundredths & 1) != 0))
        ++hundredths;
    QString text = QString::number(hundredths / 100);
    std::uint64_t fraction = hundredths % 100;
    if (fraction != 0) {
        QString digits = QStringLiteral("%1").arg(fraction, 2, 10, QLatin1Char('0'));
        if (digits.endsWith(QLatin1Char('0')))
            digits.chop(1);
        text += QLocale().decimalPoint() + digits;
    }
    return text + word;
}

} // namespace kv
