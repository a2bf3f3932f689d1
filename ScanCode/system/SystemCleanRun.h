#pragma once

#include "ScanCode/HelperPass.h"
#include "ScanCode/ToolEngine.h"
#include "model/ScaneOuputObject.h"

#include <functional>
#include <map>
#include <optional>
#include <stop_token>
#include <string>

namespace tessaly {

class LoginItemManager;

// What the System Cleanup clean works with besides its plan.
struct SystemCleanContext {
    std::stop_token stop;
    LoginItemManager* loginItems = nullptr; // takes broken login items off the list
    // Thins one executable; none when it is thin now, else why not.
    std::function<std::optional<std::string>(const std::string&)> thin;
    ProgressSink progress;
};

// Carries out a System Cleanup plan over the result store: every module's steps
// run in parallel ("CleanModue" is posted as each module ends), whatever could not
// be removed directly goes once through the pass's privileged hand-over (when
// handOver is true and the run was not stopped), and then every item is booked by
// what the disk says: removed items leave their lists and are counted, the rest
// stay ticked, marked canotRemove, with their reasons in the outcome.
// firstAttempt, when given, receives every path whose first attempt failed (in
// module order), whatever the helper did with it afterwards.
CleanOutcome runSystemClean(const Plan& plan, const std::map<int, ScanItemListRef>& store,
                            HelperPass& pass, const SystemCleanContext& context, bool handOver,
                            std::vector<std::string>* firstAttempt = nullptr);

// After a privileged pass run by someone else: books every item of the plan whose
// paths are all gone from the disk and absent from notRemoved as removed.
CleanOutcome bookAfterHelper(const Plan& plan, const std::map<int, ScanItemListRef>& store,
                             const std::vector<std::string>& notRemoved);

} // namespace tessaly
