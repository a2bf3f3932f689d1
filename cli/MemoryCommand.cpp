#include "cli/MemoryCommand.h"

#include "cli/ExitCodes.h"
#include "cli/Output.h"
#include "cli/StatusCommand.h"
#include "cli/ToolDriver.h"
#include "model/CommonFunction.h"
#include "model/Function.h"

#include <iostream>
#include <memory>

namespace tessaly::cli {

namespace {

void printSample(const MemoryData& m) {
    std::cout << "Free      " << CommonFunction::getMemorySizeString2(m.free) << "\n"
              << "Active    " << CommonFunction::getMemorySizeString2(m.active) << "\n"
              << "Inactive  " << CommonFunction::getMemorySizeString2(m.inactive) << "\n"
              << "Wired     " << CommonFunction::getMemorySizeString2(m.wired) << "\n";
}

std::optional<MemoryData> sample() {
    auto m = Function::shareMemoryFunction().memoryData();
    if (!m)
        throw CommandExit(exitcode::Failure, "the memory statistics cannot be read");
    return m;
}

} // namespace

void addMemoryCommand(CLI::App& root) {
    auto json = std::make_shared<bool>(false);
    CLI::App* memory = root.add_subcommand(
        "memory", "Memory Optimization: free, active, inactive and wired memory");
    addJsonFlag(*memory, *json);
    memory->callback([memory, json] {
        if (!memory->get_subcommands().empty())
            return; // "memory optimize" prints its own
        auto m = sample();
        if (*json)
            printJson(memoryJson(m), std::cout);
        else
            printSample(*m);
    });

    CLI::App* optimize = memory->add_subcommand(
        "optimize", "release what memory can be released without harm and say how much");
    addJsonFlag(*optimize, *json);
    optimize->callback([json] {
        Function& f = Function::shareMemoryFunction();
        auto before = sample();
        bool ran = false;
        runWithProgress("Optimizing memory...", [&](std::stop_token stop, const ProgressSink&) {
            std::stop_callback terminate(stop, [&f] { f.stopClean(); });
            ran = f.clearMemory();
        });
        if (!ran)
            throw CommandExit(exitcode::Failure, "the memory-release program could not be started");
        auto after = sample();
        const double freed = after->free - before->free;
        if (*json) {
            printJson({{"freedPages", static_cast<std::int64_t>(freed)},
                       {"freed", freed > 0 ? CommonFunction::getMemorySizeString2(freed) : "0"},
                       {"before", memoryJson(before)},
                       {"after", memoryJson(after)}},
                      std::cout);
            return;
        }
        std::cout << "Freed " << static_cast<std::int64_t>(freed) << " pages ("
                  << (freed > 0 ? CommonFunction::getMemorySizeString2(freed) : std::string("0"))
                  << ").\n";
        printSample(*after);
    });
}

} // namespace tessaly::cli
