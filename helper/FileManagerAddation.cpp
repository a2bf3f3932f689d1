#include "helper/FileManagerAddation.h"

#include "daemon/HelperProtocol.h"
#include "helper/DeamonInstaller.h"
#include "helper/HelperConnection.h"
#include "platform/ChildProcess.h"
#include "platform/FileRemoval.h"
#include "platform/Log.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <unistd.h>

namespace tessaly {

namespace {

// The operations that may install the service, each allowed one installation per run.
enum Operation { kRemove, kRemove2, kShredder, kUnload, kLipo, kOperationCount };

std::atomic<bool> installedOnce[kOperationCount];

// Stop request for the removal loop of removeSystemFile(2).
std::atomic<bool> removalStopped{false};

// Whether a process running as root leaves the helper alone (off in tests that
// run as root and exercise the helper).
std::atomic<bool> rootActsDirectly{true};

// The connections with work under way, so that a stop reaches the very
// connection that sent the work (the service stops nothing of another one).
enum class Work { Removal, Overwrite };
std::mutex inFlightMutex;
std::set<std::pair<Work, HelperConnection*>> inFlight;

class InFlight {
public:
    InFlight(Work work, HelperConnection& c) : entry_(work, &c) {
        std::lock_guard<std::mutex> lock(inFlightMutex);
        inFlight.insert(entry_);
    }
    ~InFlight() {
        std::lock_guard<std::mutex> lock(inFlightMutex);
        inFlight.erase(entry_);
    }
    InFlight(const InFlight&) = delete;
    InFlight& operator=(const InFlight&) = delete;

private:
    std::pair<Work, HelperConnection*> entry_;
};

void stopInFlight(Work work, const char* command) {
    std::lock_guard<std::mutex> lock(inFlightMutex);
    for (const auto& [kind, connection] : inFlight)
        if (kind == work)
            connection->sendStop(command);
}

bool installDeamonDefault() {
    return DeamonInstaller::shareInstaller().installDeamonWithUser();
}

// One attempt: none when the service did not answer to the gate (nothing was
// sent), otherwise the outcome. HelperError escapes for a broken connection.
using Attempt = std::function<std::optional<bool>()>;

// Install-and-retry: when the attempt finds no service, install it once per
// run for this operation, wait one second and attempt again.
bool withInstallation(Operation op, const Attempt& attempt) {
    if (!FileManagerAddation::servesThisProcess())
        return false; // root acts with its own rights
    try {
        if (auto done = attempt())
            return *done;
        if (installedOnce[op])
            return false; // installed earlier in this run and still not answering
        if (!DeamonInstaller::shareInstaller().installDeamon())
            return false;
        installedOnce[op] = true;
        std::this_thread::sleep_for(std::chrono::seconds(1));
        if (auto done = attempt())
            return *done;
        log::line("the privileged helper was installed but does not answer");
        return false;
    } catch (const HelperError& e) {
        log::line(e.what());
        return false;
    }
}

// Removes each path with the synchronous "removeSystemFile:", so that the
// reply tells for each path whether it is gone.
std::optional<bool> removeEach(bool gated, const std::vector<std::string>& paths,
                               std::vector<std::string>* left) {
    // left: the paths that may still exist.
    HelperConnection c;
    if ((gated && !installDeamonDefault()) || !c.lookup("removeSystemFile:"))
        return std::nullopt;
    InFlight working(Work::Removal, c);
    removalStopped = false;
    for (const auto& path : paths) {
        bool removed = !removalStopped &&
                       c.call("removeSystemFile:", {dorn::protocol::pathValue(path)}).toBool(false);
        if (!removed && fileops::itemExists(path))
            left->push_back(path);
    }
    return true;
}

bool removeThroughHelper(Operation op, bool gated, const std::vector<std::string>& paths,
                         std::vector<std::string>* notRemoved) {
    std::vector<std::string> left;
    bool reached = withInstallation(op, [&]() -> std::optional<bool> {
        left.clear();
        return removeEach(gated, paths, &left);
    });
    if (notRemoved && !reached) {
        // Not reached, or the connection broke part-way: whatever is still there.
        left.clear();
        for (const auto& path : paths)
            if (fileops::itemExists(path))
                left.push_back(path);
    }
    if (notRemoved)
        *notRemoved = std::move(left);
    return reached;
}

} // namespace

bool FileManagerAddation::removeSystemFile(const std::vector<std::string>& paths,
                                           std::vector<std::string>* notRemoved) {
    return removeThroughHelper(kRemove, true, paths, notRemoved);
}

bool FileManagerAddation::removeSystemFile2(const std::vector<std::string>& paths,
                                            std::vector<std::string>* notRemoved) {
    return removeThroughHelper(kRemove2, false, paths, notRemoved);
}

bool FileManagerAddation::shredderFile(const std::vector<std::string>& paths) {
    return withInstallation(kShredder, [&]() -> std::optional<bool> {
        HelperConnection c;
        if (!installDeamonDefault() || !c.lookup("shredderFiles:"))
            return std::nullopt;
        PlistValue::Array list;
        for (const auto& path : paths)
            list.push_back(dorn::protocol::pathValue(path));
        InFlight working(Work::Overwrite, c);
        c.call("shredderFiles:", {PlistValue(std::move(list))});
        return true;
    });
}

bool FileManagerAddation::shredderFileOne(const std::string& path, bool one, bool* reached) {
    bool overwritten = false;
    bool answered = withInstallation(kShredder, [&]() -> std::optional<bool> {
        HelperConnection c;
        if (!installDeamonDefault() || !c.lookup("shredderFile:one:"))
            return std::nullopt;
        InFlight working(Work::Overwrite, c);
        // A stopped overwrite answers NO: the file was not overwritten.
        overwritten =
            c.call("shredderFile:one:", {dorn::protocol::pathValue(path), PlistValue(one)})
                .toBool(false);
        return true;
    });
    if (reached)
        *reached = answered;
    return answered && overwritten;
}

bool FileManagerAddation::unloadSerevr(const std::string& path) {
    return withInstallation(kUnload, [&]() -> std::optional<bool> {
        HelperConnection c;
        if (!installDeamonDefault() || !c.lookup("launchUnload:"))
            return std::nullopt;
        c.call("launchUnload:", {dorn::protocol::pathValue(path)});
        if (!c.respondsToSelector("removeSystemFile:"))
            return false;
        return c.call("removeSystemFile:", {dorn::protocol::pathValue(path)}).toBool(false);
    });
}

void FileManagerAddation::lipoSystemApp(const std::string& path) {
    withInstallation(kLipo, [&]() -> std::optional<bool> {
        HelperConnection c;
        if (!installDeamonDefault() || !c.lookup("lipoSystemApp:"))
            return std::nullopt;
        c.call("lipoSystemApp:", {dorn::protocol::pathValue(path)});
        return true;
    });
}

bool FileManagerAddation::stopRemoveSystemFile() {
    removalStopped = true;
    stopInFlight(Work::Removal, "stopRemove");
    return true;
}

void FileManagerAddation::stopShredder() {
    stopInFlight(Work::Overwrite, "shredderStop");
}

bool FileManagerAddation::servesThisProcess() {
    return ::geteuid() != 0 || !rootActsDirectly;
}

void FileManagerAddation::setRootActsDirectlyForTesting(bool direct) {
    rootActsDirectly = direct;
}

bool FileManagerAddation::installDeamon() {
    if (!servesThisProcess())
        return false;
    HelperConnection c;
    return c.lookup("removeFile:");
}

bool FileManagerAddation::removeFileWithPrivileges(const std::string& path) {
    log::line("AuthorizationCreate");
    std::vector<std::string> args{"/bin/rm", "-rf", "--", path};
    std::string program = "/bin/rm";
    if (::geteuid() != 0)
        program = "/usr/bin/pkexec";
    else
        args.erase(args.begin());
    // Waited for: only a finished removal that left nothing behind counts.
    int status = runProcess(program, args, ChildOutput::Discard);
    if (status != 0)
        log::line("the removal of " + path + " as administrator failed (exit status " +
                  std::to_string(status) + ")");
    return status == 0 && !fileops::itemExists(path);
}

void FileManagerAddation::resetRunStateForTesting() {
    for (auto& flag : installedOnce)
        flag = false;
    removalStopped = false;
}

} // namespace tessaly
