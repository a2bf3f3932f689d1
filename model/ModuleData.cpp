#include "model/ModuleData.h"

namespace tessaly {

ComparisonResult ModuleData::compare(const ModuleData& other) const {
    auto r = compareValues(other.sizeNoCheck, sizeNoCheck);
    if (r != OrderedSame)
        return r;
    return compareValues(other.issueCountNoCheck, issueCountNoCheck);
}

ComparisonResult ModuleReport::compare(const ModuleReport& other) const {
    return compareValues(other.size, size);
}

} // namespace tessaly
