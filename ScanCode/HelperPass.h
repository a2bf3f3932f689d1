#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

namespace tessaly {

// The privileged removal that takes what the user may not remove: true when the
// helper was reached; notRemoved receives the handed paths that may still exist.
using PrivilegedRemoval =
    std::function<bool(const std::vector<std::string>&, std::vector<std::string>*)>;

// The real helper client's removal, and its stop.
PrivilegedRemoval systemPrivilegedRemoval();
std::function<void()> systemPrivilegedStop();

// Whether the privileged helper may be asked at all (tessaly-cli --no-helper
// switches it off: nothing asks for administrator rights, and what the user may
// not remove stays, with that reason). On unless switched off.
void setPrivilegedHelperEnabled(bool enabled);
bool privilegedHelperEnabled();

// The one way every tool removes files: each path is removed directly (never
// following a link out of it); whatever stayed is handed once to the privileged
// helper, unless the run was stopped; then every handed path is looked up on the
// disk again. Only what is really gone counts; everything else keeps its reason.
class HelperPass {
public:
    // stopHelper tells the helper to stop removing; the pass calls it, from a
    // worker, when the run's token is stopped while the pass lives, so that the
    // one who stops (a screen) never waits for the helper.
    explicit HelperPass(PrivilegedRemoval helper, std::function<void()> stopHelper = {},
                        std::stop_token run = {});

    // Removes one path directly; true when nothing is there any more. Safe to call
    // from several threads at once.
    bool remove(const std::string& path, std::stop_token stop = {});
    // Marks a path as left for a reason of the caller's ("changed since the scan");
    // it is never handed to the helper.
    void keep(const std::string& path, std::string reason);

    // Hands whatever stayed to the helper once, unless stopped, and looks again.
    // Returns whether the helper was asked.
    bool handOver(std::stop_token stop = {});

    // None when the path is gone; otherwise why it is still there.
    std::optional<std::string> leftReason(const std::string& path) const;
    bool gone(const std::string& path) const { return !leftReason(path); }

    // The paths still waiting for the helper (before handOver).
    std::vector<std::string> pending() const;

private:
    using StopLink = std::stop_callback<std::function<void()>>;
    PrivilegedRemoval helper_;
    std::unique_ptr<StopLink> stopLink_;
    mutable std::mutex mutex_;
    std::map<std::string, std::string> stayed_; // removal failed: path, reason
    std::map<std::string, std::string> kept_;   // never to be handed over
};

// The plain reason of a removal error ("cannot remove x: Permission denied" gives
// "permission denied").
std::string removalReason(const std::string& error);

} // namespace tessaly
