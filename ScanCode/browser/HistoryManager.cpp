#include "ScanCode/browser/HistoryManager.h"

#include "ScanCode/RecordRemoval.h"
#include "ScanCode/browser/BrowserModules.h"
#include "ScanCode/browser/BrowserPlaces.h"
#include "ScanCode/browser/SafariLists.h"
#include "model/CommonFunction.h"
#include "model/Problem.h"
#include "platform/FileAttributes.h"

#include <cstdlib>
#include <map>

namespace tessaly {

namespace {

constexpr const char* kSafariHistoryKey = "WebHistoryDates";

} // namespace

std::string hostOfAddress(const std::string& address) {
    const std::size_t scheme = address.find("://");
    if (scheme == std::string::npos)
        return address;
    std::size_t start = scheme + 3;
    std::size_t end = address.find_first_of("/?#", start);
    std::string host = address.substr(start, end == std::string::npos ? end : end - start);
    if (auto at = host.rfind('@'); at != std::string::npos)
        host.erase(0, at + 1);
    if (auto colon = host.rfind(':');
        colon != std::string::npos && host.find(']') == std::string::npos)
        host.erase(colon);
    return host.empty() ? address : host;
}

void HistoryManager::connect(const BrowserFiles& files) {
    safariHistoryFile = files.safariHistory;
    chromeHistoryDB.connectDatabase("chrome", files.chromeHistory);
    chromeHistoryDB.setCompanions(files.chromeCompanions);
    firefoxCookieDB.connectDatabase("firefox", files.firefoxHistory);
    firefoxCookieDB.setCompanions(files.firefoxCompanions);
    for (auto& list : others_)
        list.clear();
    files.forEachOther(
        [this](int type, const char* kind, const BrowserFiles::OtherProfile& profile) {
            if (profile.history.empty())
                return;
            others_[type].emplace_back();
            others_[type].back().connectDatabase(kind, profile.history);
            others_[type].back().setCompanions(profile.companions);
        });
}

void HistoryManager::addToGroups(ScanItemList& groups, ScanItemList visits, int type,
                                 std::stop_token stop) {
    std::map<std::string, ScanItem> byDay;
    for (const ScanItem& g : groups)
        byDay.emplace(g->dateStr, g);
    for (ScanItem& visit : visits) {
        if (stop.stop_requested())
            return;
        if (icons_)
            visit->icon = icons_(hostOfAddress(visit->path), type);
        visit->loading = false;
        ScanItem& group = byDay[visit->dateStr];
        if (!group) {
            group = std::make_shared<ScaneOuputObject>();
            group->name = group->dateStr = visit->dateStr;
            group->isCheck = true;
            group->subObjects = std::make_shared<ScanItemList>();
            groups.push_back(group);
        }
        group->subObjects->push_back(std::move(visit));
    }
}

void HistoryManager::getSafariHistory(ScanItemList& groups, std::stop_token stop) {
    if (safariHistoryFile.empty())
        return;
    auto entries = readListEntries(safariHistoryFile, kSafariHistoryKey);
    if (!entries) {
        ProblemCollector::report(safariHistoryFile, "could not be read as a history list");
        return;
    }
    ScanItemList visits;
    for (const PlistValue& entry : *entries) {
        if (!entry.isDict())
            continue;
        auto visit = std::make_shared<ScaneOuputObject>();
        visit->isCheck = true;
        visit->countryName = browser::browserName(browser::Safari);
        visit->path = entry.stringForKey("");
        const std::string title = entry.stringForKey("title");
        visit->name = !title.empty() ? title : !visit->path.empty() ? visit->path : " no title";
        const double seconds = std::strtod(entry.stringForKey("lastVisitedDate").c_str(), nullptr);
        visit->dateStr = CommonFunction::dateStr(dateFromReferenceSeconds(seconds));
        visit->historyItem = *entry.dict();
        visit->loading = true;
        visits.push_back(std::move(visit));
    }
    addToGroups(groups, std::move(visits), browser::Safari, std::move(stop));
}

void HistoryManager::readProfiles(ScanItemList& groups, int type, std::stop_token stop) {
    const QSVHistoryDBManager& main = type == browser::Chrome ? chromeHistoryDB : firefoxCookieDB;
    if (auto pages = main.getData())
        addToGroups(groups, std::move(*pages), type, stop);
    for (const QSVHistoryDBManager& other : others_[type])
        if (auto pages = other.getData()) {
            for (const ScanItem& page : *pages)
                page->database = other.path();
            addToGroups(groups, std::move(*pages), type, stop);
        }
}

void HistoryManager::getChromeHistory(ScanItemList& groups, std::stop_token stop) {
    readProfiles(groups, browser::Chrome, std::move(stop));
}

void HistoryManager::getFirfoxHistory(ScanItemList& groups, std::stop_token stop) {
    readProfiles(groups, browser::Firefox, std::move(stop));
}

std::vector<std::optional<std::string>>
HistoryManager::removeHistory(const ScanItemList& visits, std::stop_token stop,
                              const std::set<int>& compact) {
    std::vector<std::optional<std::string>> out(visits.size(), std::string(kStoppedBeforeHandled));
    ScanItemList of[browser::kBrowserCount];
    std::vector<std::size_t> at[browser::kBrowserCount];
    for (std::size_t i = 0; i < visits.size(); ++i) {
        const int type = browser::browserType(visits[i]->countryName);
        if (type < 0) {
            out[i] = "it belongs to no browser";
            continue;
        }
        of[type].push_back(visits[i]);
        at[type].push_back(i);
    }
    // Safari: the list is rewritten once, without the visits found in it.
    if (!of[browser::Safari].empty() && !stop.stop_requested()) {
        std::vector<PlistValue> gone;
        for (const ScanItem& v : of[browser::Safari])
            gone.emplace_back(v->historyItem);
        auto results = removeListEntries(safariHistoryFile, kSafariHistoryKey, gone);
        for (std::size_t k = 0; k < results.size(); ++k)
            out[at[browser::Safari][k]] = results[k];
    }
    // Each database's entries in one transaction on it (with its companions).
    const QSVHistoryDBManager* dbs[] = {nullptr, &chromeHistoryDB, &firefoxCookieDB};
    for (int type : {browser::Chrome, browser::Firefox}) {
        std::map<std::string, std::pair<ScanItemList, std::vector<std::size_t>>> byDatabase;
        for (std::size_t k = 0; k < of[type].size(); ++k) {
            auto& [entries, places] = byDatabase[of[type][k]->database];
            entries.push_back(of[type][k]);
            places.push_back(at[type][k]);
        }
        for (const auto& [database, found] : byDatabase) {
            const QSVHistoryDBManager* db = dbs[type];
            for (const QSVHistoryDBManager& other : others_[type])
                if (!database.empty() && other.path() == database)
                    db = &other;
            if (!database.empty() && db == dbs[type]) {
                for (std::size_t i : found.second)
                    out[i] = "its profile is no longer there";
                continue;
            }
            auto results = db->deleteHistory(found.first, stop, compact.count(type) > 0);
            for (std::size_t k = 0; k < results.size(); ++k)
                out[found.second[k]] = results[k];
        }
    }
    return out;
}

} // namespace tessaly
