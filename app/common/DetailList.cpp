#include "app/common/DetailList.h"

#include "app/SoundPlayer.h"
#include "app/common/FileManagerActions.h"
#include "app/common/ItemIcon.h"
#include "app/common/NamedComboBox.h"
#include "model/DataSource.h"
#include "model/SettingModel.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tessaly {

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kIndexRole = Qt::UserRole + 1;
constexpr int kDeepest = 3; // levels of items

QString sortLabel(std::int64_t type) {
    return QString::fromStdString(DataSource::typeLabel(type));
}

// The category list, which knows how wide its rows are.
class CategoryTree : public QTreeWidget {
public:
    using QTreeWidget::QTreeWidget;
    int contentsWidth() const { return sizeHintForColumn(0) + sizeHintForColumn(1); }
};

} // namespace

DetailList::DetailList(QWidget* parent) : QWidget(parent) {
    setObjectName("DetailList");
    categories_ = new CategoryTree(this);
    categories_->setObjectName("DetailCategories");
    categories_->setAccessibleName("Categories");
    categories_->setColumnCount(2);
    categories_->setHeaderLabels({"Category", "Size"});
    categories_->setHeaderHidden(true);
    categories_->setRootIsDecorated(false);
    categories_->setIconSize(QSize(24, 24));
    categories_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    categories_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    categories_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    categories_->header()->setStretchLastSection(false);

    items_ = new QTreeWidget(this);
    items_->setObjectName("DetailItems");
    items_->setAccessibleName("Items");
    items_->setColumnCount(5);
    items_->setHeaderLabels({"Name", "Path", "Size", "Date", "Status"});
    items_->setUniformRowHeights(true);
    items_->setContextMenuPolicy(Qt::CustomContextMenu);
    items_->header()->setSectionResizeMode(NameColumn, QHeaderView::Interactive);
    items_->header()->setSectionResizeMode(PathColumn, QHeaderView::Stretch);
    items_->header()->setSectionResizeMode(SizeColumn, QHeaderView::ResizeToContents);
    items_->header()->setSectionResizeMode(DateColumn, QHeaderView::ResizeToContents);
    items_->header()->setSectionResizeMode(StatusColumn, QHeaderView::ResizeToContents);
    items_->header()->setStretchLastSection(false);
    items_->setTextElideMode(Qt::ElideMiddle);
    items_->viewport()->installEventFilter(this);
    empty_ = new QLabel(this);
    empty_->setObjectName("DetailEmpty");
    empty_->setAlignment(Qt::AlignCenter);
    empty_->setWordWrap(true);
    stack_ = new QStackedWidget(this);
    stack_->addWidget(items_);
    stack_->addWidget(empty_);

    sortType_ = new NamedComboBox("Sort by", this);
    sortType_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    sortDirection_ = new NamedComboBox("Sort direction", this);
    sortDirection_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    sortDirection_->addItem(QString::fromStdString(DataSource::directionLabel(true)), true);
    sortDirection_->addItem(QString::fromStdString(DataSource::directionLabel(false)), false);
    sortLabel_ = new QLabel("Sort by", this);
    sortLabel_->setBuddy(sortType_);
    sortBox_ = new QWidget(this);
    auto* sortLayout = new QHBoxLayout(sortBox_);
    sortLayout->setContentsMargins(0, 0, 0, 0);
    sortLayout->addWidget(sortLabel_);
    sortLayout->addWidget(sortType_);
    sortLayout->addWidget(sortDirection_);
    selectAll_ = new QPushButton("Select All", this);
    selectAll_->setObjectName("SecondaryButton");
    deselectAll_ = new QPushButton("Deselect All", this);
    deselectAll_->setObjectName("SecondaryButton");
    itemAction_ = new QPushButton(this);
    itemAction_->setObjectName("SecondaryButton");
    itemAction_->hide();

    // The buttons sit above the list they act on; both rows are as high as the
    // sort boxes, so that the two lists start at the same height.
    auto* categoryToolsBox = new QWidget(this);
    categoryToolsBox->setMinimumHeight(sortType_->sizeHint().height());
    categoryTools_ = new QHBoxLayout(categoryToolsBox);
    categoryTools_->setContentsMargins(0, 0, 0, 0);
    categoryTools_->addStretch(1);
    itemTools_ = new QHBoxLayout;
    itemTools_->addWidget(selectAll_);
    itemTools_->addWidget(deselectAll_);
    itemTools_->addWidget(itemAction_);
    itemTools_->addStretch(1);
    itemTools_->addWidget(sortBox_);
    sortRow_ = new QHBoxLayout; // the sort choice, when it does not fit beside the buttons
    sortRow_->addStretch(1);

    auto* left = new QVBoxLayout;
    left->addWidget(categoryToolsBox);
    left->addWidget(categories_, 1);
    auto* right = new QVBoxLayout;
    right->addLayout(itemTools_);
    right->addLayout(sortRow_);
    right->addWidget(stack_, 1);
    stack_->installEventFilter(this);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 8);
    layout->setSpacing(12);
    layout->addLayout(left);
    layout->addLayout(right, 1);

    connect(categories_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (updating_ || !item)
            return;
        const int category = item->data(0, kIndexRole).toInt();
        if (category != current_)
            SoundPlayer::player().playListSelectSound();
        selectCategory(category);
    });
    connect(categories_, &QTreeWidget::itemChanged, this, &DetailList::onCategoryChanged);
    connect(items_, &QTreeWidget::itemChanged, this, &DetailList::onItemChanged);
    connect(items_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { revealItem(pathOf(item)); });
    connect(items_, &QTreeWidget::customContextMenuRequested, this, &DetailList::showContextMenu);
    connect(items_, &QTreeWidget::currentItemChanged, this, &DetailList::offerItemAction);
    connect(itemAction_, &QPushButton::clicked, this, [this] { triggerItemAction(currentItem()); });
    connect(selectAll_, &QPushButton::clicked, this, &DetailList::selectAll);
    connect(deselectAll_, &QPushButton::clicked, this, &DetailList::deselectAll);
    auto sortChosen = [this] {
        if (!updating_)
            setSort(sortType_->currentData().toLongLong(), sortDirection_->currentData().toBool());
    };
    connect(sortType_, &QComboBox::currentIndexChanged, this, sortChosen);
    connect(sortDirection_, &QComboBox::currentIndexChanged, this, sortChosen);
    fillSortChoices();
}

bool DetailList::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize) {
        if (watched == items_->viewport())
            fitNameColumn();
        else if (watched == stack_)
            arrangeTools();
    }
    return QWidget::eventFilter(watched, event);
}

// The buttons and the sort choice share one row above the items when they fit
// in it; otherwise the sort choice takes a row of its own, and where even that
// is too narrow its "Sort by" label gives way (the boxes keep it as their names).
void DetailList::arrangeTools() {
    const int room = stack_->width();
    const int gap = std::max(itemTools_->spacing(), 6);
    int buttons = selectAllEvery_ ? 0
                                  : selectAll_->sizeHint().width() + gap +
                                        deselectAll_->sizeHint().width() + gap;
    if (itemOffer_)
        buttons += itemAction_->sizeHint().width() + gap;
    const int boxes = sortType_->sizeHint().width() + gap + sortDirection_->sizeHint().width();
    const int label = sortLabel_->sizeHint().width() + gap;
    const bool oneRow = buttons + label + boxes <= room;
    QHBoxLayout* to = oneRow || selectAllEvery_ ? itemTools_ : sortRow_;
    if (to->indexOf(sortBox_) < 0) {
        (to == itemTools_ ? sortRow_ : itemTools_)->removeWidget(sortBox_);
        to->addWidget(sortBox_);
    }
    sortLabel_->setVisible(oneRow || label + boxes <= room);
}

// Names get a little more than half of the room the other columns leave; the
// path takes the rest. What does not fit is cut with an ellipsis and reads whole
// in its tooltip.
void DetailList::fitNameColumn() {
    int others = 0;
    for (int column : {SizeColumn, DateColumn, StatusColumn})
        if (!items_->isColumnHidden(column))
            others += items_->header()->sectionSizeHint(column) > 0
                          ? std::max(items_->header()->sectionSize(column),
                                     items_->header()->sectionSizeHint(column))
                          : 0;
    const int room = items_->viewport()->width() - others;
    items_->setColumnWidth(NameColumn, std::max(120, room * 55 / 100));
}

void DetailList::setSelectAllEveryCategory(bool every) {
    selectAllEvery_ = every;
    QHBoxLayout* from = every ? itemTools_ : categoryTools_;
    QHBoxLayout* to = every ? categoryTools_ : itemTools_;
    for (QPushButton* b : {deselectAll_, selectAll_}) {
        from->removeWidget(b);
        to->insertWidget(0, b);
    }
    arrangeTools();
}

void DetailList::setItemAction(const QString& label, ItemOffer offered) {
    itemAction_->setText(label);
    itemOffer_ = std::move(offered);
    itemAction_->setVisible(static_cast<bool>(itemOffer_));
    offerItemAction();
    arrangeTools();
}

ItemPath DetailList::currentItem() const {
    return pathOf(items_->currentItem());
}

void DetailList::offerItemAction() {
    const ItemPath item = currentItem();
    itemAction_->setEnabled(itemOffer_ && source_ && current_ >= 0 && !item.empty() &&
                            itemOffer_(current_, item));
}

void DetailList::triggerItemAction(const ItemPath& item) {
    if (!itemOffer_ || !source_ || current_ < 0 || item.empty() || !itemOffer_(current_, item))
        return;
    emit itemActionRequested(current_, item);
}

void DetailList::setSource(DetailSource* source) {
    source_ = source;
    reload();
}

void DetailList::fillSortChoices() {
    choices_ = {{sortLabel(DataSource::Size), DataSource::Size},
                {sortLabel(DataSource::Name), DataSource::Name},
                {sortLabel(DataSource::Selection), DataSource::Selection}};
    const bool dates = source_ && source_->hasDates();
    if (dates)
        choices_.push_back({sortLabel(DataSource::DateType), DataSource::DateType});
    items_->setColumnHidden(DateColumn, !dates);
    updating_ = true;
    sortType_->clear();
    for (const auto& [label, type] : choices_)
        sortType_->addItem(label, QVariant::fromValue<qlonglong>(type));
    updating_ = false;
}

void DetailList::reload() {
    fillSortChoices();
    showSortChoice();
    if (!source_ || source_->categoryCount() == 0)
        current_ = -1;
    else if (current_ < 0 || current_ >= source_->categoryCount())
        current_ = 0;
    updating_ = true;
    items_->clear(); // the old items may no longer exist in the source
    updating_ = false;
    fillCategories();
    fillItems();
}

void DetailList::showSortChoice() {
    const DataSource& s = SettingModel::shareSettingModel().source;
    updating_ = true;
    int t = sortType_->findData(QVariant::fromValue<qlonglong>(s.type.load()));
    sortType_->setCurrentIndex(t < 0 ? 0 : t);
    sortDirection_->setCurrentIndex(s.ascending() ? 0 : 1);
    updating_ = false;
}

void DetailList::fillCategories() {
    updating_ = true;
    categories_->clear();
    const int n = source_ ? source_->categoryCount() : 0;
    for (int c = 0; c < n; ++c) {
        auto* item = new QTreeWidgetItem(categories_);
        item->setData(0, kIndexRole, c);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        const DetailCategoryInfo info = source_->categoryInfo(c);
        item->setIcon(0, itemIcon(info.icon));
        item->setText(0, info.name);
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        item->setCheckState(0, info.check);
    }
    if (current_ >= 0)
        categories_->setCurrentItem(categories_->topLevelItem(current_));
    updating_ = false;
    refreshChecks();
}

// The category list is as wide as its widest row, so that no name is cut.
void DetailList::fitCategoryWidth() {
    int width = static_cast<CategoryTree*>(categories_)->contentsWidth();
    width += 2 * categories_->frameWidth() + categories_->verticalScrollBar()->sizeHint().width();
    const int buttons = selectAllEvery_
                            ? selectAll_->sizeHint().width() + deselectAll_->sizeHint().width() +
                                  categoryTools_->spacing()
                            : 0;
    categories_->setFixedWidth(std::max({width, buttons, 160}));
}

void DetailList::fillItems() {
    updating_ = true;
    items_->clear();
    const bool status = current_ >= 0 && addChildren(items_->invisibleRootItem(), {});
    items_->setColumnHidden(StatusColumn, !status);
    updating_ = false;
    fitNameColumn();
    const bool none = current_ < 0 || items_->topLevelItemCount() == 0;
    empty_->setText(current_ >= 0 ? source_->categoryInfo(current_).emptyText : QString());
    stack_->setCurrentWidget(none ? static_cast<QWidget*>(empty_) : items_);
    const bool enabled = selectAllEvery_ ? current_ >= 0 : !none;
    selectAll_->setEnabled(enabled);
    deselectAll_->setEnabled(enabled);
    offerItemAction();
}

// Adds the children of parentPath; true when one of them (at any depth) has a status.
bool DetailList::addChildren(QTreeWidgetItem* parent, const ItemPath& parentPath) {
    bool status = false;
    const int n = source_->itemCount(current_, parentPath);
    for (int i = 0; i < n; ++i) {
        ItemPath path = parentPath;
        path.push_back(i);
        const DetailItemInfo info = source_->itemInfo(current_, path);
        auto* item = new QTreeWidgetItem(parent);
        QVariantList indices;
        for (int k : path)
            indices << k;
        item->setData(NameColumn, kIndexRole, indices);
        item->setData(NameColumn, kPathRole, info.path);
        item->setIcon(NameColumn, itemIcon(info.icon));
        const QString texts[] = {info.name, info.path, info.size, info.date, info.status};
        for (int column = NameColumn; column <= StatusColumn; ++column) {
            item->setText(column, texts[column]);
            item->setToolTip(column, texts[column]); // a cut name or path reads whole here
        }
        item->setTextAlignment(SizeColumn, Qt::AlignRight | Qt::AlignVCenter);
        Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        if (info.checkable) {
            flags |= Qt::ItemIsUserCheckable;
            item->setCheckState(NameColumn, info.check);
        }
        item->setFlags(flags);
        status = status || !info.status.isEmpty();
        if (path.size() < kDeepest)
            status = addChildren(item, path) || status;
    }
    return status;
}

ItemPath DetailList::pathOf(const QTreeWidgetItem* item) {
    ItemPath path;
    if (!item)
        return path;
    for (const QVariant& v : item->data(NameColumn, kIndexRole).toList())
        path.push_back(v.toInt());
    return path;
}

QTreeWidgetItem* DetailList::treeItem(const ItemPath& path) const {
    QTreeWidgetItem* item = items_->invisibleRootItem();
    for (int i : path) {
        if (i < 0 || i >= item->childCount())
            return nullptr;
        item = item->child(i);
    }
    return path.empty() ? nullptr : item;
}

void DetailList::refreshItem(QTreeWidgetItem* item) {
    for (int i = 0; i < item->childCount(); ++i) {
        QTreeWidgetItem* child = item->child(i);
        if (child->flags() & Qt::ItemIsUserCheckable) {
            const DetailItemInfo info = source_->itemInfo(current_, pathOf(child));
            child->setCheckState(NameColumn, info.check);
            child->setText(StatusColumn, info.status);
            child->setToolTip(StatusColumn, info.status);
        }
        refreshItem(child);
    }
}

void DetailList::refreshChecks() {
    if (!source_)
        return;
    const bool was = updating_;
    updating_ = true;
    for (int c = 0; c < categories_->topLevelItemCount(); ++c) {
        const DetailCategoryInfo info = source_->categoryInfo(c);
        QTreeWidgetItem* item = categories_->topLevelItem(c);
        item->setCheckState(0, info.check);
        item->setText(1, info.value);
        item->setIcon(0, itemIcon(info.icon));
        const QColor colour = info.dimmed ? QColor("#8392a7") : QColor("#1d2737");
        item->setForeground(0, colour);
        item->setForeground(1, colour);
    }
    if (current_ >= 0)
        refreshItem(items_->invisibleRootItem());
    updating_ = was;
    fitCategoryWidth();
}

void DetailList::selectCategory(int category) {
    if (!source_ || category < 0 || category >= source_->categoryCount())
        return;
    current_ = category;
    updating_ = true;
    categories_->setCurrentItem(categories_->topLevelItem(category));
    updating_ = false;
    fillItems();
}

void DetailList::clickCategory(int category) {
    if (!source_ || category < 0 || category >= source_->categoryCount())
        return;
    source_->setCategoryCheck(category, source_->categoryInfo(category).check == Qt::Unchecked);
    refreshChecks();
    emit checksChanged();
}

void DetailList::clickItem(const ItemPath& path) {
    if (!source_ || current_ < 0 || path.empty())
        return;
    const DetailItemInfo info = source_->itemInfo(current_, path);
    if (!info.checkable)
        return;
    source_->setItemCheck(current_, path, info.check == Qt::Unchecked);
    refreshChecks();
    emit checksChanged();
}

void DetailList::onItemChanged(QTreeWidgetItem* item, int column) {
    if (updating_ || column != NameColumn)
        return;
    clickItem(pathOf(item));
}

void DetailList::onCategoryChanged(QTreeWidgetItem* item, int column) {
    if (updating_ || column != 0)
        return;
    clickCategory(item->data(0, kIndexRole).toInt());
}

void DetailList::selectAll() {
    if (!source_ || current_ < 0)
        return;
    if (selectAllEvery_)
        for (int c = 0; c < source_->categoryCount(); ++c)
            source_->setCategoryCheck(c, true);
    else
        source_->setCategoryCheck(current_, true);
    refreshChecks();
    emit checksChanged();
}

void DetailList::deselectAll() {
    if (!source_ || current_ < 0)
        return;
    if (selectAllEvery_)
        for (int c = 0; c < source_->categoryCount(); ++c)
            source_->setCategoryCheck(c, false);
    else
        source_->setCategoryCheck(current_, false);
    refreshChecks();
    emit checksChanged();
}

void DetailList::setSort(std::int64_t type, bool ascending) {
    DataSource& s = SettingModel::shareSettingModel().source;
    s.type = type;
    s.asc = ascending ? 1 : 0;
    showSortChoice();
    if (!source_ || current_ < 0)
        return;
    source_->sort(current_);
    fillItems();
}

void DetailList::revealItem(const ItemPath& path) {
    if (!source_ || current_ < 0 || path.empty())
        return;
    const QString file = source_->itemInfo(current_, path).path;
    if (!file.isEmpty())
        revealInFileManager(file);
}

void DetailList::showInfo(const ItemPath& path) {
    if (!source_ || current_ < 0 || path.empty())
        return;
    const QString file = source_->itemInfo(current_, path).path;
    if (!file.isEmpty())
        showItemInfo(file, this);
}

void DetailList::showContextMenu(const QPoint& pos) {
    QTreeWidgetItem* item = items_->itemAt(pos);
    if (!item || item->data(NameColumn, kPathRole).toString().isEmpty())
        return;
    const ItemPath path = pathOf(item);
    QMenu menu(this);
    menu.addAction("Reveal in File Manager", this, [this, path] { revealItem(path); });
    menu.addAction("Show Info", this, [this, path] { showInfo(path); });
    if (itemOffer_ && itemOffer_(current_, path))
        menu.addAction(itemAction_->text(), this, [this, path] { triggerItemAction(path); });
    menu.exec(items_->viewport()->mapToGlobal(pos));
}

QString DetailList::emptyText() const {
    return stack_->currentWidget() == empty_ ? empty_->text() : QString();
}

} // namespace tessaly
