#include "ScanCode/RecordRemoval.h"

#include "platform/FileRemoval.h"

namespace tessaly {

std::vector<RemovalResult> removeTargets(const std::vector<RemovalTarget>& targets,
                                         HelperPass& pass, std::stop_token stop,
                                         const RemovalHooks& hooks, bool handOver) {
    std::vector<RemovalResult> results(targets.size());
    std::vector<bool> attempted(targets.size(), false);
    for (std::size_t i = 0; i < targets.size() && !stop.stop_requested(); ++i) {
        const RemovalTarget& t = targets[i];
        RemovalResult& r = results[i];
        if (hooks.before)
            hooks.before(i);
        if (t.paths.empty() || !fileops::itemExists(t.paths.front())) {
            r.state = RemovalState::Vanished;
            continue;
        }
        std::string why =
            fileattr::stillTheSame(t.paths.front(), t.stamp) ? std::string() : kChangedSinceScan;
        if (why.empty() && hooks.refuse)
            why = hooks.refuse(i);
        if (!why.empty()) {
            r.state = RemovalState::Left;
            r.refused = true;
            r.left.push_back({t.paths.front(), why});
            continue;
        }
        attempted[i] = true;
        for (const std::string& path : t.paths)
            pass.remove(path, stop);
    }
    if (handOver)
        pass.handOver(stop);
    for (std::size_t i = 0; i < targets.size(); ++i) {
        RemovalResult& r = results[i];
        if (!attempted[i]) {
            if (r.state == RemovalState::NotHandled)
                r.left.push_back({targets[i].paths.empty() ? std::string() : targets[i].paths[0],
                                  kStoppedBeforeHandled});
            continue;
        }
        for (const std::string& path : targets[i].paths)
            if (auto reason = pass.leftReason(path))
                r.left.push_back({path, *reason});
        r.state = r.left.empty() ? RemovalState::Removed : RemovalState::Left;
    }
    return results;
}

} // namespace tessaly
