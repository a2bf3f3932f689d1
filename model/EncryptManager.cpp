#include "model/EncryptManager.h"

#include "platform/AtomicFile.h"
#include "platform/PropertyList.h"
#include "platform/TextEncoding.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <memory>
#include <openssl/crypto.h>
#include <openssl/evp.h>

namespace tessaly {

namespace {

constexpr std::size_t kKeyBytes = 16;
constexpr std::size_t kBlockBytes = 16;

constexpr const char* kDataKey = "KPW5820417396";
constexpr const char* kDataIV = "_KPW@5r*";

// Key text as stored for the cipher: a zeroed buffer one byte longer than the
// key, the text copied in and cut so that a terminating zero always fits.
class KeyBuffer {
public:
    explicit KeyBuffer(const std::string& text) {
        std::memcpy(bytes_.data(), text.data(), std::min(text.size(), kKeyBytes));
    }
    ~KeyBuffer() { OPENSSL_cleanse(bytes_.data(), bytes_.size()); }
    KeyBuffer(const KeyBuffer&) = delete;
    KeyBuffer& operator=(const KeyBuffer&) = delete;
    const unsigned char* data() const { return bytes_.data(); }

private:
    std::array<unsigned char, kKeyBytes + 1> bytes_{};
};

struct CipherContextFree {
    void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};

} // namespace

std::optional<Data> AES128Operation(int operation, const Data& input, const std::string& keyText,
                                    const std::string& ivText) {
    if (operation != kAES128Encipher && operation != kAES128Decipher)
        return std::nullopt;
    const bool decipher = operation == kAES128Decipher;
    if (decipher && (input.empty() || input.size() % kBlockBytes != 0))
        return std::nullopt;
    if (input.size() > static_cast<std::size_t>(INT_MAX) - 2 * kBlockBytes)
        return std::nullopt;

    const KeyBuffer key(keyText);
    const KeyBuffer iv(ivText);
    std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree> ctx(EVP_CIPHER_CTX_new());
    if (!ctx ||
        EVP_CipherInit_ex(ctx.get(), EVP_aes_128_cbc(), nullptr, key.data(), iv.data(),
                          decipher ? 0 : 1) != 1 ||
        EVP_CIPHER_CTX_set_padding(ctx.get(), 1) != 1)
        return std::nullopt;

    Data out(input.size() + kBlockBytes);
    int produced = 0;
    if (!input.empty() && EVP_CipherUpdate(ctx.get(), out.data(), &produced, input.data(),
                                           static_cast<int>(input.size())) != 1)
        return std::nullopt;
    int tail = 0;
    if (EVP_CipherFinal_ex(ctx.get(), out.data() + produced, &tail) != 1) {
        OPENSSL_cleanse(out.data(), out.size());
        return std::nullopt;
    }
    out.resize(static_cast<std::size_t>(produced) + static_cast<std::size_t>(tail));
    return out;
}

std::optional<Data> AES128EncryptWithKey(const Data& input, const std::string& keyText,
                                         const std::string& ivText) {
    return AES128Operation(kAES128Encipher, input, keyText, ivText);
}

std::optional<Data> AES128DecryptWithKey(const Data& input, const std::string& keyText,
                                         const std::string& ivText) {
    return AES128Operation(kAES128Decipher, input, keyText, ivText);
}

std::optional<Data> EncryptManager::encryptString(const std::string& text) {
    if (!isValidUtf8(text))
        return std::nullopt;
    return AES128EncryptWithKey(Data(text.begin(), text.end()), kDataKey, kDataIV);
}

std::optional<std::string> EncryptManager::decryptData(const Data& data) {
    auto plain = AES128DecryptWithKey(data, kDataKey, kDataIV);
    if (!plain)
        return std::nullopt;
    std::string text(plain->begin(), plain->end());
    if (!isValidUtf8(text))
        return std::nullopt;
    return text;
}

std::optional<Data> EncryptManager::encryptDataWithArray(const PlistValue& value) {
    auto archive = archiveRootObject(value);
    if (!archive)
        return std::nullopt;
    return AES128EncryptWithKey(*archive, kDataKey, kDataIV);
}

std::optional<PlistValue> EncryptManager::decryptDataWithArray(const Data& data) {
    auto archive = AES128DecryptWithKey(data, kDataKey, kDataIV);
    if (!archive)
        return std::nullopt;
    return unarchiveObject(*archive);
}

std::optional<PlistValue> EncryptManager::decryptResourceFile(const std::string& path) {
    auto bytes = readWholeFile(path, plist::kMaxFileBytes);
    if (!bytes)
        return std::nullopt;
    return decryptDataWithArray(*bytes);
}

} // namespace tessaly
