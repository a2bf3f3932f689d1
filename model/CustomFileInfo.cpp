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

ComparisonResult compareFilesWithSort(const SortedFile& a, const SortedFile& b,
                                      const DataSource& source) {
    const bool asc = source.ascending();
    switch (source.type.load()) {
    case DataSource::Size:
        return sortBySizeRule(a.size, b.size, asc);
    case DataSource::Name:
        return sortByNameRule(paths::lastComponent(a.path), paths::lastComponent(b.path), asc);
    case DataSource::Selection:
        return sortByCountRule(a.checked ? 1 : 0, b.checked ? 1 : 0, asc);
    default:
        return OrderedSame;
    }
}

ComparisonResult CustomFileInfo::compareWithSort(const CustomFileInfo& other,
                                                 const DataSource& source) const {
    return compareFilesWithSort({path, size, isCheck}, {other.path, other.size, other.isCheck},
                                source);
}

} // namespace tessaly
