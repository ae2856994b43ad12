#include "convert/NamePattern.h"

#include <QDir>
#include <QFileInfo>

#include <vector>

namespace kv {
namespace {
// Bytes kept free in a file name for the longest suffix a clash can add, "_Converted_10000".
constexpr int kSuffixReserve = 16;
constexpr int kMaxPartBytes = 255;

bool isSeparator(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('-') || c == QLatin1Char('_') ||
           c == QLatin1Char('.');
}

// Characters FAT, exFAT and NTFS refuse, and '/', which only the pattern may use.
QString safeText(QString text) {
    for (QChar& c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || QStringLiteral("/\\:*?\"<>|").contains(c))
            c = QLatin1Char('_');
    }
    return text;
}

QString numberBeforeSlash(const QString& text) {
    return text.section(QLatin1Char('/'), 0, 0).trimmed();
}

QString fieldValue(const QString& field, const SourceTags& tags, const QFileInfo& source,
                   bool& known) {
    known = true;
    if (field == QLatin1String("artist"))
        return tags.text(TagField::Artist);
    if (field == QLatin1String("albumartist")) {
        const QString a = tags.text(TagField::AlbumArtist).trimmed();
        return a.isEmpty() ? tags.text(TagField::Artist) : a;
    }
    if (field == QLatin1String("album"))
        return tags.text(TagField::Album);
    if (field == QLatin1String("title"))
        return tags.text(TagField::Title);
    if (field == QLatin1String("track")) {
        const QString n = numberBeforeSlash(tags.text(TagField::Track));
        bool ok = false;
        const int v = n.toInt(&ok);
        if (!ok) // a vinyl side such as "A1" stays as it is
            return n;
        return v > 0 ? QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')) : QString();
    }
    if (field == QLatin1String("disc")) {
        const QString n = numberBeforeSlash(tags.text(TagField::Disc));
        return n == QLatin1String("0") ? QString() : n;
    }
    if (field == QLatin1String("year")) {
        // A full date "2001-05-03" gives its year.
        const QString d = tags.text(TagField::Date).trimmed();
        const bool leadingYear = d.size() > 4 && d.left(4).toInt() > 0 && !d.at(4).isDigit();
        return leadingYear ? d.left(4) : d;
    }
    if (field == QLatin1String("genre"))
        return tags.text(TagField::Genre);
    if (field == QLatin1String("name"))
        return source.completeBaseName();
    if (field == QLatin1String("folder"))
        return source.absoluteDir().dirName();
    known = false;
    return {};
}

qsizetype leadingSeparators(const QString& s) {
    qsizetype n = 0;
    while (n < s.size() && isSeparator(s.at(n)))
        ++n;
    return n;
}

qsizetype trailingSeparators(const QString& s) {
    qsizetype n = 0;
    while (n < s.size() && isSeparator(s.at(s.size() - 1 - n)))
        ++n;
    return n;
}

// Joins the texts on both sides of a field that came out empty: "Artist - " + " - Title"
// keeps one " - ", "Title (" + ")" loses its brackets, and a side with nothing beyond it
// loses its separators, so no "00 - " or " - Title" is left.
QString closeGap(QString left, QString right, bool leftIsFirst, bool rightIsLast) {
    const QString lt = left.trimmed();
    if ((lt.endsWith(QLatin1Char('(')) && right.startsWith(QLatin1Char(')'))) ||
        (lt.endsWith(QLatin1Char('[')) && right.startsWith(QLatin1Char(']')))) {
        left.truncate(left.lastIndexOf(lt.back()));
        right.remove(0, 1);
    }
    const qsizetype lsep = trailingSeparators(left), rsep = leadingSeparators(right);
    const QString leftCore = left.left(left.size() - lsep), rightCore = right.mid(rsep);
    if (leftIsFirst && leftCore.isEmpty())
        return rightCore;
    if (rightIsLast && rightCore.isEmpty())
        return leftCore;
    return leftCore + (lsep > 0 ? left.right(lsep) : right.left(rsep)) + rightCore;
}

// One part of the pattern (between its slashes) with its fields filled in.
QString fillPart(const QString& part, const SourceTags& tags, const QFileInfo& source) {
    // Texts and fields alternate: texts[i] comes before values[i], texts.back() ends the part.
    QStringList texts{QString()};
    std::vector<QString> values;
    for (qsizetype i = 0; i < part.size();) {
        const qsizetype open = part.indexOf(QLatin1Char('{'), i);
        const qsizetype close = open < 0 ? -1 : part.indexOf(QLatin1Char('}'), open);
        if (close < 0) {
            texts.back() += safeText(part.mid(i));
            break;
        }
        texts.back() += safeText(part.mid(i, open - i));
        bool known = false;
        const QString value =
            fieldValue(part.mid(open + 1, close - open - 1).toLower(), tags, source, known);
        if (known) {
            values.push_back(safeText(value.trimmed()));
            texts.append(QString());
        } else {
            texts.back() += safeText(part.mid(open, close - open + 1));
        }
        i = close + 1;
    }
    for (size_t i = 0; i < values.size();) {
        if (!values[i].isEmpty()) {
            ++i;
            continue;
        }
        const qsizetype t = static_cast<qsizetype>(i);
        texts[t] = closeGap(texts[t], texts[t + 1], t == 0, t + 2 == texts.size());
        texts.removeAt(t + 1);
        values.erase(values.begin() + t);
    }
    QString out;
    for (size_t i = 0; i < values.size(); ++i)
        out += texts[static_cast<qsizetype>(i)] + values[i];
    return out + texts.back();
}

// Cuts to at most `maxBytes` of UTF-8, never inside a character.
QString cutToBytes(const QString& s, int maxBytes) {
    int bytes = 0;
    qsizetype i = 0;
    while (i < s.size()) {
        const char32_t c = s.at(i).isHighSurrogate() && i + 1 < s.size()
                               ? QChar::surrogateToUcs4(s.at(i), s.at(i + 1))
                               : s.at(i).unicode();
        const int len = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        if (bytes + len > maxBytes)
            break;
        bytes += len;
        i += c >= 0x10000 ? 2 : 1;
    }
    return s.left(i);
}

// A part every card file system takes: trimmed, no trailing dot or space, never "." or "..".
QString finishPart(QString part, int maxBytes) {
    part = cutToBytes(part.trimmed(), maxBytes);
    if (!part.isEmpty() && part.count(QLatin1Char('.')) == part.size())
        return QStringLiteral("_");
    while (part.endsWith(QLatin1Char('.')) || part.endsWith(QLatin1Char(' ')))
        part.chop(1);
    return part;
}
} // namespace

QStringList PatternedPath(const QString& pattern, const SourceTags& tags, const QString& source,
                          const QString& extension) {
    if (pattern.trimmed().isEmpty())
        return {};
    const QFileInfo info(source);
    const QStringList parts = pattern.split(QLatin1Char('/'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        const QString folder = finishPart(fillPart(parts[i], tags, info), kMaxPartBytes);
        if (!folder.isEmpty())
            out.append(folder);
    }
    const QString ext = safeText(extension);
    const int extBytes = ext.isEmpty() ? 0 : 1 + static_cast<int>(ext.toUtf8().size());
    const int nameBytes = kMaxPartBytes - extBytes - kSuffixReserve;
    QString name = finishPart(fillPart(parts.back(), tags, info), nameBytes);
    if (name.isEmpty())
        name = finishPart(safeText(info.completeBaseName()), nameBytes);
    if (name.isEmpty())
        name = QStringLiteral("_");
    out.append(ext.isEmpty() ? name : name + QLatin1Char('.') + ext);
    return out;
}

} // namespace kv
