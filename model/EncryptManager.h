#pragma once

#include "model/KeyedArchive.h"
#include "platform/PlistValue.h"

#include <optional>
#include <string>

namespace tessaly {

// Operations of AES128Operation.
constexpr int kAES128Encipher = 0;
constexpr int kAES128Decipher = 1;

// AES-128-CBC with PKCS#7 padding. The key and the IV are given as text: each is
// copied as UTF-8 into a zeroed 17-byte buffer followed by a terminating zero
// (text beyond 16 bytes is cut off), and the first 16 bytes of the buffer are
// used. The result holds exactly the bytes produced: enciphering n bytes gives
// the next multiple of 16 above n. Any failure (unknown operation, wrong key,
// bad padding, a length that is not a positive multiple of 16 when deciphering)
// gives none, never partial output.
std::optional<Data> AES128Operation(int operation, const Data& input, const std::string& keyText,
                                    const std::string& ivText);
std::optional<Data> AES128EncryptWithKey(const Data& input, const std::string& keyText,
                                         const std::string& ivText);
std::optional<Data> AES128DecryptWithKey(const Data& input, const std::string& keyText,
                                         const std::string& ivText);

// The cipher of the shipped data files and of the texts stored with them, under
// the program's fixed key. Stateless; safe from any thread.
class EncryptManager {
public:
    EncryptManager() = delete;

    // UTF-8 text enciphered; none when the text is not valid UTF-8.
    static std::optional<Data> encryptString(const std::string& text);
    // Deciphered text; none when deciphering fails or the bytes are not valid UTF-8.
    static std::optional<std::string> decryptData(const Data& data);

    // A keyed archive of the value, enciphered; none when the value cannot be archived.
    static std::optional<Data> encryptDataWithArray(const PlistValue& value);
    // Deciphers and unarchives; none when either step fails.
    static std::optional<PlistValue> decryptDataWithArray(const Data& data);

    // Reads and deciphers a data file (CV.data and the like); none when the file
    // is missing, unreadable or does not decipher to an archive.
    static std::optional<PlistValue> decryptResourceFile(const std::string& path);
};

} // namespace tessaly
