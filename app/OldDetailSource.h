#pragma once

#include "ScanCode/old/OldType.h"
#include "app/common/DetailSource.h"

#include <vector>

namespace tessaly {

// The Old Files Finder's result as a detail list: one category per age class,
// its size classes, and each size class's files with their last-opened dates. A
// size class's box ticks or unticks all of its files.
class OldDetailSource : public DetailSource {
public:
    // ageClasses: the engine's result, shared; interrupted: the scan was stopped.
    void setData(std::vector<OldTypeRef> ageClasses, bool interrupted);

    int categoryCount() const override;
    bool hasDates() const override { return true; }
    DetailCategoryInfo categoryInfo(int category) const override;
    int itemCount(int category, const ItemPath& parent) const override;
    DetailItemInfo itemInfo(int category, const ItemPath& item) const override;
    void setCategoryCheck(int category, bool check) override;
    void setItemCheck(int category, const ItemPath& item, bool check) override;
    void sort(int category) override;

private:
    const OldSizeRef& sizeClass(int category, int index) const;

    std::vector<OldTypeRef> data_;
    bool interrupted_ = false;
};

} // namespace tessaly
