#pragma once

// Telling a log put aside by rotation from a live one inside a folder the
// service has open: a numbered name ("syslog.1") counts only beside the log it
// was rotated from, so the folder's own listing decides, read through the
// folder's descriptor (never by its path, which may have been swapped since).

#include <optional>
#include <set>
#include <string>

namespace dorn {

// The names in the folder open as dirFd ("." and ".." left out), read through a
// descriptor of its own so that dirFd is left as it was; none when it cannot be
// listed.
std::optional<std::set<std::string>> namesInFolder(int dirFd);

// Whether the entry `name` of the folder open as dirFd is a log put aside by
// rotation (tessaly::disposable::isRotatedLogAmong with the folder's names); a
// folder that cannot be listed admits only what the name alone proves.
bool rotatedLogBeside(int dirFd, const std::string& name);

} // namespace dorn
