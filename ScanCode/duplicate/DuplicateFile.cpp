#include "ScanCode/duplicate/DuplicateFile.h"

#include "ScanCode/PathPoster.h"
#include "ScanCode/duplicate/ContentCompare.h"
#include "ScanCode/duplicate/DuplicateKinds.h"
#include "ScanCode/duplicate/FileDigest.h"
#include "model/CommonFunction.h"
#include "model/FolderWalk.h"
#include "model/KeptPaths.h"
#include "model/Problem.h"
#include "model/ToolIndex.h"
#include "platform/FileKinds.h"
#include "platform/NotificationCenter.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <set>
#include <tuple>
#include <unordered_map>

namespace tessaly {

namespace {

using Ref = std::shared_ptr<DupFileInfo>;

void postScanFinished() {
    PlistValue::Dict done;
    for (int k = 0; k < dupkind::kCount; ++k)
        done[std::to_string(k)] = true;
    NotificationCenter::defaultCenter().postOnMainQueue(duplicateScanModuleFinsh, done);
}

} // namespace

// One run of listDupFile: the size buckets and the candidates met so far.
class DuplicateFile::Scan {
public:
    Scan(DuplicateFile& owner, const ProgressSink& progress)
        : owner_(owner),
          poster_(PathPoster::make(duplicatePathScanModuleFinsh, "Scanning folders", progress)) {}

    void walk(const std::string& folder) {
        walkFolder(
            folder, [this](const WalkEntry& e) { return visit(e); }, [this] { return stopped(); });
    }

    // The candidates whose contents could not be read.
    ProblemList unreadable() const {
        ProblemList out;
        for (const Ref& c : candidates_)
            if (!c->MD5Key)
                out.push_back({c->path, "could not be read"});
        return out;
    }

    // Groups of equal contents, in the order their first copies were met.
    std::vector<DupGroupRef> groups();

    // Hands the candidates still waiting to a digest job (at the end of the walk).
    void flush() {
        if (batch_.empty())
            return;
        DuplicateFile* owner = &owner_;
        owner_.group.async([owner, batch = std::move(batch_)] {
            for (const Ref& f : batch) {
                if (owner->scanToken_.stop_requested())
                    return;
                f->MD5Key = f->isPackage ? owner->MD5Dir(f->path) : owner->MD5File(f->path);
            }
        });
        batch_.clear();
    }

private:
    struct Bucket {
        Ref first;
        bool started = false;
    };

    bool stopped() const { return owner_.scanToken_.stop_requested(); }

    WalkDecision visit(const WalkEntry& e) {
        if (stopped())
            return WalkDecision::Stop;
        const std::string path = e.path();
        poster_->post(path);
        const auto& info = e.info();
        // What the user keeps is never offered.
        if (!info.exists || kept_.covers(path))
            return WalkDecision::Continue;
        const std::string name = e.name();
        if (info.isDirectory &&
            (fileattr::isPackageName(name) || CommonFunction::isPackage(path))) {
            // A bundle is one item and is never entered; one holding a kept path
            // is not offered whole.
            if (kept_.holds(path))
                return WalkDecision::Continue;
            const std::int64_t size = owner_.directorySize(path);
            if (size > kMinimumSize)
                consider(make(path, dupkind::Package, size, info, true));
            return WalkDecision::Continue;
        }
        if (info.isSymlink || CommonFunction::hiddenFile(name))
            return WalkDecision::Continue;
        if (info.isDirectory)
            return WalkDecision::Descend;
        if (!info.isRegular || info.size <= kMinimumSize)
            return WalkDecision::Continue;
        if (info.linkCount > 1) {
            // Another name of a file met already is that file's name, not a copy.
            auto [it, added] = names_.emplace(std::make_pair(info.device, info.inode), nullptr);
            if (!added) {
                it->second->otherNames.push_back(path);
                return WalkDecision::Continue;
            }
            it->second = make(path, fileType(fileUTI(path)), info.size, info, false);
            consider(it->second);
            return WalkDecision::Continue;
        }
        consider(make(path, fileType(fileUTI(path)), info.size, info, false));
        return WalkDecision::Continue;
    }

    static Ref make(const std::string& path, std::int32_t kind, std::int64_t size,
                    const fileattr::EntryInfo& info, bool package) {
        auto f = std::make_shared<DupFileInfo>();
        f->path = path;
        f->kind = kind;
        f->fileSize = size;
        f->diskSize = package ? size : CommonFunction::getDiskFileSize(info);
        f->isPackage = package;
        f->modified = info.modified;
        f->changed = info.changed;
        f->device = info.device;
        f->inode = info.inode;
        f->linkCount = info.linkCount;
        f->stamp = fileattr::stampOf(info, !package);
        f->accessDate = fileattr::lastUsedDate(info); // the last-opened date
        return f;
    }

    // Only files that share their size (and category) with another are hashed.
    void consider(const Ref& f) {
        Bucket& b = buckets_[f->kind][f->fileSize];
        if (!b.first) {
            b.first = f;
            return;
        }
        if (!b.started) {
            b.started = true;
            start(b.first);
        }
        start(f);
    }

    // Digest jobs take the candidates in small batches, so that a walk over many
    // small files does not pay a hand-over per file.
    void start(const Ref& f) {
        candidates_.push_back(f);
        batch_.push_back(f);
        if (batch_.size() >= kBatch)
            flush();
    }

    // The candidates of one sampled key split into classes of equal contents.
    std::vector<std::vector<std::size_t>> confirm(const std::vector<std::size_t>& set) const {
        std::vector<std::vector<std::size_t>> classes;
        if (candidates_[set.front()]->isPackage) {
            std::map<std::string, std::vector<std::size_t>> byDigest;
            std::vector<std::string> order;
            for (std::size_t i : set) {
                auto d = digest::bundleContentDigest(candidates_[i]->path, owner_.stopped());
                if (!d)
                    continue;
                auto& members = byDigest[*d];
                if (members.empty())
                    order.push_back(*d);
                members.push_back(i);
            }
            for (const auto& d : order)
                if (byDigest[d].size() >= 2)
                    classes.push_back(byDigest[d]);
            return classes;
        }
        std::vector<std::string> paths;
        for (std::size_t i : set)
            paths.push_back(candidates_[i]->path);
        for (const auto& cls :
             partitionByContents(paths, candidates_[set.front()]->fileSize, owner_.stopped())) {
            std::vector<std::size_t> members;
            for (std::size_t k : cls)
                members.push_back(set[k]);
            classes.push_back(std::move(members));
        }
        return classes;
    }

    DuplicateFile& owner_;
    std::shared_ptr<PathPoster> poster_;
    std::map<std::pair<std::uint64_t, std::uint64_t>, Ref> names_; // files with several names
    std::unordered_map<std::int64_t, Bucket> buckets_[dupkind::kCount];
    std::vector<Ref> candidates_;
    static constexpr std::size_t kBatch = 16;
    std::vector<Ref> batch_;
    const KeptPaths kept_ = KeptPaths::current();
};

std::vector<DupGroupRef> DuplicateFile::Scan::groups() {
    // The sampled digest is the cheap first filter: candidates that share it (and
    // their size and kind of item) may be copies; one path per file, so that two
    // links to the same file never count as two copies.
    std::map<std::tuple<bool, std::int64_t, std::string>, std::size_t> keyIndex;
    std::vector<std::vector<std::size_t>> sets;
    std::vector<std::set<std::pair<std::uint64_t, std::uint64_t>>> seen;
    for (std::size_t i = 0; i < candidates_.size(); ++i) {
        const Ref& c = candidates_[i];
        if (!c->MD5Key)
            continue;
        auto key = std::make_tuple(c->isPackage, c->fileSize, *c->MD5Key);
        auto [it, added] = keyIndex.emplace(key, sets.size());
        if (added) {
            sets.emplace_back();
            seen.emplace_back();
        }
        if (!seen[it->second].insert({c->device, c->inode}).second)
            continue;
        sets[it->second].push_back(i);
    }

    // Every candidate set is confirmed on the whole contents before it is reported.
    std::vector<std::vector<std::vector<std::size_t>>> confirmed(sets.size());
    for (std::size_t s = 0; s < sets.size(); ++s)
        if (sets[s].size() >= 2)
            owner_.group.async([this, s, &sets, &confirmed] { confirmed[s] = confirm(sets[s]); });
    owner_.group.wait();
    if (stopped())
        return {};

    std::vector<std::vector<std::size_t>> classes;
    for (auto& c : confirmed)
        for (auto& cls : c)
            classes.push_back(std::move(cls));
    std::sort(classes.begin(), classes.end(),
              [](const auto& a, const auto& b) { return a.front() < b.front(); });
    std::vector<DupGroupRef> result;
    for (const auto& cls : classes) {
        auto g = std::make_shared<DupGroup>();
        for (std::size_t i : cls)
            g->addObject(candidates_[i]);
        g->sortByAccessDate();
        g->setCheck(true);
        result.push_back(std::move(g));
    }
    return result;
}

DuplicateFile& DuplicateFile::shareDuplicateFile() {
    static auto* shared = new DuplicateFile; // lives for the whole run
    return *shared;
}

std::int64_t DuplicateFile::toolIndex() const {
    return tool::DuplicatesFinder;
}

ScanSummary DuplicateFile::scan(std::stop_token stop, const ProgressSink& progress) {
    return runScan(folders_, std::move(stop), progress);
}

void DuplicateFile::listDupFile(const std::vector<std::string>& folders) {
    runScan(folders, {}, {});
}

ScanSummary DuplicateFile::runScan(const std::vector<std::string>& folders, std::stop_token stop,
                                   const ProgressSink& progress) {
    scanToken_ = scanStop_.begin(std::move(stop));
    ProblemCollector collector;
    data.clear();
    Scan scan(*this, progress);
    for (const auto& folder : folders) {
        if (scanToken_.stop_requested())
            break;
        scan.walk(folder);
    }
    scan.flush();
    NotificationCenter::defaultCenter().postOnMainQueue(duplicatePathScanModuleFinsh,
                                                        std::string(kCompareFileMD5));
    report(progress, {kCompareFileMD5, "", -1});
    group.wait();
    distribute(scanToken_.stop_requested() ? std::vector<DupGroupRef>{} : scan.groups());
    ScanSummary summary;
    summary.stopped = scanToken_.stop_requested();
    summary.problems = collector.take();
    if (!summary.stopped)
        for (Problem& p : scan.unreadable())
            summary.problems.push_back(std::move(p));
    postScanFinished();
    report(progress, {"Scan finished", "", 1.0});
    return summary;
}

void DuplicateFile::distribute(std::vector<DupGroupRef> groups) {
    std::vector<DuplicateInfoRef> categories;
    for (int k = 0; k < dupkind::kCount; ++k) {
        auto info = std::make_shared<DuplicateInfo>();
        info->module = k;
        categories.push_back(info);
    }
    for (auto& g : groups) {
        const std::int32_t kind = g->objectAtIndex(0)->kind;
        auto& info = categories[static_cast<std::size_t>(std::clamp(kind, 0, dupkind::kCount - 1))];
        info->dupFiles.push_back(std::move(g));
        info->orgSize = info->allSize();
    }
    for (auto& info : categories)
        sortUsing(info->dupFiles, [](const DupGroupRef& a, const DupGroupRef& b) {
            return a->compareWithSortSize(*b);
        });
    sortUsing(categories,
              [](const DuplicateInfoRef& a, const DuplicateInfoRef& b) { return a->compare(*b); });
    data = std::move(categories);
}

std::int64_t DuplicateFile::allFileSizeWithoutCheck() const {
    std::int64_t s = 0;
    for (const auto& info : data)
        s += info->allSize();
    return s;
}

std::int64_t DuplicateFile::allCountWithoutCheck() const {
    std::int64_t n = 0;
    for (const auto& info : data)
        n += info->allCountNoCheck();
    return n;
}

std::string DuplicateFile::fileUTI(const std::string& path) {
    return dupkind::fileUTI(path);
}

std::int32_t DuplicateFile::fileType(const std::string& type) {
    return dupkind::fileType(type);
}

std::optional<std::string> DuplicateFile::MD5File(const std::string& path) const {
    return digest::MD5File(path, stopped());
}

std::optional<std::string> DuplicateFile::MD5Dir(const std::string& path) const {
    return digest::MD5Dir(path, stopped());
}

std::int64_t DuplicateFile::directorySize(const std::string& path) const {
    return tessaly::directorySize(path, stopped());
}

} // namespace tessaly
