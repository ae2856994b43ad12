#include "settings/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

namespace kv {
namespace {

// Far beyond any file of ours; a bigger one is read only this far rather than all at once.
constexpr qint64 kMaxBytes = 4 * 1024 * 1024;

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

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

QString UserSettingsPath(const QString& name) {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Kelvanto/") + name + QStringLiteral(".ini");
}

SettingsFile SettingsFile::read(const QString& path, bool* readable) {
    SettingsFile file;
    QFile f(path);
    const bool exists = QFileInfo::exists(path);
    const bool opened = exists && QFileInfo(path).isFile() && f.open(QIODevice::ReadOnly);
    if (readable)
        *readable = !exists || opened;
    if (!opened)
        return file;
    // Sized to the file: a read of the whole limit would reserve all of it every time.
    const QString text = QString::fromUtf8(f.read(std::min(f.size(), kMaxBytes)));
    QString section;
    for (QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QStringView t = line.trimmed();
        if (t.isEmpty() || t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#')))
            continue;
        if (t.startsWith(QLatin1Char('[')) && t.endsWith(QLatin1Char(']'))) {
            section = t.mid(1, t.size() - 2).trimmed().toString();
            if (!file.find(section))
                file.sections_.push_back({section, {}});
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
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    // Unbuffered, so a short write (a full disk) shows here and the old file stays.
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    const QByteArray bytes = toBytes();
    if (f.write(bytes) != bytes.size()) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

SettingsFile::Section* SettingsFile::find(const QString& section) {
    for (Section& s : sections_) {
        if (sameName(s.name, section))
            return &s;
    }
    return nullptr;
}

std::optional<QString> SettingsFile::value(const QString& section, const QString& name) const {
    for (const Section& s : sections_) {
        if (!sameName(s.name, section))
            continue;
        for (const Entry& e : s.entries) {
            if (sameName(e.name, name))
                return e.value;
        }
    }
    return std::nullopt;
}

void SettingsFile::setValue(const QString& section, const QString& name, const QString& value) {
    Section* s = find(section);
    if (!s) {
        sections_.push_back({section, {}});
        s = &sections_.back();
    }
    for (Entry& e : s->entries) {
        if (sameName(e.name, name)) {
            e.value = value;
            return;
        }
    }
    s->entries.push_back({name, value});
}

bool SettingsFile::remove(const QString& section, const QString& name) {
    Section* s = find(section);
    if (!s)
        return false;
    const auto it = std::find_if(s->entries.begin(), s->entries.end(),
                                 [&](const Entry& e) { return sameName(e.name, name); });
    if (it == s->entries.end())
        return false;
    s->entries.erase(it);
    return true;
}

bool SettingsFile::removeSection(const QString& section) {
    const QString below = section + QLatin1Char('\\');
    const auto gone = std::remove_if(sections_.begin(), sections_.end(), [&](const Section& s) {
        return sameName(s.name, section) || s.name.startsWith(below, Qt::CaseInsensitive);
    });
    const bool any = gone != sections_.end();
    sections_.erase(gone, sections_.end());
    return any;
}

} // namespace kv
