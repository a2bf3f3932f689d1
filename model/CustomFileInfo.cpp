#include "model/CustomFileInfo.h"

#include "model/SettingModel.h"
#include "platform/Paths.h"

namespace tessaly {

ComparisonResult sortBySizeRule(std::int64_t a, std::int64_t b, bool asc) {
    auto r = compareValues(a, b);
    return asc ? r : reversed(r);
}

ComparisonResult sortByNameRule(const std::string& a, const std::string& b, bool asc) {
    auto r = compareValues(a, b);
    return asc ? r : reversed(r);
}

ComparisonResult sortByCountRule(std::int64_t a, std::int64_t b, bool asc) {
    auto r = compareValues(a, b);
    return asc ? r : reversed(r);
}

ComparisonResult CustomFileInfo::sortBySize(const CustomFileInfo& other) const {
    return compareValues(other.size, size);
}

ComparisonResult CustomFileInfo::compareWithSort(const CustomFileInfo& other) const {
    return compareWithSort(other, SettingModel::shareSettingModel().source);
}

ComparisonResult CustomFileInfo::compareWithSort(const CustomFileInfo& other,
                                                 const DataSource& source) const {
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
