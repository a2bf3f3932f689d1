#include "ScanCode/system/QSVCleanManager.h"

#include "ScanCode/system/CleanupPlaces.h"
#include "ScanCode/system/LoginItemManager.h"
#include "ScanCode/system/SystemCleanPlan.h"
#include "ScanCode/system/SystemCleanRun.h"
#include "ScanCode/system/SystemModules.h"
#include "ScanCode/uninstall/BundleReader.h"
#include "ScanCode/uninstall/SearchApplications.h"
#include "helper/FileManagerAddation.h"
#include "model/SettingModel.h"
#include "model/ToolIndex.h"
#include "platform/Dispatch.h"
#include "platform/MachOFile.h"
#include "platform/NotificationCenter.h"
#include "platform/Paths.h"
#include "platform/UserDefaults.h"

#include <algorithm>
#include <unistd.h>
#include <unordered_set>

namespace tessaly {

namespace {

constexpr float kMinimumShare = 0.0055555557f; // 1/180: the smallest slice the chart draws
constexpr const char* kLipoTool = "/usr/bin/lipo";

// The user may replace a file when its folder is writable to them.
bool userMayChange(const std::string& path) {
    return ::access(paths::deletingLastComponent(path).c_str(), W_OK | X_OK) == 0;
}

} // namespace

CleanManagerEnvironment CleanManagerEnvironment::system() {
    CleanManagerEnvironment env;
    env.catalogue = []() -> SearchApplications& {
        return SearchApplications::shareSearchApplications();
    };
    env.loginItems = []() -> LoginItemManager& { return LoginItemManager::share(); };
    env.defaults = []() -> UserDefaults& { return UserDefaults::standardUserDefaults(); };
    env.isRetina = [] { return SettingModel::shareSettingModel().isRetina.load(); };
    env.removeSystemFile = systemPrivilegedRemoval();
    env.stopRemoveSystemFile = systemPrivilegedStop();
    env.lipoSystemApp = [](const std::string& path) {
        FileManagerAddation::lipoSystemApp(path);
        return macho::holdsOneArchitecture(path);
    };
    env.lipoUserApp = [](const std::string& path) {
        return macho::thinToMachine(path, kLipoTool) && macho::holdsOneArchitecture(path);
    };
    env.scanServices = ScanServices::system();
    return env;
}

QSVCleanManager& QSVCleanManager::shareQSVCLean() {
    static QSVCleanManager* shared = new QSVCleanManager(CleanManagerEnvironment::system());
    return *shared;
}

QSVCleanManager::QSVCleanManager(CleanManagerEnvironment env)
    : systemCacheArray(std::make_shared<std::vector<ScanInputObject>>()),
      userCacheArray(std::make_shared<std::vector<ScanInputObject>>()),
      systemLogArray(std::make_shared<std::vector<ScanInputObject>>()),
      userLogArray(std::make_shared<std::vector<ScanInputObject>>()),
      IOSPhotoArray(std::make_shared<std::vector<ScanInputObject>>()),
      IOSSoftwareArray(std::make_shared<std::vector<ScanInputObject>>()), env_(std::move(env)) {
    ScanServices services = env_.scanServices;
    if (!services.isRetina)
        services.isRetina = env_.isRetina;
    scanDisk = std::make_unique<CacheScanner>(
        env_.catalogue(), [this] { return hasClean.load(); }, std::move(services));
}

// ---- places ----

void QSVCleanManager::initSearchPathForCache() {
    *userCacheArray = placesForModule(sysmodule::UserCache, currentLayout());
    *systemCacheArray = placesForModule(sysmodule::SystemCache, currentLayout());
}

void QSVCleanManager::initSearchPathForIOSPhotoCache() {
    *IOSPhotoArray = placesForModule(sysmodule::IOSPhotoCache, currentLayout(), iPhotoLibPath);
}

void QSVCleanManager::initSearchPathForIOSSoftwareUpdates() {
    *IOSSoftwareArray = placesForModule(sysmodule::IOSSoftwareUpdates, currentLayout());
}

void QSVCleanManager::initSearchPathForLog() {
    *userLogArray = placesForModule(sysmodule::UserLog, currentLayout());
    *systemLogArray = placesForModule(sysmodule::SystemLog, currentLayout());
}

void QSVCleanManager::initDiscPath() {
    {
        std::lock_guard<std::mutex> guard(pathsMutex_);
        if (discPathReady_)
            return;
        iPhotoLibPath = findPhotoLibrary(currentLayout());
        initSearchPathForCache();
        initSearchPathForIOSPhotoCache();
        initSearchPathForIOSSoftwareUpdates();
        initSearchPathForLog();
        discPathReady_ = true;
    }
    pathsReady_.notify_all();
}

bool QSVCleanManager::discPathReady() const {
    std::lock_guard<std::mutex> guard(pathsMutex_);
    return discPathReady_;
}

bool QSVCleanManager::waitDiscPath(const std::function<bool()>& stopped) {
    std::unique_lock<std::mutex> guard(pathsMutex_);
    while (!discPathReady_) {
        if (stopped && stopped())
            return false;
        pathsReady_.wait_for(guard, std::chrono::milliseconds(50));
    }
    return true;
}

// ---- scan ----

bool QSVCleanManager::moduleEnabled(int module) const {
    return moduleSwitchedOn(env_.defaults(), module);
}

void QSVCleanManager::setModuleEnabled(int module, bool enabled) {
    setModuleSwitch(env_.defaults(), module, enabled);
}

void QSVCleanManager::setModuleFilter(std::vector<int> modules) {
    std::lock_guard<std::mutex> guard(pathsMutex_);
    filter_ = std::move(modules);
}

std::vector<int> QSVCleanManager::modulesToScan() const {
    std::vector<int> filter;
    {
        std::lock_guard<std::mutex> guard(pathsMutex_);
        filter = filter_;
    }
    std::vector<int> out;
    for (int m : currentLayout().modules) {
        bool chosen = filter.empty() ? moduleEnabled(m)
                                     : std::find(filter.begin(), filter.end(), m) != filter.end();
        if (chosen)
            out.push_back(m);
    }
    return out;
}

bool QSVCleanManager::scanDiskFile() {
    initDiscPath();
    queueModuleTasks();
    return scanDisk->start();
}

void QSVCleanManager::queueModuleTasks() {
    using namespace sysmodule;
    for (int m : modulesToScan()) {
        switch (m) {
        case UserCache:
            scanDisk->addFileScanTask(userCacheArray, m);
            break;
        case UserLog:
            scanDisk->addFileScanTask(userLogArray, m);
            break;
        case AppLeftover:
            scanDisk->addLeftOverScaner();
            break;
        case BrokenLoginItems:
            scanDisk->addBrokenLoginItemScanTask(env_.loginItems());
            break;
        case SystemCache:
            scanDisk->addFileScanTask(systemCacheArray, m);
            break;
        case Language:
            scanDisk->addLanguageScanTask();
            break;
        case SystemLog:
            scanDisk->addFileScanTask(systemLogArray, m);
            break;
        case IOSSoftwareUpdates:
            scanDisk->addFileScanTask(IOSSoftwareArray, m);
            break;
        case IOSPhotoCache:
            scanDisk->addFileScanTask(IOSPhotoArray, m);
            break;
        case Binary:
            scanDisk->addBinariesScanTask();
            break;
        case iPhotoCache:
            scanDisk->addiPhotoScanTask(iPhotoLibPath);
            break;
        case RecentDocuments:
            scanDisk->addRecentListScanTask();
            break;
        case MailAttachments:
        case Trash:
        case ShellHistory:
            // Built afresh for each scan, in a list of their own.
            scanDisk->addFileScanTask(
                std::make_shared<std::vector<ScanInputObject>>(placesForModule(m, currentLayout())),
                m);
            break;
        default:
            break;
        }
    }
}

void QSVCleanManager::stopDiskScan() {
    scanDisk->stop();
}

CacheScanner::ResultStore QSVCleanManager::discData() const {
    return scanDisk->data();
}

ScanItemListRef QSVCleanManager::moduleItems(int module) const {
    return scanDisk->dataForModule(module);
}

bool QSVCleanManager::bScanFinsh(int module) const {
    return scanDisk->bScanFinsh(module);
}

// ---- totals and ticks ----

std::int64_t QSVCleanManager::totleSize(int module) const {
    std::int64_t total = 0;
    if (auto list = moduleItems(module))
        forEachLeaf(*list, [&](const ScaneOuputObject& o) { total += o.isCheck ? o.fileSize : 0; });
    return total;
}

std::int64_t QSVCleanManager::totleSizeNoCheck(int module) const {
    std::int64_t total = 0;
    if (auto list = moduleItems(module))
        forEachLeaf(*list, [&](const ScaneOuputObject& o) { total += o.fileSize; });
    return total;
}

std::int64_t QSVCleanManager::issueCount(int module) const {
    std::int64_t n = 0;
    if (auto list = moduleItems(module))
        forEachLeaf(*list, [&](const ScaneOuputObject& o) { n += o.isCheck ? 1 : 0; });
    return n;
}

std::int64_t QSVCleanManager::issueCountNoCheck(int module) const {
    std::int64_t n = 0;
    if (auto list = moduleItems(module))
        forEachLeaf(*list, [&](const ScaneOuputObject&) { ++n; });
    return n;
}

std::int64_t QSVCleanManager::totleSizeAllModule() const {
    std::int64_t total = 0;
    for (const auto& entry : discData())
        total += totleSize(entry.first);
    return total;
}

std::int64_t QSVCleanManager::totleIssueAllModule() const {
    std::int64_t total = 0;
    for (const auto& entry : discData())
        total += issueCount(entry.first);
    return total;
}

std::int64_t QSVCleanManager::totleIssueNoCheckAllModule() const {
    std::int64_t total = 0;
    for (const auto& entry : discData())
        total += issueCountNoCheck(entry.first);
    return total;
}

void QSVCleanManager::setCheck(int module, bool check) {
    if (auto list = moduleItems(module))
        for (const ScanItem& item : *list) {
            if (item->hasChildren()) {
                for (const ScanItem& child : *item->subObjects)
                    child->isCheck = check;
            } else {
                item->isCheck = check;
            }
        }
}

void QSVCleanManager::setAllCheck(bool check) {
    for (const auto& entry : discData())
        setCheck(entry.first, check);
}

bool QSVCleanManager::hasCheck(int module) const {
    return issueCount(module) > 0;
}

int QSVCleanManager::checkStatus(const ScanItemList& items) {
    return checkStatusOfLeaves(items);
}

ModuleData QSVCleanManager::moduleData(int module) const {
    ModuleData d;
    d.module = module;
    d.size = totleSize(module);
    d.sizeNoCheck = totleSizeNoCheck(module);
    if (d.sizeNoCheck == 0) {
        d.issueCount = issueCount(module);
        d.issueCountNoCheck = issueCountNoCheck(module);
    }
    return d;
}

std::vector<ModuleReport> QSVCleanManager::scanResult() const {
    struct Share {
        int module;
        std::int64_t value;
    };
    std::vector<Share> shares;
    std::int64_t total = 0;
    bool bySize = totleSizeAllModule() > 0;
    for (const auto& entry : discData()) {
        std::int64_t v = bySize ? totleSize(entry.first) : issueCount(entry.first);
        total += v;
        if (v > 0)
            shares.push_back({entry.first, v});
    }
    std::stable_sort(shares.begin(), shares.end(),
                     [](const Share& a, const Share& b) { return a.value > b.value; });
    if (shares.size() > 4)
        shares.resize(4);
    std::vector<ModuleReport> lines;
    if (total <= 0)
        return lines;
    auto line = [&](std::string name, std::int64_t value) {
        float b = static_cast<float>(static_cast<double>(value) / static_cast<double>(total));
        if (b <= 0.0f)
            return;
        ModuleReport r;
        r.name = std::move(name);
        (bySize ? r.size : r.files) = value;
        r.b = std::max(b, kMinimumShare);
        lines.push_back(std::move(r));
    };
    std::int64_t kept = 0;
    for (const Share& s : shares) {
        line(moduleName(s.module), s.value);
        kept += s.value;
    }
    if (total - kept > 0)
        line("Other", total - kept);
    return lines;
}

std::string QSVCleanManager::convertModule(std::int64_t module) {
    return moduleName(module);
}
std::string QSVCleanManager::convertImageModule(std::int64_t module) {
    return moduleImage(module);
}
std::string QSVCleanManager::convertSetImageModule(std::int64_t module) {
    return moduleSetImage(module);
}
std::string QSVCleanManager::convertOkImageModule(std::int64_t module) {
    return moduleOkImage(module);
}

// ---- the tool contract ----

std::int64_t QSVCleanManager::toolIndex() const {
    return tool::SystemCleanup;
}

ScanSummary QSVCleanManager::scan(std::stop_token stop, const ProgressSink& progress) {
    ScanSummary summary;
    report(progress, {"Initialize the engine...", "", 0});
    initDiscPath();
    // A base folder set where nothing may be emptied is said first.
    summary.problems = baseFolderProblems(currentLayout(), modulesToScan());
    queueModuleTasks();
    bool ran = scanDisk->start(std::move(stop), progress);
    summary.stopped = !ran || scanDisk->stopped();
    for (Problem& problem : scanDisk->problems())
        summary.problems.push_back(std::move(problem));
    return summary;
}

Plan QSVCleanManager::plan() const {
    SystemPlanContext context;
    context.isRetina = env_.isRetina && env_.isRetina();
    context.loginItemsFile = env_.loginItems().store().path();
    return planForStore(discData(), context);
}

CleanOutcome QSVCleanManager::clean(const Plan& plan, std::stop_token stop,
                                    const ProgressSink& progress) {
    return runClean(plan, std::move(stop), progress, true);
}

// ---- cleaning run ----

CleanOutcome QSVCleanManager::runClean(const Plan& plan, std::stop_token stop,
                                       const ProgressSink& progress, bool handOver,
                                       std::vector<std::string>* firstAttempt) {
    hasClean = true;
    std::stop_token token = clearStop_.begin(std::move(stop));
    HelperPass pass(env_.removeSystemFile, env_.stopRemoveSystemFile, token);
    SystemCleanContext context;
    context.stop = token;
    context.loginItems = &env_.loginItems();
    context.thin = [this](const std::string& executable) { return thinExecutable(executable); };
    context.progress = progress;
    return runSystemClean(plan, discData(), pass, context, handOver, firstAttempt);
}

CleanReport QSVCleanManager::reportOf(const CleanOutcome& outcome,
                                      std::vector<std::string> firstAttempt) {
    CleanReport report;
    report.removeCount = outcome.removed;
    report.removeSize = outcome.bytes;
    report.removeIssue = outcome.issues;
    report.canotRemove = std::move(firstAttempt);
    return report;
}

CleanReport QSVCleanManager::clearDiskFile() {
    std::vector<std::string> firstAttempt;
    CleanOutcome outcome = runClean(plan(), {}, {}, true, &firstAttempt);
    return reportOf(outcome, std::move(firstAttempt));
}

CleanReport QSVCleanManager::clearDiscInApp() {
    std::vector<std::string> firstAttempt;
    CleanOutcome outcome = runClean(plan(), {}, {}, false, &firstAttempt);
    return reportOf(outcome, std::move(firstAttempt));
}

void QSVCleanManager::clearSystemObject(CleanReport& report,
                                        const std::vector<std::string>& notRemoved) {
    CleanOutcome outcome = bookAfterHelper(plan(), discData(), notRemoved);
    report.removeCount += outcome.removed;
    report.removeSize += outcome.bytes;
    report.removeIssue += outcome.issues;
}

std::optional<std::string> QSVCleanManager::thinExecutable(const std::string& executable) {
    auto info = fileattr::entryInfo(executable);
    if (!info.exists || !info.isRegular)
        return "it has no executable that can be thinned";
    bool thin = userMayChange(executable) ? (env_.lipoUserApp && env_.lipoUserApp(executable))
                                          : (env_.lipoSystemApp && env_.lipoSystemApp(executable));
    if (!thin)
        return std::string("it could not be thinned");
    return std::nullopt;
}

std::size_t QSVCleanManager::lipo(const ScanItemList& items) {
    std::size_t handled = 0;
    for (const ScanItem& item : items) {
        if (clearStop_.requested())
            break;
        ++handled;
        if (!item->isCheck)
            continue;
        if (auto executable = mainExecutablePath(item->path, readBundleInfo(item->path)))
            thinExecutable(*executable);
    }
    return handled;
}

} // namespace tessaly
