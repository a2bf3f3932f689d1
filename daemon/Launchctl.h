#pragma once

// The service manager's tool. "/bin/launchctl" where it exists; where it does
// not (a system without launchd), a request is logged and does nothing.

#include <string>
#include <vector>

namespace dorn {

inline constexpr const char* kDefaultLaunchctl = "/bin/launchctl";

// Runs tool with the arguments and waits for it to exit.
void runLaunchctl(const std::string& tool, const std::vector<std::string>& arguments);

// A copy of a job description under its own name in a new folder that only the
// service can reach (in TMPDIR, else /tmp); "" when it cannot be made.
std::string privateCopy(const std::string& name, const std::string& contents);
// Removes such a copy and its folder.
void removePrivateCopy(const std::string& path);

} // namespace dorn
