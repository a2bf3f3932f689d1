#include "platform/Reachability.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace tessaly::reachability {

namespace {

std::string slurp(const char* path) {
    std::ifstream in(path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace

bool hasDefaultRoute(const char* ipv4Routes, const char* ipv6Routes) {
    // /proc/net/route: "Iface Destination Gateway Flags ..." with hex fields; a
    // default route has destination 00000000 and the "up" flag (1).
    std::istringstream v4(ipv4Routes ? ipv4Routes : "");
    std::string line;
    std::getline(v4, line); // header
    while (std::getline(v4, line)) {
        std::istringstream f(line);
        std::string iface, dest, gateway, flags;
        if (!(f >> iface >> dest >> gateway >> flags) || iface == "lo")
            continue;
        if (dest == "00000000" && (std::strtoul(flags.c_str(), nullptr, 16) & 1u))
            return true;
    }
    // /proc/net/ipv6_route: destination (32 hex), prefix length, ..., flags, device.
    std::istringstream v6(ipv6Routes ? ipv6Routes : "");
    while (std::getline(v6, line)) {
        std::istringstream f(line);
        std::string dest, plen, src, slen, next, metric, ref, use, flags, dev;
        if (!(f >> dest >> plen >> src >> slen >> next >> metric >> ref >> use >> flags >> dev))
            continue;
        if (dev == "lo" || dest != std::string(32, '0') || plen != "00")
            continue;
        if (std::strtoul(flags.c_str(), nullptr, 16) & 1u)
            return true;
    }
    return false;
}

bool internetReachable() {
    std::string v4 = slurp("/proc/net/route");
    std::string v6 = slurp("/proc/net/ipv6_route");
    return hasDefaultRoute(v4.c_str(), v6.c_str());
}

} // namespace tessaly::reachability
