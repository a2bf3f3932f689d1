// Arbitrary bytes as the start of an application's executable: the header
// reader must never read past what it was given, and what it accepts must
// describe slices that lie inside the file. The same bytes are read once as a
// whole file and once as just the header of a longer one.
#include "platform/MachOFile.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tessaly::macho;
    // A copy of exactly `size` bytes, so that any read beyond it is caught.
    std::vector<std::uint8_t> bytes(data, data + size);
    const std::uint8_t* p = bytes.empty() ? nullptr : bytes.data();

    std::vector<std::uint32_t> types = executableArchitectures(p, bytes.size(), bytes.size());
    if (auto slices = parseFatSlices(p, bytes.size(), bytes.size())) {
        if (slices->empty() || slices->size() != types.size())
            std::abort();
        for (std::size_t i = 0; i < slices->size(); ++i) {
            const FatSlice& s = (*slices)[i];
            if (s.offset > bytes.size() || s.size > bytes.size() - s.offset ||
                s.cpuType != types[i])
                std::abort();
        }
    } else if (types.size() > 1) {
        std::abort(); // several types only come from a universal header
    }

    // The header alone of a file said to be larger: the bounds move, nothing else.
    const std::size_t head = std::min(bytes.size(), kMaxHeaderBytes);
    std::vector<std::uint8_t> start(bytes.begin(), bytes.begin() + static_cast<long>(head));
    const std::uint64_t claimed = std::uint64_t{1} << 40;
    auto fromHead =
        executableArchitectures(start.empty() ? nullptr : start.data(), start.size(), claimed);
    if (types.size() > 1 && fromHead != types)
        std::abort(); // what fits in a file also fits in a larger one
    return 0;
}
