#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

class QFile;

namespace kv {

// File names on Linux are bytes. Most are UTF-8; Qt turns the bytes of any other name into
// U+FFFD, after which the file cannot be found by its name. Such a byte is kept here as one
// lone surrogate, U+DC80 to U+DCFF, so the name goes back to its bytes exactly. A name that
// is valid UTF-8 gives the same text as Qt makes of it.
QString PathFromNative(const QByteArray& bytes);
QByteArray NativePath(const QString& path);

// Whether a path holds bytes that are not UTF-8; the path with each of them shown as U+FFFD.
bool HasRawBytes(const QString& path);
QString DisplayPath(const QString& path);

// A text as it may be printed on a terminal or into a log: a backslash becomes \\, a tab \t,
// a line feed \n, a carriage return \r, escape \e; any other control character (C0, DEL) and
// each byte of a name that is not UTF-8 becomes \xHH, and a C1 control character the two
// bytes of its UTF-8 form (\xC2\xHH). Read back byte for byte, it gives the name's exact bytes.
QString PrintableText(const QString& text);

// A path that Qt decoded with U+FFFD in place of bytes that were not UTF-8 (from a dialog,
// a drop or the command line): the one existing file or folder it can stand for, found by
// reading the folders on the way. The path itself when it exists as it is, holds no U+FFFD
// or stands for nothing; nothing when it could stand for more than one entry.
std::optional<QString> ResolveLossyPath(const QString& path);

// What the file system says about a path, symbolic links followed (isSymLink tells whether
// the path itself is one).
struct NativeFileInfo {
    bool exists = false;
    bool isFile = false;
    bool isDir = false;
    bool isSymLink = false;
    bool readable = false;
    qint64 size = 0;
};
NativeFileInfo StatNative(const QString& path);

// Opens `file` read-only on `path`, whatever bytes its name holds; false for anything but a
// regular file (a FIFO is never waited on).
bool OpenNativeForReading(QFile& file, const QString& path);

} // namespace kv
