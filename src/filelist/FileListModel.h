#pragma once

#include "filelist/FileListTable.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QHash>

#include <memory>

namespace kv {

// The file list as the grid sees it: the window's table, the header captions and the text
// colours the status writers give single cells. Every change of the list goes through here
// so views stay in step.
class FileListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Sort keys for a view sorted by a header click: lengths and sizes by their value, paths
    // and statuses by text, progress numbers before texts.
    static constexpr int SortRole = Qt::UserRole + 1;

    explicit FileListModel(QObject* parent = nullptr);

    // Makes `table` the model's data (the model owns it); a reset for the views.
    void setTable(std::unique_ptr<FileListTable> table);
    FileListTable* table() const { return table_.get(); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Only the check box column is editable: ticking writes 1, clearing 0.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                       int role = Qt::EditRole) override;

    bool appendRow(const FileListRow& row, QString* error = nullptr);
    // A new status also clears the row's status tip.
    bool setStatus(int row, const QString& status, QString* error = nullptr);
    // Why a row's status is what it is (a failed file's reason), shown as the status cell's
    // tool tip.
    void setStatusTip(int row, const QString& tip);
    void setCheckBox(int row, std::int32_t value);

    // Text colour of one cell; an invalid colour gives the grid default back.
    void setCellColor(int row, FileListColumn column, const QColor& color);
    QColor cellColor(int row, FileListColumn column) const;

private:
    static quint64 colorKey(FileListRowId id, FileListColumn column) {
        return (id << 3) | static_cast<quint64>(column);
    }
    std::unique_ptr<FileListTable> table_;
    QString headers_[kFileListColumnCount];
    QHash<quint64, QColor> colors_;
    QHash<FileListRowId, QString> statusTips_;
};

} // namespace kv
