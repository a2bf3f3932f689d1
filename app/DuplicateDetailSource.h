#pragma once

#include "ScanCode/duplicate/DuplicateInfo.h"
#include "app/common/DetailSource.h"

#include <vector>

namespace tessaly {

// The Duplicates Finder's result as a detail list: one category per kind of
// file, its groups, and each group's copies. A group's box ticks every copy but
// the last and unticks all; a copy's box is its own tick.
class DuplicateDetailSource : public DetailSource {
public:
    // categories: the engine's result, shared; interrupted: the scan was stopped.
    void setData(std::vector<DuplicateInfoRef> categories, bool interrupted);
    const std::vector<DuplicateInfoRef>& data() const { return data_; }

    int categoryCount() const override;
    DetailCategoryInfo categoryInfo(int category) const override;
    int itemCount(int category, const ItemPath& parent) const override;
    DetailItemInfo itemInfo(int category, const ItemPath& item) const override;
    void setCategoryCheck(int category, bool check) override;
    void setItemCheck(int category, const ItemPath& item, bool check) override;
    void sort(int category) override;

private:
    DupGroupRef group(int category, int index) const;

    std::vector<DuplicateInfoRef> data_;
    bool interrupted_ = false;
};

} // namespace tessaly
