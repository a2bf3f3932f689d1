#pragma once

namespace tessaly::reachability {

// Whether the internet can be reached now: a network interface other than loopback
// is up and the routing table has a default route. Reads kernel tables only, so it
// never blocks for long.
bool internetReachable();

// The same test on given routing-table texts (the contents of /proc/net/route and
// /proc/net/ipv6_route), for tests.
bool hasDefaultRoute(const char* ipv4Routes, const char* ipv6Routes);

} // namespace tessaly::reachability
