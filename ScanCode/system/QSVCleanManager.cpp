#include "ScanCode/system/QSVCleanManager.h"

#include "ScanCode/system/CleanupPlaces.h"
#include "ScanCode/system/LoginItemManager.h"
#include "ScanCode/system/SystemModules.h"
#include "ScanCode/uninstall/BundleReader.h"
#include "ScanCode/uninstall/SearchApplications.h"
#include "helper/FileManagerAddation.h"
#include "model/SettingModel.h"
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

template <typename F> void forEachLeaf(const ScanItemList& items, F f) {
    for (const ScanItem& item : items) {
        if (item->hasChildren()) {
            for (const ScanItem& child : *item->subObjects)
                f(*child);
        } else {
            f(*item);
        }
    }
}

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
    env.removeSystemFile = [](const std::vector<std::string>& paths,
                              std::vector<std::string>* notRemoved) {
        return FileManagerAddation::removeSystemFile(paths, notRemoved);
    };
    env.stopRemoveSystemFile = [] { FileManagerAddation::stopRemoveSystemFile(); };
    env.lipoSystemApp = [](const std::string& path) { FileManagerAddation::lipoSystemApp(path); };
    env.lipoUserApp = [](const std::string& path) {
        GlobalQueue::async([path] { macho::thinToMachine(path, kLipoTool); });
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
    if (module < 0 || module > sysmodule::LastSelectable)
        return false;
    UserDefaults& defaults = env_.defaults();
    std::string key = moduleName(module);
    return !defaults.hasKey(key) || defaults.boolForKey(key);
}

void QSVCleanManager::setModuleEnabled(int module, bool enabled) {
    if (module >= 0 && module <= sysmodule::LastSelectable)
        env_.defaults().setBool(moduleName(module), enabled);
}

void QSVCleanManager::setModuleFilter(std::vector<int> modules) {
    std::lock_guard<std::mutex> guard(pathsMutex_);
    filter_ = std::move(modules);
}

std::vector<int> QSVCleanManager::modulesToScan() const {
    using namespace sysmodule;
    static const int order[] = {UserCache,     UserLog,  AppLeftover, BrokenLoginItems,
                                SystemCache,   Language, SystemLog,   IOSSoftwareUpdates,
                                IOSPhotoCache, Binary,   iPhotoCache, MailAttachments,
                                Trash};
    std::vector<int> filter;
    {
        std::lock_guard<std::mutex> guard(pathsMutex_);
        filter = filter_;
    }
    std::vector<int> out;
    for (int m : order) {
        bool chosen = filter.empty() ? moduleEnabled(m)
                                     : std::find(filter.begin(), filter.end(), m) != filter.end();
        if (chosen)
            out.push_back(m);
    }
    return out;
}

bool QSVCleanManager::scanDiskFile() {
    using namespace sysmodule;
    initDiscPath();
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
        case MailAttachments:
        case Trash:
            // Built afresh for each scan, in a list of their own.
            scanDisk->addFileScanTask(
                std::make_shared<std::vector<ScanInputObject>>(placesForModule(m, currentLayout())),
                m);
            break;
        default:
            break;
        }
    }
    return scanDisk->start();
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
    std::size_t ticked = 0, all = 0;
    forEachLeaf(items, [&](const ScaneOuputObject& o) {
        ++all;
        ticked += o.isCheck ? 1 : 0;
    });
    if (ticked == 0)
        return 0;
    return ticked == all ? 2 : 1;
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

// ---- cleaning run ----

CleanStepContext QSVCleanManager::stepContext() {
    CleanStepContext context;
    context.stopClear = &stopClear;
    context.isRetina = env_.isRetina && env_.isRetina();
    context.loginItems = &env_.loginItems();
    context.lipo = [this](const ScanItemList& items) { return lipo(items); };
    return context;
}

CleanReport QSVCleanManager::clearDiskFile() {
    stopClear = false;
    hasClean = true;
    CleanReport report = clearDiscInApp();
    if (stopClear || report.canotRemove.empty())
        return report;
    std::vector<std::string> notRemoved;
    if (!env_.removeSystemFile || !env_.removeSystemFile(report.canotRemove, &notRemoved))
        return report;
    clearSystemObject(report, notRemoved);
    return report;
}

CleanReport QSVCleanManager::clearDiscInApp() {
    CacheScanner::ResultStore store = discData();
    std::vector<int> modules;
    std::vector<CleanReport> reports(store.size());
    DispatchGroup group;
    CleanStepContext context = stepContext();
    std::size_t i = 0;
    for (const auto& [module, list] : store) {
        CleanReport* report = &reports[i++];
        int m = module;
        ScanItemListRef items = list;
        group.async([m, items, report, context] {
            if (items)
                *report = cleanModule(m, *items, context);
            NotificationCenter::defaultCenter().postOnMainQueue(cleanModuleNotification,
                                                                static_cast<std::int64_t>(m));
        });
    }
    group.wait();
    CleanReport all;
    for (const CleanReport& r : reports) {
        all.removeCount += r.removeCount;
        all.removeSize += r.removeSize;
        all.removeIssue += r.removeIssue;
        all.canotRemove.insert(all.canotRemove.end(), r.canotRemove.begin(), r.canotRemove.end());
    }
    return all;
}

void QSVCleanManager::clearSystemObject(CleanReport& report,
                                        const std::vector<std::string>& notRemoved) {
    std::unordered_set<std::string> left(notRemoved.begin(), notRemoved.end());
    CleanStepContext context = stepContext();
    for (const auto& [module, list] : discData())
        if (list)
            completeModuleAfterHelper(module, *list, left, context, report);
}

std::size_t QSVCleanManager::lipo(const ScanItemList& items) {
    std::size_t handled = 0;
    for (const ScanItem& item : items) {
        if (stopClear)
            break;
        ++handled;
        if (!item->isCheck)
            continue;
        auto executable = mainExecutablePath(item->path, readBundleInfo(item->path));
        if (!executable)
            continue;
        if (userMayChange(*executable)) {
            if (env_.lipoUserApp)
                env_.lipoUserApp(*executable);
        } else if (env_.lipoSystemApp) {
            env_.lipoSystemApp(*executable);
        }
    }
    return handled;
}

void QSVCleanManager::clearStop() {
    stopClear = true;
    if (env_.stopRemoveSystemFile)
        env_.stopRemoveSystemFile();
}

} // namespace tessaly
