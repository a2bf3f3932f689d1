#include "ScanCode/browser/QSVCookieDBManager.h"

#include "ScanCode/browser/BrowserDatabase.h"
#include "model/Problem.h"
#include "platform/Log.h"

#include <map>

namespace tessaly {

namespace {

// Where this database keeps a cookie's host, and the site it stored (if any).
struct Columns {
    std::string table, host, site;
};

Columns columnsOf(const std::string& type, const BrowserDatabase& db) {
    if (type == "chrome")
        return {"cookies", "host_key", ""};
    return {"moz_cookies", "host", db.hasColumn("moz_cookies", "baseDomain") ? "baseDomain" : ""};
}

std::optional<std::vector<CookieHost>> hostsIn(BrowserDatabase& db, const Columns& c) {
    auto rows = db.query("SELECT DISTINCT " + c.host + " AS host" +
                         (c.site.empty() ? std::string() : ", " + c.site + " AS site") + " FROM " +
                         c.table);
    if (!rows)
        return std::nullopt;
    std::vector<CookieHost> out;
    for (const SqlRow& row : *rows) {
        const auto* host = row.at("host").string();
        if (!host)
            continue;
        auto site = row.find("site");
        out.push_back({*host, site == row.end() ? std::string() : site->second.toString()});
    }
    return out;
}

} // namespace

void QSVCookieDBManager::connectDatabase(const std::string& type, const std::string& path) {
    if (type != "chrome" && type != "firefox")
        return;
    type_ = type;
    path_ = path;
}

std::optional<std::vector<CookieHost>> QSVCookieDBManager::getData() const {
    std::vector<CookieHost> hosts;
    if (path_.empty())
        return hosts;
    BrowserDatabase db(path_);
    std::optional<std::vector<CookieHost>> found;
    if (db.open()) {
        const Columns c = columnsOf(type_, db);
        if (!db.hasColumn(c.table, c.host))
            return hosts; // not a cookie database of this browser
        found = hostsIn(db, c);
    }
    if (!found) {
        ProblemCollector::report(path_, "could not be read: " + db.lastErrorReason());
        return std::nullopt;
    }
    log::line(std::to_string(found->size()));
    return found;
}

std::vector<std::optional<std::string>>
QSVCookieDBManager::deleteCookies(const std::vector<std::string>& sites, const SiteOf& siteOf,
                                  std::stop_token stop, bool compact) const {
    // The hosts of each site, as the database holds them when the clean begins.
    std::optional<std::map<std::string, std::vector<CookieHost>>> bySite;
    return changeInOneTransaction(
        path_, sites.size(),
        [&](BrowserDatabase& db, std::size_t i) {
            const Columns c = columnsOf(type_, db);
            if (!bySite) {
                auto hosts = hostsIn(db, c);
                if (!hosts)
                    return false;
                bySite.emplace();
                for (CookieHost& h : *hosts)
                    if (std::string site = siteOf(h); !site.empty())
                        (*bySite)[site].push_back(std::move(h));
            }
            auto it = bySite->find(sites[i]);
            if (it == bySite->end())
                return true; // none of its cookies is left
            for (const CookieHost& h : it->second)
                if (!db.update("DELETE FROM " + c.table + " WHERE " + c.host + " = ?", {h.host}))
                    return false;
            return true;
        },
        std::move(stop), {{}, compact});
}

} // namespace tessaly
