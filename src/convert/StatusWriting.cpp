#include "convert/StatusWriting.h"

#include "lang/Captions.h"

namespace kv {

std::vector<BatchRow> BatchRowsOf(const FileListTable& table) {
    const QString cancelled = GetCaption(20008, QStringLiteral("Cancelled"));
    std::vector<BatchRow> rows;
    rows.reserve(static_cast<size_t>(table.rowCount()));
    for (int i = 0; i < table.rowCount(); ++i) {
        const FileListRow& r = table.row(i);
        rows.push_back({table.idAt(i), r.FilePath,
                        r.Status == kStatusWaiting || r.Status == cancelled, r.CheckBox != 0});
    }
    return rows;
}

QString FinalStatusText(FileOutcome outcome) {
    switch (outcome) {
    case FileOutcome::Complete:
        return GetCaption(20014, QStringLiteral("Complete"));
    case FileOutcome::Cancelled:
        return GetCaption(20008, QStringLiteral("Cancelled"));
    case FileOutcome::Error:
        return GetCaption(20013, QStringLiteral("Error"));
    }
    return QString();
}

QColor FinalStatusColor(FileOutcome outcome) {
    return outcome == FileOutcome::Complete ? QColor(113, 177, 98) : QColor(220, 10, 10);
}

void WriteProgress(FileListModel& model, FileListRowId id, double percent) {
    const int row = model.table()->indexOf(id);
    if (row >= 0)
        model.setStatus(row, QString::number(static_cast<float>(percent)));
}

void WriteFinalStatus(FileListModel& model, FileListRowId id, FileOutcome outcome) {
    const int row = model.table()->indexOf(id);
    if (row < 0)
        return;
    model.setStatus(row, FinalStatusText(outcome));
    model.setCellColor(row, FileListColumn::Status, FinalStatusColor(outcome));
}

} // namespace kv
