// Arbitrary bytes as the shared cookie store: the reader must never read past
// what it was given, and a store it accepts writes back as bytes it reads again
// as the same cookies, less exactly those it was told to drop.
#include "platform/BinaryCookies.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tessaly::binarycookies;
    auto store = CookieStore::parse(data, size);
    if (!store)
        return 0;
    const auto before = store->cookies();
    auto again = CookieStore::parse(store->serialize());
    if (!again || again->size() != before.size())
        std::abort();
    // Drop every other cookie; the rest must survive in order.
    std::size_t index = 0;
    const std::size_t dropped = again->removeIf([&](const Cookie&) { return index++ % 2 == 0; });
    auto after = CookieStore::parse(again->serialize());
    if (!after || after->size() != before.size() - dropped)
        std::abort();
    const auto kept = after->cookies();
    for (std::size_t i = 0; i < kept.size(); ++i)
        if (kept[i].domain != before[2 * i + 1].domain || kept[i].name != before[2 * i + 1].name)
            std::abort();
    return 0;
}
