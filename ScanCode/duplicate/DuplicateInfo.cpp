#include "ScanCode/duplicate/DuplicateInfo.h"

#include "ScanCode/duplicate/DuplicateKinds.h"

namespace tessaly {

std::int64_t DuplicateInfo::allSize() const {
    std::int64_t s = 0;
    for (const auto& g : dupFiles)
        s += g->checkSize();
    return s;
}

std::int64_t DuplicateInfo::allSizeNoCheck() const {
    std::int64_t s = 0;
    for (const auto& g : dupFiles)
        s += g->noCheckSize();
    return s;
}

std::int64_t DuplicateInfo::allCountNoCheck() const {
    std::int64_t n = 0;
    for (const auto& g : dupFiles)
        n += static_cast<std::int64_t>(g->count());
    return n;
}

int DuplicateInfo::checkStatus() const {
    std::int64_t ticked = 0, all = 0;
    for (const auto& g : dupFiles) {
        ticked += g->checkCount();
        all += static_cast<std::int64_t>(g->count());
    }
    if (ticked == 0)
        return 0;
    return ticked == all ? 2 : 1;
}

void DuplicateInfo::setCheck(bool check) {
    for (const auto& g : dupFiles)
        g->setCheck(check);
}

ComparisonResult DuplicateInfo::compare(const DuplicateInfo& other) const {
    if (module == dupkind::Other)
        return OrderedDescending;
    if (other.module == dupkind::Other)
        return OrderedAscending;
    return compareValues(other.orgSize, orgSize);
}

} // namespace tessaly
