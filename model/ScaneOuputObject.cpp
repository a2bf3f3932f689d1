#include "model/ScaneOuputObject.h"

#include "model/CommonFunction.h"
#include "model/SettingModel.h"

#include <mutex>

namespace tessaly {

namespace {

std::mutex& namerLock() {
    static std::mutex m;
    return m;
}

ScaneOuputObject::ThreatKindNamer& namerSlot() {
    static ScaneOuputObject::ThreatKindNamer namer;
    return namer;
}

// Dates that do not parse sort as the earliest.
double sortableDate(const std::string& text) {
    auto d = CommonFunction::date(text);
    return d ? unixSeconds(*d) : -1e300;
}

} // namespace

std::size_t ScaneOuputObject::checkedChildCount() const {
    std::size_t n = 0;
    if (subObjects)
        for (const auto& c : *subObjects)
            n += (c && c->isCheck) ? 1 : 0;
    return n;
}

ComparisonResult ScaneOuputObject::compare(const ScaneOuputObject& other) const {
    return compareValues(other.fileSize, fileSize);
}

ComparisonResult ScaneOuputObject::compareWithDate(const ScaneOuputObject& other) const {
    return compareValues(sortableDate(other.dateStr), sortableDate(dateStr));
}

ComparisonResult ScaneOuputObject::compareWithName(const ScaneOuputObject& other) const {
    return caseInsensitiveCompare(name, other.name);
}

ComparisonResult ScaneOuputObject::compareWithRisk(const ScaneOuputObject& other) const {
    if (isBadCookie == other.isBadCookie)
        return OrderedSame;
    return isBadCookie ? OrderedAscending : OrderedDescending;
}

ComparisonResult ScaneOuputObject::compareWithSort(const ScaneOuputObject& other) const {
    return compareWithSort(other, SettingModel::shareSettingModel().source);
}

ComparisonResult ScaneOuputObject::compareWithSort(const ScaneOuputObject& other,
                                                   const DataSource& source) const {
    const bool asc = source.ascending();
    switch (source.type.load()) {
    case DataSource::Size: {
        auto r = compareValues(fileSize, other.fileSize);
        return asc ? r : reversed(r);
    }
    case DataSource::Selection: {
        if (hasChildren() && !other.hasChildren())
            return asc ? OrderedDescending : OrderedAscending;
        ComparisonResult r;
        if (hasChildren())
            r = compareValues(checkedChildCount(), other.checkedChildCount());
        else
            r = compareValues(isCheck ? 1 : 0, other.isCheck ? 1 : 0);
        return asc ? r : reversed(r);
    }
    case DataSource::DateType: {
        auto r = compareValues(sortableDate(dateStr), sortableDate(other.dateStr));
        return asc ? r : reversed(r);
    }
    case DataSource::Risk: {
        auto r = compareWithRisk(other);
        return asc ? reversed(r) : r;
    }
    default: {
        auto r = caseInsensitiveCompare(name, other.name);
        return asc ? r : reversed(r);
    }
    }
}

ComparisonResult ScaneOuputObject::compareWithVirSort(const ScaneOuputObject& other) const {
    return compareWithVirSort(other, SettingModel::shareSettingModel().source);
}

ComparisonResult ScaneOuputObject::compareWithVirSort(const ScaneOuputObject& other,
                                                      const DataSource& source) const {
    const bool asc = source.ascending();
    switch (source.type.load()) {
    case DataSource::Size: {
        auto r = caseInsensitiveCompare(threatKindName(name), threatKindName(other.name));
        return asc ? r : reversed(r);
    }
    case DataSource::Selection:
    case DataSource::DateType:
        return compareWithSort(other, source);
    default: {
        auto r = caseInsensitiveCompare(name, other.name);
        return asc ? r : reversed(r);
    }
    }
}

ComparisonResult ScaneOuputObject::compareWithVirSort2(const ScaneOuputObject& other) const {
    return caseInsensitiveCompare(threatKindName(name), threatKindName(other.name));
}

void ScaneOuputObject::setThreatKindNamer(ThreatKindNamer namer) {
    std::lock_guard<std::mutex> lock(namerLock());
    namerSlot() = std::move(namer);
}

std::string ScaneOuputObject::threatKindName(const std::string& name) {
    ThreatKindNamer namer;
    {
        std::lock_guard<std::mutex> lock(namerLock());
        namer = namerSlot();
    }
    return namer ? namer(name) : name;
}

std::int64_t totalSize(const ScanItemList& items) {
    std::int64_t sum = 0;
    for (const auto& i : items)
        if (i)
            sum += i->fileSize;
    return sum;
}

int checkStatusOfLeaves(const ScanItemList& items) {
    std::size_t ticked = 0, all = 0;
    forEachLeaf(items, [&](const ScaneOuputObject& o) {
        ++all;
        ticked += o.isCheck ? 1 : 0;
    });
    if (ticked == 0)
        return 0;
    return ticked == all ? 2 : 1;
}

} // namespace tessaly
