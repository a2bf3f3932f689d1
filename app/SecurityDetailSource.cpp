#include "app/SecurityDetailSource.h"

#include "app/common/DetailText.h"
#include "model/CommonFunction.h"
#include "model/SettingModel.h"

#include <algorithm>

namespace tessaly {

void SecurityDetailSource::setLeft(const std::vector<LeftItem>& left) {
    left_.clear();
    for (const LeftItem& l : left)
        left_[l.path] = l.reason;
}

DetailCategoryInfo SecurityDetailSource::categoryInfo(int) const {
    const auto ticked = std::count_if(findings_.begin(), findings_.end(),
                                      [](const ScanItem& v) { return v->isCheck; });
    const auto all = static_cast<qint64>(findings_.size());
    DetailCategoryInfo c;
    c.name = "Security";
    c.icon = findings_.empty() ? (interrupted_ ? "iconWarning" : "chek")
                               : "system-security-normal-badge";
    if (all > 0)
        c.value = QString("%1 Items").arg(ticked > 0 ? ticked : all);
    c.dimmed = ticked == 0;
    c.check = checkStateOf(ticked == 0 ? 0 : ticked == all ? 2 : 1);
    c.emptyText = interrupted_ ? "Scan was interrupted before this section has been completely"
                               : "There are no viruses to found";
    return c;
}

int SecurityDetailSource::itemCount(int, const ItemPath& parent) const {
    return parent.empty() ? static_cast<int>(findings_.size()) : 0;
}

DetailItemInfo SecurityDetailSource::itemInfo(int, const ItemPath& item) const {
    const ScaneOuputObject& v = *findings_.at(item.at(0));
    DetailItemInfo info;
    info.icon = QString::fromStdString(v.icon);
    info.name = QString::fromStdString(v.name);
    info.path = QString::fromStdString(v.path);
    info.size = sizeText(v.fileSize);
    if (auto it = left_.find(v.path); v.canotRemove && it != left_.end())
        info.status = notRemovedText(it->second);
    info.check = v.isCheck ? Qt::Checked : Qt::Unchecked;
    return info;
}

void SecurityDetailSource::setCategoryCheck(int, bool check) {
    for (const ScanItem& v : findings_)
        v->isCheck = check;
}

void SecurityDetailSource::setItemCheck(int, const ItemPath& item, bool check) {
    findings_.at(item.at(0))->isCheck = check;
}

void SecurityDetailSource::sort(int) {
    const DataSource& source = SettingModel::shareSettingModel().source;
    sortUsing(findings_,
              [&](const ScanItem& a, const ScanItem& b) { return a->compareWithSort(*b, source); });
}

} // namespace tessaly
