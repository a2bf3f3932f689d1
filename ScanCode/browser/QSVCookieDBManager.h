#pragma once

#include <optional>
#include <stop_token>
#include <string>
#include <vector>

namespace tessaly {

// The cookie database of Chrome ("Cookies": cookies.host_key) or Firefox
// ("cookies.sqlite": moz_cookies, by baseDomain where the database still has
// that column, else by host).
class QSVCookieDBManager {
public:
    // "chrome" or "firefox" (any other name connects nothing) and the database
    // file (empty: the browser has none).
    void connectDatabase(const std::string& type, const std::string& path);
    const std::string& path() const { return path_; }

    // The cookie domains as stored (possibly with a leading dot), in row order.
    // No database gives none found; one that cannot be read gives none, and the
    // problem is reported.
    std::optional<std::vector<std::string>> getData() const;

    // Deletes the cookies of each site, stored with or without a leading dot, in
    // one transaction; per site, none when done, else why not.
    std::vector<std::optional<std::string>> deleteCookies(const std::vector<std::string>& sites,
                                                          std::stop_token stop) const;

private:
    std::string type_;
    std::string path_;
};

} // namespace tessaly
