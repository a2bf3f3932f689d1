#include "cli/EraseCommand.h"

#include "ScanCode/eraser/PickGuard.h"
#include "ScanCode/eraser/ShredderFiles.h"
#include "cli/Destructive.h"
#include "cli/ExitCodes.h"
#include "cli/Output.h"
#include "cli/ToolDriver.h"
#include "platform/FileRemoval.h"

#include <filesystem>
#include <memory>

namespace tessaly::cli {

namespace {

struct EraseOptions {
    std::vector<std::string> paths;
    bool json = false;
    bool yes = false;
};

// The picked paths made absolute, links left as they are (a picked link is
// removed as a link). A path the Eraser never erases (the system's folders, a
// home folder, a mount point, ...) ends the command before anything is done.
std::vector<std::string> pickedPaths(const std::vector<std::string>& given) {
    std::vector<std::string> out;
    for (const std::string& p : given) {
        if (!fileops::itemExists(p))
            throw CommandExit(exitcode::Usage, "no such file or folder: " + shown(p));
        std::string absolute = std::filesystem::absolute(p).lexically_normal().string();
        while (absolute.size() > 1 && absolute.back() == '/')
            absolute.pop_back();
        if (auto why = eraser::pickRefusal(absolute))
            throw CommandExit(exitcode::Usage,
                              "refusing to erase " + shown(absolute) + ": " + shown(*why));
        out.push_back(absolute);
    }
    return out;
}

} // namespace

void addEraseCommand(CLI::App& root) {
    auto options = std::make_shared<EraseOptions>();
    CLI::App* erase = root.add_subcommand(
        "erase", "Eraser: overwrite files (every file inside folders) with a pattern, synced to "
                 "the disk, then remove them; without --yes only list what would be erased");
    erase->add_option("paths", options->paths, "files and folders to erase")->required();
    addJsonFlag(*erase, options->json);
    addYesFlag(*erase, options->yes);
    erase->callback([options] {
        ShredderFiles& engine = ShredderFiles::shareShredder();
        engine.setPaths(pickedPaths(options->paths));
        ProblemList problems = scanTool(engine).problems;
        cleanTool(engine, {options->yes, options->json}, problems);
    });
}

} // namespace tessaly::cli
