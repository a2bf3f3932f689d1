#pragma once

#include <optional>
#include <string>

namespace tessaly::memstat {

// Page counts of physical memory, in 4,096-byte pages.
struct PageCounts {
    double free = 0;
    double active = 0;
    double inactive = 0;
    double wired = 0;
};

// One sample of the host's memory, from /proc/meminfo (under TESSALY_ROOT):
//   free     = MemFree
//   active   = Active      (recently used anonymous and file pages)
//   inactive = Inactive    (pages the kernel reclaims first, file cache included)
//   wired    = MemTotal - MemFree - Active - Inactive, never below 0 (kernel memory,
//              slab, page tables, unevictable and other pages that cannot be paged out)
// Kilobyte amounts are divided by 4 to give 4,096-byte pages. None when the file
// cannot be read or lacks one of the four fields.
std::optional<PageCounts> sample();

// The same mapping applied to the text of a meminfo file.
std::optional<PageCounts> parseMeminfo(const std::string& text);

} // namespace tessaly::memstat
