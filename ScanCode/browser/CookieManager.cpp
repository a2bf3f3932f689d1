#include "ScanCode/browser/CookieManager.h"

#include "ScanCode/RecordRemoval.h"
#include "ScanCode/browser/BrowserModules.h"
#include "ScanCode/browser/BrowserPlaces.h"
#include "ScanCode/browser/SiteNames.h"
#include "model/Problem.h"
#include "platform/BinaryCookies.h"
#include "platform/FileAttributes.h"
#include "platform/Log.h"

#include <algorithm>
#include <map>
#include <set>

namespace tessaly {

void CookieManager::connect(const BrowserFiles& files) {
    safariCookieFile = files.safariCookies;
    chromeCookieDB.connectDatabase("chrome", files.chromeCookies);
    firefoxCookieDB.connectDatabase("firefox", files.firefoxCookies);
    for (auto& list : others_)
        list.clear();
    files.forEachOther(
        [this](int type, const char* kind, const BrowserFiles::OtherProfile& profile) {
            if (profile.cookies.empty())
                return;
            others_[type].emplace_back();
            others_[type].back().connectDatabase(kind, profile.cookies);
        });
}

void CookieManager::loadBadCookie(const RiskyListSource& source) {
    if (badCookie_ || !source)
        return;
    if (auto list = source()) {
        badCookie_ = std::move(list);
        risky_ = {badCookie_->begin(), badCookie_->end()};
    }
}

std::optional<std::vector<std::string>> CookieManager::badCookie() const {
    return badCookie_;
}

void CookieManager::setKeepList(std::vector<std::string> keep) {
    keep_ = std::move(keep);
}

std::string CookieManager::siteOf(const CookieHost& host) const {
    if (sites::coveredByAny(keep_, host.host))
        return {};
    return host.storedSite.empty() ? sites::registrableDomain(host.host)
                                   : sites::hostName(host.storedSite);
}

std::string CookieManager::deleteFirstDot(const std::string& text) {
    return !text.empty() && text[0] == '.' ? text.substr(1) : text;
}

std::optional<std::vector<CookieHost>> CookieManager::safariDomains() const {
    std::vector<CookieHost> domains;
    if (safariCookieFile.empty())
        return domains;
    std::string error;
    auto store = binarycookies::readFile(safariCookieFile, &error);
    if (!store) {
        ProblemCollector::report(safariCookieFile, error);
        return std::nullopt;
    }
    for (const binarycookies::Cookie& c : store->cookies())
        domains.push_back({c.domain, {}});
    return domains;
}

void CookieManager::readSites(const std::optional<std::vector<CookieHost>>& domains,
                              std::vector<std::string>& sites, const std::string& browser,
                              ScanItemList& ordinary, ScanItemList& risky, std::stop_token stop,
                              const std::string& database) {
    if (!domains)
        return;
    std::set<std::string> seen;
    std::vector<std::string> found;
    for (const CookieHost& domain : *domains) {
        std::string site = siteOf(domain);
        if (!site.empty() && seen.insert(site).second)
            found.push_back(std::move(site));
    }
    sites.insert(sites.end(), found.begin(), found.end());
    for (const std::string& site : found) {
        if (stop.stop_requested())
            return;
        auto item = std::make_shared<ScaneOuputObject>();
        item->name = site;
        item->isCheck = true;
        item->countryName = browser;
        item->icon = "language-icon";
        item->isBadCookie = isRisky(site);
        item->database = database;
        (item->isBadCookie ? risky : ordinary).push_back(std::move(item));
    }
}

void CookieManager::getSafariCookie(ScanItemList& ordinary, ScanItemList& risky,
                                    std::stop_token stop) {
    safariCookies.clear();
    readSites(safariDomains(), safariCookies, browser::browserName(browser::Safari), ordinary,
              risky, std::move(stop));
}

void CookieManager::getChromeCookie(ScanItemList& ordinary, ScanItemList& risky,
                                    std::stop_token stop) {
    chromCookies.clear();
    readSites(chromeCookieDB.getData(), chromCookies, browser::browserName(browser::Chrome),
              ordinary, risky, stop);
    for (const QSVCookieDBManager& other : others_[browser::Chrome])
        readSites(other.getData(), chromCookies, browser::browserName(browser::Chrome), ordinary,
                  risky, stop, other.path());
}

void CookieManager::getFireFoxCookie(ScanItemList& ordinary, ScanItemList& risky,
                                     std::stop_token stop) {
    firefoxCookies.clear();
    readSites(firefoxCookieDB.getData(), firefoxCookies, browser::browserName(browser::Firefox),
              ordinary, risky, stop);
    for (const QSVCookieDBManager& other : others_[browser::Firefox])
        readSites(other.getData(), firefoxCookies, browser::browserName(browser::Firefox), ordinary,
                  risky, stop, other.path());
}

std::vector<std::string> CookieManager::allCookies() {
    log::line("cookie start");
    std::vector<std::string> out;
    std::set<std::string> seen;
    std::vector<std::optional<std::vector<CookieHost>>> sources{
        safariDomains(), chromeCookieDB.getData(), firefoxCookieDB.getData()};
    for (const auto& list : others_)
        for (const QSVCookieDBManager& other : list)
            sources.push_back(other.getData());
    for (const auto& domains : sources)
        if (domains)
            for (const CookieHost& domain : *domains) {
                std::string site = siteOf(domain);
                if (!site.empty() && seen.insert(site).second)
                    out.push_back(std::move(site));
            }
    log::line("cookie end");
    return out;
}

std::vector<std::optional<std::string>> CookieManager::removeCookie(const ScanItemList& items,
                                                                    std::stop_token stop,
                                                                    const std::set<int>& compact) {
    std::vector<std::optional<std::string>> out(items.size());
    // The items of each browser, by their place in `items`.
    std::vector<std::size_t> of[browser::kBrowserCount];
    for (std::size_t i = 0; i < items.size(); ++i) {
        const int type = browser::browserType(items[i]->countryName);
        if (sites::coveredByAny(keep_, items[i]->name))
            out[i] = "the site is on the cookie keep list";
        else if (type < 0)
            out[i] = "it belongs to no browser";
        else
            of[type].push_back(i);
    }
    auto sitesOf = [&](const std::vector<std::size_t>& indices) {
        std::vector<std::string> sites;
        for (std::size_t i : indices)
            sites.push_back(items[i]->name);
        return sites;
    };
    // Safari's store is rewritten once for all of its sites.
    if (!of[browser::Safari].empty()) {
        std::optional<std::string> why;
        if (stop.stop_requested()) {
            why = kStoppedBeforeHandled;
        } else {
            // The store's own names of the hosts of these sites, kept ones aside.
            auto chosen = sitesOf(of[browser::Safari]);
            const std::set<std::string> wanted(chosen.begin(), chosen.end());
            std::set<std::string> hosts;
            auto domains = safariDomains();
            for (const CookieHost& d : domains ? *domains : std::vector<CookieHost>{})
                if (wanted.count(siteOf(d)))
                    hosts.insert(deleteFirstDot(d.host));
            std::string error;
            if (!domains)
                why = "the cookie store could not be read";
            else if (!hosts.empty() && !binarycookies::removeSites(safariCookieFile, hosts, &error))
                why = error.empty() ? std::string("the cookie store could not be written") : error;
        }
        for (std::size_t i : of[browser::Safari])
            out[i] = why;
    }
    // Each database's sites in one transaction on it.
    const QSVCookieDBManager* dbs[] = {nullptr, &chromeCookieDB, &firefoxCookieDB};
    for (int type : {browser::Chrome, browser::Firefox}) {
        std::map<std::string, std::vector<std::size_t>> byDatabase;
        for (std::size_t i : of[type])
            byDatabase[items[i]->database].push_back(i);
        for (const auto& [database, indices] : byDatabase) {
            QSVCookieDBManager other;
            other.connectDatabase(type == browser::Chrome ? "chrome" : "firefox", database);
            const QSVCookieDBManager& db = database.empty() ? *dbs[type] : other;
            auto results = db.deleteCookies(
                sitesOf(indices), [this](const CookieHost& h) { return siteOf(h); }, stop,
                compact.count(type) > 0);
            for (std::size_t k = 0; k < results.size(); ++k)
                out[indices[k]] = results[k];
        }
    }
    return out;
}

} // namespace tessaly
