#include "ScanCode/browser/QSVCookieDBManager.h"

#include "ScanCode/browser/BrowserDatabase.h"
#include "model/Problem.h"
#include "platform/Log.h"

namespace tessaly {

namespace {

// The table and the column that names a cookie's site, as this database has them.
std::pair<std::string, std::string> siteColumn(const std::string& type, const BrowserDatabase& db) {
    if (type == "chrome")
        return {"cookies", "host_key"};
    return {"moz_cookies", db.hasColumn("moz_cookies", "baseDomain") ? "baseDomain" : "host"};
}

} // namespace

void QSVCookieDBManager::connectDatabase(const std::string& type, const std::string& path) {
    if (type != "chrome" && type != "firefox")
        return;
    type_ = type;
    path_ = path;
}

std::optional<std::vector<std::string>> QSVCookieDBManager::getData() const {
    std::vector<std::string> domains;
    if (path_.empty())
        return domains;
    BrowserDatabase db(path_);
    std::optional<std::vector<SqlRow>> rows;
    if (db.open()) {
        auto [table, column] = siteColumn(type_, db);
        if (db.hasColumn(table, column))
            rows = db.query("SELECT DISTINCT " + column + " AS site FROM " + table);
        else
            return domains; // not a cookie database of this browser
    }
    if (!rows) {
        ProblemCollector::report(path_, "could not be read: " + db.lastErrorReason());
        return std::nullopt;
    }
    for (const SqlRow& row : *rows)
        if (const auto* site = row.at("site").string())
            domains.push_back(*site);
    log::line(std::to_string(domains.size()));
    return domains;
}

std::vector<std::optional<std::string>>
QSVCookieDBManager::deleteCookies(const std::vector<std::string>& sites,
                                  std::stop_token stop) const {
    return changeInOneTransaction(
        path_, sites.size(),
        [&](BrowserDatabase& db, std::size_t i) {
            auto [table, column] = siteColumn(type_, db);
            return db.update("DELETE FROM " + table + " WHERE " + column + " = ? OR " + column +
                                 " = ?",
                             {sites[i], "." + sites[i]});
        },
        std::move(stop));
}

} // namespace tessaly
