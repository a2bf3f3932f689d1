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

} // namespace

bool isRotatedLogName(const std::string& name) {
    if (name.empty() || name[0] == '.')
        return false;
    if (endsWith(name, ".old") || endsWith(name, ".journal~"))
        return true;
    // An archived journal carries its sequence after an "@".
    if (endsWith(name, ".journal"))
        return name.find('@') != std::string::npos;
    for (const char* packed : {".gz", ".xz", ".bz2", ".zst", ".lz4"})
        if (endsWith(name, packed))
            return true;
    // Numbered: the last part after a dot is a number.
    const std::size_t dot = name.rfind('.');
    return dot != std::string::npos && dot > 0 && isNumber(name.substr(dot + 1));
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
