#include "convert/StatusWriting.h"

#include "lang/Captions.h"

namespace kv {

QString ProgressText(double percent) {
    return QString::number(static_cast<double>(static_cast<float>(percent)), 'g', 7);
}

QString FitStatus(const QString& status) {
    if (TextLength(status) <= kStatusWidth)
        return status;
    // Counted in characters, as the column counts them: a pair of surrogates is one.
    qsizetype end = 0;
    for (int n = 0; n < kStatusWidth; ++n)
        end += status.at(end).isHighSurrogate() && end + 1 < status.size() ? 2 : 1;
    return status.left(end);
}

std::vector<BatchRow> BatchRowsOf(const FileListTable& table) {
    // A cancelled row holds the text as it was written, cut to the column.
    const QString cancelled = FitStatus(GetCaption(20008, QStringLiteral("Cancelled")));
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
        model.setStatus(row, ProgressText(percent));
}

void WriteFinalStatus(FileListModel& model, FileListRowId id, FileOutcome outcome) {
    const int row = model.table()->indexOf(id);
    if (row < 0)
        return;
    model.setStatus(row, FitStatus(FinalStatusText(outcome)));
    model.setCellColor(row, FileListColumn::Status, FinalStatusColor(outcome));
}

} // namespace kv
