#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace tessaly {

// The sort choice of the detail list on screen, shared by every compareWithSort.
struct DataSource {
    enum Type : std::int64_t { Size = 0, Name = 1, Selection = 2, DateType = 3, Risk = 4 };

    std::atomic<std::int64_t> type{Size};
    std::atomic<std::int64_t> asc{0};

    bool ascending() const { return asc.load() != 0; }

    // Drop-down labels: type 0 reads "Size" (or sizeLabel in lists that sort by
    // kind or date), 1 "Name", 2 "Selection", 3 "Date".
    static std::string typeLabel(std::int64_t type, const std::string& sizeLabel = "Size");
    static std::string directionLabel(bool asc) { return asc ? "Ascending" : "Descending"; }
};

// The three flags of the alias list's name ordering.
class SortMode {
public:
    static SortMode& shareSortMode();

    std::atomic<bool> ascending{false};
    std::atomic<bool> nameAscending{false};
    std::atomic<bool> typeascending{false};

    void reset() {
        ascending = false;
        nameAscending = false;
        typeascending = false;
    }
};

} // namespace tessaly
