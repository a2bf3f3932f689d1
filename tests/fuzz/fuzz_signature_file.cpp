// Arbitrary text as a signature file of the user's own, in either format: the
// reader must never crash or read out of bounds, and whatever it takes must be
// a signature this engine can hold.
#include "ScanCode/security/SignatureFiles.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (const char* name : {"user.ndb", "user.hsb", "user.txt"}) {
        tessaly::SignatureFile f = tessaly::parseSignatureText(text, name);
        for (const auto& s : f.byteSignatures)
            if (s.virus_code.empty() || s.start < 0 || s.virus_name.empty())
                std::abort();
        for (const auto& d : f.digests)
            if ((d.virus_code.size() != 32 && d.virus_code.size() != 40 &&
                 d.virus_code.size() != 64) ||
                !d.size || *d.size < 0)
                std::abort();
    }
    return 0;
}
