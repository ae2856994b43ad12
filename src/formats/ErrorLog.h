#pragma once

#include <QDateTime>
#include <QString>

namespace kv {

// The conversion error log: the file named by the program folder's path followed by
// " Errors.log" (beside the folder, not in it), one line a failure. Where that file cannot be
// written, "Errors.log" in the user's data location.
QString ErrorLogPath();
QString FallbackErrorLogPath();

// "HH:MM:SS <short date> <error text> <code> occured when TRN5 tried to play/convert:
// <source>" and CR LF; the date in the user's short date format. The error text and the
// source are escaped as PrintableText does, so a name never breaks or forges a line.
QString ErrorLogLine(const QDateTime& when, const QString& errorText, int code,
                     const QString& source);

// Appends the line for a failure now; false when neither place takes it.
bool AppendErrorLog(const QString& errorText, int code, const QString& source);

} // namespace kv
