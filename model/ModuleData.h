#pragma once

#include "model/Comparison.h"

#include <cstdint>
#include <string>

namespace tessaly {

// One module's line in a result summary.
struct ModuleData {
    std::int64_t module = 0;
    std::int64_t size = 0;              // bytes of ticked items
    std::int64_t sizeNoCheck = 0;       // bytes of all items
    std::int64_t issueCount = 0;        // ticked items (only for modules whose items have no size)
    std::int64_t issueCountNoCheck = 0; // all items (likewise)

    // Larger sizeNoCheck first; on equal sizes, larger issueCountNoCheck first.
    ComparisonResult compare(const ModuleData& other) const;
};

// A module's row in the scan-progress list.
struct ScanModuleData {
    std::int64_t module = 0;
    bool isScaning = false;
    std::string path; // the path being scanned now
    std::string icon; // icon reference
};

// A module's row in the clean-progress list.
struct CleanModuleData {
    std::int64_t module = 0;
    bool isCleaning = false;
};

// One line of the report chart.
struct ModuleReport {
    std::string name;
    std::int64_t size = 0;
    std::int64_t files = 0;
    float b = 0.0f; // share of the total, 0 to 1

    // Larger size first.
    ComparisonResult compare(const ModuleReport& other) const;
};

} // namespace tessaly
