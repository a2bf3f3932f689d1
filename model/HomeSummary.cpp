#include "model/HomeSummary.h"

#include "model/CleanFinish.h"
#include "model/CommonFunction.h"
#include "model/ToolIndex.h"

namespace tessaly {

std::optional<std::int64_t> anyNumber(const std::any& value) {
    if (auto p = std::any_cast<std::int64_t>(&value))
        return *p;
    if (auto p = std::any_cast<int>(&value))
        return *p;
    if (auto p = std::any_cast<long long>(&value))
        return static_cast<std::int64_t>(*p);
    if (auto p = std::any_cast<unsigned long long>(&value))
        return static_cast<std::int64_t>(*p);
    if (auto p = std::any_cast<double>(&value))
        return static_cast<std::int64_t>(*p);
    return std::nullopt;
}

void HomeSummary::add(std::int64_t toolIndex, const std::any& result) {
    if (toolIndex == tool::BrowserCleanup) {
        if (auto n = anyNumber(result))
            browserCount += *n;
    } else if (toolIndex == tool::MemoryOptimization) {
        if (auto n = anyNumber(result))
            memoryCount = *n;
    } else if (auto r = std::any_cast<CleanResultTotals>(&result)) {
        fileCount += r->fileCount;
        fileSize += r->totleSize;
        issueCount += r->iusse;
    } else if (auto report = std::any_cast<CleanReport>(&result)) {
        fileCount += report->removeCount;
        fileSize += report->removeSize;
        issueCount += report->removeIssue;
    }
}

std::optional<std::string> HomeSummary::line() const {
    if (fileSize >= 1)
        return "Cleaned:  " + CommonFunction::getSizeString(fileSize);
    if (fileCount >= 1)
        return "Cleaned:  " + std::to_string(fileCount) + " Files";
    return std::nullopt;
}

} // namespace tessaly
