#pragma once

#include <string>
#include <vector>

namespace tessaly::test {

struct CapturedRun {
    int exitCode = -1;
    std::string standardOutput;
    std::string standardError;
};

// Runs a program to its end (no shell) and collects both of its output streams.
CapturedRun runCaptured(const std::string& executable, const std::vector<std::string>& arguments);

} // namespace tessaly::test
