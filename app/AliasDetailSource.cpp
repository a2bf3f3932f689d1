#include "app/AliasDetailSource.h"

#include "app/common/DetailText.h"
#include "model/CommonFunction.h"
#include "model/SettingModel.h"

namespace tessaly {

namespace {

bool broken(int category) {
    return category == 0;
}

} // namespace

AliasList& AliasDetailSource::list(int category) const {
    return engine_.data.at(broken(category) ? 0 : 1);
}

AliasRef AliasDetailSource::alias(int category, const ItemPath& item) const {
    if (category < 0 || category > 1 || item.size() != 1)
        return nullptr;
    const AliasList& l = list(category);
    return item[0] >= 0 && item[0] < static_cast<int>(l.size()) ? l[item[0]] : nullptr;
}

DetailCategoryInfo AliasDetailSource::categoryInfo(int category) const {
    const AliasList& l = list(category);
    const std::int64_t ticked =
        broken(category) ? engine_.breakAliasCountWithCheck() : engine_.aliasCountWithCheck();
    DetailCategoryInfo c;
    c.name = broken(category) ? "Break Alias" : "Alias";
    c.icon = l.empty() ? (interrupted_ ? "iconWarning" : "chek")
                       : (broken(category) ? "broken-alias-icon(140)" : "alias-icon-(140)");
    // What is ticked; with nothing ticked, what is listed, dimmed.
    if (!l.empty())
        c.value = QString("%1 Items").arg(ticked > 0 ? ticked : static_cast<qint64>(l.size()));
    c.dimmed = l.empty() || ticked == 0;
    c.check = checkStateOf(engine_.checkStatus(broken(category)));
    c.emptyText = interrupted_ ? "Scan was interrupted before this section has been completely"
                               : "There are no unneeded Files to removed";
    return c;
}

int AliasDetailSource::itemCount(int category, const ItemPath& parent) const {
    return parent.empty() ? static_cast<int>(list(category).size()) : 0;
}

DetailItemInfo AliasDetailSource::itemInfo(int category, const ItemPath& item) const {
    const AliasObj& a = *list(category).at(item.at(0));
    DetailItemInfo info;
    info.icon = a.isInvalid ? "broken-alias-icon" : "alias-icon";
    info.name = qtext(a.name);
    info.path = qtext(a.path);
    info.size = sizeText(a.size);
    if (a.createDate)
        info.date = qtext(CommonFunction::dateStr(*a.createDate));
    if (a.cannotRemoved && !a.notRemovedReason.empty())
        info.status = notRemovedText(a.notRemovedReason);
    else if (!a.orgPath)
        info.status = "Its target cannot be read";
    else
        info.status =
            (a.isInvalid ? "Nothing is at its target " : "Points to ") + qtext(*a.orgPath);
    info.check = a.isCheck ? Qt::Checked : Qt::Unchecked;
    return info;
}

void AliasDetailSource::setCategoryCheck(int category, bool check) {
    engine_.setEnable(check, broken(category));
}

void AliasDetailSource::setItemCheck(int category, const ItemPath& item, bool check) {
    if (AliasRef a = alias(category, item))
        a->isCheck = check;
}

void AliasDetailSource::sort(int category) {
    const DataSource& source = SettingModel::shareSettingModel().source;
    const bool asc = source.ascending();
    const bool byDate = source.type.load() == DataSource::DateType;
    sortUsing(list(category), [&](const AliasRef& a, const AliasRef& b) {
        if (!byDate)
            return a->compareWithSort(*b, source);
        // Undated ones count as the oldest.
        const double x = a->createDate ? unixSeconds(*a->createDate) : -1e300;
        const double y = b->createDate ? unixSeconds(*b->createDate) : -1e300;
        auto r = compareValues(x, y);
        return asc ? r : reversed(r);
    });
}

} // namespace tessaly
