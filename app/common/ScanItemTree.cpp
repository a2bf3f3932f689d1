#include "app/common/ScanItemTree.h"

namespace tessaly {

void setLeavesCheck(ScaneOuputObject& item, bool check) {
    if (item.hasChildren())
        for (const ScanItem& child : *item.subObjects)
            child->isCheck = check;
    else
        item.isCheck = check;
}

void sortBySortChoice(ScanItemList& items) {
    auto bySort = [](const ScanItem& a, const ScanItem& b) { return a->compareWithSort(*b); };
    sortUsing(items, bySort);
    for (const ScanItem& item : items)
        if (item->subObjects)
            sortUsing(*item->subObjects, bySort);
}

} // namespace tessaly
