#include "ScanCode/security/SignatureFiles.h"

#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "platform/TextCase.h"

#include <charconv>
#include <optional>
#include <string_view>

namespace tessaly {

namespace {

constexpr std::size_t kMaxFile = std::size_t{512} << 20;

std::vector<std::string_view> fields(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    for (;;) {
        std::size_t colon = line.find(':', start);
        out.push_back(
            line.substr(start, colon == std::string_view::npos ? line.npos : colon - start));
        if (colon == std::string_view::npos)
            return out;
        start = colon + 1;
    }
}

std::optional<std::int64_t> decimal(std::string_view s) {
    std::int64_t v = 0;
    if (s.empty() || s.size() > 18)
        return std::nullopt;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || v < 0)
        return std::nullopt;
    return v;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<std::string> hexBytes(std::string_view s) {
    if (s.empty() || s.size() % 2)
        return std::nullopt;
    std::string out;
    out.reserve(s.size() / 2);
    for (std::size_t i = 0; i < s.size(); i += 2) {
        int hi = hexDigit(s[i]), lo = hexDigit(s[i + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        out.push_back(static_cast<char>(hi * 16 + lo));
    }
    return out;
}

bool hashLine(const std::vector<std::string_view>& f, SignatureFile& out) {
    if (f.size() < 3 || f.size() > 4 || f[2].empty())
        return false;
    int kind = f[0].size() == 32 ? 0 : f[0].size() == 40 ? 1 : f[0].size() == 64 ? 2 : -1;
    auto size = decimal(f[1]);
    if (kind < 0 || !size || !hexBytes(f[0]))
        return false;
    out.digests.push_back({std::string(f[2]), text::asciiLowercase(f[0]), kind, *size});
    return true;
}

bool bodyLine(const std::vector<std::string_view>& f, SignatureFile& out) {
    if (f.size() < 4 || f.size() > 6 || f[0].empty() || f[1] != "0")
        return false;
    auto offset = decimal(f[2]);
    auto bytes = hexBytes(f[3]);
    if (!offset || !bytes)
        return false;
    out.byteSignatures.push_back(
        {std::string(f[0]), *bytes, *offset, static_cast<std::int64_t>(bytes->size())});
    return true;
}

} // namespace

SignatureFile parseSignatureText(const std::string& text, const std::string& name) {
    const std::string ext = text::asciiLowercase(paths::extension(name));
    SignatureFile out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        std::string_view line(text.data() + start,
                              (end == std::string::npos ? text.size() : end) - start);
        start = end == std::string::npos ? text.size() : end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            continue;
        auto f = fields(line);
        bool taken = ext == "hsb"   ? hashLine(f, out)
                     : ext == "ndb" ? bodyLine(f, out)
                                    : hashLine(f, out) || bodyLine(f, out);
        if (!taken)
            ++out.skipped;
    }
    return out;
}

bool readSignatureFile(const std::string& path, SignatureFile& out) {
    auto bytes = readWholeFile(path, kMaxFile);
    if (!bytes)
        return false;
    out = parseSignatureText(std::string(bytes->begin(), bytes->end()), path);
    return true;
}

} // namespace tessaly
