#include "filelist/FileListTable.h"

#include <atomic>

namespace kv {
namespace {
FileListRowId nextRowId() {
    static std::atomic<FileListRowId> counter{0};
    return ++counter;
}

const char* columnName(FileListColumn column) {
    switch (column) {
    case FileListColumn::ID:
        return "ID";
    case FileListColumn::CheckBox:
        return "CheckBox";
    case FileListColumn::FilePath:
        return "FilePath";
    case FileListColumn::Status:
        return "Status";
    case FileListColumn::Duration:
        return "Duration";
    case FileListColumn::FileSize:
        return "FileSize";
    }
    return "";
}

bool fits(const QString& text, FileListColumn column, int width, QString* error) {
    if (TextLength(text) <= width)
        return true;
    if (error)
        *error = ColumnTooLongError(column, width);
    return false;
}
} // namespace

int TextLength(const QString& text) {
    int n = 0;
    for (QChar c : text) {
        if (!c.isLowSurrogate())
            ++n;
    }
    return n;
}

QString DuplicatePathError(const QString& path) {
    return QStringLiteral("The file %1 is already in the list.").arg(path);
}

QString ColumnTooLongError(FileListColumn column, int width) {
    return QStringLiteral("The text for the column %1 is longer than %2 characters.")
        .arg(QLatin1String(columnName(column)))
        .arg(width);
}

bool FileListTable::append(const FileListRow& row, QString* error) {
    if (!canAppend(row, error))
        return false;
    push({nextRowId(), row});
    return true;
}

bool FileListTable::canAppend(const FileListRow& row, QString* error) const {
    if (!fits(row.FilePath, FileListColumn::FilePath, kFilePathWidth, error) ||
        !fits(row.Status, FileListColumn::Status, kStatusWidth, error) ||
        !fits(row.Duration, FileListColumn::Duration, kDurationWidth, error) ||
        !fits(row.FileSize, FileListColumn::FileSize, kFileSizeWidth, error))
        return false;
    if (IsInFileList(row.FilePath)) {
        if (error)
            *error = DuplicatePathError(row.FilePath);
        return false;
    }
    return true;
}

void FileListTable::push(const Entry& entry) {
    const int index = rowCount();
    rows_.push_back(entry);
    byPath_.insert(entry.data.FilePath, index);
    byId_.insert(entry.id, index);
}

bool FileListTable::appendCopy(const FileListTable& from, int index) {
    if (index < 0 || index >= from.rowCount())
        return false;
    const Entry& entry = from.rows_[static_cast<size_t>(index)];
    if (IsInFileList(entry.data.FilePath) || indexOf(entry.id) >= 0)
        return false;
    push(entry);
    return true;
}

int FileListTable::indexOf(FileListRowId id) const {
    return byId_.value(id, -1);
}

int FileListTable::indexOfPath(const QString& path) const {
    return byPath_.value(path, -1);
}

bool FileListTable::setStatus(int index, const QString& status, QString* error) {
    if (!fits(status, FileListColumn::Status, kStatusWidth, error))
        return false;
    rows_[static_cast<size_t>(index)].data.Status = status;
    return true;
}

bool FileListTable::setDuration(int index, const QString& duration, QString* error) {
    if (!fits(duration, FileListColumn::Duration, kDurationWidth, error))
        return false;
    rows_[static_cast<size_t>(index)].data.Duration = duration;
    return true;
}

bool FileListTable::setFileSize(int index, const QString& fileSize, QString* error) {
    if (!fits(fileSize, FileListColumn::FileSize, kFileSizeWidth, error))
        return false;
    rows_[static_cast<size_t>(index)].data.FileSize = fileSize;
    return true;
}

void FileListTable::setCheckBox(int index, std::int32_t value) {
    rows_[static_cast<size_t>(index)].data.CheckBox = value;
}

std::unique_ptr<FileListTable> NewFileListTable() {
    auto table = std::make_unique<FileListTable>();
    if (!table->isOpen())
        return nullptr;
    return table;
}

} // namespace kv
