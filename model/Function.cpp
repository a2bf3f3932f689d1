#include "model/Function.h"

#include "platform/Log.h"
#include "platform/MemoryStatistics.h"
#include "platform/Paths.h"

namespace tessaly {

Function& Function::shareMemoryFunction() {
    static auto* f = new Function; // never destroyed, like every shared engine object
    return *f;
}

std::optional<MemoryData> Function::memoryData() const {
    auto s = memstat::sample();
    if (!s)
        return std::nullopt;
    return MemoryData{s->free, s->active, s->inactive, s->wired};
}

void Function::setHelperPath(std::string path) {
    std::lock_guard<std::mutex> guard(mutex_);
    helperPath_ = std::move(path);
}

std::string Function::helperPath() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return helperPath_.empty() ? paths::join(paths::resourcesDir(), "Quobble") : helperPath_;
}

bool Function::clearMemory() {
    auto task = std::make_shared<ChildProcess>();
    std::string path = helperPath();
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (localTask) {
            log::line("Quobble is already running");
            return false;
        }
        if (!task->launch(path, {})) {
            log::line("Quobble could not be started from " + path);
            return false;
        }
        localTask = task;
    }
    task->waitUntilExit();
    std::lock_guard<std::mutex> guard(mutex_);
    localTask.reset();
    return true;
}

void Function::stopClean() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (localTask)
        localTask->terminate();
}

bool Function::isCleaning() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return localTask != nullptr;
}

} // namespace tessaly
