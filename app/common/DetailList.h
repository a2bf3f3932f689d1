#pragma once

#include "app/common/DetailSource.h"

#include <QString>
#include <QWidget>
#include <functional>
#include <utility>
#include <vector>

class QComboBox;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace tessaly {

// The detail list every tool shows after a scan: categories on the left, the
// items of the selected category on the right as a tree (up to three levels)
// with three-state boxes, "Select All" / "Deselect All", the sort choice shared
// through the settings, reveal in the file manager and "Show Info".
//
// Ticks are read and changed only through the DetailSource; after every change
// the boxes of the category and of the items are read back from it. Clicking a
// box that reads unticked asks the source to tick; clicking one that reads ticked
// or mixed asks it to untick.
//
// The category list follows the keyboard: arrows, Home, End and the page keys
// select a category and show its items. A Date column (and sorting by date) is
// there when the source's items carry dates; a Status column when an item of the
// category shown has something to say.
class DetailList : public QWidget {
    Q_OBJECT
public:
    // Sort choices: the drop-down label and the sort type it stands for.
    using SortChoices = std::vector<std::pair<QString, std::int64_t>>;

    explicit DetailList(QWidget* parent = nullptr);

    // The source is not owned. Rebuilds both lists and keeps the selected category
    // when it still exists.
    void setSource(DetailSource* source);
    void reload();

    // An action on single items beyond reveal and "Show Info" (the Alias Finder's
    // repair): a button beside "Select All" / "Deselect All" that acts on the
    // current item when `offered` says it may, and the same entry in the item's
    // menu. Both emit itemActionRequested.
    using ItemOffer = std::function<bool(int category, const ItemPath& item)>;
    void setItemAction(const QString& label, ItemOffer offered);
    void triggerItemAction(const ItemPath& item);
    QPushButton* itemActionButton() const { return itemAction_; }
    // The item the keyboard is on; empty when none.
    ItemPath currentItem() const;

    // "Select All" / "Deselect All" tick every category, not only the one shown;
    // they then sit above the category list instead of above the items.
    void setSelectAllEveryCategory(bool every);

    void selectCategory(int category);
    int currentCategory() const { return current_; }

    // The user's actions, also reachable from tests.
    void clickCategory(int category);
    void clickItem(const ItemPath& item);
    void selectAll();
    void deselectAll();
    void setSort(std::int64_t type, bool ascending);
    void revealItem(const ItemPath& item);
    void showInfo(const ItemPath& item);

    QTreeWidget* categoryTree() const { return categories_; }
    QTreeWidget* itemTree() const { return items_; }
    QTreeWidgetItem* treeItem(const ItemPath& item) const;
    QComboBox* sortTypeBox() const { return sortType_; }
    QComboBox* sortDirectionBox() const { return sortDirection_; }
    QPushButton* selectAllButton() const { return selectAll_; }
    QPushButton* deselectAllButton() const { return deselectAll_; }
    SortChoices sortChoices() const { return choices_; }
    // The category's empty text while it is shown in place of the items, else empty.
    QString emptyText() const;
    // The item tree's columns by header.
    enum Column { NameColumn = 0, PathColumn, SizeColumn, DateColumn, StatusColumn };

signals:
    // After any tick change, so that the screen can update its totals.
    void checksChanged();
    // The item action was asked for on an item of the category shown.
    void itemActionRequested(int category, const tessaly::ItemPath& item);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fitNameColumn();
    void arrangeTools();
    void fillSortChoices();
    void fillCategories();
    void fitCategoryWidth();
    void fillItems();
    bool addChildren(QTreeWidgetItem* parent, const ItemPath& parentPath);
    void refreshChecks();
    void refreshItem(QTreeWidgetItem* item);
    void showSortChoice();
    void onItemChanged(QTreeWidgetItem* item, int column);
    void onCategoryChanged(QTreeWidgetItem* item, int column);
    void showContextMenu(const QPoint& pos);
    void offerItemAction();
    static ItemPath pathOf(const QTreeWidgetItem* item);

    DetailSource* source_ = nullptr;
    SortChoices choices_;
    int current_ = -1;
    bool updating_ = false;
    bool selectAllEvery_ = false;
    QTreeWidget* categories_;
    QTreeWidget* items_;
    QLabel* empty_;
    QStackedWidget* stack_;
    QComboBox* sortType_;
    QComboBox* sortDirection_;
    QPushButton* selectAll_;
    QPushButton* deselectAll_;
    QPushButton* itemAction_;
    ItemOffer itemOffer_;
    QHBoxLayout* categoryTools_;
    QHBoxLayout* itemTools_;
    QHBoxLayout* sortRow_;
    QWidget* sortBox_;
    QLabel* sortLabel_;
};

} // namespace tessaly
