#pragma once

// The service's one command object. Every command of the set is reachable by
// name over the connection (see HelperProtocol.h); perform() checks a request's
// arguments and runs the command for its caller. Each path is judged by the
// table of AllowedRoots for the kind of action the command takes, and reached
// beneath its allowed place through descriptors (Beneath.h); a refusal is
// logged with its reason and answered as a failure.
//
// Where a path lies in one of the caller's own places, the command acts there
// with the caller's file-system rights (CallerRights); root's rights serve only
// in the system rows.
//
// perform() may run on several threads at once. The stop commands only set a
// flag of their connection (RequestContext.h), so the server serves them as
// they arrive, ahead of the work before them (isImmediate); arrived() is told
// of every request in the order of arrival. A stopped overwrite replies NO.

#include "daemon/AllowedRoots.h"
#include "daemon/Caller.h"
#include "daemon/RequestContext.h"
#include "daemon/WorkerPool.h"
#include "platform/FileOverwrite.h"
#include "platform/PlistValue.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace dorn {

struct RunnerOptions {
    std::string launchctlTool;
    AllowedRoots roots;
    tessaly::FileOverwrite::Sync sync; // default fdatasync
};

// The outcome of one request: a reply value, no value, or an error text.
struct Reply {
    std::optional<tessaly::PlistValue> value;
    std::string error;
};

class CommandRunner {
public:
    explicit CommandRunner(RunnerOptions options);

    Reply perform(const RequestContext& context, const std::string& command,
                  const tessaly::PlistValue::Array& arguments);
    bool respondsToSelector(const std::string& command) const;
    // Commands that only read or set a flag: served by the server as they arrive.
    static bool isImmediate(const std::string& command);
    // Called for every request when it arrives, in order.
    static void arrived(const RequestContext& context, const std::string& command);

private:
    using Args = tessaly::PlistValue::Array;
    using Handler = std::function<Reply(const RequestContext&, const Args&)>;
    void addCommands();

    // Removal.
    void removeFile(const RequestContext& context, std::vector<std::string> paths, Reply* reply);
    void reallyRemove(const RequestContext& context, const std::vector<std::string>& paths);
    bool removeSystemFile(const Caller& caller, const std::string& path);
    // Overwriting.
    void shredderFiles(const RequestContext& context, const std::vector<std::string>& paths);
    bool shredderFile(const RequestContext& context, const std::string& path, bool one);
    // Thinning.
    void lipoSystemApp(const Caller& caller, const std::string& path);
    void lipo(const Caller& caller, const std::vector<std::string>& paths);
    // Service jobs.
    void runJobTool(const Caller& caller, const std::string& path, bool load);
    bool setServerDisable(const Caller& caller, const std::string& path, bool disable);
    // Files and folders.
    bool createSystemDir(const Caller& caller, const std::string& path);
    bool copySystemFile(const Caller& caller, const std::string& from, const std::string& to);
    bool writeToSystemFile(const Caller& caller, const std::string& path, const void* bytes,
                           std::size_t length);

    RunnerOptions options_;
    const std::int64_t bufferSize = 1000000;
    // The overwrite pattern, prepared once: two blocks of bufferSize bytes of 0x01.
    std::vector<std::uint8_t> buffer;
    std::vector<std::uint8_t> buffer0;
    std::map<std::string, Handler> commands_;
    // removeFile: and lipoApp: work here, after their reply.
    WorkerPool background_{2, 32};
};

} // namespace dorn
