#pragma once

#include "ScanCode/duplicate/DupFileInfo.h"
#include "model/Comparison.h"
#include "model/FileArray.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace tessaly {

// One group of identical copies; the last member is the copy kept.
using DupGroup = FileArray<DupFileInfo>;
using DupGroupRef = std::shared_ptr<DupGroup>;

// One result category of the duplicate scan.
struct DuplicateInfo {
    std::vector<DupGroupRef> dupFiles;
    std::int64_t module = 0;  // category number
    std::int64_t orgSize = 0; // size at the last scan or clean, orders the categories

    std::int64_t allSize() const;         // ticked bytes
    std::int64_t allSizeNoCheck() const;  // bytes of every copy but the kept ones
    std::int64_t allCountNoCheck() const; // members of all groups
    // 0 nothing ticked, 2 every member ticked, else 1.
    int checkStatus() const;
    void setCheck(bool check);

    // "Other" (5) always after the rest; otherwise larger orgSize first.
    ComparisonResult compare(const DuplicateInfo& other) const;
};

using DuplicateInfoRef = std::shared_ptr<DuplicateInfo>;

} // namespace tessaly
