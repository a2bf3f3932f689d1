#include "ScanCode/system/ScanDelegate.h"

#include "ScanCode/system/SystemModules.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"

#include <exception>

namespace tessaly {

void runModuleScan(ScanDelegate* delegate, int module, const std::function<ScanItemList()>& scan) {
    ProblemCollector collector;
    ScanItemList items;
    try {
        items = scan();
    } catch (const std::exception& e) {
        log::exception(e.what());
        ProblemCollector::report(moduleName(module),
                                 std::string("the scan of this module failed: ") + e.what());
        items.clear();
    }
    if (!delegate)
        return;
    if (ProblemList problems = collector.take(); !problems.empty())
        delegate->scanProblems(module, std::move(problems));
    delegate->finishScan(std::move(items), module);
}

void announcePath(ScanDelegate* delegate, const std::string& path) {
    NotificationCenter::defaultCenter().postOnMainQueue(pathUpdateNotification, path);
    if (delegate)
        delegate->scanningPath(path);
}

} // namespace tessaly
