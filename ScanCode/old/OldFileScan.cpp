#include "ScanCode/old/OldFileScan.h"

#include "ScanCode/PathPoster.h"
#include "ScanCode/uninstall/ApplicationWalk.h"
#include "model/CommonFunction.h"
#include "model/FolderWalk.h"
#include "model/KeptPaths.h"
#include "model/Problem.h"
#include "model/ToolIndex.h"
#include "platform/DirectoryReader.h"
#include "platform/FileAttributes.h"
#include "platform/HomeLayout.h"
#include "platform/InstalledPackages.h"
#include "platform/NotificationCenter.h"
#include "platform/Paths.h"

#include <algorithm>

namespace tessaly {

namespace {

void postOnMain(const char* name, const std::string& path) {
    NotificationCenter::defaultCenter().postOnMainQueue(name, path);
}

// What a Linux desktop has installed: its packages with their versions, and the
// names of its applications: the ids of the desktop entries and of the Flatpak
// applications, a reverse-domain id by its last part ("org.gnome.Maps": "Maps").
void addInstalledSoftware(oldrules::TickContext& context) {
    for (const auto& [name, package] : packages::installedPackages())
        context.packages[name] = package.version;
    auto addId = [&context](const std::string& id) {
        if (id.empty())
            return;
        const bool reverseDomain = std::count(id.begin(), id.end(), '.') >= 2;
        context.installedNames.push_back(reverseDomain ? id.substr(id.rfind('.') + 1) : id);
    };
    for (const std::string& folder : {paths::systemPath("/usr/share/applications"),
                                      paths::systemPath("/usr/local/share/applications"),
                                      paths::join(paths::xdgDataHome(), "applications")}) {
        DirectoryReader reader(folder);
        while (reader.isOpen() && reader.next())
            if (paths::extension(reader.name()) == "desktop")
                addId(paths::deletingExtension(reader.name()));
    }
    for (const std::string& id : packages::flatpakAppIds())
        addId(id);
}

} // namespace

// One run of the walk: the advance-tick context and the path poster.
class OldFileScan::Walk {
public:
    Walk(OldFileScan& owner, oldrules::TickContext context, const ProgressSink& progress)
        : owner_(owner), context_(std::move(context)),
          poster_(PathPoster::make(oldPathScanModuleFinsh, "Scanning folders", progress)) {}

    // Walks one folder of the list; every folder listed but the list's last one is
    // announced once its listing has ended.
    void walk(const std::string& root, const std::string& lastOfList) {
        std::string listing;
        auto ended = [&] {
            if (!listing.empty() && listing != lastOfList)
                postOnMain(oldScanModuleFinsh, listing);
        };
        walkFolder(
            root, [this](const WalkEntry& e) { return visit(e); }, [this] { return stopped(); },
            [&](const std::string& folder) {
                ended();
                listing = folder;
            });
        ended();
    }

private:
    bool stopped() const { return owner_.scanToken_.stop_requested(); }

    WalkDecision visit(const WalkEntry& e) {
        if (stopped())
            return WalkDecision::Stop;
        const std::string path = e.path();
        poster_->post(path);
        const auto& info = e.info();
        if (!info.exists)
            return WalkDecision::Continue;
        auto date = fileattr::lastUsedDate(info);
        OldTypeRef type = date ? owner_.findOldType(*date) : nullptr;
        const char* name = e.name();
        if (info.isSymlink || name[0] == '.' || kept_.covers(path))
            return WalkDecision::Continue;
        if (info.isDirectory) {
            if (!isPackageFolder(name, path))
                return WalkDecision::Descend;
            // A bundle is one item, measured whole and never entered.
            if (type)
                add(type, path, owner_.directorySize(path), *date, info, true);
            return WalkDecision::Continue;
        }
        if (type && info.isRegular)
            add(type, path, info.size, *date, info, false);
        return WalkDecision::Continue;
    }

    void add(const OldTypeRef& type, const std::string& path, std::int64_t size, Date date,
             const fileattr::EntryInfo& info, bool package) {
        OldSizeRef sizeClass = type->fileInfo(size);
        if (!sizeClass)
            return;
        auto f = std::make_shared<CustomFileInfo>();
        f->path = path;
        f->size = package ? size : CommonFunction::getDiskFileSize(size);
        f->diskSize = package ? size : itemSize(path, info);
        f->isPackage = package;
        f->lastDate = date;
        auto reason = oldrules::tickReason(path, context_);
        f->isCheck = reason.has_value();
        f->checkReason = reason.value_or("");
        f->stamp = fileattr::stampOf(info, !package);
        sizeClass->data.push_back(std::move(f));
    }

    OldFileScan& owner_;
    oldrules::TickContext context_;
    KeptPaths kept_ = KeptPaths::current();
    std::shared_ptr<PathPoster> poster_;
};

OldFileScan& OldFileScan::shareOldFileScan() {
    static auto* shared = new OldFileScan; // lives for the whole run
    return *shared;
}

OldFileScan::OldFileScan(std::function<Date()> clock)
    : clock_(clock ? std::move(clock) : std::function<Date()>(now)) {}

std::int64_t OldFileScan::toolIndex() const {
    return tool::OldFilesFinder;
}

void OldFileScan::initData() {
    data = makeAgeClasses(clock_());
}

OldTypeRef OldFileScan::findOldType(Date date) const {
    for (const auto& t : data)
        if ((t->frontDate > date && t->lastDate < date) || t->frontDate == date)
            return t;
    return nullptr;
}

std::optional<Date> OldFileScan::lastOpenDate(const std::string& path) {
    return fileattr::lastUsedDate(path);
}

std::int64_t OldFileScan::directorySize(const std::string& path) const {
    return tessaly::directorySize(path, [token = scanToken_] { return token.stop_requested(); });
}

bool OldFileScan::needCheck(const std::string& path,
                            const std::vector<std::string>& allNames) const {
    oldrules::TickContext context;
    context.apps = apps.value_or(std::vector<std::string>{});
    context.allNames = allNames;
    context.applicationsFolder = paths::systemPath("/Applications");
    return oldrules::needCheck(path, context);
}

void OldFileScan::searchAllCompareAppInfos() {
    std::vector<std::string> names;
    walkForApplications({paths::systemPath("/Applications")}, {}, [&names](AppItemRef app) {
        std::vector<std::string> parts;
        std::string part;
        for (char c : app->bundleID + ".") {
            if (c != '.') {
                part += c;
                continue;
            }
            parts.push_back(part);
            part.clear();
        }
        if (parts.size() >= 3 && parts[1] != "apple")
            names.push_back(paths::deletingExtension(paths::lastComponent(app->path)));
    });
    apps = std::move(names);
}

std::vector<std::string> OldFileScan::getAllFileNames(const std::vector<std::string>& folders) {
    std::vector<std::string> names;
    for (const std::string& folder : folders) {
        DirectoryReader reader(folder);
        while (reader.next())
            names.emplace_back(reader.name());
    }
    return names;
}

ScanSummary OldFileScan::scan(std::stop_token stop, const ProgressSink& progress) {
    return runScan(folders_, std::move(stop), progress);
}

void OldFileScan::scanOldFile(const std::vector<std::string>& folders) {
    runScan(folders, {}, {});
}

ScanSummary OldFileScan::runScan(const std::vector<std::string>& folders, std::stop_token stop,
                                 const ProgressSink& progress) {
    scanToken_ = scanStop_.begin(std::move(stop));
    ProblemCollector collector;
    initData();
    if (!apps)
        searchAllCompareAppInfos();
    oldrules::TickContext context;
    context.apps = *apps;
    context.allNames = getAllFileNames(folders);
    context.applicationsFolder = paths::systemPath("/Applications");
    if (layout::current() == layout::HomeLayout::Linux)
        addInstalledSoftware(context);
    Walk walk(*this, std::move(context), progress);
    const std::string last = folders.empty() ? std::string() : folders.back();
    // The list's folders wait on one stack: the last one is walked first.
    for (auto it = folders.rbegin(); it != folders.rend() && !scanToken_.stop_requested(); ++it) {
        walk.walk(*it, last);
        report(progress, {"Scanned " + *it, "",
                          static_cast<double>(it - folders.rbegin() + 1) /
                              static_cast<double>(folders.size())});
    }
    if (scanToken_.stop_requested()) {
        for (const std::string& folder : folders)
            postOnMain(oldScanModuleFinsh, folder);
    } else if (!last.empty()) {
        postOnMain(oldScanModuleFinsh, last);
    }
    for (const auto& type : data) {
        auto& classes = type->data;
        classes.erase(std::remove_if(classes.begin(), classes.end(),
                                     [](const OldSizeRef& c) { return c->data.empty(); }),
                      classes.end());
        for (const auto& c : classes)
            sortUsing(c->data,
                      [](const OldFileRef& a, const OldFileRef& b) { return a->sortBySize(*b); });
    }
    ScanSummary summary;
    summary.stopped = scanToken_.stop_requested();
    summary.problems = collector.take();
    return summary;
}

std::vector<std::string> OldFileScan::getSelectFiles() const {
    std::vector<std::string> out;
    for (const auto& type : data)
        for (const auto& c : type->data)
            for (const auto& f : c->data)
                if (f->isCheck)
                    out.push_back(f->path);
    return out;
}

std::int64_t OldFileScan::allSize() const {
    std::int64_t total = 0;
    for (const auto& type : data)
        total += type->fileSize();
    return total;
}

std::int64_t OldFileScan::allCount() const {
    std::int64_t n = 0;
    for (const auto& type : data)
        n += type->fileCount();
    return n;
}

std::int64_t OldFileScan::allCheckSize() const {
    std::int64_t total = 0;
    for (const auto& type : data)
        total += type->fileSizeWithCheck();
    return total;
}

int OldFileScan::checkStatus() const {
    std::int64_t ticked = 0;
    for (const auto& type : data)
        ticked += type->fileCountWithCheck();
    return checkStatusOf(ticked, allCount());
}

} // namespace tessaly
