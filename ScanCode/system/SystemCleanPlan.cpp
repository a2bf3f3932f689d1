#include "ScanCode/system/SystemCleanPlan.h"

#include "ScanCode/PlanNesting.h"
#include "ScanCode/system/SystemModules.h"
#include "ScanCode/uninstall/BundleReader.h"
#include "platform/Paths.h"

namespace tessaly {

namespace {

PlanItem step(int module, const ScanItem& item, PlanAction action, std::string path,
              std::int64_t size) {
    PlanItem p;
    p.category = moduleName(module);
    p.categoryOrder = module;
    p.path = std::move(path);
    p.name = item->name;
    p.size = size;
    p.action = action;
    p.record = item;
    return p;
}

template <typename F> void forEachTickedLeaf(const ScanItemList& items, F f) {
    for (const ScanItem& item : items) {
        if (item->hasChildren()) {
            for (const ScanItem& child : *item->subObjects)
                if (child->isCheck)
                    f(child);
        } else if (item->isCheck) {
            f(item);
        }
    }
}

} // namespace

std::string retinaImagePath(const std::string& path) {
    std::string ext = paths::extension(path);
    std::string base = paths::deletingExtension(path);
    return ext.empty() ? base + "@2x" : base + "@2x." + ext;
}

void planItem(int module, const ScanItem& item, const SystemPlanContext& context,
              std::vector<PlanItem>& out) {
    if (!item->removePaths.empty()) {
        // One entry standing for several folders (an application's localisations).
        for (std::size_t i = 0; i < item->removePaths.size(); ++i) {
            std::int64_t size = i < item->removeSizes.size() ? item->removeSizes[i]
                                : i == 0                     ? item->fileSize
                                                             : -1;
            PlanItem p = step(module, item, PlanAction::Remove, item->removePaths[i], size);
            if (module == sysmodule::Language)
                p.note = paths::extension(item->path) == "app"
                             ? "localisation of " + item->name
                             : item->name + " of a language not kept; package upgrades bring "
                                            "them back";
            else if (module == sysmodule::BrokenLoginItems)
                p.note = i == 0 ? "user unit whose program is missing" : "link that enables it";
            out.push_back(std::move(p));
        }
        return;
    }
    switch (module) {
    case sysmodule::BrokenLoginItems:
        if (item->isLogin || item->path.empty()) {
            PlanItem p = step(module, item, PlanAction::RewriteList, context.loginItemsFile, 0);
            p.note = "broken login item \"" + item->name + "\"";
            out.push_back(std::move(p));
            return;
        }
        out.push_back(step(module, item, PlanAction::Remove, item->path, item->fileSize));
        out.back().note = paths::extension(item->path) == "desktop"
                              ? "autostart entry whose program is missing"
                              : "launch job whose program is missing";
        return;
    case sysmodule::RecentDocuments: {
        // The document leaves the list; the program's file stays.
        PlanItem p = step(module, item, PlanAction::RewriteList, item->path, 0);
        p.note = "entry of a recent-documents list";
        out.push_back(std::move(p));
        return;
    }
    case sysmodule::Binary: {
        // Thinning frees space, but how much is known only once it has run.
        auto executable = mainExecutablePath(item->path, readBundleInfo(item->path));
        PlanItem p = step(module, item, PlanAction::Thin, executable.value_or(item->path), -1);
        p.note = executable ? "thinned to this machine's processor"
                            : "no executable to thin was found in " + item->path;
        out.push_back(std::move(p));
        return;
    }
    case sysmodule::iPhotoCache: {
        // The preview is the cached copy; the original photo stays.
        PlanItem p = step(module, item, PlanAction::Remove, item->prePath, item->fileSize);
        p.note = "cached preview of " + item->path;
        out.push_back(std::move(p));
        return;
    }
    case sysmodule::UselessAppImages:
        if (context.isRetina) {
            PlanItem p = step(module, item, PlanAction::Replace, item->path, item->fileSize);
            p.replacement = retinaImagePath(item->path);
            out.push_back(std::move(p));
            return;
        }
        break;
    default:
        break;
    }
    out.push_back(step(module, item, PlanAction::Remove, item->path, item->fileSize));
}

Plan planForStore(const std::map<int, ScanItemListRef>& store, const SystemPlanContext& context) {
    Plan plan;
    for (const auto& [module, list] : store)
        if (list)
            forEachTickedLeaf(*list, [&, m = module](const ScanItem& item) {
                planItem(m, item, context, plan.items);
            });
    // A cache inside a leftover folder goes with the folder, and counts once.
    foldNestedSteps(plan.items);
    return plan;
}

void stampWhatIsRemoved(int module, ScanItemList& items) {
    if (module == sysmodule::Binary || module == sysmodule::Language ||
        module == sysmodule::iPhotoCache) // stamped by its scanner: the preview
        return;
    for (const ScanItem& item : items)
        if (!item->hasChildren() && !item->isLogin && !item->path.empty() && !item->stamp.known)
            item->stamp = fileattr::stampOf(fileattr::entryInfo(item->path), /*contents=*/false);
}

} // namespace tessaly
