#pragma once

#include <QHash>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace kv {

// Columns of the file list, in grid order.
enum class FileListColumn {
    ID = 0,
    CheckBox = 1,
    FilePath = 2,
    Status = 3,
    Duration = 4,
    FileSize = 5
};
inline constexpr int kFileListColumnCount = 6;

// Widest text each text column holds, in characters.
inline constexpr int kFilePathWidth = 250;
inline constexpr int kStatusWidth = 30;
inline constexpr int kDurationWidth = 30;
inline constexpr int kFileSizeWidth = 15;

// Status texts written without a caption key.
inline const QString kStatusWaiting = QStringLiteral("Waiting Conversion");
inline const QString kStatusNotSupported = QStringLiteral("Codec Not Supported");

// A row's identity: stays with the row when the table is rebuilt, never reused.
using FileListRowId = std::uint64_t;

struct FileListRow {
    std::int32_t ID = 0;
    std::int32_t CheckBox = 0; // 0 not ticked, anything else ticked
    QString FilePath;
    QString Status;
    QString Duration;
    QString FileSize;
};

// Characters of a text as the column widths count them (a surrogate pair is one).
int TextLength(const QString& text);

// The queued files, in insertion order, paths unique (case-sensitive). Owned by the main
// window; the grid model and the batch address rows by index or by identity.
class FileListTable {
public:
    bool isOpen() const { return open_; }
    int rowCount() const { return static_cast<int>(rows_.size()); }

    // Appends a row after checking every text against its column width and the path against
    // the paths already listed. On failure nothing is added and `error` says why.
    bool append(const FileListRow& row, QString* error = nullptr);
    // The checks of append, without appending.
    bool canAppend(const FileListRow& row, QString* error = nullptr) const;

    // Appends a copy of another table's row, keeping its identity (for rebuilding the list).
    bool appendCopy(const FileListTable& from, int index);

    const FileListRow& row(int index) const { return rows_[static_cast<size_t>(index)].data; }
    FileListRowId idAt(int index) const { return rows_[static_cast<size_t>(index)].id; }

    // -1 when absent. Lookups never change what other callers see.
    int indexOf(FileListRowId id) const;
    int indexOfPath(const QString& path) const;
    bool IsInFileList(const QString& path) const { return indexOfPath(path) >= 0; }

    // Field writes check the column width; a refused write leaves the row unchanged.
    bool setStatus(int index, const QString& status, QString* error = nullptr);
    bool setDuration(int index, const QString& duration, QString* error = nullptr);
    bool setFileSize(int index, const QString& fileSize, QString* error = nullptr);
    void setCheckBox(int index, std::int32_t value);

private:
    friend std::unique_ptr<FileListTable> NewFileListTable();
    struct Entry {
        FileListRowId id;
        FileListRow data;
    };
    bool open_ = true;
    void push(const Entry& entry);
    std::vector<Entry> rows_;
    // Rows are only ever appended; removal rebuilds the table, so indexes stay valid.
    QHash<QString, int> byPath_;
    QHash<FileListRowId, int> byId_;
};

// A separate, empty table of the same shape; nothing when it could not be opened.
std::unique_ptr<FileListTable> NewFileListTable();

// The error text for a text that does not fit its column.
QString ColumnTooLongError(FileListColumn column, int width);
QString DuplicatePathError(const QString& path);

} // namespace kv
