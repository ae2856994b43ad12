#pragma once

#include <QHash>
#include <QString>

#include <optional>
#include <vector>

namespace kv {

// A settings file in the user's configuration folder: "<config>/Kelvanto/<name>.ini".
QString UserSettingsPath(const QString& name);

// A name as names are matched without regard to case (Qt::CaseInsensitive): two names are
// the same when their folded forms are equal.
QString FoldedName(QStringView name);

// The text of a settings file: sections of named text values, kept in their order. Sections
// and names are matched without regard to case.
//
//   [HKEY_LOCAL_MACHINE\Software\Quorvane Kelvanto\Settings]
//   txtOutPath=/home/me/Converted Files
//
// In names and values a backslash, "=" (names only), line feed, carriage return, tab and NUL
// are written as \\, \=, \n, \r, \t and \0. Reading is lenient: a line it cannot use is
// skipped, so a damaged file still gives what it can.
class SettingsFile {
public:
    // The file as it is on disk; empty when it is missing, and when it cannot be read or is
    // not a regular file of at most kMaxSettingsFileBytes (`readable` false).
    static SettingsFile read(const QString& path, bool* readable = nullptr);
    static SettingsFile parse(const QByteArray& bytes);
    // Replaces the file as a whole: a new file is written beside it and renamed over it, so
    // a failure at any point leaves the previous file untouched. False on any failure, and
    // without touching anything when the file there is not one the program may replace
    // (SettingsFileReplaceable) or the new one would be over the limit.
    bool write(const QString& path) const;

    std::optional<QString> value(const QString& section, const QString& name) const;
    void setValue(const QString& section, const QString& name, const QString& value);
    // False when there was no such value.
    bool remove(const QString& section, const QString& name);
    // The section with every section below it; false when there was none.
    bool removeSection(const QString& section);

    QByteArray toBytes() const;

private:
    struct Entry {
        QString name, value;
    };
    struct Section {
        QString name;
        std::vector<Entry> entries;
        QHash<QString, std::size_t> index; // entries by folded name
        void reindex();
    };
    Section* find(const QString& section);
    const Section* find(const QString& section) const;
    Section& ensure(const QString& section);
    void reindex();
    std::vector<Section> sections_;
    QHash<QString, std::size_t> index_; // sections by folded name
};

} // namespace kv
