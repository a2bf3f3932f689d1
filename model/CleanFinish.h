#pragma once

#include "model/CleanResult.h"

#include <any>
#include <cstdint>

namespace tessaly {

// Posted by a tool screen when a clean, removal or optimisation run ends.
inline constexpr const char* cleanFinishNotification = "cleanFinishNotification";

// The totals of a CleanResult, whatever its record type.
struct CleanResultTotals {
    std::int64_t totleSize = 0;
    std::int64_t fileCount = 0;
    std::int64_t iusse = 0;
};

// The notification's object: the tool index and its result, which is a
// CleanResultTotals or a CleanReport for file tools and a number (std::int64_t)
// for Browser Cleanup (cleaned items) and Memory Optimization.
struct CleanFinishInfo {
    std::int64_t tool = 0;
    std::any result;
};

template <typename Record>
CleanFinishInfo cleanFinishInfo(std::int64_t toolIndex, const CleanResult<Record>& r) {
    return {toolIndex, CleanResultTotals{r.totleSize, r.fileCount, r.iusse}};
}
inline CleanFinishInfo cleanFinishInfo(std::int64_t toolIndex, const CleanReport& r) {
    return {toolIndex, r};
}
inline CleanFinishInfo cleanFinishInfo(std::int64_t toolIndex, std::int64_t number) {
    return {toolIndex, number};
}

// Posts "cleanFinishNotification" on the default centre, on the calling thread.
void postCleanFinish(const CleanFinishInfo& info);

} // namespace tessaly
