#include "platform/ImageSignature.h"

#include "platform/QuietOpen.h"

#include <array>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaly::imagekind {

namespace {

// Enough for the longest test below (the ISO media brand at bytes 8 to 11).
constexpr std::size_t kSignatureBytes = 16;

bool startsWith(const std::uint8_t* data, std::size_t size, const char* magic, std::size_t n,
                std::size_t at = 0) {
    return size >= at + n && std::memcmp(data + at, magic, n) == 0;
}

bool isHeifBrand(const std::uint8_t* brand) {
    static const char* const brands[] = {"heic", "heix", "hevc", "hevx",
                                         "heim", "heis", "mif1", "msf1"};
    for (const char* b : brands)
        if (std::memcmp(brand, b, 4) == 0)
            return true;
    return false;
}

} // namespace

std::optional<std::string> typeBySignature(const std::uint8_t* data, std::size_t size) {
    if (!data)
        return std::nullopt;
    if (startsWith(data, size, "\x89PNG\r\n\x1A\n", 8))
        return "public.png";
    if (startsWith(data, size, "\xFF\xD8\xFF", 3))
        return "public.jpeg";
    if (startsWith(data, size, "GIF87a", 6) || startsWith(data, size, "GIF89a", 6))
        return "com.compuserve.gif";
    if (startsWith(data, size, "II*\0", 4) || startsWith(data, size, "MM\0*", 4))
        return "public.tiff";
    // "BM", the file size, then two reserved words that are zero.
    if (startsWith(data, size, "BM", 2) && size >= 14 && startsWith(data, size, "\0\0\0\0", 4, 6))
        return "com.microsoft.bmp";
    if (startsWith(data, size, "ftyp", 4, 4) && size >= 12 && isHeifBrand(data + 8))
        return "public.heic";
    if (startsWith(data, size, "RIFF", 4) && startsWith(data, size, "WEBP", 4, 8))
        return "org.webmproject.webp";
    if (startsWith(data, size, "\0\0\1\0", 4) || startsWith(data, size, "icns", 4))
        return "com.microsoft.ico";
    if (startsWith(data, size, "8BPS", 4))
        return "com.adobe.photoshop-image";
    return std::nullopt;
}

std::optional<std::string> fileTypeBySignature(const std::string& path) {
    int fd = fileops::openQuietly(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    std::array<std::uint8_t, kSignatureBytes> head{};
    std::size_t got = 0;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        while (got < head.size()) {
            ssize_t r = ::read(fd, head.data() + got, head.size() - got);
            if (r <= 0)
                break;
            got += static_cast<std::size_t>(r);
        }
    }
    ::close(fd);
    return typeBySignature(head.data(), got);
}

bool hasKnownSignature(const std::string& type) {
    static const char* const known[] = {
        "public.png",           "public.jpeg",       "com.compuserve.gif",
        "public.tiff",          "com.microsoft.bmp", "public.heic",
        "org.webmproject.webp", "com.microsoft.ico", "com.adobe.photoshop-image"};
    for (const char* k : known)
        if (type == k)
            return true;
    return false;
}

} // namespace tessaly::imagekind
