#include "filelist/FileListModel.h"

#include <QLocale>

namespace kv {
namespace {
// "03:07" -> 187 seconds; a failure text sorts before every length.
qlonglong durationKey(const QString& text) {
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    bool okM = false, okS = false;
    const qlonglong m = text.left(colon).toLongLong(&okM);
    const qlonglong s = text.mid(colon + 1).toLongLong(&okS);
    return (colon > 0 && okM && okS) ? m * 60 + s : -1;
}

// "1.5 KB" -> 1536 bytes; "CD Track" sorts before every size.
double sizeKey(const QString& text) {
    const qsizetype blank = text.lastIndexOf(QLatin1Char(' '));
    if (blank <= 0)
        return -1;
    QString number = text.left(blank);
    bool ok = false;
    double v = QLocale().toDouble(number, &ok);
    if (!ok)
        v = QLocale::c().toDouble(number, &ok);
    if (!ok)
        return -1;
    const QStringView unit = QStringView(text).mid(blank + 1);
    if (unit == u"KB")
        v *= 1024.0;
    else if (unit == u"MB")
        v *= 1048576.0;
    else if (unit == u"GB")
        v *= 1073741824.0;
    else if (unit != u"Bytes")
        return -1;
    return v;
}
} // namespace

FileListModel::FileListModel(QObject* parent)
    : QAbstractTableModel(parent), table_(std::make_unique<FileListTable>()) {}

void FileListModel::setTable(std::unique_ptr<FileListTable> table) {
    beginResetModel();
    table_ = table ? std::move(table) : std::make_unique<FileListTable>();
    // Colours and status tips follow rows by identity, so kept rows keep theirs.
    QHash<quint64, QColor> kept;
    QHash<FileListRowId, QString> keptTips;
    for (int i = 0; i < table_->rowCount(); ++i) {
        const FileListRowId id = table_->idAt(i);
        for (int c = 0; c < kFileListColumnCount; ++c) {
            const quint64 key = colorKey(id, static_cast<FileListColumn>(c));
            if (auto it = colors_.constFind(key); it != colors_.constEnd())
                kept.insert(key, *it);
        }
        if (auto it = statusTips_.constFind(id); it != statusTips_.constEnd())
            keptTips.insert(id, *it);
    }
    colors_ = std::move(kept);
    statusTips_ = std::move(keptTips);
    endResetModel();
}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : table_->rowCount();
}

int FileListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kFileListColumnCount;
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= table_->rowCount())
        return {};
    const FileListRow& r = table_->row(index.row());
    const auto column = static_cast<FileListColumn>(index.column());
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        switch (column) {
        case FileListColumn::ID:
            return r.ID;
        case FileListColumn::CheckBox:
            return {};
        case FileListColumn::FilePath:
            return r.FilePath;
        case FileListColumn::Status:
            return r.Status;
        case FileListColumn::Duration:
            return r.Duration;
        case FileListColumn::FileSize:
            return r.FileSize;
        }
    }
    if (role == Qt::ToolTipRole && column == FileListColumn::Status)
        return statusTips_.value(table_->idAt(index.row()));
    if (role == SortRole) {
        switch (column) {
        case FileListColumn::ID:
            return r.ID;
        case FileListColumn::CheckBox:
            return r.CheckBox != 0 ? 1 : 0;
        case FileListColumn::FilePath:
            return r.FilePath.toLower();
        case FileListColumn::Status: {
            bool ok = false;
            const double p = r.Status.toDouble(&ok);
            return ok ? QString::asprintf("0%012.4f", p) : QStringLiteral("1") + r.Status;
        }
        case FileListColumn::Duration:
            return durationKey(r.Duration);
        case FileListColumn::FileSize:
            return sizeKey(r.FileSize);
        }
    }
    if (role == Qt::CheckStateRole && column == FileListColumn::CheckBox)
        return r.CheckBox != 0 ? Qt::Checked : Qt::Unchecked;
    if (role == Qt::BackgroundRole)
        return QColor(255, 255, 255);
    if (role == Qt::ForegroundRole) {
        const QColor c = cellColor(index.row(), column);
        if (c.isValid())
            return c;
    }
    return {};
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kFileListColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return headers_[section];
    return {};
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == static_cast<int>(FileListColumn::CheckBox))
        f |= Qt::ItemIsUserCheckable;
    return f;
}

bool FileListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::CheckStateRole ||
        index.column() != static_cast<int>(FileListColumn::CheckBox))
        return false;
    setCheckBox(index.row(), value.value<Qt::CheckState>() == Qt::Checked ? 1 : 0);
    return true;
}

bool FileListModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                                  int role) {
    if (orientation != Qt::Horizontal || section < 0 || section >= kFileListColumnCount ||
        (role != Qt::EditRole && role != Qt::DisplayRole))
        return false;
    headers_[section] = value.toString();
    Q_EMIT headerDataChanged(orientation, section, section);
    return true;
}

bool FileListModel::appendRow(const FileListRow& row, QString* error) {
    const int at = table_->rowCount();
    // Check first so a refused row never shows up as an empty insertion.
    if (!table_->canAppend(row, error))
        return false;
    beginInsertRows(QModelIndex(), at, at);
    table_->append(row);
    endInsertRows();
    return true;
}

bool FileListModel::setStatus(int row, const QString& status, QString* error) {
    if (!table_->setStatus(row, status, error))
        return false;
    if (!statusTips_.isEmpty())
        statusTips_.remove(table_->idAt(row));
    const QModelIndex i = index(row, static_cast<int>(FileListColumn::Status));
    Q_EMIT dataChanged(i, i, {Qt::DisplayRole, Qt::ToolTipRole});
    return true;
}

void FileListModel::setStatusTip(int row, const QString& tip) {
    if (row < 0 || row >= table_->rowCount())
        return;
    if (tip.isEmpty())
        statusTips_.remove(table_->idAt(row));
    else
        statusTips_.insert(table_->idAt(row), tip);
    const QModelIndex i = index(row, static_cast<int>(FileListColumn::Status));
    Q_EMIT dataChanged(i, i, {Qt::ToolTipRole});
}

void FileListModel::setCheckBox(int row, std::int32_t value) {
    table_->setCheckBox(row, value);
    const QModelIndex i = index(row, static_cast<int>(FileListColumn::CheckBox));
    Q_EMIT dataChanged(i, i, {Qt::CheckStateRole});
}

void FileListModel::setCellColor(int row, FileListColumn column, const QColor& color) {
    const quint64 key = colorKey(table_->idAt(row), column);
    if (color.isValid())
        colors_.insert(key, color);
    else
        colors_.remove(key);
    const QModelIndex i = index(row, static_cast<int>(column));
    Q_EMIT dataChanged(i, i, {Qt::ForegroundRole});
}

QColor FileListModel::cellColor(int row, FileListColumn column) const {
    return colors_.value(colorKey(table_->idAt(row), column));
}

} // namespace kv
