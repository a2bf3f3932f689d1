#include "platform/TextCase.h"

#include <algorithm>

namespace tessaly::text {

namespace {

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameLetter(char a, char b) {
    return lower(a) == lower(b);
}

} // namespace

std::string asciiLowercase(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), lower);
    return out;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), sameLetter);
}

bool containsIgnoringCase(std::string_view haystack, std::string_view needle) {
    return !needle.empty() && std::search(haystack.begin(), haystack.end(), needle.begin(),
                                          needle.end(), sameLetter) != haystack.end();
}

} // namespace tessaly::text
