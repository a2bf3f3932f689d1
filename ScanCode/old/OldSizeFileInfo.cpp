#include "ScanCode/old/OldSizeFileInfo.h"

#include "model/Comparison.h"

namespace tessaly {

int checkStatusOf(std::int64_t ticked, std::int64_t all) {
    if (all == 0 || ticked == 0)
        return 0;
    return ticked == all ? 2 : 1;
}

std::int64_t OldSizeFileInfo::fileSize() const {
    std::int64_t total = 0;
    for (const auto& f : data)
        total += f->size;
    return total;
}

std::int64_t OldSizeFileInfo::fileSizeWithCheck() const {
    std::int64_t total = 0;
    for (const auto& f : data)
        total += f->isCheck ? f->size : 0;
    return total;
}

std::int64_t OldSizeFileInfo::fileCountWithCheck() const {
    std::int64_t n = 0;
    for (const auto& f : data)
        n += f->isCheck ? 1 : 0;
    return n;
}

int OldSizeFileInfo::checkStatus() const {
    return checkStatusOf(fileCountWithCheck(), fileCount());
}

void OldSizeFileInfo::sortData() {
    sortUsing(data,
              [](const OldFileRef& a, const OldFileRef& b) { return a->compareWithSort(*b); });
}

bool OldSizeFileInfo::fits(std::int64_t size) const {
    return size == mixSize || (size > mixSize && (!maxSize || size < *maxSize));
}

} // namespace tessaly
