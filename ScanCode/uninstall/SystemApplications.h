#pragma once

#include <string>
#include <vector>

namespace tessaly {

// Names of the system's own applications, in their fixed order. Matching is
// exact and case-sensitive.
const std::vector<std::string>& systemApplicationNames();

} // namespace tessaly
