#include "app/UninstallDetailSource.h"

#include "ScanCode/uninstall/AppAgeGroups.h"
#include "ScanCode/uninstall/SearchApplications.h"
#include "model/CommonFunction.h"

namespace tessaly {

namespace {

QString sizeText(std::int64_t bytes) {
    return QString::fromStdString(CommonFunction::getSizeString(bytes));
}

} // namespace

const char* UninstallDetailSource::tabName(int tab) {
    static const char* const names[] = {"Application", "Widget", "Plugin", "Preference"};
    return tab >= 0 && tab < 4 ? names[tab] : "";
}

UninstallDetailSource::UninstallDetailSource(SearchApplications& engine) : engine_(engine) {}

AppItemList UninstallDetailSource::listOf(int tab) const {
    switch (tab) {
    case Widget:
        return engine_.allWidgets();
    case Plugin:
        return engine_.allPlugins();
    case Preference:
        return engine_.allPreferences();
    default:
        return engine_.allApplicationsForUninstall();
    }
}

bool UninstallDetailSource::tabHasItems(int tab) const {
    return !listOf(tab).empty();
}

void UninstallDetailSource::setTab(int tab) {
    tab_ = tab;
    reload(now_);
}

void UninstallDetailSource::setFilter(const QString& text) {
    filter_ = text;
    reload(now_);
}

void UninstallDetailSource::reload(Date now) {
    now_ = now;
    AppItemList shown;
    for (const AppItemRef& item : listOf(tab_))
        if (QString::fromStdString(item->name).contains(filter_, Qt::CaseInsensitive))
            shown.push_back(item);
    rows_.clear();
    if (tab_ != Application) {
        for (const AppItemRef& item : shown)
            rows_.push_back({{}, item});
        return;
    }
    for (const AppAgeGroup& group : appAgeGroups(shown, now)) {
        rows_.push_back({QString::fromStdString(group.type->name), nullptr});
        for (const AppItemRef& item : group.apps)
            rows_.push_back({{}, item});
    }
}

AppItemRef UninstallDetailSource::itemAt(int category) const {
    if (category < 0 || category >= categoryCount())
        return nullptr;
    return rows_[static_cast<std::size_t>(category)].item;
}

int UninstallDetailSource::categoryCount() const {
    return static_cast<int>(rows_.size());
}

DetailCategoryInfo UninstallDetailSource::categoryInfo(int category) const {
    DetailCategoryInfo info;
    const Row& row = rows_.at(static_cast<std::size_t>(category));
    if (!row.item) {
        info.name = row.group;
        info.dimmed = true;
        return info;
    }
    info.icon = QString::fromStdString(row.item->image.empty() ? row.item->path : row.item->image);
    info.name = QString::fromStdString(row.item->name);
    // A desktop's application says how it goes: a package, a Flatpak...
    if (row.item->kind != AppKind::Bundle)
        info.name += QString(" (%1)").arg(appKindTitle(row.item->kind));
    info.value = sizeText(row.item->size);
    info.check = checkStateOf(static_cast<int>(row.item->checkStatus()));
    info.emptyText = row.item->kind == AppKind::NotRemovable
                         ? "Not removable: " + QString::fromStdString(row.item->notRemovableReason)
                         : QString("There are no unneeded Files to removed");
    return info;
}

int UninstallDetailSource::itemCount(int category, const ItemPath& parent) const {
    AppItemRef item = itemAt(category);
    if (!item || !parent.empty())
        return 0;
    // The search runs when the item's records are first shown.
    return static_cast<int>(engine_.relatedFiles(item)->size());
}

SubAppFileRef UninstallDetailSource::recordAt(int category, const ItemPath& path) const {
    AppItemRef item = itemAt(category);
    if (!item || !item->fileDatas || path.size() != 1 || path[0] < 0 ||
        path[0] >= static_cast<int>(item->fileDatas->size()))
        return nullptr;
    return (*item->fileDatas)[static_cast<std::size_t>(path[0])];
}

DetailItemInfo UninstallDetailSource::itemInfo(int category, const ItemPath& path) const {
    DetailItemInfo info;
    SubAppFileRef record = recordAt(category, path);
    if (!record)
        return info;
    info.icon = QString::fromStdString(record->icon.empty() ? record->path : record->icon);
    info.name = QString::fromStdString(record->title());
    if (record->type == subfile::File || record->type == subfile::LaunchJob)
        info.path = QString::fromStdString(record->path);
    if (record->size > 0)
        info.size = sizeText(record->size);
    info.check = record->isCheck ? Qt::Checked : Qt::Unchecked;
    if (record->cannotRemoved)
        info.status =
            "Not removed" + (record->notRemovedReason.empty()
                                 ? QString()
                                 : ": " + QString::fromStdString(record->notRemovedReason));
    else if (!record->keptReason.empty())
        info.status = "Not ticked: " + QString::fromStdString(record->keptReason);
    if (record->type == subfile::Package) {
        // What its tool removes and the very command that will run; ticking
        // a package kept back by hand confirms that list.
        AppItemRef item = itemAt(category);
        QString removes;
        for (const std::string& package : record->packages)
            removes += (removes.isEmpty() ? "" : ", ") + QString::fromStdString(package);
        const QString command =
            "Removes " + removes + "; runs: " +
            QString::fromStdString(commandLineText(engine_.packageCommand(*item, *record)));
        info.status = info.status.isEmpty() ? command : info.status + ". " + command;
    }
    return info;
}

void UninstallDetailSource::setCategoryCheck(int category, bool check) {
    AppItemRef item = itemAt(category);
    if (!item)
        return;                 // an age group's title
    engine_.relatedFiles(item); // what is ticked is always searched first
    item->setItemEnable(check);
}

void UninstallDetailSource::setItemCheck(int category, const ItemPath& path, bool check) {
    if (SubAppFileRef record = recordAt(category, path)) {
        record->isCheck = check;
        AppItemRef item = itemAt(category);
        item->isSelected = item->checkStatus();
    }
}

void UninstallDetailSource::sort(int) {
    // Records keep the search's order: the bundle first, then the largest.
}

} // namespace tessaly
