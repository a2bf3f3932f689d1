#include "ScanCode/system/CleanModuleStep.h"

#include "ScanCode/system/LoginItemManager.h"
#include "ScanCode/system/SystemModules.h"
#include "platform/FileRemoval.h"
#include "platform/Paths.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace tessaly {

namespace {

enum class Outcome { Removed, Failed, Vanished };

// Removes one path: Vanished when nothing was there to remove.
Outcome removePath(const std::string& path) {
    if (path.empty() || !fileops::itemExists(path))
        return Outcome::Vanished;
    return fileops::removeItem(path) ? Outcome::Removed : Outcome::Failed;
}

bool moveInto(const std::string& from, const std::string& to) {
    return !from.empty() && std::rename(from.c_str(), to.c_str()) == 0;
}

bool gone(const std::string& path, const std::unordered_set<std::string>& notRemoved) {
    return notRemoved.count(path) == 0 && !fileops::itemExists(path);
}

void failed(ScaneOuputObject& item, const std::string& path, CleanReport& report) {
    item.canotRemove = true;
    report.canotRemove.push_back(path);
}

void booked(const ScaneOuputObject& item, CleanReport& report) {
    report.removeCount += 1;
    report.removeSize += item.fileSize;
}

// The file that takes the item's place once it is removed (the source image of
// a photo-library copy, the double-resolution image of a single one); none when
// the module has no such step.
std::optional<std::string> replacementFor(int module, const ScaneOuputObject& item,
                                          const CleanStepContext& context) {
    if (module == sysmodule::iPhotoCache)
        return item.prePath;
    if (module == sysmodule::UselessAppImages && context.isRetina)
        return retinaImagePath(item.path);
    return std::nullopt;
}

// Removes a top-level item and moves its replacement into its place.
void cleanItem(int module, const ScanItem& item, CleanReport& report, ScanItemList& done,
               const CleanStepContext& context) {
    Outcome outcome = removePath(item->path);
    if (outcome == Outcome::Vanished) {
        done.push_back(item); // already gone: nothing to count
        return;
    }
    if (outcome == Outcome::Failed) {
        failed(*item, item->path, report);
        return;
    }
    auto replacement = replacementFor(module, *item, context);
    if (replacement && !moveInto(*replacement, item->path)) {
        failed(*item, item->path, report);
        return;
    }
    booked(*item, report);
    done.push_back(item);
}

void eraseAll(ScanItemList& list, const ScanItemList& done) {
    list.erase(std::remove_if(list.begin(), list.end(),
                              [&](const ScanItem& i) {
                                  return std::find(done.begin(), done.end(), i) != done.end();
                              }),
               list.end());
}

void cleanLanguage(ScanItemList& list, CleanReport& report, const CleanStepContext& context) {
    for (const ScanItem& group : list) {
        if (context.stopped())
            break;
        if (!group->subObjects)
            continue;
        ScanItemList doneChildren;
        for (const ScanItem& child : *group->subObjects) {
            if (context.stopped())
                break;
            if (!child->isCheck)
                continue;
            bool anyRemoved = false, anyLeft = false;
            for (const std::string& path : child->removePaths) {
                Outcome outcome = removePath(path);
                anyRemoved = anyRemoved || outcome == Outcome::Removed;
                if (outcome == Outcome::Failed) {
                    anyLeft = true;
                    failed(*child, path, report);
                }
            }
            if (anyRemoved)
                booked(*child, report);
            if (anyRemoved || !anyLeft)
                doneChildren.push_back(child);
        }
        eraseAll(*group->subObjects, doneChildren);
        group->fileSize = totalSize(*group->subObjects);
    }
    list.erase(
        std::remove_if(list.begin(), list.end(),
                       [](const ScanItem& g) { return g->subObjects && g->subObjects->empty(); }),
        list.end());
}

void cleanLoginItems(ScanItemList& list, CleanReport& report, const CleanStepContext& context) {
    ScanItemList done, logins;
    for (const ScanItem& item : list) {
        if (context.stopped())
            break;
        if (!item->isCheck)
            continue;
        if (item->isLogin) {
            report.removeCount += 1;
            report.removeIssue += 1;
            logins.push_back(item);
            done.push_back(item);
            continue;
        }
        Outcome outcome = removePath(item->path);
        if (outcome == Outcome::Failed) {
            failed(*item, item->path, report);
            continue;
        }
        if (outcome == Outcome::Removed) {
            booked(*item, report);
            report.removeIssue += 1;
        }
        done.push_back(item);
    }
    if (!logins.empty() && context.loginItems)
        context.loginItems->removeBreakLoginItemFromOuputObjs(logins);
    eraseAll(list, done);
}

void cleanBinary(ScanItemList& list, const CleanStepContext& context) {
    ScanItemList ticked;
    for (const ScanItem& item : list)
        if (item->isCheck)
            ticked.push_back(item);
    std::size_t handled = context.lipo ? context.lipo(ticked) : ticked.size();
    if (handled >= ticked.size()) {
        list.clear();
        return;
    }
    // Stopped: what was not thinned stays.
    ScanItemList left(ticked.begin() + static_cast<std::ptrdiff_t>(handled), ticked.end());
    list = left;
}

} // namespace

std::string retinaImagePath(const std::string& path) {
    std::string ext = paths::extension(path);
    std::string base = paths::deletingExtension(path);
    return ext.empty() ? base + "@2x" : base + "@2x." + ext;
}

CleanReport cleanModule(int module, ScanItemList& list, const CleanStepContext& context) {
    CleanReport report;
    report.canotRemove.reserve(10);
    switch (module) {
    case sysmodule::BrokenLoginItems:
        cleanLoginItems(list, report, context);
        return report;
    case sysmodule::Binary:
        cleanBinary(list, context);
        return report;
    case sysmodule::Language:
        cleanLanguage(list, report, context);
        return report;
    default:
        break;
    }
    ScanItemList done;
    for (const ScanItem& item : list) {
        if (context.stopped())
            break;
        if (item->isCheck)
            cleanItem(module, item, report, done, context);
    }
    eraseAll(list, done);
    return report;
}

void completeModuleAfterHelper(int module, ScanItemList& list,
                               const std::unordered_set<std::string>& notRemoved,
                               const CleanStepContext& context, CleanReport& report) {
    ScanItemList done;
    for (const ScanItem& item : list) {
        if (module == sysmodule::BrokenLoginItems) {
            if (item->isCheck && !item->isLogin && gone(item->path, notRemoved)) {
                report.removeCount += 1;
                report.removeIssue += 1;
                done.push_back(item);
            }
            continue;
        }
        if (item->hasChildren()) {
            ScanItemList doneChildren;
            for (const ScanItem& child : *item->subObjects) {
                if (!child->isCheck)
                    continue;
                const auto& paths = child->removePaths.empty()
                                        ? std::vector<std::string>{child->path}
                                        : child->removePaths;
                if (std::all_of(paths.begin(), paths.end(),
                                [&](const std::string& p) { return gone(p, notRemoved); })) {
                    booked(*child, report);
                    child->canotRemove = false;
                    doneChildren.push_back(child);
                }
            }
            eraseAll(*item->subObjects, doneChildren);
            item->fileSize = totalSize(*item->subObjects);
            if (item->subObjects->empty())
                done.push_back(item);
            continue;
        }
        if (!item->isCheck || !gone(item->path, notRemoved))
            continue;
        // The replacement moves in now that the helper removed the item; a stopped
        // run moves nothing more.
        auto replacement = replacementFor(module, *item, context);
        if (replacement && (context.stopped() || !moveInto(*replacement, item->path)))
            continue;
        booked(*item, report);
        item->canotRemove = false;
        done.push_back(item);
    }
    eraseAll(list, done);
}

} // namespace tessaly
