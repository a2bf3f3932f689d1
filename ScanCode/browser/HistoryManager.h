#pragma once

#include "ScanCode/browser/QSVHistoryDBManager.h"
#include "model/ScaneOuputObject.h"

#include <functional>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <vector>

namespace tessaly {

struct BrowserFiles;

// The browsing history of Safari (History.plist, rewritten on clean), Chrome and
// Firefox (SQLite), as visits grouped by local day.
class HistoryManager {
public:
    QSVHistoryDBManager chromeHistoryDB;
    QSVHistoryDBManager firefoxCookieDB; // the Firefox history database
    std::string safariHistoryFile;

    void connect(const BrowserFiles& files);

    // Looks up the icon of a visit's host; the readers fill each visit's icon.
    using IconLookup = std::function<std::string(const std::string& key, int type)>;
    void setIconLookup(IconLookup lookup) { icons_ = std::move(lookup); }

    // Append the browser's visits to the day groups of the list (a visit whose
    // day has a group there joins it).
    void getSafariHistory(ScanItemList& groups, std::stop_token stop = {});
    void getChromeHistory(ScanItemList& groups, std::stop_token stop = {});
    void getFirfoxHistory(ScanItemList& groups, std::stop_token stop = {});

    // Deletes these visits (of any browser), with every row of the profile that
    // names them; per visit, none when it is gone, else why not. Safari's list
    // is rewritten once without them. The databases of the browsers in
    // `compact` (those not running) are compacted afterwards.
    std::vector<std::optional<std::string>> removeHistory(const ScanItemList& visits,
                                                          std::stop_token stop,
                                                          const std::set<int>& compact = {});

private:
    void addToGroups(ScanItemList& groups, ScanItemList visits, int type, std::stop_token stop);
    // The profile in use, then the others, each visit knowing its database.
    void readProfiles(ScanItemList& groups, int type, std::stop_token stop);

    IconLookup icons_;
    // The history databases of the browsers' other profiles, by browser type.
    std::vector<QSVHistoryDBManager> others_[3];
};

// The host of an address ("https://a.example.com:8080/x" gives "a.example.com");
// the whole text when it has none.
std::string hostOfAddress(const std::string& address);

} // namespace tessaly
