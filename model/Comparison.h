#pragma once

#include <algorithm>
#include <string>
#include <vector>

namespace tessaly {

// Three-way result of the records' comparisons: ascending puts the receiver first.
enum ComparisonResult { OrderedAscending = -1, OrderedSame = 0, OrderedDescending = 1 };

template <typename T> ComparisonResult compareValues(const T& a, const T& b) {
    if (a < b)
        return OrderedAscending;
    if (b < a)
        return OrderedDescending;
    return OrderedSame;
}

inline ComparisonResult reversed(ComparisonResult r) {
    return static_cast<ComparisonResult>(-r);
}

// Case-insensitive comparison of texts (ASCII letters fold), A before Z.
ComparisonResult caseInsensitiveCompare(const std::string& a, const std::string& b);

// Sorts a list with a three-way comparison. Stable (equal items keep their order)
// and a plain merge sort, so a comparison that is not a strict order (some of the
// detail-list orders are not) can never make it read outside the list.
template <typename T, typename Compare> void sortUsing(std::vector<T>& items, Compare compare) {
    const std::size_t n = items.size();
    if (n < 2)
        return;
    std::vector<T> buffer(n);
    for (std::size_t width = 1; width < n; width *= 2) {
        for (std::size_t lo = 0; lo < n; lo += 2 * width) {
            std::size_t mid = std::min(lo + width, n), hi = std::min(lo + 2 * width, n);
            std::size_t i = lo, j = mid, k = lo;
            while (i < mid && j < hi)
                buffer[k++] =
                    compare(items[j], items[i]) == OrderedAscending ? items[j++] : items[i++];
            while (i < mid)
                buffer[k++] = items[i++];
            while (j < hi)
                buffer[k++] = items[j++];
        }
        items.swap(buffer);
    }
}

} // namespace tessaly
