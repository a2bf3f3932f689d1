#include "app/OldDetailSource.h"

#include "app/common/DetailText.h"
#include "model/CommonFunction.h"
#include "model/Comparison.h"
#include "model/SettingModel.h"
#include "platform/Paths.h"

namespace tessaly {

void OldDetailSource::setData(std::vector<OldTypeRef> ageClasses, bool interrupted) {
    data_ = std::move(ageClasses);
    interrupted_ = interrupted;
    for (int c = 0; c < categoryCount(); ++c)
        sort(c);
}

int OldDetailSource::categoryCount() const {
    return static_cast<int>(data_.size());
}

DetailCategoryInfo OldDetailSource::categoryInfo(int category) const {
    const OldType& t = *data_.at(category);
    DetailCategoryInfo c;
    const bool empty = t.fileCount() == 0;
    c.icon = empty ? (interrupted_ ? "iconWarning" : "chek") : qtext(t.icon);
    c.name = qtext(t.name);
    // What is ticked; with nothing ticked, what is listed, dimmed.
    if (t.fileSizeWithCheck() > 0)
        c.value = sizeText(t.fileSizeWithCheck());
    else if (!empty)
        c.value = sizeText(t.fileSize());
    c.dimmed = empty || t.checkStatus() == 0;
    c.check = checkStateOf(t.checkStatus());
    c.emptyText = interrupted_ ? "Scan was interrupted before this section has been completely"
                               : "There are no unneeded Files to removed";
    return c;
}

const OldSizeRef& OldDetailSource::sizeClass(int category, int index) const {
    return data_.at(category)->data.at(index);
}

int OldDetailSource::itemCount(int category, const ItemPath& parent) const {
    if (parent.empty())
        return static_cast<int>(data_.at(category)->data.size());
    if (parent.size() == 1)
        return static_cast<int>(sizeClass(category, parent[0])->data.size());
    return 0;
}

DetailItemInfo OldDetailSource::itemInfo(int category, const ItemPath& item) const {
    const OldSizeRef& s = sizeClass(category, item.at(0));
    DetailItemInfo info;
    if (item.size() == 1) {
        info.name = QString("%1 (%2)").arg(qtext(s->name)).arg(s->fileCount());
        info.size = sizeText(s->fileSize());
        info.check = checkStateOf(s->checkStatus());
        return info;
    }
    const CustomFileInfo& f = *s->data.at(item.at(1));
    info.icon = qtext(f.path);
    info.name = qtext(paths::lastComponent(f.path));
    info.path = qtext(f.path);
    info.size = sizeText(f.size);
    info.date = qtext(CommonFunction::dateStr(f.lastDate));
    if (f.cannotRemoved && !f.notRemovedReason.empty())
        info.status = notRemovedText(f.notRemovedReason);
    else if (!f.checkReason.empty())
        info.status = qtext(f.checkReason); // why it was ticked in advance
    info.check = f.isCheck ? Qt::Checked : Qt::Unchecked;
    return info;
}

void OldDetailSource::setCategoryCheck(int category, bool check) {
    data_.at(category)->setCheck(check);
}

void OldDetailSource::setItemCheck(int category, const ItemPath& item, bool check) {
    const OldSizeRef& s = sizeClass(category, item.at(0));
    if (item.size() == 1) {
        for (const auto& f : s->data)
            f->isCheck = check;
        return;
    }
    s->data.at(item.at(1))->isCheck = check;
}

void OldDetailSource::sort(int category) {
    const DataSource& source = SettingModel::shareSettingModel().source;
    OldType& t = *data_.at(category);
    if (source.type.load() != DataSource::DateType) {
        t.sortData();
        return;
    }
    const bool asc = source.ascending(); // oldest first
    for (const auto& s : t.data)
        sortUsing(s->data, [asc](const OldFileRef& a, const OldFileRef& b) {
            auto r = compareValues(a->lastDate, b->lastDate);
            return asc ? r : reversed(r);
        });
}

} // namespace tessaly
