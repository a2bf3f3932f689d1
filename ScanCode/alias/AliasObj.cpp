#include "ScanCode/alias/AliasObj.h"

#include "model/CustomFileInfo.h"
#include "model/SettingModel.h"
#include "platform/Paths.h"

namespace tessaly {

ComparisonResult AliasObj::compareWithName(const AliasObj& other) const {
    return sortByNameRule(name, other.name, SortMode::shareSortMode().nameAscending.load());
}

ComparisonResult AliasObj::compareWithSort(const AliasObj& other) const {
    return compareWithSort(other, SettingModel::shareSettingModel().source);
}

ComparisonResult AliasObj::compareWithSort(const AliasObj& other, const DataSource& source) const {
    const bool asc = source.ascending();
    switch (source.type.load()) {
    case DataSource::Size:
        return sortBySizeRule(size, other.size, asc);
    case DataSource::Name:
        return sortByNameRule(paths::lastComponent(path), paths::lastComponent(other.path), asc);
    case DataSource::Selection:
        return sortByCountRule(isCheck ? 1 : 0, other.isCheck ? 1 : 0, asc);
    default:
        return OrderedSame;
    }
}

} // namespace tessaly
