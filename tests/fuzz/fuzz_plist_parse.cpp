// Arbitrary bytes into the property-list reader, binary and XML: Info.plist
// files, the Dock's and browsers' preferences and our settings file all come
// from outside. Whatever it accepts must lie within the read limits and must
// survive being written and read again in both formats wherever the writer can
// store it exactly. The binary reader's object interface is walked as well.
#include "platform/BinaryPlistReader.h"
#include "platform/PropertyList.h"
#include "tests/fuzz/SameValue.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

using tessaly::PlistValue;
using tessaly::plist::BinaryPlistReader;

constexpr std::size_t kMaxRoundTripValues = 10'000;

// Values, payload bytes and the depth of the deepest value, as the limits count them.
struct Size {
    std::size_t values = 0;
    std::size_t payload = 0;
    int depth = 0;
};

void measure(const PlistValue& v, int depth, Size& s) {
    ++s.values;
    s.depth = std::max(s.depth, depth);
    if (const auto* t = v.string())
        s.payload += t->size();
    else if (const auto* d = v.data())
        s.payload += d->size();
    else if (const auto* items = v.array())
        for (const auto& item : *items)
            measure(item, depth + 1, s);
    else if (const auto* entries = v.dict())
        for (const auto& [key, item] : *entries) {
            ++s.values;
            s.payload += key.size();
            s.depth = std::max(s.depth, depth + 1);
            measure(item, depth + 1, s);
        }
}

// What the libplist writer stores exactly: no None, no text holding a zero
// byte (it writes C strings), dates within the 32-bit seconds it keeps.
bool writable(const PlistValue& v) {
    if (v.isNone())
        return false;
    if (const auto* t = v.string())
        return t->find('\0') == std::string::npos;
    if (const auto* d = v.date()) {
        const double s = tessaly::secondsSinceReferenceDate(*d);
        return s > -2147483648.0 && s < 2147483647.0;
    }
    if (const auto* items = v.array())
        return std::all_of(items->begin(), items->end(), writable);
    if (const auto* entries = v.dict())
        return std::all_of(entries->begin(), entries->end(), [](const auto& e) {
            return e.first.find('\0') == std::string::npos && writable(e.second);
        });
    return true;
}

// Reads every object of the table (up to a bound) through the reader's interface.
void walk(const std::uint8_t* data, std::size_t size) {
    BinaryPlistReader r;
    if (!r.open(data, size))
        return;
    std::string scratch;
    const std::uint64_t n = std::min<std::uint64_t>(r.objectCount(), 256);
    for (std::uint64_t i = 0; i < n; ++i) {
        auto o = r.object(i);
        if (!o)
            continue;
        (void)r.text(*o);
        (void)r.textLength(*o);
        (void)r.shortText(*o, scratch);
        (void)r.data(*o);
        (void)BinaryPlistReader::date(*o);
        const std::size_t entries = std::min<std::size_t>(o->count, 16);
        for (std::size_t k = 0; k <= entries; ++k) {
            (void)r.element(*o, k);
            (void)r.key(*o, k);
            (void)r.value(*o, k);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    walk(data, size);

    const tessaly::plist::ReadLimits limits;
    auto value = tessaly::plist::parse(data, size, limits);
    if (!value)
        return 0;
    Size s;
    measure(*value, 0, s);
    if (s.values > limits.maxValues || s.payload > limits.maxPayloadBytes ||
        s.depth > limits.maxDepth)
        std::abort();
    // A few hundred bytes of shared references may expand to a million values,
    // within the limits; writing those through libplist takes longer than the
    // fuzzer's time-out and tests libplist rather than us, so round trips stay small.
    if (s.values > kMaxRoundTripValues || !writable(*value))
        return 0;
    using tessaly::plist::Format;
    for (auto format : {Format::Binary, Format::Xml}) {
        auto bytes = tessaly::plist::serialize(*value, format);
        if (!bytes)
            std::abort();
        auto back = tessaly::plist::parse(*bytes, limits);
        const auto tolerance =
            format == Format::Xml ? std::chrono::milliseconds(1000) : std::chrono::milliseconds(1);
        if (!back || !tessaly::fuzz::same(*back, *value, tolerance))
            std::abort();
    }
    return 0;
}
