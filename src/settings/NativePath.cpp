#include "settings/NativePath.h"
#include "settings/RegularFile.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>

namespace kv {

namespace {

constexpr char16_t kRawBase = 0xDC00;
constexpr char16_t kReplacement = 0xFFFD;

// A lone low surrogate from U+DC80 to U+DCFF stands for the byte of its low eight bits.
bool isRawByte(const QString& s, qsizetype i) {
    const char16_t c = s.at(i).unicode();
    return c >= 0xDC80 && c <= 0xDCFF && (i == 0 || !s.at(i - 1).isHighSurrogate());
}

// The length of the valid UTF-8 sequence at `p`, 0 when it is not one (overlong forms,
// surrogates and values past U+10FFFF included, as Qt refuses them too).
int sequenceLength(const unsigned char* p, qsizetype left) {
    const unsigned c = p[0];
    int len = 0;
    std::uint32_t cp = 0, min = 0;
    if ((c & 0xE0) == 0xC0) {
        len = 2, cp = c & 0x1F, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        len = 3, cp = c & 0x0F, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        len = 4, cp = c & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (left < len)
        return 0;
    for (int k = 1; k < len; ++k) {
        if ((p[k] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[k] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

bool lexists(const QByteArray& native) {
    struct stat st;
    return lstat(native.constData(), &st) == 0;
}

} // namespace

QString PathFromNative(const QByteArray& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    QString out;
    out.reserve(n);
    qsizetype start = 0; // first byte not yet decoded
    for (qsizetype i = 0; i < n;) {
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        if (const int len = sequenceLength(p + i, n - i)) {
            i += len;
            continue;
        }
        out += QString::fromUtf8(bytes.constData() + start, i - start);
        out += QChar(static_cast<char16_t>(kRawBase + p[i]));
        start = ++i;
    }
    if (start == 0)
        return QString::fromUtf8(bytes);
    out += QString::fromUtf8(bytes.constData() + start, n - start);
    return out;
}

QByteArray NativePath(const QString& path) {
    if (!HasRawBytes(path))
        return path.toUtf8();
    QByteArray out;
    out.reserve(path.size() * 2);
    qsizetype start = 0;
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (!isRawByte(path, i))
            continue;
        out += QStringView(path).mid(start, i - start).toUtf8();
        out += static_cast<char>(path.at(i).unicode() - kRawBase);
        start = i + 1;
    }
    out += QStringView(path).mid(start).toUtf8();
    return out;
}

bool HasRawBytes(const QString& path) {
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (isRawByte(path, i))
            return true;
    }
    return false;
}

QString DisplayPath(const QString& path) {
    QString out = path;
    for (qsizetype i = 0; i < out.size(); ++i) {
        if (isRawByte(path, i))
            out[i] = QChar(kReplacement);
    }
    return out;
}

QString PrintableText(const QString& text) {
    const auto byte = [](QString& out, unsigned value) {
        out += QLatin1String("\\x") +
               QString::number(value, 16).rightJustified(2, QLatin1Char('0')).toUpper();
    };
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (isRawByte(text, i)) {
            byte(out, c - kRawBase);
        } else if (c == u'\\') {
            out += QLatin1String("\\\\");
        } else if (c == u'\t') {
            out += QLatin1String("\\t");
        } else if (c == u'\n') {
            out += QLatin1String("\\n");
        } else if (c == u'\r') {
            out += QLatin1String("\\r");
        } else if (c == 0x1B) {
            out += QLatin1String("\\e");
        } else if (c < 0x20 || c == 0x7F) {
            byte(out, c);
        } else if (c >= 0x80 && c <= 0x9F) {
            byte(out, 0xC2);
            byte(out, c);
        } else {
            out += QChar(c);
        }
    }
    return out;
}

std::optional<QString> ResolveLossyPath(const QString& path) {
    if (!path.contains(QChar(kReplacement)) || lexists(NativePath(path)))
        return path;
    const QStringList parts = path.split(QLatin1Char('/'));
    QString built;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString& part = parts[i];
        const QString next = i == 0 ? part : built + QLatin1Char('/') + part;
        if (!part.contains(QChar(kReplacement)) || lexists(NativePath(next))) {
            built = next;
            continue;
        }
        const QString folder = i == 0            ? QStringLiteral(".")
                               : built.isEmpty() ? QStringLiteral("/")
                                                 : built;
        DIR* dir = opendir(NativePath(folder).constData());
        if (dir == nullptr)
            return path;
        QString match;
        int matches = 0;
        while (const dirent* e = readdir(dir)) {
            const QByteArray raw(e->d_name);
            if (QString::fromUtf8(raw) == part) {
                match = PathFromNative(raw);
                ++matches;
            }
        }
        closedir(dir);
        if (matches == 0)
            return path; // a missing file, reported as such
        if (matches > 1)
            return std::nullopt;
        built = i == 0 ? match : built + QLatin1Char('/') + match;
    }
    return built;
}

NativeFileInfo StatNative(const QString& path) {
    NativeFileInfo info;
    if (path.isEmpty())
        return info;
    const QByteArray native = NativePath(path);
    struct stat st;
    info.isSymLink = lstat(native.constData(), &st) == 0 && S_ISLNK(st.st_mode);
    if (stat(native.constData(), &st) != 0)
        return info;
    info.exists = true;
    info.isFile = S_ISREG(st.st_mode);
    info.isDir = S_ISDIR(st.st_mode);
    info.size = static_cast<qint64>(st.st_size);
    info.readable = access(native.constData(), R_OK) == 0;
    return info;
}

bool OpenNativeForReading(QFile& file, const QString& path) {
    // Never blocks on a pipe that has no writer; only a regular file is read.
    UniqueFd fd = OpenRegularFile(NativePath(path));
    if (!fd.valid() || !file.open(fd.get(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return false;
    fd.release();
    return true;
}

} // namespace kv
