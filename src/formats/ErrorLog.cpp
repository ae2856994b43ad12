#include "formats/ErrorLog.h"

#include "settings/NativePath.h"
#include "settings/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>

namespace kv {
namespace {
// One unbuffered write in append mode, so lines of two programs never interleave.
bool appendTo(const QString& path, const QByteArray& line) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return false;
    return file.write(line) == line.size();
}
} // namespace

QString ErrorLogPath() {
    // An installed program leaves its data folder and the folder around it alone.
    if (WritableFolder() != ProgramFolder())
        return FallbackErrorLogPath();
    return ProgramFolder() + QStringLiteral(" Errors.log");
}

QString FallbackErrorLogPath() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/Errors.log");
}

QString ErrorLogLine(const QDateTime& when, const QString& errorText, int code,
                     const QString& source) {
    return when.time().toString(QStringLiteral("HH:mm:ss")) + QLatin1Char(' ') +
           QLocale::system().toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           PrintableText(errorText) + QLatin1Char(' ') + QString::number(code) +
           QStringLiteral(" occured when TRN5 tried to play/convert: ") + PrintableText(source) +
           QStringLiteral("\r\n");
}

bool AppendErrorLog(const QString& errorText, int code, const QString& source) {
    const QByteArray line =
        ErrorLogLine(QDateTime::currentDateTime(), errorText, code, source).toUtf8();
    if (appendTo(ErrorLogPath(), line))
        return true;
    const QString fallback = FallbackErrorLogPath();
    QDir().mkpath(QFileInfo(fallback).absolutePath());
    return appendTo(fallback, line);
}

} // namespace kv
