#include "app/common/DetailList.h"

#include "app/common/FileManagerActions.h"
#include "app/common/ItemIcon.h"
#include "model/DataSource.h"
#include "model/SettingModel.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tessaly {

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kIndexRole = Qt::UserRole + 1;

enum Column { NameColumn = 0, PathColumn, SizeColumn, DateColumn };

} // namespace

DetailList::SortChoices DetailList::defaultSortChoices() {
    return {{"Size", DataSource::Size},
            {"Name", DataSource::Name},
            {"Selection", DataSource::Selection}};
}

DetailList::DetailList(QWidget* parent, SortChoices choices)
    : QWidget(parent), choices_(std::move(choices)) {
    setObjectName("DetailList");
    categories_ = new QTreeWidget(this);
    categories_->setObjectName("DetailCategories");
    categories_->setColumnCount(2);
    categories_->setHeaderHidden(true);
    categories_->setRootIsDecorated(false);
    categories_->setIconSize(QSize(28, 28));
    categories_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    categories_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    categories_->header()->setStretchLastSection(false);
    categories_->setFixedWidth(260);

    items_ = new QTreeWidget(this);
    items_->setObjectName("DetailItems");
    items_->setColumnCount(4);
    items_->setHeaderLabels({"Name", "Path", "Size", "Date"});
    items_->setUniformRowHeights(true);
    items_->setContextMenuPolicy(Qt::CustomContextMenu);
    items_->header()->setSectionResizeMode(NameColumn, QHeaderView::Interactive);
    items_->header()->setSectionResizeMode(PathColumn, QHeaderView::Stretch);
    items_->header()->setSectionResizeMode(SizeColumn, QHeaderView::ResizeToContents);
    items_->header()->setSectionResizeMode(DateColumn, QHeaderView::ResizeToContents);
    items_->header()->setStretchLastSection(false);
    items_->setColumnWidth(NameColumn, 200);
    empty_ = new QLabel(this);
    empty_->setObjectName("DetailEmpty");
    empty_->setAlignment(Qt::AlignCenter);
    empty_->setWordWrap(true);
    stack_ = new QStackedWidget(this);
    stack_->addWidget(items_);
    stack_->addWidget(empty_);

    sortType_ = new QComboBox(this);
    for (const auto& [label, type] : choices_)
        sortType_->addItem(label, QVariant::fromValue<qlonglong>(type));
    sortDirection_ = new QComboBox(this);
    sortDirection_->addItem(QString::fromStdString(DataSource::directionLabel(true)), true);
    sortDirection_->addItem(QString::fromStdString(DataSource::directionLabel(false)), false);
    selectAll_ = new QPushButton("Select All", this);
    deselectAll_ = new QPushButton("Deselect All", this);

    auto* tools = new QHBoxLayout;
    tools->addWidget(selectAll_);
    tools->addWidget(deselectAll_);
    tools->addStretch(1);
    tools->addWidget(new QLabel("Sort by", this));
    tools->addWidget(sortType_);
    tools->addWidget(sortDirection_);

    auto* right = new QVBoxLayout;
    right->addLayout(tools);
    right->addWidget(stack_, 1);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 12);
    layout->setSpacing(12);
    layout->addWidget(categories_);
    layout->addLayout(right, 1);

    connect(categories_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (!updating_ && item)
            selectCategory(item->data(0, kIndexRole).toInt());
    });
    connect(categories_, &QTreeWidget::itemChanged, this, &DetailList::onCategoryChanged);
    connect(items_, &QTreeWidget::itemChanged, this, &DetailList::onItemChanged);
    connect(items_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { revealItem(pathOf(item)); });
    connect(items_, &QTreeWidget::customContextMenuRequested, this, &DetailList::showContextMenu);
    connect(selectAll_, &QPushButton::clicked, this, &DetailList::selectAll);
    connect(deselectAll_, &QPushButton::clicked, this, &DetailList::deselectAll);
    auto sortChosen = [this] {
        if (!updating_)
            setSort(sortType_->currentData().toLongLong(), sortDirection_->currentData().toBool());
    };
    connect(sortType_, &QComboBox::currentIndexChanged, this, sortChosen);
    connect(sortDirection_, &QComboBox::currentIndexChanged, this, sortChosen);
}

void DetailList::setSource(DetailSource* source) {
    source_ = source;
    reload();
}

void DetailList::reload() {
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

void DetailList::fillItems() {
    updating_ = true;
    items_->clear();
    if (current_ >= 0)
        addChildren(items_->invisibleRootItem(), {});
    updating_ = false;
    const bool none = current_ < 0 || items_->topLevelItemCount() == 0;
    empty_->setText(current_ >= 0 ? source_->categoryInfo(current_).emptyText : QString());
    stack_->setCurrentWidget(none ? static_cast<QWidget*>(empty_) : items_);
    const bool enabled = selectAllEvery_ ? current_ >= 0 : !none;
    selectAll_->setEnabled(enabled);
    deselectAll_->setEnabled(enabled);
}

void DetailList::addChildren(QTreeWidgetItem* parent, const ItemPath& parentPath) {
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
        item->setText(NameColumn, info.name);
        item->setText(PathColumn, info.path);
        item->setToolTip(PathColumn, info.path);
        item->setText(SizeColumn, info.size);
        item->setText(DateColumn, info.date);
        item->setTextAlignment(SizeColumn, Qt::AlignRight | Qt::AlignVCenter);
        Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        if (info.checkable) {
            flags |= Qt::ItemIsUserCheckable;
            item->setCheckState(NameColumn, info.check);
        }
        item->setFlags(flags);
        if (path.size() < 3)
            addChildren(item, path);
    }
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
        if (child->flags() & Qt::ItemIsUserCheckable)
            child->setCheckState(NameColumn, source_->itemInfo(current_, pathOf(child)).check);
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
        const QColor colour = info.dimmed ? QColor("#a9b4c6") : QColor("#1d2737");
        item->setForeground(0, colour);
        item->setForeground(1, colour);
    }
    if (current_ >= 0)
        refreshItem(items_->invisibleRootItem());
    updating_ = was;
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
    menu.exec(items_->viewport()->mapToGlobal(pos));
}

QString DetailList::emptyText() const {
    return stack_->currentWidget() == empty_ ? empty_->text() : QString();
}

} // namespace tessaly
