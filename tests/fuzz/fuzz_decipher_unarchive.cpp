// Arbitrary bytes into the data-file reader: as cipher text through
// EncryptManager, and straight into the archive decoder, which a mutated cipher
// text would almost never reach. Whatever the decoder accepts must also survive
// being written and read again, plainly and enciphered.
#include "model/EncryptManager.h"
#include "model/KeyedArchive.h"
#include "tests/fuzz/SameValue.h"

#include <bit>
#include <chrono>
#include <cstdint>
#include <cstdlib>

namespace {

using tessaly::PlistValue;

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
    if (!reread || !tessaly::fuzz::same(*reread, *value, std::chrono::milliseconds(1)))
        std::abort();
    auto sealed = tessaly::EncryptManager::encryptDataWithArray(*value);
    auto opened = sealed ? tessaly::EncryptManager::decryptDataWithArray(*sealed) : std::nullopt;
    if (!opened || !tessaly::fuzz::same(*opened, *value, std::chrono::milliseconds(1)))
        std::abort();
    return 0;
}
