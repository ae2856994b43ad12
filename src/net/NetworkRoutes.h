#pragma once

#include <QString>

#include <optional>

namespace kv {

// Whether the routing tables offer a way off this machine: a route that is up, not a
// rejecting one, on an interface other than loopback that is up (IPv6 link-local, multicast
// and the machine's own addresses left out). Reads files in the kernel's formats:
// `ipv4Routes` as /proc/net/route, `ipv6Routes` as /proc/net/ipv6_route, and the interfaces'
// flags under `interfaces` as /sys/class/net. Nothing is sent. Empty when neither table
// can be read.
std::optional<bool>
HasUsableRoute(const QString& ipv4Routes = QStringLiteral("/proc/net/route"),
               const QString& ipv6Routes = QStringLiteral("/proc/net/ipv6_route"),
               const QString& interfaces = QStringLiteral("/sys/class/net"));

} // namespace kv
