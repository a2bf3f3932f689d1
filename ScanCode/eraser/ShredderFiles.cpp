#include "ScanCode/eraser/ShredderFiles.h"

#include "ScanCode/duplicate/FolderList.h"
#include "ScanCode/eraser/PickGuard.h"
#include "helper/FileManagerAddation.h"
#include "model/CommonFunction.h"
#include "model/FolderWalk.h"
#include "model/ToolIndex.h"
#include "platform/FileAttributes.h"
#include "platform/FileOverwrite.h"
#include "platform/FileRemoval.h"
#include "platform/NotificationCenter.h"
#include "platform/Paths.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <set>
#include <unistd.h>

namespace tessaly {

namespace {

constexpr const char* kStopped = "the erase was stopped before it was done";
constexpr std::size_t kParallelPaths = 1;

// The user may remove an entry when its folder is writable to them.
bool userMayDelete(const std::string& path) {
    return ::access(paths::deletingLastComponent(path).c_str(), W_OK | X_OK) == 0;
}

std::string joined(const std::string& first, const std::string& then) {
    return first.empty() ? then : first + "; " + then;
}

} // namespace

// What one erase run gathers from its tasks.
struct ShredderFiles::Run {
    struct Held {
        std::string path;
        std::int64_t size = 0;    // what erasing it frees
        std::string reason;       // why the user's own attempt failed
        bool overwritten = false; // only the removal is left to do
        std::string folder;       // the picked folder it lies in, if any
    };

    std::mutex mutex;
    CleanOutcome outcome;
    std::vector<Held> held;                          // for the helper
    std::map<std::string, int> heldInFolder;         // picked folder -> files held in it
    std::set<std::string> keeping;                   // picked folders that keep what must stay
    std::map<std::string, std::int64_t> folderBytes; // what a held folder frees itself

    // Removed counts picked paths (once they are gone), so only the bytes here.
    void erased(std::int64_t bytes) {
        std::lock_guard<std::mutex> guard(mutex);
        outcome.bytes += bytes;
    }
    void keeps(const std::string& folder, const std::string& path, const std::string& reason) {
        std::lock_guard<std::mutex> guard(mutex);
        outcome.left.push_back({path, reason});
        keeping.insert(folder);
    }
    void left(const std::string& path, const std::string& reason) {
        std::lock_guard<std::mutex> guard(mutex);
        outcome.left.push_back({path, reason});
    }
    void hold(Held h) {
        std::lock_guard<std::mutex> guard(mutex);
        if (!h.folder.empty())
            ++heldInFolder[h.folder];
        held.push_back(std::move(h));
    }
};

ShredderEnvironment ShredderEnvironment::system() {
    ShredderEnvironment env;
    env.overwriteAsRoot = [](const std::string& path, bool* reached) {
        return FileManagerAddation::shredderFileOne(path, true, reached);
    };
    env.removeAsRoot = systemPrivilegedRemoval();
    env.stopHelper = [] { FileManagerAddation::stopShredder(); };
    return env;
}

ShredderFiles& ShredderFiles::shareShredder() {
    static auto* shared = new ShredderFiles; // lives for the whole run
    return *shared;
}

ShredderFiles::ShredderFiles(ShredderEnvironment env)
    : buffer(static_cast<std::size_t>(bufferSize), 0x01),
      buffer0(static_cast<std::size_t>(bufferSize), 0x01), env_(std::move(env)) {}

std::int64_t ShredderFiles::toolIndex() const {
    return tool::Eraser;
}

std::vector<std::string> ShredderFiles::foldPicks(const std::vector<std::string>& paths) {
    return cleanFolderList(paths);
}

bool ShredderFiles::overwrite(const std::string& path, bool one, const std::stop_token& stop,
                              std::string* why) {
    FileOverwrite eraser(one ? buffer.data() : buffer0.data(), buffer.size(),
                         [&stop] { return stop.stop_requested(); });
    return eraser.overwritePath(path, why);
}

bool ShredderFiles::shredderFile(const std::string& path, bool one) {
    std::string why;
    return overwrite(path, one, {}, &why);
}

ScanSummary ShredderFiles::scan(std::stop_token stop, const ProgressSink& progress) {
    ScanSummary summary;
    ProblemCollector collector;
    measured_.clear();
    for (const std::string& path : picked_) {
        if (stop.stop_requested())
            break;
        report(progress, {"Measuring", path, -1});
        auto info = fileattr::entryInfo(path);
        if (!info.exists) {
            summary.problems.push_back({path, "no such file or folder"});
            continue;
        }
        if (auto why = eraser::pickRefusal(path)) {
            summary.problems.push_back({path, "not erased: " + *why});
            continue;
        }
        Measure m;
        m.path = path;
        m.link = info.isSymlink;
        if (info.isDirectory) {
            m.kind = Measure::Kind::Folder;
        } else if (!info.isRegular) {
            m.kind = Measure::Kind::AsItIs;
            m.size = CommonFunction::getDiskFileSize(info);
        } else {
            m.size = itemSize(path, info);
            m.files = 1;
        }
        if (m.kind == Measure::Kind::Folder) {
            // The files' space, and the folder's own (its folders, links and
            // special files), which goes only when nothing in it stays.
            std::int64_t structure = CommonFunction::getDiskFileSize(info);
            walkFolder(
                path,
                [&](const WalkEntry& e) {
                    if (auto why = eraser::staysInFolder(e.path(), e.info(), info.device)) {
                        ++m.stays;
                        summary.problems.push_back({e.path(), *why});
                        return WalkDecision::Continue;
                    }
                    if (e.isDirectory()) {
                        structure += CommonFunction::getDiskFileSize(e.info());
                        return WalkDecision::Descend;
                    }
                    if (e.info().isRegular) {
                        ++m.files;
                        m.size += itemSize(e.path(), e.info());
                    } else {
                        ++m.asIs;
                        structure += CommonFunction::getDiskFileSize(e.info());
                    }
                    return WalkDecision::Continue;
                },
                [&stop] { return stop.stop_requested(); });
            if (m.stays == 0)
                m.size += structure;
        }
        measured_.push_back(m);
    }
    summary.stopped = stop.stop_requested();
    for (Problem& p : collector.take())
        summary.problems.push_back(std::move(p));
    return summary;
}

namespace {

std::string counted(std::int64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

} // namespace

Plan ShredderFiles::plan() const {
    Plan plan;
    for (const Measure& m : measured_) {
        PlanItem p;
        p.category = "Eraser";
        p.path = m.path;
        p.name = paths::lastComponent(m.path);
        p.size = m.size;
        p.action = PlanAction::Erase;
        switch (m.kind) {
        case Measure::Kind::File:
            p.note = "overwritten once, then removed";
            break;
        case Measure::Kind::AsItIs:
            // Nothing in it to overwrite: it is removed, and said to be.
            p.action = PlanAction::Remove;
            p.note = m.link ? "a link: removed as a link, what it points to stays"
                            : "not a regular file: removed, it holds nothing to overwrite";
            break;
        case Measure::Kind::Folder:
            p.note = counted(m.files, "file", "files") + " overwritten twice";
            if (m.asIs > 0)
                p.note += ", " + counted(m.asIs, "link or special file removed as it is",
                                         "links or special files removed as they are");
            p.note += m.stays > 0 ? "; " + counted(m.stays, "entry stays", "entries stay") +
                                        " (see the problems), and the folder with them"
                                  : ", then removed with the folder";
            break;
        }
        plan.items.push_back(std::move(p));
    }
    return plan;
}

CleanOutcome ShredderFiles::clean(const Plan& plan, std::stop_token stop,
                                  const ProgressSink& progress) {
    std::vector<std::string> paths;
    for (const PlanItem& p : plan.items)
        paths.push_back(p.path);
    return runErase(paths, std::move(stop), progress, nullptr);
}

ShredderResult ShredderFiles::shredderFiles(const std::vector<std::string>& paths) {
    ShredderResult result;
    CleanOutcome outcome = runErase(paths, {}, {}, &result);
    result.fileCount = outcome.removed;
    result.totleSize = outcome.bytes;
    return result;
}

ShredderResult ShredderFiles::shredderDir(const std::string& folder) {
    return shredderFiles({folder});
}

CleanOutcome ShredderFiles::runErase(const std::vector<std::string>& picked, std::stop_token stop,
                                     const ProgressSink& progress, ShredderResult* result) {
    const std::stop_token token = stop_.begin(std::move(stop));
    HelperPass helper(env_.removeAsRoot, env_.stopHelper, token); // tells the helper to stop
    Run run;
    std::atomic<std::size_t> finished{0};

    // A picked file: overwritten once, then removed. A link (or anything else that
    // is not a regular file) holds nothing to overwrite and goes as it is; what a
    // link points to stays.
    auto eraseFile = [&](const std::string& path, const fileattr::EntryInfo& info) {
        std::string why;
        if (!info.isRegular) {
            const std::int64_t size = CommonFunction::getDiskFileSize(info);
            if (fileops::removeItem(path, &why))
                run.erased(size);
            else
                run.hold({path, size, removalReason(why), true, {}});
            return;
        }
        const std::int64_t size = itemSize(path, info); // before the overwrite
        if (!userMayDelete(path)) {
            run.hold({path, size, "permission denied", false, {}});
            return;
        }
        const bool overwritten = overwrite(path, true, token, &why);
        if (token.stop_requested()) {
            run.left(path, kStopped); // not overwritten to its end: never removed
            return;
        }
        if (!overwritten) {
            run.hold({path, size, why, false, {}});
            return;
        }
        if (env_.afterPass)
            env_.afterPass(path, 1);
        if (fileops::removeItem(path, &why))
            run.erased(size);
        else
            run.hold({path, size, removalReason(why), true, {}});
    };

    // A picked folder: every regular file in it overwritten twice and removed,
    // whatever its contents look like; links and special files go with the
    // folder as they are, never followed. What lies on another file system, and
    // files with other names, stay, and the folder with them.
    auto eraseFolder = [&](const std::string& folder, const fileattr::EntryInfo& folderInfo) {
        bool holds = false;
        // The blocks of the folders, links and special files, freed with the folder.
        std::int64_t structure = CommonFunction::getDiskFileSize(folderInfo);
        walkFolder(
            folder,
            [&](const WalkEntry& e) {
                const auto& info = e.info();
                const std::string path = e.path();
                if (auto why = eraser::staysInFolder(path, info, folderInfo.device)) {
                    run.keeps(folder, path, *why);
                    return WalkDecision::Continue;
                }
                if (info.isDirectory || !info.isRegular) {
                    structure += CommonFunction::getDiskFileSize(info);
                    return info.isDirectory ? WalkDecision::Descend : WalkDecision::Continue;
                }
                // A file with another name left frees nothing until its last name goes.
                const std::int64_t size = itemSize(path, info);
                std::string why = userMayDelete(path) ? std::string() : "permission denied";
                for (int pass = 1; pass <= 2 && why.empty(); ++pass) {
                    const bool overwritten = overwrite(path, pass == 1, token, &why);
                    if (token.stop_requested())
                        return WalkDecision::Stop;
                    if (!overwritten)
                        break;
                    if (env_.afterPass)
                        env_.afterPass(path, pass);
                }
                if (why.empty() && fileops::removeItem(path, &why)) {
                    run.erased(size);
                    return WalkDecision::Continue;
                }
                holds = true;
                run.hold({path, size, removalReason(why), false, folder});
                return WalkDecision::Continue;
            },
            [&token] { return token.stop_requested(); });
        if (token.stop_requested()) {
            run.left(folder, kStopped);
            return;
        }
        std::lock_guard<std::mutex> guard(run.mutex);
        if (holds || run.keeping.count(folder)) {
            run.folderBytes[folder] = structure; // decided once the helper has had its turn
            return;
        }
        std::string why;
        if (fileops::removeItem(folder, &why))
            run.outcome.bytes += structure;
        else
            run.outcome.left.push_back({folder, why});
    };

    // The picked paths are taken in turn by the group's worker: overwriting is
    // bound by the disk, so several at once would only make each slower, and a
    // stop then ends the one path being erased.
    std::atomic<std::size_t> next{0};
    std::vector<char> started(picked.size(), 0), attempted(picked.size(), 0);
    const std::size_t workers = std::min<std::size_t>(picked.size(), kParallelPaths);
    for (std::size_t w = 0; w < workers; ++w)
        group.async([&] {
            for (;;) {
                if (token.stop_requested())
                    return;
                const std::size_t i = next++;
                if (i >= picked.size())
                    return;
                const std::string& path = picked[i];
                report(progress,
                       {"Erasing", path,
                        static_cast<double>(finished) / static_cast<double>(picked.size())});
                if (token.stop_requested())
                    return;
                started[i] = 1;
                auto info = fileattr::entryInfo(path);
                if (info.exists) {
                    // The guard holds for the clean as for its plan: the path may
                    // have become something else since.
                    if (auto why = eraser::pickRefusal(path)) {
                        run.left(path, "not erased: " + *why);
                    } else {
                        attempted[i] = 1;
                        if (info.isDirectory)
                            eraseFolder(path, info);
                        else
                            eraseFile(path, info);
                    }
                }
                ++finished;
                NotificationCenter::defaultCenter().postOnMainQueue(shredderFileFinish, path);
            }
        });
    group.wait();
    for (std::size_t i = 0; i < picked.size(); ++i)
        if (!started[i])
            run.outcome.left.push_back({picked[i], kStopped});

    // What the user could not erase is overwritten and removed by the helper: a
    // file it did not overwrite (it said so, or the run was stopped meanwhile) is
    // neither removed nor counted.
    std::map<std::string, int> stillHeld = run.heldInFolder;
    std::vector<const Run::Held*> toRemove;
    bool reachable = privilegedHelperEnabled();
    const char* unreachable =
        !privilegedHelperEnabled() ? "the privileged helper is switched off"
        : !FileManagerAddation::servesThisProcess()
            ? "root's own rights were not enough (running as root, the helper is not used)"
            : "the helper is not installed or could not be reached";
    for (const Run::Held& h : run.held) {
        bool overwritten = h.overwritten;
        const int passes = h.folder.empty() ? 1 : 2;
        for (int pass = 1; pass <= passes && !overwritten; ++pass) {
            if (token.stop_requested() || !reachable || !env_.overwriteAsRoot)
                break;
            bool reached = true;
            const bool done = env_.overwriteAsRoot(h.path, &reached);
            reachable = reached;
            if (!done)
                break;
            overwritten = pass == passes;
        }
        if (token.stop_requested()) {
            run.outcome.left.push_back({h.path, joined(h.reason, kStopped)});
            continue;
        }
        reachable = reachable && env_.overwriteAsRoot;
        if (!overwritten) {
            run.outcome.left.push_back(
                {h.path,
                 joined(h.reason, reachable ? "the helper could not overwrite it" : unreachable)});
            continue;
        }
        toRemove.push_back(&h);
    }
    if (!toRemove.empty()) {
        std::vector<std::string> paths;
        for (const Run::Held* h : toRemove)
            paths.push_back(h->path);
        std::vector<std::string> notRemoved;
        bool reached = reachable && env_.removeAsRoot && env_.removeAsRoot(paths, &notRemoved);
        for (const Run::Held* h : toRemove) {
            if (!fileops::itemExists(h->path)) {
                run.outcome.bytes += h->size;
                if (!h->folder.empty())
                    --stillHeld[h->folder];
                continue;
            }
            run.outcome.left.push_back(
                {h->path, joined(h->reason, reached ? "the helper overwrote it but could not "
                                                      "remove it"
                                                    : unreachable)});
        }
    }
    // A folder that kept files goes once they are all gone; one that keeps what
    // must stay never goes.
    for (const std::string& folder : run.keeping)
        run.outcome.left.push_back({folder, "it keeps what could not be erased"});
    for (const auto& [folder, count] : stillHeld) {
        if (run.keeping.count(folder))
            continue;
        std::string why;
        if (count != 0 || token.stop_requested() || !fileops::removeItem(folder, &why))
            run.outcome.left.push_back({folder, count == 0
                                                    ? (why.empty() ? kStopped : why)
                                                    : "it keeps files that could not be erased"});
        else
            run.outcome.bytes += run.folderBytes[folder];
    }
    // A picked path counts as removed once it is gone.
    for (std::size_t i = 0; i < picked.size(); ++i)
        if (attempted[i] && !fileops::itemExists(picked[i]))
            run.outcome.removed += 1;
    // What was erased leaves the list; the rest stays for another run.
    measured_.erase(std::remove_if(measured_.begin(), measured_.end(),
                                   [](const Measure& m) { return !fileops::itemExists(m.path); }),
                    measured_.end());
    if (result)
        for (const LeftItem& l : run.outcome.left)
            result->cannotRemovePaths.push_back(std::make_shared<std::string>(l.path));
    run.outcome.stopped = token.stop_requested();
    return run.outcome;
}

} // namespace tessaly
