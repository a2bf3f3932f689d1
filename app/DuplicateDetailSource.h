#pragma once

#include "ScanCode/duplicate/DuplicateInfo.h"
#include "app/common/DetailSource.h"

#include <map>
#include <vector>

namespace tessaly {

// The Duplicates Finder's result as a detail list: one category per kind of
// file, its groups, and each group's copies with their dates. A group's box ticks
// every copy but the last and unticks all; a copy's box is its own tick. Every
// copy that stays says so: the kept copy, the one kept anyway when all are
// ticked, and those a removal left with its reason.
//
// Sorting orders what the list shows and never the groups' own order of copies,
// which decides the copy that is kept.
class DuplicateDetailSource : public DetailSource {
public:
    // categories: the engine's result, shared; interrupted: the scan was stopped.
    void setData(std::vector<DuplicateInfoRef> categories, bool interrupted);
    const std::vector<DuplicateInfoRef>& data() const { return data_; }

    int categoryCount() const override;
    bool hasDates() const override { return true; }
    DetailCategoryInfo categoryInfo(int category) const override;
    int itemCount(int category, const ItemPath& parent) const override;
    DetailItemInfo itemInfo(int category, const ItemPath& item) const override;
    void setCategoryCheck(int category, bool check) override;
    void setItemCheck(int category, const ItemPath& item, bool check) override;
    void sort(int category) override;

private:
    DupGroupRef group(int category, int index) const;
    // The group's copy shown at row `shown`.
    const std::shared_ptr<DupFileInfo>& member(const DupGroup& g, int shown) const;
    void sortMembers(const DupGroup& g);

    std::vector<DuplicateInfoRef> data_;
    bool interrupted_ = false;
    std::map<const DupGroup*, std::vector<std::size_t>> shownOrder_;
};

} // namespace tessaly
