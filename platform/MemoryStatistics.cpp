#include "platform/MemoryStatistics.h"

#include "platform/Paths.h"

#include <fstream>
#include <map>
#include <sstream>

namespace tessaly::memstat {

std::optional<PageCounts> parseMeminfo(const std::string& text) {
    std::map<std::string, double> kb;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        auto colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        std::istringstream value(line.substr(colon + 1));
        double amount = 0;
        if (value >> amount)
            kb[line.substr(0, colon)] = amount;
    }
    for (const char* k : {"MemTotal", "MemFree", "Active", "Inactive"})
        if (!kb.count(k))
            return std::nullopt;
    PageCounts p;
    p.free = kb["MemFree"] / 4;
    p.active = kb["Active"] / 4;
    p.inactive = kb["Inactive"] / 4;
    double wiredKb = kb["MemTotal"] - kb["MemFree"] - kb["Active"] - kb["Inactive"];
    p.wired = wiredKb > 0 ? wiredKb / 4 : 0;
    return p;
}

std::optional<PageCounts> sample() {
    std::ifstream in(paths::systemPath("/proc/meminfo"));
    if (!in)
        return std::nullopt;
    std::ostringstream s;
    s << in.rdbuf();
    return parseMeminfo(s.str());
}

} // namespace tessaly::memstat
