#pragma once

#include "ScanCode/browser/QSVCookieDBManager.h"
#include "model/ScaneOuputObject.h"

#include <functional>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <unordered_set>
#include <vector>

namespace tessaly {

struct BrowserFiles;

// The web sites that hold cookies in Safari (the shared cookie store), Chrome and
// Firefox, split into ordinary and risky sites, and the deletion of a site's
// cookies. A site is the registrable domain of a cookie's host (the one the
// browser stored, where it stores one), so "www.example.co.uk" and
// ".example.co.uk" are one site. A host the keep list covers (a kept site or
// one of its subdomains) is never listed or deleted.
class CookieManager {
public:
    QSVCookieDBManager chromeCookieDB, firefoxCookieDB;
    std::string safariCookieFile;
    // The distinct sites found by the last read of each browser.
    std::vector<std::string> safariCookies, chromCookies, firefoxCookies;

    // Takes the browsers' cookie files found for this scan.
    void connect(const BrowserFiles& files);

    // The risky-site list, loaded once: until a load succeeds, each call tries
    // again.
    using RiskyListSource = std::function<std::optional<std::vector<std::string>>()>;
    void loadBadCookie(const RiskyListSource& source);
    std::optional<std::vector<std::string>> badCookie() const;
    bool isRisky(const std::string& site) const { return risky_.count(site) > 0; }

    // The keep list the next reads and deletions honour.
    void setKeepList(std::vector<std::string> keep);

    // Append the browser's sites, in order of first appearance, to the two lists.
    void getSafariCookie(ScanItemList& ordinary, ScanItemList& risky, std::stop_token stop = {});
    void getChromeCookie(ScanItemList& ordinary, ScanItemList& risky, std::stop_token stop = {});
    void getFireFoxCookie(ScanItemList& ordinary, ScanItemList& risky, std::stop_token stop = {});

    // The distinct sites of all three browsers, keep list excluded, Safari's first.
    std::vector<std::string> allCookies();

    // Deletes the cookies of the sites of these items (of any browser); per item,
    // none when its cookies are gone, else why not.
    // The databases of the browsers in `compact` (not running) are compacted
    // afterwards.
    std::vector<std::optional<std::string>> removeCookie(const ScanItemList& items,
                                                         std::stop_token stop,
                                                         const std::set<int>& compact = {});

    // The text without its first character when that is ".".
    static std::string deleteFirstDot(const std::string& text);

private:
    std::optional<std::vector<CookieHost>> safariDomains() const;
    // The site of a host's cookies; empty when the keep list covers the host.
    std::string siteOf(const CookieHost& host) const;
    void readSites(const std::optional<std::vector<CookieHost>>& domains,
                   std::vector<std::string>& sites, const std::string& browser,
                   ScanItemList& ordinary, ScanItemList& risky, std::stop_token stop,
                   const std::string& database = {});

    std::optional<std::vector<std::string>> badCookie_;
    std::unordered_set<std::string> risky_;
    std::vector<std::string> keep_;
    // The cookie databases of the browsers' other profiles, by browser type.
    std::vector<QSVCookieDBManager> others_[3];
};

} // namespace tessaly
