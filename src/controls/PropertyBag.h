#pragma once

#include <optional>

#include <QList>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <initializer_list>
#include <utility>

namespace kv {

// A control's stored properties as its host keeps them: named, typed values. Names are
// matched without regard to case and kept in lower case, in the order they were written.
class PropertyBag {
public:
    PropertyBag() = default;
    PropertyBag(std::initializer_list<std::pair<QString, QVariant>> entries);

    // Reads `name` as the given type. A missing entry gives `fallback`; so does an entry that
    // cannot be taken as that type, which also clears *ok.
    std::int32_t ReadInt32(const QString& name, std::int32_t fallback, bool* ok = nullptr) const;
    std::uint32_t ReadUInt32(const QString& name, std::uint32_t fallback, bool* ok = nullptr) const;
    bool ReadBool(const QString& name, bool fallback, bool* ok = nullptr) const;

    // Stores the value; a value equal to its default is left out (and a stored one removed).
    void WriteInt32(const QString& name, std::int32_t value, std::int32_t defaultValue);
    void WriteUInt32(const QString& name, std::uint32_t value, std::uint32_t defaultValue);
    void WriteBool(const QString& name, bool value, bool defaultValue);

    bool contains(const QString& name) const { return indexOf(name) >= 0; }
    QVariant value(const QString& name) const;
    QStringList names() const;
    qsizetype size() const { return entries_.size(); }
    bool isEmpty() const { return entries_.isEmpty(); }

    void set(const QString& name, const QVariant& value);
    void remove(const QString& name);

private:
    qsizetype indexOf(const QString& name) const;
    // A stored whole number within [low, high]; nothing when absent or out of range (then
    // `ok` is cleared).
    std::optional<qint64> readWhole(const QString& name, qint64 low, qint64 high, bool* ok) const;

    QList<std::pair<QString, QVariant>> entries_;
};

} // namespace kv
