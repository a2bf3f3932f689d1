#pragma once

#include "model/Comparison.h"
#include "model/DataSource.h"
#include "platform/Date.h"
#include "platform/FileAttributes.h"

#include <cstdint>
#include <string>

namespace tessaly {

// A file in the old-file lists.
struct CustomFileInfo {
    std::string path;
    std::int64_t size = 0;     // as the lists show it
    std::int64_t diskSize = 0; // what removing it gives back to the disk
    bool isCheck = false;
    bool isPackage = false; // a bundle shown as one file
    Date lastDate{};        // date of last use
    bool cannotRemoved = false;
    fileattr::FileStamp stamp;    // what the scan saw, so a removal can tell it is the same file
    std::string notRemovedReason; // why a removal left it (empty when it did not)
    std::string checkReason;      // why it is ticked in advance (empty when it is not)

    // Larger size first.
    ComparisonResult sortBySize(const CustomFileInfo& other) const;
    // Type 0 size, type 1 last path component (case-sensitive), type 2 tick state;
    // other types are all the same.
    ComparisonResult compareWithSort(const CustomFileInfo& other) const;
    ComparisonResult compareWithSort(const CustomFileInfo& other, const DataSource& source) const;
};

// A candidate of the duplicate scan before contents are compared.
struct SizeFileInfo {
    std::string path;
    std::int32_t kind = 0;
    std::int64_t fileSize = 0;
    Date accessDate{};
};

// The direction rules that every compareWithSort shares for sizes, names and ticks.
ComparisonResult sortBySizeRule(std::int64_t a, std::int64_t b, bool asc);
ComparisonResult sortByNameRule(const std::string& a, const std::string& b, bool asc);
ComparisonResult sortByCountRule(std::int64_t a, std::int64_t b, bool asc);

// A file record of a result list as the shared sort choice orders it: type 0 by
// size, type 1 by the last path component (case-sensitive), type 2 by tick
// state; other types are all the same.
struct SortedFile {
    const std::string& path;
    std::int64_t size;
    bool checked;
};
ComparisonResult compareFilesWithSort(const SortedFile& a, const SortedFile& b,
                                      const DataSource& source);

} // namespace tessaly
