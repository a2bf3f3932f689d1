#include "ScanCode/HelperPass.h"

#include "helper/DeamonInstaller.h"
#include "helper/FileManagerAddation.h"
#include "platform/Dispatch.h"
#include "platform/FileRemoval.h"

#include <atomic>
#include <cctype>

namespace tessaly {

namespace {

constexpr const char* kNotInstalled = "the helper is not installed or could not be reached";
constexpr const char* kHelperDidNotRemove = "the helper could not remove it either";
constexpr const char* kStopped = "the clean was stopped before the helper was asked";
constexpr const char* kSwitchedOff = "the privileged helper is switched off";
constexpr const char* kRootAlone = "root's own rights were not enough (running as root, the "
                                   "helper is not used)";

std::atomic<bool> helperEnabled{true};

std::string joined(const std::string& first, const char* then) {
    return first.empty() ? then : first + "; " + then;
}

} // namespace

void setPrivilegedHelperEnabled(bool enabled) {
    helperEnabled = enabled;
}

bool privilegedHelperEnabled() {
    return helperEnabled;
}

PrivilegedRemoval systemPrivilegedRemoval() {
    return [](const std::vector<std::string>& paths, std::vector<std::string>* notRemoved) {
        return FileManagerAddation::removeSystemFile(paths, notRemoved);
    };
}

std::string removalReason(const std::string& error) {
    std::size_t colon = error.rfind(": ");
    std::string reason = colon == std::string::npos ? error : error.substr(colon + 2);
    if (!reason.empty())
        reason[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(reason[0])));
    if (reason == "operation not permitted")
        reason = "permission denied";
    return reason.empty() ? "it could not be removed" : reason;
}

std::function<void()> systemPrivilegedStop() {
    return [] { FileManagerAddation::stopRemoveSystemFile(); };
}

HelperPass::HelperPass(PrivilegedRemoval helper, std::function<void()> stopHelper,
                       std::stop_token run)
    : helper_(std::move(helper)) {
    if (stopHelper && run.stop_possible())
        stopLink_ = std::make_unique<StopLink>(
            std::move(run), [stop = std::move(stopHelper)] { GlobalQueue::async(stop); });
}

bool HelperPass::remove(const std::string& path, std::stop_token stop) {
    std::string error;
    bool removed = fileops::removeItem(path, &error, [&stop] { return stop.stop_requested(); });
    if (removed || !fileops::itemExists(path))
        return true;
    std::lock_guard<std::mutex> guard(mutex_);
    stayed_[path] =
        stop.stop_requested() ? std::string("the clean was stopped") : removalReason(error);
    return false;
}

void HelperPass::keep(const std::string& path, std::string reason) {
    std::lock_guard<std::mutex> guard(mutex_);
    kept_[path] = std::move(reason);
}

std::vector<std::string> HelperPass::pending() const {
    std::lock_guard<std::mutex> guard(mutex_);
    std::vector<std::string> out;
    for (const auto& entry : stayed_)
        out.push_back(entry.first);
    return out;
}

bool HelperPass::handOver(std::stop_token stop) {
    std::vector<std::string> paths = pending();
    if (paths.empty())
        return false;
    if (stop.stop_requested() || !helper_ || !privilegedHelperEnabled()) {
        const char* why = stop.stop_requested() ? kStopped
                          : !helper_            ? kNotInstalled
                                                : kSwitchedOff;
        std::lock_guard<std::mutex> guard(mutex_);
        for (auto& [path, reason] : stayed_)
            reason = joined(reason, why);
        return false;
    }
    std::vector<std::string> notRemoved;
    bool reached = helper_(paths, &notRemoved);
    // Why the helper could not be reached, when its installation said so.
    const std::string installer = DeamonInstaller::shareInstaller().lastError();
    const std::string unreached = !FileManagerAddation::servesThisProcess() ? kRootAlone
                                  : installer.empty()
                                      ? kNotInstalled
                                      : "the helper could not be installed: " + installer;
    std::lock_guard<std::mutex> guard(mutex_);
    for (auto it = stayed_.begin(); it != stayed_.end();) {
        // The disk decides, whatever the helper answered.
        if (!fileops::itemExists(it->first)) {
            it = stayed_.erase(it);
            continue;
        }
        it->second = joined(it->second, reached ? kHelperDidNotRemove : unreached.c_str());
        ++it;
    }
    return true;
}

std::optional<std::string> HelperPass::leftReason(const std::string& path) const {
    std::lock_guard<std::mutex> guard(mutex_);
    if (auto it = kept_.find(path); it != kept_.end())
        return it->second;
    if (auto it = stayed_.find(path); it != stayed_.end())
        return it->second;
    if (fileops::itemExists(path))
        return std::string("it is still there");
    return std::nullopt;
}

} // namespace tessaly
