// Arbitrary bytes into the data-file reader: as cipher text through
// EncryptManager, and straight into the archive decoder, which a mutated cipher
// text would almost never reach. Whatever the decoder accepts must also survive
// being written and read again, plainly and enciphered.
#include "model/EncryptManager.h"
#include "model/KeyedArchive.h"

#include <bit>
#include <chrono>
#include <cstdint>
#include <cstdlib>

namespace {

using tessaly::PlistValue;

// Equality as stored: reals by their bits (NaN is itself, -0.0 is not 0.0),
// dates to the millisecond (they pass through a double of seconds, which far
// from 2001 holds only microseconds).
bool same(const PlistValue& a, const PlistValue& b) {
    if (a.type() != b.type())
        return false;
    if (a.isReal())
        return std::bit_cast<std::uint64_t>(a.toReal()) == std::bit_cast<std::uint64_t>(b.toReal());
    if (a.isDate()) {
        auto d = *a.date() - *b.date();
        return d < std::chrono::milliseconds(1) && d > -std::chrono::milliseconds(1);
    }
    if (const auto* xs = a.array()) {
        const auto* ys = b.array();
        if (xs->size() != ys->size())
            return false;
        for (std::size_t i = 0; i < xs->size(); ++i)
            if (!same((*xs)[i], (*ys)[i]))
                return false;
        return true;
    }
    if (const auto* xs = a.dict()) {
        const auto* ys = b.dict();
        if (xs->size() != ys->size())
            return false;
        for (auto x = xs->begin(), y = ys->begin(); x != xs->end(); ++x, ++y)
            if (x->first != y->first || !same(x->second, y->second))
                return false;
        return true;
    }
    return a == b;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const tessaly::Data bytes(data, data + size);
    (void)tessaly::EncryptManager::decryptData(bytes);
    (void)tessaly::EncryptManager::decryptDataWithArray(bytes);

    auto value = tessaly::unarchiveObject(bytes);
    if (!value)
        return 0;
    // Text holding a zero byte can be read but not written; everything else can.
    auto rewritten = tessaly::archiveRootObject(*value);
    if (!rewritten)
        return 0;
    auto reread = tessaly::unarchiveObject(*rewritten);
    if (!reread || !same(*reread, *value))
        std::abort();
    auto sealed = tessaly::EncryptManager::encryptDataWithArray(*value);
    auto opened = sealed ? tessaly::EncryptManager::decryptDataWithArray(*sealed) : std::nullopt;
    if (!opened || !same(*opened, *value))
        std::abort();
    return 0;
}
