#pragma once

#include "model/Comparison.h"
#include "model/CustomFileInfo.h"
#include "model/DataSource.h"
#include "model/SettingModel.h"
#include "platform/Paths.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace tessaly {

// A group of files that belong together (a set of duplicates). The last member is
// the copy that is kept: setCheck never ticks it and noCheckSize never counts it.
//
// Member is the duplicate scan's file record; it answers fileSize (its length),
// freedBytes() (what removing it gives back to the disk), isCheck, path,
// compareWithSort(const Member&) and compareWithDate(const Member&).
template <typename Member> class FileArray {
public:
    using Ref = std::shared_ptr<Member>;

    FileArray() { array.reserve(9); }

    std::vector<Ref> array;
    std::int64_t size = 0; // sum of the members' fileSize

    void addObject(const Ref& m) {
        array.push_back(m);
        size += m->fileSize;
    }

    void removeObject(const Ref& m) {
        auto it = std::find(array.begin(), array.end(), m);
        if (it == array.end())
            return;
        size -= m->fileSize;
        array.erase(it);
    }

    // Subtracts the size of every element of the list, then removes those members.
    void removeObjectsInArray(const std::vector<Ref>& list) {
        for (const auto& m : list)
            size -= m->fileSize;
        array.erase(std::remove_if(array.begin(), array.end(),
                                   [&](const Ref& m) {
                                       return std::find(list.begin(), list.end(), m) != list.end();
                                   }),
                    array.end());
    }

    const Ref& objectAtIndex(std::size_t i) const { return array.at(i); }
    std::ptrdiff_t indexOfObject(const Ref& m) const {
        auto it = std::find(array.begin(), array.end(), m);
        return it == array.end() ? -1 : it - array.begin();
    }
    std::size_t count() const { return array.size(); }

    // 0 when no member is ticked (or the group is empty), 2 when all are, 1 otherwise.
    int checkStatus() const {
        std::size_t n = checkCount();
        if (n == 0)
            return 0;
        return n == array.size() ? 2 : 1;
    }

    std::int64_t checkCount() const {
        return std::count_if(array.begin(), array.end(), [](const Ref& m) { return m->isCheck; });
    }

    // What removing the ticked members frees.
    std::int64_t checkSize() const {
        std::int64_t s = 0;
        for (const auto& m : array)
            if (m->isCheck)
                s += m->freedBytes();
        return s;
    }

    // What removing every copy but the last frees.
    std::int64_t noCheckSize() const {
        if (array.size() < 2)
            return 0;
        std::int64_t s = 0;
        for (std::size_t i = 0; i + 1 < array.size(); ++i)
            s += array[i]->freedBytes();
        return s;
    }

    // Ticks or unticks every member but the last; the last is always unticked.
    void setCheck(bool check) {
        for (std::size_t i = 0; i < array.size(); ++i)
            array[i]->isCheck = (i + 1 < array.size()) ? check : false;
    }

    void sortSubFiles() {
        sortUsing(array, [](const Ref& a, const Ref& b) { return a->compareWithSort(*b); });
    }

    void sortByAccessDate() {
        sortUsing(array, [](const Ref& a, const Ref& b) { return a->compareWithDate(*b); });
    }

    // Larger noCheckSize first.
    ComparisonResult compareWithSortSize(const FileArray& other) const {
        return compareValues(other.noCheckSize(), noCheckSize());
    }

    // Type 0 noCheckSize, type 1 last path component of the first member
    // (case-sensitive), type 2 checkCount; other types are all the same.
    ComparisonResult compareWithSort(const FileArray& other) const {
        return compareWithSort(other, SettingModel::shareSettingModel().source);
    }
    ComparisonResult compareWithSort(const FileArray& other, const DataSource& source) const {
        const bool asc = source.ascending();
        switch (source.type.load()) {
        case DataSource::Size:
            return sortBySizeRule(noCheckSize(), other.noCheckSize(), asc);
        case DataSource::Name:
            return sortByNameRule(firstName(), other.firstName(), asc);
        case DataSource::Selection:
            return sortByCountRule(checkCount(), other.checkCount(), asc);
        default:
            return OrderedSame;
        }
    }

private:
    std::string firstName() const {
        return array.empty() ? std::string() : paths::lastComponent(array.front()->path);
    }
};

} // namespace tessaly
