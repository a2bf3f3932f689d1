#pragma once

#include "model/CleanResult.h"
#include "model/ScaneOuputObject.h"

#include <atomic>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

namespace tessaly {

class LoginItemManager;

// What a module step of the cleaning run needs from the run.
struct CleanStepContext {
    const std::atomic<bool>* stopClear = nullptr; // the run's stop request
    bool isRetina = false;                        // double-resolution images replace single ones
    LoginItemManager* loginItems = nullptr;       // removes broken login items
    // Thins the ticked Binary items; returns how many it handled before a stop.
    std::function<std::size_t(const ScanItemList&)> lipo;

    bool stopped() const { return stopClear && stopClear->load(); }
};

// Removes the ticked items of one module from disk with the module's own rule and
// takes what it removed out of the list. Items it could not remove stay, marked
// canotRemove, and their paths are listed in the report. Never follows a link out
// of an item. Ends at once, leaving the rest in place, when the run is stopped.
CleanReport cleanModule(int module, ScanItemList& list, const CleanStepContext& context);

// After the privileged pass: books every still-ticked item whose paths are gone
// (absent from notRemoved and from the disk) as removed and takes it out of the
// list; the rest stays ticked and marked. The report's canotRemove is not changed.
void completeModuleAfterHelper(int module, ScanItemList& list,
                               const std::unordered_set<std::string>& notRemoved,
                               const CleanStepContext& context, CleanReport& report);

// The double-resolution image of an image path: "name@2x.ext" beside it.
std::string retinaImagePath(const std::string& path);

} // namespace tessaly
