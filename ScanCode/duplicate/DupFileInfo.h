#pragma once

#include "model/Comparison.h"
#include "model/DataSource.h"
#include "platform/Date.h"
#include "platform/FileAttributes.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessaly {

// One file (or bundle) that takes part in the duplicate comparison.
struct DupFileInfo {
    std::string path;
    std::int32_t kind = 0; // category number, 0 to 5
    bool isCheck = false;  // marked for removal
    // The sampled content digest (32 lower-case hex digits); none when the file
    // could not be read.
    std::optional<std::string> MD5Key;
    std::int64_t fileSize = 0;      // logical size (a bundle's: directorySize), compared and shown
    std::int64_t diskSize = 0;      // the blocks the copy takes on the disk
    std::optional<Date> accessDate; // last-opened date
    bool cannotRemoved = false;

    // What the scan saw, so that a removal can tell whether the copy is still
    // the file that was compared.
    bool isPackage = false;
    Date modified{};
    // The status-change time: a rewrite that puts the size and modification
    // time back still moves it.
    Date changed{};
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    fileattr::FileStamp stamp; // the identity the removal checks (contents: size and time)
    // Why the copy was left in place by a removal (empty when it was not).
    std::string notRemovedReason;
    // Other names (hard links) of the same file met in the scanned folders, and
    // how many names the file had in all when scanned: removing the copy removes
    // every name met, and frees its bytes only when no other name remains.
    std::vector<std::string> otherNames;
    std::uint64_t linkCount = 1;
    // Whether removing every name met frees the file's bytes (no name lies
    // outside the scanned folders).
    bool freesSpace() const { return isPackage || linkCount <= 1 + otherNames.size(); }
    // What removing the copy (by every name met) gives back to the disk.
    std::int64_t freedBytes() const { return freesSpace() ? diskSize : 0; }

    // Three-way order that decides which copy is kept: the copy sorted last is
    // kept. A name that extends the other name sorts first; then the folder word
    // of the category ("Music", "Pictures", "Documents"; for media also "Movies"
    // and, sorting first, "Downloads"); then the later last-opened date first.
    ComparisonResult compareWithDate(const DupFileInfo& other) const;

    // Members in the detail list: type 1 by file name, type 2 by tick; every
    // other type leaves them as they are.
    ComparisonResult compareWithSort(const DupFileInfo& other) const;
    ComparisonResult compareWithSort(const DupFileInfo& other, const DataSource& source) const;
};

} // namespace tessaly
