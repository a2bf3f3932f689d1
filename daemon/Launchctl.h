#pragma once

// The service manager's tool. "/bin/launchctl" where it exists; where it does
// not (a system without launchd), a request is logged and does nothing.

#include <string>
#include <vector>

namespace dorn {

inline constexpr const char* kDefaultLaunchctl = "/bin/launchctl";

// Runs tool with the arguments and waits for it to exit.
void runLaunchctl(const std::string& tool, const std::vector<std::string>& arguments);

} // namespace dorn
