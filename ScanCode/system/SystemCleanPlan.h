#pragma once

#include "ScanCode/ToolEngine.h"
#include "model/ScaneOuputObject.h"

#include <map>
#include <string>

namespace tessaly {

// What the System Cleanup plan needs to know beyond the results.
struct SystemPlanContext {
    bool isRetina = false;      // double-resolution images replace single ones
    std::string loginItemsFile; // the list that broken login items leave
};

// The double-resolution image of an image path: "name@2x.ext" beside it.
std::string retinaImagePath(const std::string& path);

// The steps that cleaning one ticked item of a module takes, each module with its
// own rule: a language item removes its localisation folders, a Binary item thins
// its executable, a photo-library item removes its cached preview, a broken login
// item leaves the login-items list, a single-resolution image is replaced by its
// double-resolution twin; everything else is removed.
void planItem(int module, const ScanItem& item, const SystemPlanContext& context,
              std::vector<PlanItem>& out);

// The steps of every ticked item, module by module in identifier order; a path
// that another step removes with its folder is not planned again.
Plan planForStore(const std::map<int, ScanItemListRef>& store, const SystemPlanContext& context);

// Records what the scan saw at each path a clean of the module would remove, so
// that the clean can leave an item that changed since.
void stampWhatIsRemoved(int module, ScanItemList& items);

} // namespace tessaly
