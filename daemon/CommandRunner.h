#pragma once

// The service's one command object. Every public command is reachable by name
// over the connection (see HelperProtocol.h); perform() checks the arguments of
// a request and calls the command. Requests are served one at a time; removeFile:
// and lipoApp: hand their work to a new background thread each.

#include "daemon/PathSafety.h"
#include "platform/PlistValue.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dorn {

struct RunnerOptions {
    std::string launchctlTool;
    std::string lipoTool;
};

// The outcome of one request: a reply value, no value, or an error text.
struct Reply {
    std::optional<tessaly::PlistValue> value;
    std::string error;
};

class CommandRunner {
public:
    explicit CommandRunner(RunnerOptions options, std::unique_ptr<PathSafety> safety = nullptr);

    // Serves one request (arguments: an array).
    Reply perform(const std::string& command, const tessaly::PlistValue::Array& arguments);
    bool respondsToSelector(const std::string& command) const;

    // Removal.
    void removeFile(std::vector<std::string> paths);
    void reallyRemove(const std::vector<std::string>& paths);
    void stopRemove() { stop_ = true; }
    bool removeSystemFile(const std::string& path);

    // Overwriting.
    void shredderFiles(const std::vector<std::string>& paths);
    bool shredderFile(const std::string& path, bool one);
    void shredderStop() { stopShredder_ = true; }

    // Thinning.
    void lipoSystemApp(const std::string& path);
    void lipoApp(std::vector<std::string> paths);
    void lipo(const std::vector<std::string>& paths);
    std::string getPCArchitecture() const;

    // Service jobs.
    void launchUnload(const std::string& path);
    void launchLoad(const std::string& path);
    void stopSystemServer(const std::vector<std::string>& paths);
    void startSystemServer(const std::vector<std::string>& paths);
    void startSpolight();
    bool setServerDisable(const std::string& path, bool disable);

    // Files and folders.
    bool createSystemDir(const std::string& path);
    bool copySystemFile(const std::string& from, const std::string& to);
    bool writeDataToSystemFile(const std::vector<std::uint8_t>& data, const std::string& path);
    bool writeDicToSystemFile(const tessaly::PlistValue::Dict& dictionary, const std::string& path);

    // The stop flags.
    bool stop() const { return stop_; }
    void setStop(bool v) { stop_ = v; }
    bool stopShredder() const { return stopShredder_; }
    void setStopShredder(bool v) { stopShredder_ = v; }

private:
    using Handler = std::function<Reply(const tessaly::PlistValue::Array&)>;
    void addCommands();

    RunnerOptions options_;
    std::unique_ptr<PathSafety> safety_;
    const std::int64_t bufferSize = 1000000;
    // The overwrite pattern, prepared once: two blocks of bufferSize bytes of 0x01.
    std::vector<std::uint8_t> buffer;
    std::vector<std::uint8_t> buffer0;
    std::atomic<bool> stop_{false};
    std::atomic<bool> stopShredder_{false};
    std::map<std::string, Handler> commands_;
};

} // namespace dorn
