#pragma once

#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

namespace tessaly {

// A cookie's host as stored (possibly with a leading dot), and the site the
// browser itself stored for it (older Firefox's baseDomain; empty when it keeps
// none).
struct CookieHost {
    std::string host;
    std::string storedSite;
};

// The cookie database of Chrome ("Cookies": cookies.host_key) or Firefox
// ("cookies.sqlite": moz_cookies.host, with baseDomain where the database still
// has that column).
class QSVCookieDBManager {
public:
    // "chrome" or "firefox" (any other name connects nothing) and the database
    // file (empty: the browser has none).
    void connectDatabase(const std::string& type, const std::string& path);
    const std::string& path() const { return path_; }

    // The distinct hosts, in row order. No database gives none found; one that
    // cannot be read gives none, and the problem is reported.
    std::optional<std::vector<CookieHost>> getData() const;

    // The site a host's cookies belong to; empty for a host that must stay.
    using SiteOf = std::function<std::string(const CookieHost&)>;
    // Deletes, in one transaction, the cookies of every host whose site is one
    // of these, then compacts the database when asked; per site, none when
    // done, else why not.
    std::vector<std::optional<std::string>> deleteCookies(const std::vector<std::string>& sites,
                                                          const SiteOf& siteOf,
                                                          std::stop_token stop,
                                                          bool compact = false) const;

private:
    std::string type_;
    std::string path_;
};

} // namespace tessaly
