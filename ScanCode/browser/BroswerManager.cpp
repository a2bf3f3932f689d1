#include "ScanCode/browser/BroswerManager.h"

#include "model/EncryptManager.h"
#include "model/SettingModel.h"
#include "model/ToolIndex.h"
#include "platform/Dispatch.h"
#include "platform/NotificationCenter.h"
#include "platform/Paths.h"

#include <algorithm>
#include <atomic>

namespace tessaly {

namespace {

constexpr float kMinimumShare = 0.0055555557f; // 1/180: the smallest slice the chart draws

using Compare = ComparisonResult (ScaneOuputObject::*)(const ScaneOuputObject&) const;

void sortList(ScanItemList& list, Compare compare) {
    sortUsing(list,
              [compare](const ScanItem& a, const ScanItem& b) { return ((*a).*compare)(*b); });
}

} // namespace

BrowserEnvironment BrowserEnvironment::system() {
    BrowserEnvironment env;
    env.keepCookies = [] {
        SettingModel& settings = SettingModel::shareSettingModel();
        settings.loadKeepCookie();
        return settings.keepCookiesRecord();
    };
    env.riskyList = []() -> std::optional<std::vector<std::string>> {
        auto list = EncryptManager::decryptResourceFile(paths::resourcePath("CV3", "data"));
        if (!list || !list->isArray())
            return std::nullopt;
        std::vector<std::string> sites;
        for (const PlistValue& v : *list->array())
            if (const auto* s = v.string())
                sites.push_back(*s);
        return sites;
    };
    env.processes = [] { return process::runningProcesses(); };
    return env;
}

BroswerManager& BroswerManager::shareBroswerManager() {
    static auto* shared = new BroswerManager(BrowserEnvironment::system()); // lives for the run
    return *shared;
}

BroswerManager::BroswerManager(BrowserEnvironment env) : env_(std::move(env)) {
    auto lookup = [this](const std::string& key, int type) {
        return favicons.getFavicon(key, type);
    };
    history.setIconLookup(lookup);
    topsites.setIconLookup(lookup);
}

const BrowserLayout& BroswerManager::layout() const {
    return env_.layout ? *env_.layout : currentBrowserLayout();
}

std::int64_t BroswerManager::toolIndex() const {
    return tool::BrowserCleanup;
}

BrowserFiles BroswerManager::files() const {
    std::lock_guard<std::mutex> guard(lock_);
    return files_;
}

// ---- scan ----

void BroswerManager::prepareSources() {
    BrowserFiles found = resolveBrowserFiles(layout());
    {
        std::lock_guard<std::mutex> guard(lock_);
        files_ = found;
    }
    cookies.loadBadCookie(env_.riskyList);
    favicons.loadData(found);
    cookies.setKeepList(env_.keepCookies ? env_.keepCookies() : std::vector<std::string>{});
    cookies.connect(found);
    history.connect(found);
    topsites.connect(found);
    const std::pair<BrowserFileScan*, const FileScanRoots*> scanners[] = {
        {&safariCache, &found.safariCache},   {&safariSession, &found.safariSession},
        {&chromCache, &found.chromeCache},    {&chromSession, &found.chromeSession},
        {&firefoxCache, &found.firefoxCache}, {&firefoxSession, &found.firefoxSession},
    };
    for (const auto& [scanner, roots] : scanners) {
        scanner->setPaths(roots->paths);
        scanner->setKey(roots->key);
    }
}

ScanSummary BroswerManager::scan(std::stop_token stop, const ProgressSink& progress) {
    std::stop_token token = scanStop_.begin(std::move(stop));
    ScanSummary summary;
    {
        std::lock_guard<std::mutex> guard(lock_);
        data_.clear();
    }
    if (token.stop_requested()) {
        summary.stopped = true;
        return summary;
    }
    report(progress, {"Analyzing you Browser...", "", 0});
    std::mutex problemsMutex;
    {
        ProblemCollector collector;
        prepareSources();
        summary.problems = collector.take();
    }

    // Each task reads into lists of its own, then stores them in this order.
    using Result = std::vector<std::pair<std::string, ScanItemList>>;
    std::atomic<int> finished{0};
    int tasks = 0;
    for (int b = 0; b < browser::kBrowserCount; ++b)
        if (offersBrowser(b))
            tasks += b == browser::Firefox ? 4 : 5; // Firefox has no top sites
    DispatchGroup group;
    auto task = [&](int b, std::function<Result()> work) {
        if (!offersBrowser(b))
            return;
        group.async([&, work = std::move(work)] {
            ProblemCollector collector;
            Result result = work();
            for (auto& [module, list] : result) {
                addModuleData(std::make_shared<ScanItemList>(std::move(list)), module);
                NotificationCenter::defaultCenter().postOnMainQueue(broswerScanModuleFinish,
                                                                    module);
                report(progress,
                       {"Scanning " + module, "", static_cast<double>(finished + 1) / tasks});
            }
            ++finished;
            std::lock_guard<std::mutex> guard(problemsMutex);
            for (Problem& p : collector.take())
                summary.problems.push_back(std::move(p));
        });
    };
    using namespace browser;
    using Obj = ScaneOuputObject;
    auto topsitesOf = [&](void (TopsiteManager::*read)(ScanItemList&, std::stop_token), int b) {
        task(b, [&, read, b] {
            ScanItemList items;
            (topsites.*read)(items, token);
            sortList(items, &Obj::compareWithName);
            return Result{{moduleFor(ModuleKind::Topsite, b), std::move(items)}};
        });
    };
    auto cookiesOf = [&](void (CookieManager::*read)(ScanItemList&, ScanItemList&, std::stop_token),
                         int b) {
        task(b, [&, read, b] {
            ScanItemList ordinary, risky;
            (cookies.*read)(ordinary, risky, token);
            sortList(ordinary, &Obj::compareWithName);
            sortList(risky, &Obj::compareWithName);
            return Result{{moduleFor(ModuleKind::Cookie, b), std::move(ordinary)},
                          {moduleFor(ModuleKind::RiskyCookie, b), std::move(risky)}};
        });
    };
    auto historyOf = [&](void (HistoryManager::*read)(ScanItemList&, std::stop_token), int b) {
        task(b, [&, read, b] {
            ScanItemList groups;
            (history.*read)(groups, token);
            sortList(groups, &Obj::compareWithDate);
            return Result{{moduleFor(ModuleKind::History, b), std::move(groups)}};
        });
    };
    auto filesOf = [&](BrowserFileScan& scanner, ModuleKind kind, int b) {
        task(b, [&, kind, b] {
            ScanItemList items;
            scanner.scan(items, token);
            sortList(items, &Obj::compare);
            return Result{{moduleFor(kind, b), std::move(items)}};
        });
    };
    topsitesOf(&TopsiteManager::getSafariTopsit, Safari);
    topsitesOf(&TopsiteManager::getChromeTopsit, Chrome);
    cookiesOf(&CookieManager::getSafariCookie, Safari);
    cookiesOf(&CookieManager::getChromeCookie, Chrome);
    cookiesOf(&CookieManager::getFireFoxCookie, Firefox);
    historyOf(&HistoryManager::getSafariHistory, Safari);
    historyOf(&HistoryManager::getChromeHistory, Chrome);
    historyOf(&HistoryManager::getFirfoxHistory, Firefox);
    filesOf(safariCache, ModuleKind::Cache, Safari);
    filesOf(safariSession, ModuleKind::Session, Safari);
    filesOf(chromCache, ModuleKind::Cache, Chrome);
    filesOf(chromSession, ModuleKind::Session, Chrome);
    filesOf(firefoxCache, ModuleKind::Cache, Firefox);
    filesOf(firefoxSession, ModuleKind::Session, Firefox);
    group.wait();
    summary.stopped = token.stop_requested();
    report(progress, {"Scan finished", "", 1.0});
    return summary;
}

void BroswerManager::scan() {
    scan({}, {});
}

void BroswerManager::stopScan() {
    scanStop_.request();
    for (BrowserFileScan* s :
         {&safariCache, &safariSession, &chromCache, &chromSession, &firefoxCache, &firefoxSession})
        s->stopScan();
}

CleanOutcome BroswerManager::clean() {
    return clean(plan(), {}, {});
}

bool BroswerManager::offersBrowser(int type) const {
    return tessaly::offersBrowser(layout(), type);
}

std::vector<RunningBrowser> BroswerManager::hasBrowserRun() const {
    return tessaly::hasBrowserRun(layout(), env_.processes);
}

std::vector<std::string> BroswerManager::allCookies() {
    CookieManager reader;
    reader.setKeepList(env_.keepCookies ? env_.keepCookies() : std::vector<std::string>{});
    reader.connect(resolveBrowserFiles(layout()));
    ProblemCollector quiet; // the keep-list editor shows what it can read
    return reader.allCookies();
}

// ---- results ----

void BroswerManager::addModuleData(ScanItemListRef list, const std::string& module) {
    std::lock_guard<std::mutex> guard(lock_);
    data_[module] = std::move(list);
}

ScanItemListRef BroswerManager::dataForModule(const std::string& module) const {
    std::lock_guard<std::mutex> guard(lock_);
    auto it = data_.find(module);
    return it == data_.end() ? nullptr : it->second;
}

std::map<std::string, ScanItemListRef> BroswerManager::data() const {
    std::lock_guard<std::mutex> guard(lock_);
    return data_;
}

std::string BroswerManager::switchModule(int index) {
    const auto* m = browser::moduleAt(index);
    return m ? m->name : "";
}

std::string BroswerManager::switchModuleImage(int index) {
    const auto* m = browser::moduleAt(index);
    return m ? m->icon : "";
}

std::string BroswerManager::switchModule140Image(const std::string& module) {
    const auto* m = browser::moduleNamed(module);
    return m ? m->largeIcon : "";
}

std::int64_t BroswerManager::dataCount(const std::string& module) const {
    std::int64_t n = 0;
    if (auto list = dataForModule(module))
        forEachLeaf(*list, [&](const ScaneOuputObject& o) { n += o.isCheck ? 1 : 0; });
    return n;
}

std::int64_t BroswerManager::dataCountWithoutCheck(const std::string& module) const {
    std::int64_t n = 0;
    if (auto list = dataForModule(module))
        forEachLeaf(*list, [&](const ScaneOuputObject&) { ++n; });
    return n;
}

std::int64_t BroswerManager::kindCount(browser::ModuleKind kind) const {
    std::int64_t n = 0;
    for (const std::string& module : browser::modulesOfKind(kind))
        n += dataCount(module);
    return n;
}

std::int64_t BroswerManager::cookieCount() const {
    return kindCount(browser::ModuleKind::Cookie);
}
std::int64_t BroswerManager::riskyCookieCount() const {
    return kindCount(browser::ModuleKind::RiskyCookie);
}
std::int64_t BroswerManager::historyCount() const {
    return kindCount(browser::ModuleKind::History);
}
std::int64_t BroswerManager::cacheCount() const {
    return kindCount(browser::ModuleKind::Cache);
}
std::int64_t BroswerManager::sessionCount() const {
    return kindCount(browser::ModuleKind::Session);
}
std::int64_t BroswerManager::topsiteCount() const {
    return kindCount(browser::ModuleKind::Topsite);
}

std::int64_t BroswerManager::allDataCount() const {
    std::int64_t n = 0;
    for (const auto& entry : data())
        n += dataCount(entry.first);
    return n;
}

std::int64_t BroswerManager::allDataCountWithNOCheck() const {
    std::int64_t n = 0;
    for (const auto& entry : data())
        n += dataCountWithoutCheck(entry.first);
    return n;
}

std::int64_t BroswerManager::getBrowserCheck(int type) const {
    std::int64_t n = 0;
    for (const std::string& module : browser::modulesOfBrowser(type))
        n += dataCount(module);
    return n;
}

std::int64_t BroswerManager::getBrowserType(int type) const {
    std::int64_t n = 0;
    for (const std::string& module : browser::modulesOfBrowser(type))
        n += dataCountWithoutCheck(module);
    return n;
}

int BroswerManager::checkStatus(const ScanItemList& items) {
    return checkStatusOfLeaves(items);
}

void BroswerManager::setCheck(const std::string& module, bool check) {
    if (auto list = dataForModule(module))
        for (const ScanItem& item : *list) {
            item->isCheck = check;
            if (item->subObjects)
                for (const ScanItem& child : *item->subObjects)
                    child->isCheck = check;
        }
}

void BroswerManager::setBrowserCheck(int type, bool check) {
    for (const std::string& module : browser::modulesOfBrowser(type))
        setCheck(module, check);
}

std::vector<ModuleReport> BroswerManager::scanResult() const {
    const std::pair<const char*, std::int64_t> counts[] = {
        {"Cookie", cookieCount()},   {"History", historyCount()},
        {"Cache", cacheCount()},     {"Topsite", topsiteCount()},
        {"Session", sessionCount()}, {"Risky Cookie", riskyCookieCount()},
    };
    std::int64_t total = 0;
    for (const auto& c : counts)
        total += c.second;
    std::vector<ModuleReport> lines;
    if (total <= 0)
        return lines; // nothing found: no chart
    float raised = 0;
    for (const auto& [name, count] : counts) {
        float share = static_cast<float>(count) / static_cast<float>(total);
        if (share <= 0)
            continue;
        if (share < kMinimumShare) {
            raised += kMinimumShare - share;
            share = kMinimumShare;
        }
        ModuleReport r;
        r.name = name;
        r.size = count;
        r.b = share;
        lines.push_back(std::move(r));
    }
    sortUsing(lines, [](const ModuleReport& a, const ModuleReport& b) { return a.compare(b); });
    if (raised > 0)
        lines.front().b -= raised;
    return lines;
}

} // namespace tessaly
