#pragma once

#include "model/Comparison.h"
#include "model/DataSource.h"
#include "platform/Date.h"
#include "platform/FileAttributes.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tessaly {

// One alias: a symbolic link, or an alias file holding bookmark data.
class AliasObj {
public:
    std::string path;                   // the alias itself
    std::optional<std::string> orgPath; // the target it names, when it can be read
    bool canDeleted = false;
    std::optional<Date> createDate;
    std::string name;
    bool isInvalid = false; // broken: nothing is at its target
    bool isCheck = false;
    std::int64_t size = 0; // the alias file's own size, rounded up to the block
    bool cannotRemoved = false;
    std::string notRemovedReason;
    fileattr::FileStamp stamp; // what the scan saw, so a removal can tell it is the same alias

    // By name, in the direction of the shared SortMode's nameAscending.
    ComparisonResult compareWithName(const AliasObj& other) const;
    // By the detail list's sort choice: size, name, or tick.
    ComparisonResult compareWithSort(const AliasObj& other) const;
    ComparisonResult compareWithSort(const AliasObj& other, const DataSource& source) const;
};

using AliasRef = std::shared_ptr<AliasObj>;
using AliasList = std::vector<AliasRef>;

} // namespace tessaly
