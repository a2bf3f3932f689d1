#pragma once

#include "model/ScaneOuputObject.h"

#include <functional>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <vector>

namespace tessaly {

struct BrowserFiles;

// The Chrome top-sites database ("Top Sites": top_sites(url, url_rank, title) as
// current versions write it, or the urls table of older ones).
class QSVTopsitDBManager {
public:
    void connectDatabase(const std::string& type, const std::string& path);
    const std::string& path() const { return path_; }

    // One item per distinct address and title (countryName "Chrome", ticked);
    // historyItem keeps the stored title. No database gives none found; one that
    // cannot be read gives none, and the problem is reported.
    std::optional<ScanItemList> getData() const;
    // Deletes these top sites (address and stored title) in one transaction,
    // then compacts the database when asked.
    std::vector<std::optional<std::string>>
    deleteTopsite(const ScanItemList& items, std::stop_token stop, bool compact = false) const;

private:
    std::string path_;
};

// The top sites of Safari (TopSites.plist) and Chrome; Firefox has none.
class TopsiteManager {
public:
    QSVTopsitDBManager chromeTopsitDB;
    std::string safariTopSitesFile;

    void connect(const BrowserFiles& files);
    // Looks up the icon of a top site's address; the readers fill each icon.
    using IconLookup = std::function<std::string(const std::string& key, int type)>;
    void setIconLookup(IconLookup lookup) { icons_ = std::move(lookup); }

    void getSafariTopsit(ScanItemList& items, std::stop_token stop = {});
    void getChromeTopsit(ScanItemList& items, std::stop_token stop = {});

    // Deletes these top sites (of either browser); per item, none when it is
    // gone, else why not. Safari's list is rewritten once without them.
    // Chrome's database is compacted afterwards when `compact` holds Chrome.
    std::vector<std::optional<std::string>> removeTopsit(const ScanItemList& items,
                                                         std::stop_token stop,
                                                         const std::set<int>& compact = {});

private:
    IconLookup icons_;
    std::vector<std::string> otherChromeFiles_; // Top Sites of Chrome's other profiles
};

} // namespace tessaly
