#include "lang/IniReader.h"

#include "settings/NativePath.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringView>

namespace kv {
namespace {

// Windows-1252 differs from Latin-1 only in 0x80..0x9F; the five bytes it leaves undefined
// keep their Latin-1 (control) meaning, as the platform's own conversion does.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString fromCp1252(const QByteArray& bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *out++ = QChar(b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : char16_t(b));
    }
    return text;
}

// A byte-order mark names the encoding; without one the file is UTF-8 when it decodes as
// such, else the Windows-1252 that older language files were saved in.
QString decode(const QByteArray& bytes) {
    if (bytes.startsWith("\xFF\xFE"))
        return QStringDecoder(QStringDecoder::Utf16LE)(bytes.mid(2));
    if (bytes.startsWith("\xFE\xFF"))
        return QStringDecoder(QStringDecoder::Utf16BE)(bytes.mid(2));
    const QByteArray body = bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(body);
    if (!utf8.hasError())
        return text;
    return fromCp1252(body);
}

// A value wholly in double quotes loses them; what is inside stays as written.
QStringView unquoted(QStringView value) {
    if (value.size() >= 2 && value.front() == u'"' && value.back() == u'"')
        return value.mid(1, value.size() - 2);
    return value;
}

} // namespace

QString ReadIniValue(const QString& file, const QString& section, const QString& key,
                     const QString& defaultText) {
    QFile f;
    if (!OpenNativeForReading(f, file))
        return defaultText;
    const QString text = decode(f.readAll());

    bool inSection = false;
    const QStringView view(text);
    // CR LF, LF and a lone CR all end a line (the empty line inside CR LF is skipped).
    const auto isBreak = [](QChar c) { return c == u'\r' || c == u'\n'; };
    for (qsizetype pos = 0, end = 0; pos < view.size(); pos = end + 1) {
        end = pos;
        while (end < view.size() && !isBreak(view[end]))
            ++end;
        const QStringView line = view.mid(pos, end - pos).trimmed();
        if (line.isEmpty() || line.front() == u';' || line.front() == u'#')
            continue;
        if (line.front() == u'[') {
            const qsizetype close = line.indexOf(u']');
            const QStringView name = line.mid(1, close < 0 ? -1 : close - 1).trimmed();
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inSection)
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            continue;
        if (line.left(eq).trimmed().compare(key, Qt::CaseInsensitive) != 0)
            continue;
        QString value = unquoted(line.mid(eq + 1).trimmed()).toString();
        if (value.size() > kMaxIniValueLength) {
            // Never split a surrogate pair at the cut.
            qsizetype cut = kMaxIniValueLength;
            if (value.at(cut - 1).isHighSurrogate())
                --cut;
            value.truncate(cut);
        }
        return value;
    }
    return defaultText;
}

} // namespace kv
