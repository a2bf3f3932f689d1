#pragma once

#include "platform/PlistValue.h"

#include <optional>
#include <string>
#include <vector>

namespace tessaly {

// The entries of the array under `key` of a property-list file (Safari's history
// and top sites); none when the file is missing or is not such a list.
std::optional<PlistValue::Array> readListEntries(const std::string& path, const std::string& key);

// Takes out of that array every entry equal to one of `gone` and writes the file
// back atomically in its own format, other keys kept; when no entry is left the
// file is removed. Per entry of `gone`: none when it was taken out, else why not
// ("changed since the scan" when the list no longer holds it as it was).
std::vector<std::optional<std::string>> removeListEntries(const std::string& path,
                                                          const std::string& key,
                                                          const std::vector<PlistValue>& gone);

} // namespace tessaly
