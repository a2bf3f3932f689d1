#pragma once

#include <QString>
#include <Qt>
#include <vector>

namespace tessaly {

// Where an item sits in a category's tree: the index at each level, top first
// (at most three levels).
using ItemPath = std::vector<int>;

// One category row of a detail list.
struct DetailCategoryInfo {
    QString icon; // artwork image name
    QString name;
    QString value; // right-hand text, usually the ticked size
    bool dimmed = false;
    Qt::CheckState check = Qt::Unchecked;
    QString emptyText; // shown in place of the items when the category has none
};

// One item of a category's tree.
struct DetailItemInfo {
    QString icon; // artwork image name, or a path whose file-type icon is shown
    QString name;
    QString path; // full path; empty for rows that stand for no single file
    QString size;
    QString date;
    // What becomes of it, when there is more to say than its box: the reason a
    // clean left it in place, or that it is the copy kept.
    QString status;
    Qt::CheckState check = Qt::Unchecked;
    bool checkable = true;
};

// The box of a tick state: 0 none ticked, 2 all, anything else some.
inline Qt::CheckState checkStateOf(int status) {
    return status == 0 ? Qt::Unchecked : status == 2 ? Qt::Checked : Qt::PartiallyChecked;
}

// What a tool offers a DetailList: its categories and item trees, and its own
// tick rules. The list reads and changes ticks only through this interface and
// reads every state back after a change.
class DetailSource {
public:
    virtual ~DetailSource() = default;

    virtual int categoryCount() const = 0;
    // Whether items carry dates (the list then shows a Date column and sorts by it).
    virtual bool hasDates() const { return false; }
    virtual DetailCategoryInfo categoryInfo(int category) const = 0;
    // Children of parent (empty for the category's top level).
    virtual int itemCount(int category, const ItemPath& parent) const = 0;
    virtual DetailItemInfo itemInfo(int category, const ItemPath& item) const = 0;

    virtual void setCategoryCheck(int category, bool check) = 0;
    virtual void setItemCheck(int category, const ItemPath& item, bool check) = 0;
    // Re-orders the category's items by the shared sort choice of the settings.
    virtual void sort(int category) = 0;
};

} // namespace tessaly
