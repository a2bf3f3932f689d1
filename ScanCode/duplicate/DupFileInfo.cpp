#include "ScanCode/duplicate/DupFileInfo.h"

#include "model/CustomFileInfo.h"
#include "model/SettingModel.h"
#include "platform/Paths.h"

namespace tessaly {

namespace {

// The later date first; a copy without a date counts as the oldest.
ComparisonResult laterFirst(const std::optional<Date>& a, const std::optional<Date>& b) {
    if (a == b)
        return OrderedSame;
    if (!b || (a && *b < *a))
        return OrderedAscending;
    return OrderedDescending;
}

bool contains(const std::string& text, const std::string& word) {
    return text.find(word) != std::string::npos;
}

// Both paths hold the word: later date first; one does: that copy goes last.
// Answers nothing when neither holds it.
std::optional<ComparisonResult> byWord(const DupFileInfo& a, const DupFileInfo& b,
                                       const std::string& word, bool holderFirst = false) {
    const bool inA = contains(a.path, word);
    const bool inB = contains(b.path, word);
    if (inA && inB)
        return laterFirst(a.accessDate, b.accessDate);
    if (inA)
        return holderFirst ? OrderedAscending : OrderedDescending;
    if (inB)
        return holderFirst ? OrderedDescending : OrderedAscending;
    return std::nullopt;
}

} // namespace

ComparisonResult DupFileInfo::compareWithDate(const DupFileInfo& other) const {
    const std::string name = paths::deletingExtension(paths::lastComponent(path));
    const std::string otherName = paths::deletingExtension(paths::lastComponent(other.path));
    if (name != otherName) {
        if (contains(name, otherName))
            return OrderedAscending;
        if (contains(otherName, name))
            return OrderedDescending;
    }
    const std::string word = kind == 0 ? "Music" : kind == 1 ? "Pictures" : "Documents";
    if (auto r = byWord(*this, other, word))
        return *r;
    if (kind != 0)
        return laterFirst(accessDate, other.accessDate);
    if (auto r = byWord(*this, other, "Movies"))
        return *r;
    if (auto r = byWord(*this, other, "Downloads", true))
        return *r;
    return laterFirst(accessDate, other.accessDate);
}

ComparisonResult DupFileInfo::compareWithSort(const DupFileInfo& other) const {
    return compareWithSort(other, SettingModel::shareSettingModel().source);
}

ComparisonResult DupFileInfo::compareWithSort(const DupFileInfo& other,
                                              const DataSource& source) const {
    const bool asc = source.ascending();
    switch (source.type.load()) {
    case DataSource::Name:
        return sortByNameRule(paths::lastComponent(path), paths::lastComponent(other.path), asc);
    case DataSource::Selection:
        return sortByCountRule(isCheck ? 1 : 0, other.isCheck ? 1 : 0, asc);
    default:
        return OrderedSame;
    }
}

} // namespace tessaly
