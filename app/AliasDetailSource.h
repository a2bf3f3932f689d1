#pragma once

#include "ScanCode/alias/AliasHelper.h"
#include "app/common/DetailSource.h"

namespace tessaly {

// The Alias Finder's result as a detail list: the broken aliases (category 0)
// and the working ones (category 1), each with what it points at. Reads the
// engine's lists as they are, so that a repair shows at once.
class AliasDetailSource : public DetailSource {
public:
    explicit AliasDetailSource(AliasHelper& engine) : engine_(engine) {}

    // interrupted: the scan was stopped.
    void setInterrupted(bool interrupted) { interrupted_ = interrupted; }
    // The alias shown at an item; null when there is none.
    AliasRef alias(int category, const ItemPath& item) const;

    int categoryCount() const override { return 2; }
    bool hasDates() const override { return true; }
    DetailCategoryInfo categoryInfo(int category) const override;
    int itemCount(int category, const ItemPath& parent) const override;
    DetailItemInfo itemInfo(int category, const ItemPath& item) const override;
    void setCategoryCheck(int category, bool check) override;
    void setItemCheck(int category, const ItemPath& item, bool check) override;
    void sort(int category) override;

private:
    AliasList& list(int category) const;

    AliasHelper& engine_;
    bool interrupted_ = false;
};

} // namespace tessaly
