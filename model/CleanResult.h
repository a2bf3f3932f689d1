#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Date.h"

namespace tessaly {

// Outcome of a removal run of the Duplicates, Old Files, Alias, Eraser and
// Uninstaller tools. The records that could not be removed are the tool's own
// record type, kept by reference.
template <typename Record> struct CleanResult {
    std::vector<std::shared_ptr<Record>> cannotRemovePaths;
    std::int64_t totleSize = 0; // bytes removed
    std::int64_t fileCount = 0; // files removed
    std::int64_t iusse = 0;     // removed items that have no size
};

// Outcome of a System Cleanup clean run.
struct CleanReport {
    std::int64_t removeCount = 0;
    std::int64_t removeSize = 0;
    std::int64_t removeIssue = 0;
    std::vector<std::string> canotRemove; // paths that could not be removed
};

// One recommendation on the home screen.
struct ToolData {
    std::int64_t tool = 0; // tool index
    bool finish = false;
    std::optional<Date> date;
    float memoryF = 0.0f;
};

// One memory sample: page counts.
struct MemoryData {
    double free = 0;
    double active = 0;
    double inactive = 0;
    double wired = 0;
};

} // namespace tessaly
