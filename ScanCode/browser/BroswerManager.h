#pragma once

#include "ScanCode/ToolEngine.h"
#include "ScanCode/browser/BrowserFileScan.h"
#include "ScanCode/browser/BrowserModules.h"
#include "ScanCode/browser/BrowserPlaces.h"
#include "ScanCode/browser/CookieManager.h"
#include "ScanCode/browser/FaviconLoader.h"
#include "ScanCode/browser/HistoryManager.h"
#include "ScanCode/browser/RunningBrowsers.h"
#include "ScanCode/browser/TopsiteManager.h"
#include "model/ModuleData.h"

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace tessaly {

// Posted on the main queue; the object is the module string (std::string).
inline constexpr const char* broswerScanModuleFinish = "broswerScanModuleFinish";
inline constexpr const char* broswerCleanModuleFinish = "broswerCleanModuleFinish";

// What the Browser Cleanup reads from the rest of the application; system() is
// the real machine, tests give their own.
struct BrowserEnvironment {
    const BrowserLayout* layout = nullptr; // the current layout when null
    // The cookie keep list, taken at the start of each scan and clean.
    std::function<std::vector<std::string>()> keepCookies;
    // The shipped risky-site list (none when it cannot be read).
    CookieManager::RiskyListSource riskyList;
    // The user's running processes.
    ProcessSource processes;

    static BrowserEnvironment system();
};

// The Browser Cleanup engine: the cookies, risky cookies, history, top sites,
// caches and session files of Safari, Chrome and Firefox in seventeen modules;
// their counts and ticks, the report chart, and the clean of what stays ticked.
// Results stay in `data` until the next scan; screens change only the ticks.
class BroswerManager : public ToolEngine {
public:
    static BroswerManager& shareBroswerManager();

    explicit BroswerManager(BrowserEnvironment env);
    BroswerManager(const BroswerManager&) = delete;
    BroswerManager& operator=(const BroswerManager&) = delete;

    CookieManager cookies;
    HistoryManager history;
    TopsiteManager topsites;
    FaviconLoader favicons;
    BrowserFileScan safariCache, safariSession, chromCache, chromSession, firefoxCache,
        firefoxSession;

    // The tool contract.
    std::string toolName() const override { return "Browser Cleanup"; }
    std::int64_t toolIndex() const override;
    // Fourteen tasks in parallel, each storing its modules and posting
    // "broswerScanModuleFinish" for each.
    ScanSummary scan(std::stop_token stop, const ProgressSink& progress) override;
    // Every ticked site, visit, top site and file, in module order.
    Plan plan() const override;
    // Four tasks in parallel (cookies, history, top sites, files), each posting
    // "broswerCleanModuleFinish" for its modules when it ends.
    CleanOutcome clean(const Plan& plan, std::stop_token stop,
                       const ProgressSink& progress) override;

    // The screen's calls: a blocking scan and clean (off the main thread), and
    // their stops. prepare...() on the screen's thread keeps a stop that comes
    // before the queued run has begun.
    void scan();
    CleanOutcome clean();
    void prepareScan() { scanStop_.prepare(); }
    void prepareClean() { cleanStop_.prepare(); }
    void stopScan();
    void stopClean() { cleanStop_.request(); }

    // Whether the home's layout knows this browser (Safari has no place on a
    // Linux home): a browser it does not know is never scanned or listed.
    bool offersBrowser(int type) const;

    // The browsers that run now (the sheet before a scan lists them).
    std::vector<RunningBrowser> hasBrowserRun() const;
    // The distinct cookie sites of the three browsers, keep list excluded.
    std::vector<std::string> allCookies();

    // The results: module string to its list (absent until the module is scanned).
    void addModuleData(ScanItemListRef list, const std::string& module);
    ScanItemListRef dataForModule(const std::string& module) const;
    std::map<std::string, ScanItemListRef> data() const;

    static std::string switchModule(int index);
    static std::string switchModuleImage(int index);
    static std::string switchModule140Image(const std::string& module);

    // Leaf counts: ticked, and all.
    std::int64_t dataCount(const std::string& module) const;
    std::int64_t dataCountWithoutCheck(const std::string& module) const;
    std::int64_t cookieCount() const;
    std::int64_t riskyCookieCount() const;
    std::int64_t historyCount() const;
    std::int64_t cacheCount() const;
    std::int64_t sessionCount() const;
    std::int64_t topsiteCount() const;
    std::int64_t allDataCount() const;
    std::int64_t allDataCountWithNOCheck() const;
    std::int64_t getBrowserCheck(int type) const;
    std::int64_t getBrowserType(int type) const;
    // 0 when no leaf is ticked, 2 when every leaf is, 1 otherwise.
    static int checkStatus(const ScanItemList& items);
    void setCheck(const std::string& module, bool check);
    void setBrowserCheck(int type, bool check);
    // The report chart: six categories by item count, shares in `b`.
    std::vector<ModuleReport> scanResult() const;

    // The files the last scan read (the plan's and the clean's places).
    BrowserFiles files() const;
    // The file a record of a module is removed from: its database or property
    // list, or the cache or session entry itself.
    std::string fileOf(const std::string& module, const ScaneOuputObject& item) const;

private:
    const BrowserLayout& layout() const;
    // The browsers whose databases a clean compacts: those with databases
    // that do not run now.
    std::set<int> compactedBrowsers() const;
    void prepareSources();
    std::int64_t kindCount(browser::ModuleKind kind) const;
    // Takes these records out of the module's list, and day groups left empty.
    void dropRecords(const std::string& module, const std::set<const ScaneOuputObject*>& gone);

    BrowserEnvironment env_;
    mutable std::mutex lock_;
    std::map<std::string, ScanItemListRef> data_;
    BrowserFiles files_;
    RunStop scanStop_, cleanStop_;
};

} // namespace tessaly
