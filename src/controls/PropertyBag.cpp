#include "controls/PropertyBag.h"

#include <limits>
#include <optional>

namespace kv {
namespace {

// Any whole number the entry holds, whatever type it was stored with (text included).
std::optional<qint64> wholeNumber(const QVariant& v) {
    bool ok = false;
    qint64 n = 0;
    switch (v.metaType().id()) {
    case QMetaType::Bool:
        return v.toBool() ? -1 : 0; // a stored true is the all-ones word
    case QMetaType::Double:
    case QMetaType::Float:
        return std::nullopt;
    case QMetaType::ULongLong: {
        const qulonglong u = v.toULongLong(&ok);
        if (!ok || u > static_cast<qulonglong>(std::numeric_limits<qint64>::max()))
            return std::nullopt;
        return static_cast<qint64>(u);
    }
    default:
        n = v.toLongLong(&ok);
        return ok ? std::optional<qint64>(n) : std::nullopt;
    }
}

void clearOk(bool* ok) {
    if (ok)
        *ok = false;
}

} // namespace

PropertyBag::PropertyBag(std::initializer_list<std::pair<QString, QVariant>> entries) {
    for (const auto& [name, value] : entries)
        set(name, value);
}

qsizetype PropertyBag::indexOf(const QString& name) const {
    for (qsizetype i = 0; i < entries_.size(); ++i)
        if (entries_[i].first.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QVariant PropertyBag::value(const QString& name) const {
    const qsizetype i = indexOf(name);
    return i < 0 ? QVariant() : entries_[i].second;
}

QStringList PropertyBag::names() const {
    QStringList out;
    for (const auto& e : entries_)
        out << e.first;
    return out;
}

void PropertyBag::set(const QString& name, const QVariant& value) {
    const qsizetype i = indexOf(name);
    if (i >= 0)
        entries_[i].second = value;
    else
        entries_.append({name.toLower(), value});
}

void PropertyBag::remove(const QString& name) {
    const qsizetype i = indexOf(name);
    if (i >= 0)
        entries_.removeAt(i);
}

std::optional<qint64> PropertyBag::readWhole(const QString& name, qint64 low, qint64 high,
                                             bool* ok) const {
    if (ok)
        *ok = true;
    const qsizetype i = indexOf(name);
    if (i < 0)
        return std::nullopt;
    const auto n = wholeNumber(entries_[i].second);
    if (!n || *n < low || *n > high) {
        clearOk(ok);
        return std::nullopt;
    }
    return n;
}

std::int32_t PropertyBag::ReadInt32(const QString& name, std::int32_t fallback, bool* ok) const {
    const auto n = readWhole(name, std::numeric_limits<std::int32_t>::min(),
                             std::numeric_limits<std::int32_t>::max(), ok);
    return n ? static_cast<std::int32_t>(*n) : fallback;
}

std::uint32_t PropertyBag::ReadUInt32(const QString& name, std::uint32_t fallback, bool* ok) const {
    // A 32-bit word may have been written signed; keep its bits.
    const auto n = readWhole(name, std::numeric_limits<std::int32_t>::min(),
                             std::numeric_limits<std::uint32_t>::max(), ok);
    return n ? static_cast<std::uint32_t>(*n) : fallback;
}

bool PropertyBag::ReadBool(const QString& name, bool fallback, bool* ok) const {
    if (ok)
        *ok = true;
    const qsizetype i = indexOf(name);
    if (i < 0)
        return fallback;
    const QVariant& v = entries_[i].second;
    if (v.metaType().id() == QMetaType::QString) {
        const QString s = v.toString().trimmed();
        if (s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return true;
        if (s.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
            return false;
    }
    const auto n = wholeNumber(v);
    if (!n) {
        clearOk(ok);
        return fallback;
    }
    return *n != 0;
}

void PropertyBag::WriteInt32(const QString& name, std::int32_t value, std::int32_t defaultValue) {
    if (value == defaultValue)
        remove(name);
    else
        set(name, QVariant::fromValue(value));
}

void PropertyBag::WriteUInt32(const QString& name, std::uint32_t value,
                              std::uint32_t defaultValue) {
    if (value == defaultValue)
        remove(name);
    else
        set(name, QVariant::fromValue(value));
}

void PropertyBag::WriteBool(const QString& name, bool value, bool defaultValue) {
    if (value == defaultValue)
        remove(name);
    else
        set(name, QVariant(value));
}

} // namespace kv
