#include "net/NetworkRoutes.h"

#include <QFile>
#include <QList>

namespace kv {
namespace {
constexpr unsigned kRouteUp = 0x0001;         // RTF_UP
constexpr unsigned kRouteReject = 0x0200;     // RTF_REJECT
constexpr unsigned kRouteLocal = 0x80000000u; // RTF_LOCAL: an address of this machine
constexpr unsigned kInterfaceUp = 0x1;        // IFF_UP

std::optional<QByteArray> readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

unsigned hex(const QByteArray& text, bool* ok = nullptr) {
    return text.toUInt(ok, 16);
}

bool interfaceUp(const QString& interfaces, const QByteArray& name) {
    if (name.isEmpty() || name == "lo" || name.contains('/'))
        return false;
    const std::optional<QByteArray> flags =
        readAll(interfaces + QLatin1Char('/') + QString::fromUtf8(name) + QStringLiteral("/flags"));
    bool ok = false;
    const unsigned value = flags ? flags->trimmed().toUInt(&ok, 0) : 0;
    return ok && (value & kInterfaceUp) != 0;
}

// "Iface Destination Gateway Flags ...", a header line first.
bool ipv4Usable(const QByteArray& table, const QString& interfaces) {
    const QList<QByteArray> lines = table.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> f = lines[i].simplified().split(' ');
        bool ok = false;
        const unsigned flags = f.size() >= 4 ? hex(f[3], &ok) : 0;
        if (ok && (flags & kRouteUp) && !(flags & kRouteReject) && interfaceUp(interfaces, f[0]))
            return true;
    }
    return false;
}

// "destination prefix source prefix next-hop metric refs use flags interface", no header.
bool ipv6Usable(const QByteArray& table, const QString& interfaces) {
    for (const QByteArray& line : table.split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() < 10 || f[0].size() != 32)
            continue;
        bool ok = false;
        const unsigned flags = hex(f[8], &ok);
        const unsigned firstWord = hex(f[0].left(4));
        const bool linkLocal = (firstWord & 0xFFC0) == 0xFE80;
        const bool multicast = (firstWord & 0xFF00) == 0xFF00;
        if (ok && (flags & kRouteUp) && !(flags & (kRouteReject | kRouteLocal)) && !linkLocal &&
            !multicast && interfaceUp(interfaces, f[9]))
            return true;
    }
    return false;
}
} // namespace

std::optional<bool> HasUsableRoute(const QString& ipv4Routes, const QString& ipv6Routes,
                                   const QString& interfaces) {
    const std::optional<QByteArray> v4 = readAll(ipv4Routes);
    const std::optional<QByteArray> v6 = readAll(ipv6Routes);
    if (!v4 && !v6)
        return std::nullopt;
    return (v4 && ipv4Usable(*v4, interfaces)) || (v6 && ipv6Usable(*v6, interfaces));
}

} // namespace kv
