#pragma once

#include "platform/BinaryPlistReader.h"

#include <string_view>

namespace tessaly::plist {

// Whether XML property-list text stays within the read limits (nesting and number
// of elements), measured before libplist's recursive parser ever sees it.
bool xmlWithinLimits(std::string_view text, const ReadLimits& limits);

} // namespace tessaly::plist
