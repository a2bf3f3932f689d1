#include "ScanCode/browser/SiteNames.h"

#include "platform/TextCase.h"

#include <arpa/inet.h>
#include <libpsl.h>

namespace tessaly::sites {

namespace {

// The newest list on the system (Debian's publicsuffix package), else the one
// built into the library. Made once and kept for the run.
const psl_ctx_t* suffixList() {
    static const psl_ctx_t* list = [] {
        const psl_ctx_t* latest = psl_latest(nullptr);
        return latest ? latest : psl_builtin();
    }();
    return list;
}

} // namespace

std::string hostName(const std::string& domain) {
    std::string host = text::asciiLowercase(domain);
    while (!host.empty() && host.front() == '.')
        host.erase(0, 1);
    while (!host.empty() && host.back() == '.')
        host.pop_back();
    return host;
}

std::string registrableDomain(const std::string& host) {
    const std::string name = hostName(host);
    // An address is its own site, never part of a "domain" of its last numbers.
    in_addr v4{};
    if (name.empty() || name.find('.') == std::string::npos || name.front() == '[' ||
        name.find(':') != std::string::npos || ::inet_pton(AF_INET, name.c_str(), &v4) == 1)
        return name;
    const psl_ctx_t* list = suffixList();
    const char* found = list ? psl_registrable_domain(list, name.c_str()) : nullptr;
    return found ? std::string(found) : name;
}

bool covers(const std::string& kept, const std::string& host) {
    const std::string site = hostName(kept);
    const std::string name = hostName(host);
    if (site.empty() || name.size() < site.size())
        return false;
    if (name == site)
        return true;
    return name.size() > site.size() &&
           name.compare(name.size() - site.size(), site.size(), site) == 0 &&
           name[name.size() - site.size() - 1] == '.';
}

bool coveredByAny(const std::vector<std::string>& kept, const std::string& host) {
    for (const std::string& k : kept)
        if (covers(k, host))
            return true;
    return false;
}

} // namespace tessaly::sites
