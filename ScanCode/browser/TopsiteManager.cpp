#include "ScanCode/browser/TopsiteManager.h"

#include "ScanCode/RecordRemoval.h"
#include "ScanCode/browser/BrowserDatabase.h"
#include "ScanCode/browser/BrowserModules.h"
#include "ScanCode/browser/BrowserPlaces.h"
#include "ScanCode/browser/SafariLists.h"
#include "model/Problem.h"
#include "platform/Log.h"

#include <map>

namespace tessaly {

namespace {

constexpr const char* kSafariTopSitesKey = "TopSites";

// The table of this database: current versions keep top_sites, older ones urls.
std::string topSitesTable(const BrowserDatabase& db) {
    return db.hasTable("top_sites") ? "top_sites" : "urls";
}

ScanItem topSite(std::string address, const std::string& title, const std::string& browser) {
    auto item = std::make_shared<ScaneOuputObject>();
    item->path = std::move(address);
    item->name = title.empty() ? item->path : title;
    item->isCheck = true;
    item->countryName = browser;
    item->loading = true;
    return item;
}

} // namespace

void QSVTopsitDBManager::connectDatabase(const std::string& type, const std::string& path) {
    if (type == "chrome")
        path_ = path;
}

std::optional<ScanItemList> QSVTopsitDBManager::getData() const {
    ScanItemList items;
    if (path_.empty())
        return items;
    BrowserDatabase db(path_);
    std::optional<std::vector<SqlRow>> rows;
    if (db.open()) {
        const std::string table = topSitesTable(db);
        if (!db.hasTable(table))
            return items;
        rows = db.query("SELECT DISTINCT url, title FROM " + table +
                        (table == "top_sites" ? " ORDER BY url_rank" : ""));
    }
    if (!rows) {
        if (db.isOpen())
            log::line("close chrom history table");
        ProblemCollector::report(path_, "could not be read: " + db.lastErrorReason());
        return std::nullopt;
    }
    for (const SqlRow& row : *rows) {
        const PlistValue& title = row.at("title");
        ScanItem item = topSite(row.at("url").toString(), title.toString(),
                                browser::browserName(browser::Chrome));
        item->historyItem["title"] = title;
        items.push_back(std::move(item));
    }
    return items;
}

std::vector<std::optional<std::string>> QSVTopsitDBManager::deleteTopsite(const ScanItemList& items,
                                                                          std::stop_token stop,
                                                                          bool compact) const {
    return changeInOneTransaction(
        path_, items.size(),
        [&](BrowserDatabase& db, std::size_t i) {
            auto title = items[i]->historyItem.find("title");
            return db.update("DELETE FROM " + topSitesTable(db) + " WHERE url = ? AND title IS ?",
                             {items[i]->path,
                              title == items[i]->historyItem.end() ? PlistValue() : title->second});
        },
        std::move(stop), {{}, compact});
}

void TopsiteManager::connect(const BrowserFiles& files) {
    safariTopSitesFile = files.safariTopSites;
    chromeTopsitDB.connectDatabase("chrome", files.chromeTopSites);
    otherChromeFiles_.clear();
    for (const BrowserFiles::OtherProfile& profile : files.chromeOthers)
        if (!profile.topSites.empty())
            otherChromeFiles_.push_back(profile.topSites);
}

void TopsiteManager::getSafariTopsit(ScanItemList& items, std::stop_token stop) {
    if (safariTopSitesFile.empty())
        return;
    auto entries = readListEntries(safariTopSitesFile, kSafariTopSitesKey);
    if (!entries) {
        ProblemCollector::report(safariTopSitesFile, "could not be read as a top-sites list");
        return;
    }
    for (const PlistValue& entry : *entries) {
        if (stop.stop_requested())
            return;
        if (!entry.isDict())
            continue;
        ScanItem item =
            topSite(entry.stringForKey("TopSiteURLString"), entry.stringForKey("TopSiteTitle"),
                    browser::browserName(browser::Safari));
        item->historyItem = *entry.dict();
        if (icons_)
            item->icon = icons_(item->path, browser::Safari);
        item->loading = false;
        items.push_back(std::move(item));
    }
}

void TopsiteManager::getChromeTopsit(ScanItemList& items, std::stop_token stop) {
    std::vector<std::string> databases{std::string()};
    databases.insert(databases.end(), otherChromeFiles_.begin(), otherChromeFiles_.end());
    for (const std::string& database : databases) {
        QSVTopsitDBManager other;
        other.connectDatabase("chrome", database);
        auto found = (database.empty() ? chromeTopsitDB : other).getData();
        if (!found)
            continue;
        for (ScanItem& item : *found) {
            if (stop.stop_requested())
                return;
            if (icons_)
                item->icon = icons_(item->path, browser::Chrome);
            item->loading = false;
            item->database = database;
            items.push_back(std::move(item));
        }
    }
}

std::vector<std::optional<std::string>> TopsiteManager::removeTopsit(const ScanItemList& items,
                                                                     std::stop_token stop,
                                                                     const std::set<int>& compact) {
    std::vector<std::optional<std::string>> out(items.size(), std::string(kStoppedBeforeHandled));
    ScanItemList chrome;
    std::vector<std::size_t> chromeAt, safariAt;
    std::vector<PlistValue> gone;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const int type = browser::browserType(items[i]->countryName);
        if (type == browser::Chrome) {
            chrome.push_back(items[i]);
            chromeAt.push_back(i);
        } else if (type == browser::Safari) {
            gone.emplace_back(items[i]->historyItem);
            safariAt.push_back(i);
        } else {
            out[i] = "it belongs to no browser with top sites";
        }
    }
    if (!gone.empty() && !stop.stop_requested()) {
        auto results = removeListEntries(safariTopSitesFile, kSafariTopSitesKey, gone);
        for (std::size_t k = 0; k < results.size(); ++k)
            out[safariAt[k]] = results[k];
    }
    // Each database's top sites in one transaction on it.
    std::map<std::string, std::pair<ScanItemList, std::vector<std::size_t>>> byDatabase;
    for (std::size_t k = 0; k < chrome.size(); ++k) {
        auto& [entries, places] = byDatabase[chrome[k]->database];
        entries.push_back(chrome[k]);
        places.push_back(chromeAt[k]);
    }
    for (const auto& [database, found] : byDatabase) {
        QSVTopsitDBManager other;
        other.connectDatabase("chrome", database);
        auto results = (database.empty() ? chromeTopsitDB : other)
                           .deleteTopsite(found.first, stop, compact.count(browser::Chrome) > 0);
        for (std::size_t k = 0; k < results.size(); ++k)
            out[found.second[k]] = results[k];
    }
    return out;
}

} // namespace tessaly
