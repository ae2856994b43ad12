#pragma once

#include "convert/BatchDriver.h"
#include "filelist/FileListModel.h"

#include <vector>

namespace kv {

// The rows of a list as a batch takes them: waiting when the status is "Waiting Conversion"
// or the current language's cancelled text.
std::vector<BatchRow> BatchRowsOf(const FileListTable& table);

// The text a finished file's status gets in the current language, and its colour.
QString FinalStatusText(FileOutcome outcome);
QColor FinalStatusColor(FileOutcome outcome);

// The progress text of a percentage: single precision, shortest text of at most seven
// significant digits ("12.5", "33.33333").
QString ProgressText(double percent);

// A status as the Status column holds it: cut to its width, so a long translation still ends
// the row.
QString FitStatus(const QString& status);

// Status writes into the list, by row identity (a row that is gone is left alone).
void WriteProgress(FileListModel& model, FileListRowId id, double percent);
void WriteFinalStatus(FileListModel& model, FileListRowId id, FileOutcome outcome);

} // namespace kv
