#include "app/DuplicateDetailSource.h"

#include "ScanCode/duplicate/DuplicateKinds.h"
#include "model/CommonFunction.h"
#include "platform/Paths.h"

#include <algorithm>

namespace tessaly {

namespace {

Qt::CheckState state(int status) {
    return status == 0 ? Qt::Unchecked : status == 2 ? Qt::Checked : Qt::PartiallyChecked;
}

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

void DuplicateDetailSource::setData(std::vector<DuplicateInfoRef> categories, bool interrupted) {
    data_ = std::move(categories);
    interrupted_ = interrupted;
}

int DuplicateDetailSource::categoryCount() const {
    return static_cast<int>(data_.size());
}

DetailCategoryInfo DuplicateDetailSource::categoryInfo(int category) const {
    const DuplicateInfo& info = *data_.at(category);
    DetailCategoryInfo c;
    c.icon = text(dupkind::imageWithModule(info.module));
    c.name = text(dupkind::moduleStr(info.module));
    c.value = text(CommonFunction::getSizeString(info.allSize()));
    c.dimmed = info.dupFiles.empty();
    c.check = state(info.checkStatus());
    c.emptyText = interrupted_ ? "Scan was interrupted before this section has been completely"
                               : "There are no unneeded Files to removed";
    return c;
}

DupGroupRef DuplicateDetailSource::group(int category, int index) const {
    return data_.at(category)->dupFiles.at(index);
}

int DuplicateDetailSource::itemCount(int category, const ItemPath& parent) const {
    if (parent.empty())
        return static_cast<int>(data_.at(category)->dupFiles.size());
    if (parent.size() == 1)
        return static_cast<int>(group(category, parent[0])->count());
    return 0;
}

DetailItemInfo DuplicateDetailSource::itemInfo(int category, const ItemPath& item) const {
    const DupGroupRef g = group(category, item.at(0));
    DetailItemInfo info;
    if (item.size() == 1) {
        // A group reads as its kept copy (the unticked one), with what removing
        // the others frees.
        auto keptIt = std::find_if(g->array.begin(), g->array.end(),
                                   [](const auto& m) { return !m->isCheck; });
        const auto& kept = keptIt == g->array.end() ? g->array.back() : *keptIt;
        info.icon = text(dupkind::imageWithModule(kept->kind));
        info.name =
            QString("%1 (%2 copies)").arg(text(paths::lastComponent(kept->path))).arg(g->count());
        info.size = text(CommonFunction::getSizeString(g->noCheckSize()));
        info.check = state(g->checkStatus());
        return info;
    }
    const auto& m = g->array.at(item.at(1));
    info.icon = text(m->path);
    info.name = text(paths::lastComponent(m->path));
    info.path = text(m->path);
    info.size = text(CommonFunction::getSizeString(m->fileSize));
    if (m->cannotRemoved && !m->notRemovedReason.empty())
        info.date = "Not removed: " + text(m->notRemovedReason);
    else if (m->accessDate)
        info.date = text(CommonFunction::dateStr(*m->accessDate));
    info.check = m->isCheck ? Qt::Checked : Qt::Unchecked;
    return info;
}

void DuplicateDetailSource::setCategoryCheck(int category, bool check) {
    data_.at(category)->setCheck(check);
}

void DuplicateDetailSource::setItemCheck(int category, const ItemPath& item, bool check) {
    const DupGroupRef g = group(category, item.at(0));
    if (item.size() == 1)
        g->setCheck(check);
    else
        g->array.at(item.at(1))->isCheck = check;
}

void DuplicateDetailSource::sort(int category) {
    auto& groups = data_.at(category)->dupFiles;
    sortUsing(groups,
              [](const DupGroupRef& a, const DupGroupRef& b) { return a->compareWithSort(*b); });
    for (const auto& g : groups)
        g->sortSubFiles();
}

} // namespace tessaly
