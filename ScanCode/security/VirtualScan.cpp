#include "ScanCode/security/VirtualScan.h"

#include "ScanCode/PathPoster.h"
#include "ScanCode/RecordRemoval.h"
#include "ScanCode/duplicate/FileDigest.h"
#include "ScanCode/security/SignatureFiles.h"
#include "ScanCode/security/THWebUtility.h"
#include "model/EncryptManager.h"
#include "model/FolderWalk.h"
#include "model/ToolIndex.h"
#include "platform/BaseFolders.h"
#include "platform/DirectoryReader.h"
#include "platform/FileAttributes.h"
#include "platform/HomeLayout.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/Paths.h"
#include "platform/SystemPlaces.h"
#include "platform/TextCase.h"
#include "platform/UserFolders.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaly {

namespace {

// An open file, closed when it goes.
class OpenFile {
public:
    explicit OpenFile(const std::string& path) : fd_(digest::openForReading(path)) {}
    ~OpenFile() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

std::vector<PlistValue> recordsOf(const char* resource) {
    auto value = EncryptManager::decryptResourceFile(paths::resourcePath(resource, "data"));
    if (!value || !value->isArray())
        return {};
    return *value->array();
}

int kindOrder(const std::string& kind) {
    return kind == "Malware" ? 0 : kind == "Spyware" ? 1 : 2;
}

} // namespace

VirtualScan& VirtualScan::shareVirtualScan() {
    static auto* shared = new VirtualScan; // lives for the whole run
    return *shared;
}

VirtualScan::VirtualScan() : VirtualScan(systemPrivilegedRemoval(), systemPrivilegedStop()) {}

VirtualScan::VirtualScan(PrivilegedRemoval privileged, std::function<void()> stop)
    : privileged_(std::move(privileged)), stopPrivileged_(std::move(stop)) {}

std::int64_t VirtualScan::toolIndex() const {
    return tool::SystemSecurity;
}

// ---- the tables ----

void VirtualScan::loadVir() {
    std::lock_guard<std::mutex> guard(tablesMutex_);
    bool changed = false;
    if (!virusCodes) {
        virusCodes.emplace();
        for (const PlistValue& r : recordsOf("CV")) {
            const PlistValue* code = r.find("virus_code");
            if (!r.isDict() || !code || !code->isData())
                continue;
            VirusCodeObj o;
            o.virus_name = r.stringForKey("virus_name");
            o.virus_code.assign(code->data()->begin(), code->data()->end());
            o.start = r.find("start_index") ? r.find("start_index")->toInteger() : 0;
            o.length = r.find("bytes") ? r.find("bytes")->toInteger() : 0;
            virusCodes->push_back(std::move(o));
        }
        changed = true;
    }
    if (!md5Codes) {
        md5Codes.emplace();
        for (const PlistValue& r : recordsOf("CV2"))
            if (r.isDict())
                md5Codes->push_back(
                    {r.stringForKey("information"), r.stringForKey("md5_code"), 2, std::nullopt});
        changed = true;
    }
    if (changed)
        rebuildIndex();
}

void VirtualScan::rebuildIndex() {
    index_ = SignatureIndex();
    for (const auto& c : *virusCodes)
        index_.add(c);
    for (const auto& c : userCodes_)
        index_.add(c);
    for (const auto& d : *md5Codes)
        index_.add(d);
    for (const auto& d : userDigests_)
        index_.add(d);
}

bool VirtualScan::addSignatureFile(const std::string& path, std::string* error) {
    loadVir(); // the user's tables come after the shipped ones
    SignatureFile file;
    if (!readSignatureFile(path, file)) {
        if (error)
            *error = "cannot read the signature file " + path;
        return false;
    }
    std::lock_guard<std::mutex> guard(tablesMutex_);
    userCodes_.insert(userCodes_.end(), file.byteSignatures.begin(), file.byteSignatures.end());
    userDigests_.insert(userDigests_.end(), file.digests.begin(), file.digests.end());
    skippedLines_ += file.skipped;
    rebuildIndex();
    return true;
}

std::vector<std::string> VirtualScan::useSignatureFolder(const std::string& folder) {
    loadVir();
    std::vector<std::string> names, unreadable;
    DirectoryReader reader(folder);
    while (!folder.empty() && reader.isOpen() && reader.next()) {
        const std::string extension = paths::extension(reader.name());
        if ((extension == "hsb" || extension == "ndb") && !reader.isDirectory())
            names.push_back(reader.name());
    }
    std::sort(names.begin(), names.end());
    std::vector<SignatureFile> files;
    for (const std::string& name : names) {
        SignatureFile file;
        if (readSignatureFile(paths::join(folder, name), file))
            files.push_back(std::move(file));
        else
            unreadable.push_back(paths::join(folder, name));
    }
    std::lock_guard<std::mutex> guard(tablesMutex_);
    userCodes_.clear();
    userDigests_.clear();
    skippedLines_ = 0;
    for (const SignatureFile& file : files) {
        userCodes_.insert(userCodes_.end(), file.byteSignatures.begin(), file.byteSignatures.end());
        userDigests_.insert(userDigests_.end(), file.digests.begin(), file.digests.end());
        skippedLines_ += file.skipped;
    }
    rebuildIndex();
    return unreadable;
}

VirtualScan::SignatureCounts VirtualScan::signatureCounts() const {
    std::lock_guard<std::mutex> guard(tablesMutex_);
    return {index_.byteSignatures(), index_.digests(), skippedLines_};
}

// ---- the lookups ----

std::string VirtualScan::typeNameWithName(const std::string& name) {
    if (text::containsIgnoringCase(name, "Malware"))
        return "Malware";
    if (text::containsIgnoringCase(name, "Expl"))
        return "Spyware";
    return "Virus";
}

std::optional<std::string> VirtualScan::getPartDataFromFile(const std::string& path,
                                                            std::int64_t offset,
                                                            std::int64_t length) {
    OpenFile f(path);
    if (f.fd() < 0 || offset < 0 || length <= 0)
        return std::nullopt;
    std::string out(static_cast<std::size_t>(length), '\0');
    ssize_t n = ::pread(f.fd(), out.data(), out.size(), static_cast<off_t>(offset));
    if (n <= 0)
        return std::nullopt;
    out.resize(static_cast<std::size_t>(n));
    return out;
}

std::optional<std::string> VirtualScan::checkVirus(const std::string& path, std::int64_t size) {
    if (size <= 0)
        return std::nullopt;
    OpenFile f(path);
    if (f.fd() < 0)
        return std::nullopt;
    return index_.matchBytes(f.fd(), size);
}

std::optional<std::string> VirtualScan::checkVirusByHas256Code(const std::string& path) {
    OpenFile f(path);
    struct stat st {};
    if (f.fd() < 0 || ::fstat(f.fd(), &st) != 0)
        return std::nullopt;
    std::vector<int> kinds = index_.digestKinds();
    if (std::find(kinds.begin(), kinds.end(), 2) == kinds.end())
        kinds.push_back(2);
    MultiDigest d(kinds);
    if (!digestFile(f.fd(), d)) {
        log::line("Exception happened in virus scan cannot read " + path);
        return std::nullopt;
    }
    return index_.matchDigests(d.finish(), st.st_size);
}

std::string VirtualScan::getInformationWhenMD5Matched(const std::string& digest) const {
    std::lock_guard<std::mutex> guard(tablesMutex_);
    if (md5Codes)
        for (const auto& d : *md5Codes)
            if (d.virus_code == digest)
                return d.virus_name;
    return {};
}

std::optional<std::string> VirtualScan::getVirusFromFilePath(const std::string& path,
                                                             std::int64_t size) {
    auto found = checkVirus(path, size);
    if (found && !found->empty())
        return found;
    if (size > kMaxDigestedSize)
        return found;
    return checkVirusByHas256Code(path);
}

// ---- the scan ----

const std::vector<std::string>& VirtualScan::subFiles() {
    static const std::vector<std::string> extensions = {
        "chm", "pdf",  "doc",      "docx", "xmind",    "pages", "rtf",  "epub", "numbers", "key",
        "ppt", "ts",   "3gp",      "mov",  "mp4",      "avi",   "mpeg", "mpg",  "ps",      "vro",
        "ogm", "mkv",  "asf",      "wmv",  "flv",      "rm",    "rmvb", "aac",  "m4a",     "wma",
        "jpg", "jpeg", "png",      "bmp",  "gif",      "mpo",   "jps",  "pns",  "psd",     "psb",
        "dcm", "eps",  "iff",      "pcx",  "pdf",      "raw",   "pxr",  "pbm",  "sct",     "tga",
        "tif", "pvm",  "Bootcamp", "vmdk", "vmwarevm", "vblx",  "svn"};
    return extensions;
}

void VirtualScan::checkVirus(const std::string& path, ScanItemList& result) {
    auto info = fileattr::entryInfo(path);
    if (!info.exists)
        return;
    const std::string ext = paths::extension(path);
    const auto& never = subFiles();
    if (!ext.empty() && std::find(never.begin(), never.end(), ext) != never.end())
        return;
    if (info.size < 1 || info.size > kMaxExaminedSize)
        return;
    auto name = getVirusFromFilePath(path, info.size);
    if (!name || name->empty())
        return;
    auto item = std::make_shared<ScaneOuputObject>();
    item->path = path;
    item->name = *name;
    item->fileSize = itemSize(path, info); // what removing it frees
    item->isCheck = true;
    item->icon = path;
    item->stamp = fileattr::stampOf(info);
    result.push_back(std::move(item));
}

ScanSummary VirtualScan::scan(std::stop_token stop, const ProgressSink& progress) {
    return runScan(folders_, std::move(stop), progress);
}

void VirtualScan::startSearchVirus(const std::vector<std::string>& folders) {
    setScanFolders(folders);
    runScan(folders_, {}, {});
}

ScanSummary VirtualScan::runScan(const std::vector<std::string>& folders, std::stop_token stop,
                                 const ProgressSink& progress) {
    const std::stop_token token = scanStop_.begin(std::move(stop));
    const auto started = std::chrono::steady_clock::now();
    report(progress, {"Initialize viruses engine...", "", -1});
    loadVir();
    ProblemCollector collector;
    scanCount = 0;
    scanTime = 0;
    virs.clear();
    ProblemList passedOver;
    auto poster = PathPoster::make(VirPathUpdate, "Scanning", progress);
    for (auto it = folders.rbegin(); it != folders.rend() && !token.stop_requested(); ++it) {
        // Each folder is scanned on its own file system, never crossing into
        // another one mounted inside it; a file system of the kernel's own
        // (processes, devices, its settings) is never scanned at all.
        const auto start = fileattr::entryInfo(*it + "/."); // the folder a link names, too
        if (!start.isDirectory)
            continue; // lists nothing, as a path that is not a folder
        if (auto kernel = systemplaces::kernelFileSystem(*it)) {
            passedOver.push_back({*it, "not scanned: it lies on the kernel's " + *kernel +
                                           " file system, which holds no one's files"});
            continue;
        }
        // A System Scan (of the system's root) also keeps out of the kernel's
        // and the runtime's folders and of other volumes, whatever lies there.
        const bool system = *it == paths::systemRoot();
        std::vector<std::string> outOfBounds;
        if (system)
            for (const char* place : {"/proc", "/sys", "/dev", "/run", "/Volumes"})
                outOfBounds.push_back(paths::systemPath(place));
        walkFolder(
            *it,
            [&](const WalkEntry& e) {
                if (token.stop_requested())
                    return WalkDecision::Stop;
                ++scanCount;
                const std::string path = e.path();
                poster->post(path);
                const auto& info = e.info();
                if (!info.exists)
                    return WalkDecision::Continue;
                if (!info.isDirectory) {
                    checkVirus(path, virs);
                    return WalkDecision::Continue;
                }
                if (std::find(outOfBounds.begin(), outOfBounds.end(), path) != outOfBounds.end() ||
                    std::find(passedOver_.begin(), passedOver_.end(), path) != passedOver_.end())
                    return WalkDecision::Continue;
                if (info.device != start.device) {
                    if (!system)
                        passedOver.push_back({path, "not scanned: another file system is mounted "
                                                    "here (add it to the list to scan it)"});
                    return WalkDecision::Continue;
                }
                return WalkDecision::Descend;
            },
            [&token] { return token.stop_requested(); });
    }
    std::stable_sort(virs.begin(), virs.end(), [](const ScanItem& a, const ScanItem& b) {
        return text::asciiLowercase(typeNameWithName(a->name)) <
               text::asciiLowercase(typeNameWithName(b->name));
    });
    scanTime = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    NotificationCenter::defaultCenter().postOnMainQueue(VirScanFInish);
    ScanSummary summary;
    summary.stopped = token.stop_requested();
    summary.problems = collector.take();
    summary.problems.insert(summary.problems.end(), passedOver.begin(), passedOver.end());
    return summary;
}

void VirtualScan::loadReport() {
    virusesCount = malwareCount = exploitCount = 0;
    for (const ScanItem& v : virs) {
        if (!v->isCheck)
            continue;
        const std::string kind = typeNameWithName(v->name);
        (kind == "Malware" ? malwareCount : kind == "Spyware" ? exploitCount : virusesCount) += 1;
    }
}

std::int64_t VirtualScan::selectCount() const {
    return std::count_if(virs.begin(), virs.end(), [](const ScanItem& v) { return v->isCheck; });
}

// ---- removal ----

Plan VirtualScan::plan() const {
    Plan plan;
    for (const ScanItem& v : virs) {
        if (!v->isCheck)
            continue;
        PlanItem p;
        p.category = typeNameWithName(v->name);
        p.categoryOrder = kindOrder(p.category);
        p.path = v->path;
        p.name = v->name;
        p.size = v->fileSize;
        p.note = v->name;
        p.record = v;
        plan.items.push_back(std::move(p));
    }
    return plan;
}

CleanOutcome VirtualScan::clean(const Plan& plan, std::stop_token stop,
                                const ProgressSink& progress) {
    return runClean(plan, std::move(stop), progress);
}

std::int64_t VirtualScan::cleanVir() {
    return runClean(plan(), {}, {}).removed;
}

CleanOutcome VirtualScan::runClean(const Plan& plan, std::stop_token stop,
                                   const ProgressSink& progress) {
    const std::stop_token token = cleanStop_.begin(std::move(stop));
    ScanItemList findings;
    std::vector<RemovalTarget> targets;
    for (const PlanItem& p : plan.items)
        if (auto v = std::static_pointer_cast<ScaneOuputObject>(p.record)) {
            findings.push_back(v);
            targets.push_back({{v->path}, v->stamp});
        }
    RemovalHooks hooks;
    hooks.before = [&](std::size_t i) {
        report(progress, {"Removing", findings[i]->path,
                          static_cast<double>(i) / static_cast<double>(findings.size())});
    };
    HelperPass pass(privileged_, stopPrivileged_, token);
    auto results = removeTargets(targets, pass, token, hooks, true);
    CleanOutcome outcome;
    std::set<const ScaneOuputObject*> gone;
    for (std::size_t i = 0; i < findings.size(); ++i) {
        const RemovalResult& r = results[i];
        outcome.left.insert(outcome.left.end(), r.left.begin(), r.left.end());
        if (r.state == RemovalState::Removed) {
            outcome.removed += 1;
            outcome.bytes += findings[i]->fileSize;
        }
        if (r.state == RemovalState::Removed || r.state == RemovalState::Vanished)
            gone.insert(findings[i].get());
        else if (r.state == RemovalState::Left)
            findings[i]->canotRemove = true;
    }
    virs.erase(std::remove_if(virs.begin(), virs.end(),
                              [&gone](const ScanItem& v) { return gone.count(v.get()) > 0; }),
               virs.end());
    outcome.stopped = token.stop_requested();
    NotificationCenter::defaultCenter().postOnMainQueue(VirClearFInish);
    return outcome;
}

// ---- the screen's texts ----

std::string VirtualScan::typeName(int type) {
    switch (type) {
    case 0:
        return "System Scan";
    case 1:
        return "Home Scan";
    case 2:
        return "Custom Scan";
    default:
        return {};
    }
}

std::string VirtualScan::typeDes(int type) {
    switch (type) {
    case 0:
        return "Scan evenything on your hard drive";
    case 1:
        return layout::current() == layout::HomeLayout::Linux
                   ? "Scan your home folder, hidden folders too"
                   : "Scan your movies,downloads,musics...";
    case 2:
        return "Scan specific files and folders";
    default:
        return {};
    }
}

std::string VirtualScan::typeImage(int type) {
    switch (type) {
    case 0:
        return "system-scan\xef\xbc\x8d"
               "icon";
    case 1:
        return "home\xef\xbc\x8dscan\xef\xbc\x8d"
               "icon";
    case 2:
        return "custom\xef\xbc\x8dscan\xef\xbc\x8d"
               "icon";
    default:
        return {};
    }
}

namespace {

// The Linux layout's Home Scan: the home folder and the user's folders that lie
// outside it; the caches (the cache base folder, each Flatpak application's) and
// the trash are passed over, as what is there is no one's program.
VirtualScan::ScanPlaces linuxHomePlaces() {
    const std::string home = paths::homePath();
    VirtualScan::ScanPlaces places;
    places.folders.push_back(home);
    for (const std::string& folder : userfolders::keptFolders({paths::xdgConfigHome()}))
        if (!paths::isInside(folder, home) &&
            std::none_of(places.folders.begin(), places.folders.end(),
                         [&folder](const std::string& f) {
                             return f == folder || paths::isInside(folder, f);
                         }))
            places.folders.push_back(folder);
    const std::string cache = basefolders::choose(basefolders::Kind::Cache).folder;
    if (!cache.empty())
        places.passedOver.push_back(cache);
    const std::string data = basefolders::choose(basefolders::Kind::Data).folder;
    if (!data.empty())
        places.passedOver.push_back(paths::join(data, "Trash"));
    const std::string flatpaks = paths::join(home, ".var/app");
    DirectoryReader reader(flatpaks);
    while (reader.isOpen() && reader.next())
        places.passedOver.push_back(paths::join(paths::join(flatpaks, reader.name()), "cache"));
    return places;
}

} // namespace

VirtualScan::ScanPlaces VirtualScan::typePlaces(int type, const std::vector<std::string>& custom) {
    if (type == 0)
        return {{paths::systemRoot()}, {}};
    if (type == 1 && layout::current() == layout::HomeLayout::Linux)
        return linuxHomePlaces();
    if (type == 1) {
        ScanPlaces places;
        for (const char* f : {"Public", "Pictures", "Documents", "Downloads", "Music", "Movies",
                              "Sites", "Desktop"})
            places.folders.push_back(paths::join(paths::homePath(), f));
        return places;
    }
    return {type == 2 ? custom : std::vector<std::string>{}, {}};
}

void VirtualScan::setScanType(int type, const std::vector<std::string>& custom) {
    ScanPlaces places = typePlaces(type, custom);
    folders_ = std::move(places.folders);
    passedOver_ = std::move(places.passedOver);
}

std::string VirtualScan::covertString(double seconds) {
    const auto t = static_cast<long>(seconds);
    char out[64];
    if (t <= 60)
        std::snprintf(out, sizeof out, "%ld s", t);
    else if (t <= 3600)
        std::snprintf(out, sizeof out, "%ld m%ld s", t / 60, t % 60);
    else
        std::snprintf(out, sizeof out, "%ld h%ld m%ld s", t / 3600, (t % 3600) / 60, t % 60);
    return out;
}

} // namespace tessaly
