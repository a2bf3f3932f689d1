#include "ScanCode/browser/QSVHistoryDBManager.h"

#include "ScanCode/browser/BrowserDatabase.h"
#include "ScanCode/browser/BrowserModules.h"
#include "ScanCode/browser/HistoryErasure.h"
#include "model/CommonFunction.h"
#include "model/Problem.h"
#include "platform/Log.h"

#include <cstdlib>

namespace tessaly {

namespace {

constexpr std::int64_t kChromeEpochOffset = 11644473600000000; // 1601 to 1970, microseconds

std::string textOf(const SqlRow& row, const char* column) {
    auto it = row.find(column);
    return it == row.end() ? std::string() : it->second.toString();
}

std::int64_t numberOf(const SqlRow& row, const char* column) {
    auto it = row.find(column);
    return it == row.end() ? 0 : it->second.toInteger();
}

} // namespace

std::string chromeDay(std::int64_t lastVisitTime) {
    return CommonFunction::dateStr(
        dateFromUnixSeconds(static_cast<double>(lastVisitTime - kChromeEpochOffset) / 1e6));
}

std::string firefoxDay(std::int64_t lastVisitDate) {
    return CommonFunction::dateStr(dateFromUnixSeconds(static_cast<double>(lastVisitDate) / 1e6));
}

void QSVHistoryDBManager::connectDatabase(const std::string& type, const std::string& path) {
    if (type != "chrome" && type != "firefox")
        return;
    type_ = type;
    path_ = path;
}

std::optional<ScanItemList> QSVHistoryDBManager::getData() const {
    if (path_.empty())
        return ScanItemList{};
    BrowserDatabase db(path_);
    std::optional<std::vector<SqlRow>> rows;
    if (db.open()) {
        if (type_ == "chrome")
            rows = db.query("SELECT DISTINCT url, title, visit_count, last_visit_time FROM urls");
        else // each visited page once, in the order of its first visit
            rows = db.query("SELECT p.id AS place_id, p.url, p.title, p.last_visit_date "
                            "FROM moz_places AS p JOIN (SELECT place_id, MIN(id) AS first "
                            "FROM moz_historyvisits GROUP BY place_id) AS v "
                            "ON v.place_id = p.id ORDER BY v.first");
    }
    if (!rows) {
        if (db.isOpen())
            log::line("close chrom history table");
        ProblemCollector::report(path_, "could not be read: " + db.lastErrorReason());
        return std::nullopt;
    }
    return parseDataByDic(*rows);
}

ScanItemList QSVHistoryDBManager::parseDataByDic(const std::vector<SqlRow>& rows) const {
    const bool chrome = type_ == "chrome";
    ScanItemList out;
    for (const SqlRow& row : rows) {
        auto item = std::make_shared<ScaneOuputObject>();
        item->isCheck = true;
        item->countryName = browser::browserName(chrome ? browser::Chrome : browser::Firefox);
        item->path = textOf(row, "url");
        std::string title = textOf(row, "title");
        item->name = !title.empty() ? title : !item->path.empty() ? item->path : "no title";
        const std::int64_t when = numberOf(row, chrome ? "last_visit_time" : "last_visit_date");
        item->lastDate = std::to_string(when);
        item->dateStr = chrome ? chromeDay(when) : firefoxDay(when);
        if (chrome)
            item->visitCount = static_cast<std::int32_t>(numberOf(row, "visit_count"));
        else
            item->place_id = numberOf(row, "place_id");
        item->loading = true;
        out.push_back(std::move(item));
    }
    return out;
}

std::vector<std::optional<std::string>>
QSVHistoryDBManager::deleteHistory(const ScanItemList& visits, std::stop_token stop,
                                   bool compact) const {
    const bool chrome = type_ == "chrome";
    ChangeOptions options{companions_, compact};
    return changeInOneTransaction(
        path_, visits.size(),
        [&](BrowserDatabase& db, std::size_t i) {
            const ScaneOuputObject& v = *visits[i];
            if (!chrome)
                return eraseFirefoxPage(db, v.place_id);
            if (!db.hasColumn("urls", "last_visit_time"))
                return true; // no history kept here
            // The entry as the scan saw it; one visited again since stays.
            auto rows = db.query("SELECT id FROM urls WHERE url = ? AND last_visit_time = ?",
                                 {v.path, std::strtoll(v.lastDate.c_str(), nullptr, 10)});
            if (!rows)
                return false;
            for (const SqlRow& row : *rows)
                if (!eraseChromeEntry(db, row.at("id").toInteger(), v.path))
                    return false;
            return true;
        },
        std::move(stop), options);
}

} // namespace tessaly
