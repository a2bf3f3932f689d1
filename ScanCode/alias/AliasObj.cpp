#include "ScanCode/alias/AliasObj.h"

#include "model/CustomFileInfo.h"
#include "model/SettingModel.h"

namespace tessaly {

ComparisonResult AliasObj::compareWithName(const AliasObj& other) const {
    return sortByNameRule(name, other.name, SortMode::shareSortMode().nameAscending.load());
}

ComparisonResult AliasObj::compareWithSort(const AliasObj& other) const {
    return compareWithSort(other, SettingModel::shareSettingModel().source);
}

ComparisonResult AliasObj::compareWithSort(const AliasObj& other, const DataSource& source) const {
    return compareFilesWithSort({path, size, isCheck}, {other.path, other.size, other.isCheck},
                                source);
}

} // namespace tessaly
