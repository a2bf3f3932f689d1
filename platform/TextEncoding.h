#pragma once

// UTF-8 checks and encoding shared by the property-list readers and the data files.

#include <string>
#include <string_view>

namespace tessaly {

// True when the bytes are well-formed UTF-8: shortest forms only, no surrogate
// halves, nothing above U+10FFFF.
bool isValidUtf8(std::string_view text);

// Appends one code point as UTF-8. The caller passes a scalar value (at most
// U+10FFFF and not a surrogate half); anything else appends nothing and gives false.
bool appendUtf8(std::string& out, char32_t cp);

} // namespace tessaly
