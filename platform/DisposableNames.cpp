#include "platform/DisposableNames.h"

#include <cctype>
#include <cstring>

namespace tessaly::disposable {

namespace {

bool endsWith(const std::string& text, const char* tail) {
    const std::size_t n = std::strlen(tail);
    return text.size() > n && text.compare(text.size() - n, n, tail) == 0;
}

bool isNumber(const std::string& text) {
    if (text.empty())
        return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

constexpr const char* kPacked[] = {".gz", ".xz", ".bz2", ".zst", ".lz4"};

enum class Kind { None, Named, Numbered };

// What the name alone says: no rotated log, one by its form (compressed, ".old",
// an archived journal), or a numbered one.
Kind kindOf(const std::string& name) {
    if (name.empty() || name[0] == '.')
        return Kind::None;
    if (endsWith(name, ".old") || endsWith(name, ".journal~"))
        return Kind::Named;
    // An archived journal carries its sequence after an "@".
    if (endsWith(name, ".journal"))
        return name.find('@') != std::string::npos ? Kind::Named : Kind::None;
    for (const char* packed : kPacked)
        if (endsWith(name, packed))
            return Kind::Named;
    // Numbered: the last part after a dot is a number.
    const std::size_t dot = name.rfind('.');
    return dot != std::string::npos && dot > 0 && isNumber(name.substr(dot + 1)) ? Kind::Numbered
                                                                                 : Kind::None;
}

// The longest run of rotations looked for below a numbered name.
constexpr long kLongestRun = 1000;

} // namespace

bool isRotatedLogName(const std::string& name) {
    return kindOf(name) != Kind::None;
}

bool needsSiblings(const std::string& name) {
    return kindOf(name) == Kind::Numbered;
}

bool isRotatedLogAmong(const std::string& name, const std::set<std::string>& siblings) {
    switch (kindOf(name)) {
    case Kind::None:
        return false;
    case Kind::Named:
        return true;
    case Kind::Numbered:
        break;
    }
    const std::size_t dot = name.rfind('.');
    const std::string base = name.substr(0, dot);
    if (siblings.count(base))
        return true;
    const std::string digits = name.substr(dot + 1);
    if (digits.size() > 4 || (digits.size() > 1 && digits[0] == '0'))
        return false; // no run of rotations counted down from a padded or huge number
    const long n = std::stol(digits);
    // Rotation number k stands beside, as it was left or compressed since.
    auto stands = [&](long k) {
        const std::string rotation = base + "." + std::to_string(k);
        if (siblings.count(rotation))
            return true;
        for (const char* packed : kPacked)
            if (siblings.count(rotation + packed))
                return true;
        return false;
    };
    // The live log may be "NAME.0" ("app.log.0" beside "app.log.1"), or the
    // rotations lie apart from it: then every rotation before this one, from 1
    // on, must be there. One neighbour alone proves nothing: per-client logs
    // ("log.192.168.1.20" beside "log.192.168.1.21") are numbered too.
    if (n == 1)
        return siblings.count(base + ".0") > 0;
    if (n < 2 || n > kLongestRun)
        return false;
    for (long k = 1; k < n; ++k)
        if (!stands(k))
            return false;
    return true;
}

bool isPackageArchiveName(const std::string& name) {
    return endsWith(name, ".deb");
}

bool isLanguageFolderName(const std::string& name) {
    // Two or three lower-case letters, then optionally a region, script or
    // encoding after "_", "@" or ".".
    std::size_t letters = 0;
    while (letters < name.size() && name[letters] >= 'a' && name[letters] <= 'z')
        ++letters;
    if (letters < 2 || letters > 3 || name.rfind("man", 0) == 0)
        return false;
    if (letters == name.size())
        return true;
    const char mark = name[letters];
    if ((mark != '_' && mark != '@' && mark != '.') || letters + 1 == name.size())
        return false;
    for (std::size_t i = letters + 1; i < name.size(); ++i) {
        const char c = name[i];
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '@' && c != '.' &&
            c != '-')
            return false;
    }
    return true;
}

} // namespace tessaly::disposable
