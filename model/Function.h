#pragma once

#include "model/CleanResult.h"
#include "platform/ChildProcess.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace tessaly {

// The shared memory object: samples memory statistics and runs the
// memory-release helper "Quobble" shipped among the resources.
class Function {
public:
    static Function& shareMemoryFunction();

    // One sample of free, active, inactive and wired pages; none when it fails.
    std::optional<MemoryData> memoryData() const;

    // Runs the helper as a child process and blocks until it exits. Returns false
    // at once when the helper is missing or cannot be started.
    bool clearMemory();

    // Ends the running helper, if any. Safe from another thread while clearMemory waits.
    void stopClean();

    // Whether the helper is running now.
    bool isCleaning() const;

    // Where the helper is looked for (the resources folder unless set, for tests).
    void setHelperPath(std::string path);
    std::string helperPath() const;

private:
    mutable std::mutex mutex_;
    std::shared_ptr<ChildProcess> localTask;
    std::string helperPath_;
};

} // namespace tessaly
