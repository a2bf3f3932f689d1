#pragma once

#include <string>
#include <vector>

namespace tessaly {

// One application running in the user's session.
struct RunningApplication {
    // The bundle identifier of an application bundle; the executable's name for
    // any other program.
    std::string bundleIdentifier;
    // The name the desktop shows: a bundle's name without ".app", else the
    // executable's name.
    std::string localizedName;
    int pid = 0;
};

// The programs this user runs, read from the process table (proc: "/proc", or a
// stand-in tree of tests), in process-id order. An executable inside
// "X.app/Contents/MacOS" is the application X.app, identified through its
// Info.plist. A process started by another of the same executable (a browser's
// renderers, say) is part of that application and not listed again. Processes
// of other users, and those whose executable cannot be read, are left out.
std::vector<RunningApplication> runningApplications(const std::string& proc = "/proc");

} // namespace tessaly
