#pragma once

#include <string>
#include <vector>

namespace tessaly {

// The sites that hold cookies in the user's browsers, the kept sites left out.
// Reads the browsers' cookie files: call it from a worker.
std::vector<std::string> browserCookieNames();

} // namespace tessaly
