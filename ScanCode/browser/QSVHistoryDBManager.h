#pragma once

#include "model/ScaneOuputObject.h"

#include <optional>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

namespace tessaly {

// The history database of Chrome ("History": urls, with their visits) or Firefox
// ("places.sqlite": moz_places, with moz_historyvisits).
class QSVHistoryDBManager {
public:
    // "chrome" or "firefox" and the database file (empty: none).
    void connectDatabase(const std::string& type, const std::string& path);
    const std::string& path() const { return path_; }

    // One page record per distinct row (Chrome) or per visited page (Firefox, in
    // the order of its first visit): path, name, lastDate, dateStr, and
    // visitCount (Chrome) or place_id (Firefox). No database gives none found;
    // one that cannot be read gives none, and the problem is reported.
    std::optional<ScanItemList> getData() const;

    // The profile's other databases (name, file) a clean changes with the
    // history (HistoryErasure.h).
    void setCompanions(std::vector<std::pair<std::string, std::string>> companions) {
        companions_ = std::move(companions);
    }

    // Deletes these entries in one transaction, with every row of the profile
    // that names them (HistoryErasure.h): a Chrome entry by address and stored
    // time, a Firefox page by its number. The databases are compacted afterwards
    // when asked. Per item, none when done, else why not.
    std::vector<std::optional<std::string>>
    deleteHistory(const ScanItemList& visits, std::stop_token stop, bool compact = false) const;

private:
    ScanItemList parseDataByDic(const std::vector<PlistValue::Dict>& rows) const;

    std::string type_;
    std::string path_;
    std::vector<std::pair<std::string, std::string>> companions_;
};

// The visit's day as "yyyy-MM-dd" in local time, from the stored times:
// Chrome's microseconds since 1601, Firefox's microseconds since 1970.
std::string chromeDay(std::int64_t lastVisitTime);
std::string firefoxDay(std::int64_t lastVisitDate);

} // namespace tessaly
