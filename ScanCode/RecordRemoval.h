#pragma once

#include "ScanCode/HelperPass.h"
#include "ScanCode/ToolEngine.h"
#include "platform/FileAttributes.h"

#include <cstddef>
#include <functional>
#include <stop_token>
#include <string>
#include <vector>

namespace tessaly {

// The removal loop the file-list tools share (duplicates, old files, aliases...):
// each result record goes with one or more paths; the records are removed in
// order through a HelperPass, with what stayed handed over once at the end, and
// each record then learns what became of it.

struct RemovalTarget {
    std::vector<std::string> paths; // every path that goes with the record (at least one)
    fileattr::FileStamp stamp;      // what the scan saw at paths[0]
};

enum class RemovalState {
    Removed,    // every path is gone now
    Vanished,   // nothing was there when its turn came: gone, but freeing nothing
    Left,       // something stayed; see left
    NotHandled, // the run was stopped before its turn
};

struct RemovalResult {
    RemovalState state = RemovalState::NotHandled;
    std::vector<LeftItem> left; // the paths that stayed, with their reasons
    bool refused = false;       // left before any removal: changed, or the tool's own reason
};

struct RemovalHooks {
    // Called as each record's turn comes (progress, notifications).
    std::function<void(std::size_t)> before;
    // A reason of the tool's own to leave a record in place (empty: go ahead),
    // asked once the stamp still matches.
    std::function<std::string(std::size_t)> refuse;
};

// A record whose first path holds something else than the scan saw is left,
// "changed since the scan". handOver: whether what stayed goes to the helper.
std::vector<RemovalResult> removeTargets(const std::vector<RemovalTarget>& targets,
                                         HelperPass& pass, std::stop_token stop,
                                         const RemovalHooks& hooks, bool handOver);

inline constexpr const char* kChangedSinceScan = "changed since the scan";
inline constexpr const char* kStoppedBeforeHandled = "the clean was stopped before it was handled";

} // namespace tessaly
