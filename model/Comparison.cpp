#include "model/Comparison.h"

namespace tessaly {

ComparisonResult caseInsensitiveCompare(const std::string& a, const std::string& b) {
    auto fold = [](unsigned char c) -> unsigned char {
        return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
    };
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char x = fold(static_cast<unsigned char>(a[i]));
        unsigned char y = fold(static_cast<unsigned char>(b[i]));
        if (x != y)
            return x < y ? OrderedAscending : OrderedDescending;
    }
    return compareValues(a.size(), b.size());
}

} // namespace tessaly
