#pragma once

#include "model/Problem.h"
#include "model/ScaneOuputObject.h"

#include <functional>
#include <string>

namespace tessaly {

// "PathUpdate": posted on the main queue with the path being examined (std::string).
inline constexpr const char* pathUpdateNotification = "PathUpdate";

// What every System Cleanup scan task reports to: the path it is examining, and
// once, when it has finished, its result list (possibly empty), its module
// identifier and the problems it met.
class ScanDelegate {
public:
    virtual ~ScanDelegate() = default;
    virtual void finishScan(ScanItemList items, int moudle) = 0;
    // Folders a task could not read, or the task's own failure.
    virtual void scanProblems(int /*module*/, ProblemList /*problems*/) {}
    // The path a task is examining now (it is posted as "PathUpdate" as well).
    virtual void scanningPath(const std::string& /*path*/) {}
};

// Runs one module task's scan with a ProblemCollector around it and hands the
// delegate what it found and the problems met. A scan that throws is logged
// ("Exception: ...") and reported as a problem of the module, whose list is then
// delivered empty, so the module never vanishes from the report without a word.
void runModuleScan(ScanDelegate* delegate, int module, const std::function<ScanItemList()>& scan);

// Posts "PathUpdate" with the path being examined and tells the delegate (when
// there is one).
void announcePath(ScanDelegate* delegate, const std::string& path);

} // namespace tessaly
