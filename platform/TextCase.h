#pragma once

// Case-insensitive text tests of the ASCII letters, as names, extensions and
// identifiers are compared throughout (other bytes compare as they are).

#include <string>
#include <string_view>

namespace tessaly::text {

std::string asciiLowercase(std::string_view s);
bool equalsIgnoringCase(std::string_view a, std::string_view b);
// An empty needle is never contained.
bool containsIgnoringCase(std::string_view haystack, std::string_view needle);

} // namespace tessaly::text
