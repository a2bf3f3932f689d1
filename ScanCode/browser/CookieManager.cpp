#include "ScanCode/browser/CookieManager.h"

#include "ScanCode/RecordRemoval.h"
#include "ScanCode/browser/BrowserModules.h"
#include "ScanCode/browser/BrowserPlaces.h"
#include "model/Problem.h"
#include "platform/BinaryCookies.h"
#include "platform/FileAttributes.h"
#include "platform/Log.h"

#include <algorithm>
#include <set>

namespace tessaly {

void CookieManager::connect(const BrowserFiles& files) {
    safariCookieFile = files.safariCookies;
    chromeCookieDB.connectDatabase("chrome", files.chromeCookies);
    firefoxCookieDB.connectDatabase("firefox", files.firefoxCookies);
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

bool CookieManager::kept(const std::string& site) const {
    return std::find(keep_.begin(), keep_.end(), site) != keep_.end();
}

std::string CookieManager::deleteFirstDot(const std::string& text) {
    return !text.empty() && text[0] == '.' ? text.substr(1) : text;
}

std::optional<std::vector<std::string>> CookieManager::safariDomains() const {
    std::vector<std::string> domains;
    if (safariCookieFile.empty())
        return domains;
    std::string error;
    auto store = binarycookies::readFile(safariCookieFile, &error);
    if (!store) {
        ProblemCollector::report(safariCookieFile, error);
        return std::nullopt;
    }
    for (const binarycookies::Cookie& c : store->cookies())
        domains.push_back(c.domain);
    return domains;
}

void CookieManager::readSites(const std::optional<std::vector<std::string>>& domains,
                              std::vector<std::string>& sites, const std::string& browser,
                              ScanItemList& ordinary, ScanItemList& risky, std::stop_token stop) {
    sites.clear();
    if (!domains)
        return;
    std::set<std::string> seen;
    for (const std::string& domain : *domains) {
        std::string site = deleteFirstDot(domain);
        if (!kept(site) && seen.insert(site).second)
            sites.push_back(std::move(site));
    }
    for (const std::string& site : sites) {
        if (stop.stop_requested())
            return;
        auto item = std::make_shared<ScaneOuputObject>();
        item->name = site;
        item->isCheck = true;
        item->countryName = browser;
        item->icon = "language-icon";
        item->isBadCookie = isRisky(site);
        (item->isBadCookie ? risky : ordinary).push_back(std::move(item));
    }
}

void CookieManager::getSafariCookie(ScanItemList& ordinary, ScanItemList& risky,
                                    std::stop_token stop) {
    readSites(safariDomains(), safariCookies, browser::browserName(browser::Safari), ordinary,
              risky, std::move(stop));
}

void CookieManager::getChromeCookie(ScanItemList& ordinary, ScanItemList& risky,
                                    std::stop_token stop) {
    readSites(chromeCookieDB.getData(), chromCookies, browser::browserName(browser::Chrome),
              ordinary, risky, std::move(stop));
}

void CookieManager::getFireFoxCookie(ScanItemList& ordinary, ScanItemList& risky,
                                     std::stop_token stop) {
    readSites(firefoxCookieDB.getData(), firefoxCookies, browser::browserName(browser::Firefox),
              ordinary, risky, std::move(stop));
}

std::vector<std::string> CookieManager::allCookies() {
    log::line("cookie start");
    std::vector<std::string> out;
    std::set<std::string> seen;
    for (const auto& domains :
         {safariDomains(), chromeCookieDB.getData(), firefoxCookieDB.getData()})
        if (domains)
            for (const std::string& domain : *domains) {
                std::string site = deleteFirstDot(domain);
                if (!kept(site) && seen.insert(site).second)
                    out.push_back(std::move(site));
            }
    log::line("cookie end");
    return out;
}

std::vector<std::optional<std::string>> CookieManager::removeCookie(const ScanItemList& items,
                                                                    std::stop_token stop) {
    std::vector<std::optional<std::string>> out(items.size());
    // The items of each browser, by their place in `items`.
    std::vector<std::size_t> of[browser::kBrowserCount];
    for (std::size_t i = 0; i < items.size(); ++i) {
        const int type = browser::browserType(items[i]->countryName);
        if (kept(items[i]->name))
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
            auto sites = sitesOf(of[browser::Safari]);
            std::string error;
            if (!binarycookies::removeSites(safariCookieFile, {sites.begin(), sites.end()}, &error))
                why = error.empty() ? std::string("the cookie store could not be written") : error;
        }
        for (std::size_t i : of[browser::Safari])
            out[i] = why;
    }
    const QSVCookieDBManager* dbs[] = {nullptr, &chromeCookieDB, &firefoxCookieDB};
    for (int type : {browser::Chrome, browser::Firefox}) {
        auto results = dbs[type]->deleteCookies(sitesOf(of[type]), stop);
        for (std::size_t k = 0; k < results.size(); ++k)
            out[of[type][k]] = results[k];
    }
    return out;
}

} // namespace tessaly
