#include "settings/SettingsFile.h"

#include "settings/RegularFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

namespace kv {
namespace {

QString escaped(const QString& text, bool name) {
    QString out;
    out.reserve(text.size() + 1);
    // A name that starts like a section header or a comment would read back as one.
    if (name && !text.isEmpty() &&
        (text[0] == QLatin1Char('[') || text[0] == QLatin1Char(';') || text[0] == QLatin1Char('#')))
        out += QLatin1Char('\\');
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        case 0:
            out += QLatin1String("\\0");
            break;
        case '=':
            out += name ? QLatin1String("\\=") : QLatin1String("=");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString unescaped(QStringView text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != QLatin1Char('\\') || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const QChar next = text[++i];
        switch (next.unicode()) {
        case 'n':
            out += QLatin1Char('\n');
            break;
        case 'r':
            out += QLatin1Char('\r');
            break;
        case 't':
            out += QLatin1Char('\t');
            break;
        case '0':
            out += QChar(0);
            break;
        default: // "\\", "\=" and anything unknown stand for the character itself
            out += next;
        }
    }
    return out;
}

// Where the name of an entry line ends: its first "=" that is not escaped; -1 for none.
qsizetype nameEnd(QStringView line) {
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] == QLatin1Char('\\'))
            ++i;
        else if (line[i] == QLatin1Char('='))
            return i;
    }
    return -1;
}

} // namespace

QString FoldedName(QStringView name) {
    // Code point by code point, each simply case-folded, as Qt's comparison folds them.
    QString out;
    out.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        char32_t c = name[i].unicode();
        if (name[i].isHighSurrogate() && i + 1 < name.size() && name[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(name[i], name[i + 1]);
            ++i;
        }
        c = QChar::toCaseFolded(c);
        if (QChar::requiresSurrogates(c)) {
            out += QChar(QChar::highSurrogate(c));
            out += QChar(QChar::lowSurrogate(c));
        } else {
            out += QChar(char16_t(c));
        }
    }
    return out;
}

QString UserSettingsPath(const QString& name) {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Kelvanto/") + name + QStringLiteral(".ini");
}

SettingsFile SettingsFile::read(const QString& path, bool* readable) {
    const RegularFileRead r = ReadRegularFile(path, kMaxSettingsFileBytes);
    if (readable)
        *readable = r.state == FileState::Regular || r.state == FileState::Missing;
    return r.state == FileState::Regular ? parse(r.bytes) : SettingsFile();
}

SettingsFile SettingsFile::parse(const QByteArray& bytes) {
    SettingsFile file;
    const QString text = QString::fromUtf8(bytes);
    QString section;
    for (QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QStringView t = line.trimmed();
        if (t.isEmpty() || t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#')))
            continue;
        if (t.startsWith(QLatin1Char('[')) && t.endsWith(QLatin1Char(']'))) {
            section = t.mid(1, t.size() - 2).trimmed().toString();
            file.ensure(section);
            continue;
        }
        const qsizetype eq = nameEnd(line);
        if (section.isEmpty() || eq <= 0)
            continue;
        const QString name = unescaped(line.left(eq)).trimmed();
        if (!name.isEmpty())
            file.setValue(section, name, unescaped(line.mid(eq + 1)));
    }
    return file;
}

QByteArray SettingsFile::toBytes() const {
    QString text;
    for (const Section& s : sections_) {
        if (!text.isEmpty())
            text += QLatin1Char('\n');
        // Section paths keep their backslashes; a line break cannot be part of one.
        QString header = s.name;
        header.replace(QLatin1Char('\n'), QLatin1Char(' '))
            .replace(QLatin1Char('\r'), QLatin1Char(' '));
        text += QLatin1Char('[') + header + QStringLiteral("]\n");
        for (const Entry& e : s.entries)
            text += escaped(e.name, true) + QLatin1Char('=') + escaped(e.value, false) +
                    QLatin1Char('\n');
    }
    return text.toUtf8();
}

bool SettingsFile::write(const QString& path) const {
    // A file over the limit would read as empty from then on, and one the program does not
    // read (over the limit, a FIFO, a device) is the user's to keep.
    const QByteArray bytes = toBytes();
    if (bytes.size() > kMaxSettingsFileBytes || !SettingsFileReplaceable(path))
        return false;
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    // Unbuffered, so a short write (a full disk) shows here and the old file stays.
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    if (f.write(bytes) != bytes.size()) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

void SettingsFile::Section::reindex() {
    index.clear();
    for (std::size_t i = 0; i < entries.size(); ++i)
        index.emplace(FoldedName(entries[i].name), i);
}

void SettingsFile::reindex() {
    index_.clear();
    for (std::size_t i = 0; i < sections_.size(); ++i)
        index_.emplace(FoldedName(sections_[i].name), i);
}

SettingsFile::Section* SettingsFile::find(const QString& section) {
    const auto it = index_.constFind(FoldedName(section));
    return it == index_.constEnd() ? nullptr : &sections_[*it];
}

const SettingsFile::Section* SettingsFile::find(const QString& section) const {
    const auto it = index_.constFind(FoldedName(section));
    return it == index_.constEnd() ? nullptr : &sections_[*it];
}

SettingsFile::Section& SettingsFile::ensure(const QString& section) {
    if (Section* s = find(section))
        return *s;
    index_.emplace(FoldedName(section), sections_.size());
    sections_.push_back({section, {}, {}});
    return sections_.back();
}

std::optional<QString> SettingsFile::value(const QString& section, const QString& name) const {
    const Section* s = find(section);
    if (!s)
        return std::nullopt;
    const auto it = s->index.constFind(FoldedName(name));
    return it == s->index.constEnd() ? std::nullopt : std::optional(s->entries[*it].value);
}

void SettingsFile::setValue(const QString& section, const QString& name, const QString& value) {
    Section* s = &ensure(section);
    const QString key = FoldedName(name);
    if (const auto it = s->index.constFind(key); it != s->index.constEnd()) {
        s->entries[*it].value = value;
        return;
    }
    s->index.emplace(key, s->entries.size());
    s->entries.push_back({name, value});
}

bool SettingsFile::remove(const QString& section, const QString& name) {
    Section* s = find(section);
    if (!s)
        return false;
    const auto it = s->index.constFind(FoldedName(name));
    if (it == s->index.constEnd())
        return false;
    s->entries.erase(s->entries.begin() + static_cast<std::ptrdiff_t>(*it));
    s->reindex();
    return true;
}

bool SettingsFile::removeSection(const QString& section) {
    const QString below = section + QLatin1Char('\\');
    const auto gone = std::remove_if(sections_.begin(), sections_.end(), [&](const Section& s) {
        return s.name.compare(section, Qt::CaseInsensitive) == 0 ||
               s.name.startsWith(below, Qt::CaseInsensitive);
    });
    const bool any = gone != sections_.end();
    sections_.erase(gone, sections_.end());
    reindex();
    return any;
}

} // namespace kv
