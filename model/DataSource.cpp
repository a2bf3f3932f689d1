#include "model/DataSource.h"

namespace tessaly {

std::string DataSource::typeLabel(std::int64_t type, const std::string& sizeLabel) {
    switch (type) {
    case Size:
        return sizeLabel;
    case Name:
        return "Name";
    case Selection:
        return "Selection";
    case DateType:
        return "Date";
    default:
        return {};
    }
}

SortMode& SortMode::shareSortMode() {
    static auto* mode = new SortMode;
    return *mode;
}

} // namespace tessaly
