#pragma once

#include "ScanCode/HelperPass.h"
#include "ScanCode/ToolEngine.h"
#include "model/CleanResult.h"
#include "platform/Dispatch.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <stop_token>
#include <string>
#include <vector>

namespace tessaly {

// Posted on the main queue when the work for one picked path has ended (object:
// the picked path).
inline constexpr const char* shredderFileFinish = "shredderFileFinish";

// The Eraser's outcome: its records are the paths it could not erase.
using ShredderResult = CleanResult<std::string>;

// What the Eraser works with besides the disk; system() is the real machine.
struct ShredderEnvironment {
    // Overwrites one file through the privileged helper: true when it was
    // overwritten; *reached is false when the helper could not be reached.
    std::function<bool(const std::string&, bool* reached)> overwriteAsRoot;
    // Removes files through the helper.
    PrivilegedRemoval removeAsRoot;
    std::function<void()> stopHelper;
    // Called after each pass over a file, before it is removed (tests look at it).
    std::function<void(const std::string&, int pass)> afterPass;

    static ShredderEnvironment system();
};

// The Eraser's engine: overwrites the picked files (once) and every file inside
// the picked folders (twice) with blocks of 0x01, each pass synced to the disk,
// then removes them; what the user may not erase is overwritten and removed
// through the privileged helper. Links are removed as links, never followed.
class ShredderFiles : public ToolEngine {
public:
    static ShredderFiles& shareShredder();
    explicit ShredderFiles(ShredderEnvironment env = ShredderEnvironment::system());

    static constexpr std::int64_t bufferSize = 1000000;
    // The blocks every pass writes: one million bytes of 0x01 each.
    const std::vector<std::uint8_t> buffer, buffer0;
    DispatchGroup group; // the per-path tasks of the current run

    // The tool contract: scan measures the paths given to setPaths (folded, see
    // foldPicks) and reports under its problems every path that will stay (a
    // refused pick, what lies on another file system or has other names); the
    // plan erases each file and folder picked (a picked link is removed as a
    // link). A clean counts a picked path as removed once it is gone.
    std::string toolName() const override { return "Eraser"; }
    std::int64_t toolIndex() const override;
    void setPaths(std::vector<std::string> picked) { picked_ = foldPicks(picked); }
    ScanSummary scan(std::stop_token stop, const ProgressSink& progress) override;
    Plan plan() const override;
    CleanOutcome clean(const Plan& plan, std::stop_token stop,
                       const ProgressSink& progress) override;

    // Erases the paths, each on its own task, and returns once all work has ended.
    ShredderResult shredderFiles(const std::vector<std::string>& paths);
    // One folder: every file in it overwritten twice and removed, then the folder
    // (with its links) when nothing in it had to stay.
    ShredderResult shredderDir(const std::string& folder);
    // Overwrites one file once (one chooses the block; both hold 0x01).
    bool shredderFile(const std::string& path, bool one);
    void prepareRun() { stop_.prepare(); }
    void stopShrdder() { stop_.request(); }

    // Nested picks folded: a path inside another picked path is dropped (two
    // paths in the same folder are both kept, even when one name begins with the
    // other).
    static std::vector<std::string> foldPicks(const std::vector<std::string>& paths);

private:
    // What the scan found a picked path to hold.
    struct Measure {
        enum class Kind { File, Folder, AsItIs }; // AsItIs: a link, or not a regular file
        std::string path;
        Kind kind = Kind::File;
        bool link = false;
        std::int64_t size = 0;
        std::int64_t files = 0; // files overwritten
        std::int64_t asIs = 0;  // entries removed as they are (links and the like)
        std::int64_t stays = 0; // entries that stay, each with its reason among the problems
    };
    struct Run;
    CleanOutcome runErase(const std::vector<std::string>& paths, std::stop_token stop,
                          const ProgressSink& progress, ShredderResult* result);
    bool overwrite(const std::string& path, bool one, const std::stop_token& stop,
                   std::string* why);

    ShredderEnvironment env_;
    RunStop stop_;
    std::vector<std::string> picked_;
    std::vector<Measure> measured_;
};

} // namespace tessaly
