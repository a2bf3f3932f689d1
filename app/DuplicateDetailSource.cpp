#include "app/DuplicateDetailSource.h"

#include "ScanCode/duplicate/DuplicateKinds.h"
#include "app/common/DetailText.h"
#include "model/CommonFunction.h"
#include "model/CustomFileInfo.h"
#include "model/SettingModel.h"
#include "platform/Paths.h"

#include <algorithm>
#include <numeric>

namespace tessaly {

namespace {

using Member = std::shared_ptr<DupFileInfo>;

bool allTicked(const DupGroup& g) {
    return g.count() > 0 && g.checkCount() == static_cast<std::int64_t>(g.count());
}

// The copy the group is known by: the first one that stays (unticked), or the
// last one, which stays when every copy is ticked.
const Member& keptCopy(const DupGroup& g) {
    auto it =
        std::find_if(g.array.begin(), g.array.end(), [](const Member& m) { return !m->isCheck; });
    return it == g.array.end() ? g.array.back() : *it;
}

double dateOf(const DupFileInfo& m) {
    return m.accessDate ? unixSeconds(*m.accessDate) : -1e300; // undated: the oldest
}

ComparisonResult byDate(double a, double b, bool asc) {
    auto r = compareValues(a, b);
    return asc ? r : reversed(r);
}

QString statusOf(const DupGroup& g, const DupFileInfo& m) {
    if (m.cannotRemoved && !m.notRemovedReason.empty())
        return notRemovedText(m.notRemovedReason);
    if (!m.isCheck)
        return "Kept";
    if (allTicked(g) && &m == g.array.back().get())
        return "Kept all the same: one copy always stays";
    return {};
}

} // namespace

void DuplicateDetailSource::setData(std::vector<DuplicateInfoRef> categories, bool interrupted) {
    data_ = std::move(categories);
    interrupted_ = interrupted;
    shownOrder_.clear();
    for (int c = 0; c < categoryCount(); ++c)
        sort(c);
}

int DuplicateDetailSource::categoryCount() const {
    return static_cast<int>(data_.size());
}

DetailCategoryInfo DuplicateDetailSource::categoryInfo(int category) const {
    const DuplicateInfo& info = *data_.at(category);
    DetailCategoryInfo c;
    const bool empty = info.dupFiles.empty();
    c.icon = empty ? (interrupted_ ? "iconWarning" : "chek")
                   : qtext(dupkind::imageWithModule(info.module));
    c.name = qtext(dupkind::moduleStr(info.module));
    // What is ticked; with nothing ticked, what could be, dimmed.
    if (info.allSize() > 0)
        c.value = sizeText(info.allSize());
    else if (!empty)
        c.value = sizeText(info.allSizeNoCheck());
    c.dimmed = empty || info.checkStatus() == 0;
    c.check = checkStateOf(info.checkStatus());
    c.emptyText = interrupted_ ? "Scan was interrupted before this section has been completely"
                               : "There are no unneeded Files to removed";
    return c;
}

DupGroupRef DuplicateDetailSource::group(int category, int index) const {
    return data_.at(category)->dupFiles.at(index);
}

const Member& DuplicateDetailSource::member(const DupGroup& g, int shown) const {
    auto it = shownOrder_.find(&g);
    const auto i = static_cast<std::size_t>(shown);
    const bool known = it != shownOrder_.end() && it->second.size() == g.count();
    return g.array.at(known && i < it->second.size() ? it->second[i] : i);
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
        // A group reads as its kept copy, with what removing the others frees.
        const Member& kept = keptCopy(*g);
        info.icon = qtext(dupkind::imageWithModule(kept->kind));
        info.name =
            QString("%1 (%2 copies)").arg(qtext(paths::lastComponent(kept->path))).arg(g->count());
        info.size = sizeText(g->noCheckSize());
        info.check = checkStateOf(g->checkStatus());
        return info;
    }
    const Member& m = member(*g, item.at(1));
    info.icon = qtext(m->path);
    info.name = qtext(paths::lastComponent(m->path));
    info.path = qtext(m->path);
    info.size = sizeText(m->fileSize);
    if (m->accessDate)
        info.date = qtext(CommonFunction::dateStr(*m->accessDate));
    info.status = statusOf(*g, *m);
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
        member(*g, item.at(1))->isCheck = check;
}

void DuplicateDetailSource::sort(int category) {
    const DataSource& s = SettingModel::shareSettingModel().source;
    const bool asc = s.ascending();
    auto& groups = data_.at(category)->dupFiles;
    sortUsing(groups, [&](const DupGroupRef& a, const DupGroupRef& b) {
        switch (s.type.load()) {
        case DataSource::Size:
            return sortBySizeRule(a->noCheckSize(), b->noCheckSize(), asc);
        case DataSource::Name:
            return sortByNameRule(paths::lastComponent(keptCopy(*a)->path),
                                  paths::lastComponent(keptCopy(*b)->path), asc);
        case DataSource::Selection:
            return sortByCountRule(a->checkCount(), b->checkCount(), asc);
        case DataSource::DateType:
            return byDate(dateOf(*keptCopy(*a)), dateOf(*keptCopy(*b)), asc);
        default:
            return OrderedSame;
        }
    });
    for (const auto& g : groups)
        sortMembers(*g);
}

void DuplicateDetailSource::sortMembers(const DupGroup& g) {
    const DataSource& s = SettingModel::shareSettingModel().source;
    const bool asc = s.ascending();
    std::vector<std::size_t> order(g.count());
    std::iota(order.begin(), order.end(), 0);
    sortUsing(order, [&](std::size_t a, std::size_t b) {
        const DupFileInfo& x = *g.array[a];
        const DupFileInfo& y = *g.array[b];
        if (s.type.load() == DataSource::DateType)
            return byDate(dateOf(x), dateOf(y), asc);
        return x.compareWithSort(y, s);
    });
    shownOrder_[&g] = std::move(order);
}

} // namespace tessaly
