#pragma once

#include "model/CustomFileInfo.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tessaly {

using OldFileRef = std::shared_ptr<CustomFileInfo>;

// One size class of the old-file lists: the files of at least mixSize bytes and
// below maxSize (no upper bound when none).
class OldSizeFileInfo {
public:
    OldSizeFileInfo(std::int64_t mix, std::optional<std::int64_t> max, std::string label)
        : mixSize(mix), maxSize(max), name(std::move(label)) {}

    std::int64_t mixSize;
    std::optional<std::int64_t> maxSize;
    std::string name;
    std::vector<OldFileRef> data;

    std::int64_t fileSize() const;
    std::int64_t fileCount() const { return static_cast<std::int64_t>(data.size()); }
    std::int64_t fileSizeWithCheck() const;
    std::int64_t fileCountWithCheck() const;
    // 0 none ticked (or empty), 2 all ticked, else 1.
    int checkStatus() const;
    // Sorts the files by the shared sort choice of the detail lists.
    void sortData();
    // Whether a size falls in this class.
    bool fits(std::int64_t size) const;
};

using OldSizeRef = std::shared_ptr<OldSizeFileInfo>;

// The tick state of files: 0 none ticked (or no files), 2 all ticked, else 1.
int checkStatusOf(std::int64_t ticked, std::int64_t all);

} // namespace tessaly
