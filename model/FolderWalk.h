#pragma once

#include "platform/DirectoryReader.h"

#include <cstdint>
#include <functional>
#include <string>

namespace tessaly {

// What a walk's visitor decides for an entry.
enum class WalkDecision {
    Continue, // go on; a folder is not entered
    Descend,  // enter this folder (ignored for anything that is not a real folder)
    Stop,     // end the walk
};

// One entry met by a walk.
class WalkEntry {
public:
    WalkEntry(const std::string& parent, DirectoryReader& reader)
        : parent_(parent), reader_(reader) {}
    const char* name() const { return reader_.name(); }
    std::string path() const;
    const std::string& parentPath() const { return parent_; }
    bool isDirectory() const { return reader_.isDirectory(); }
    bool isSymlink() const { return reader_.isSymlink(); }
    // The entry's own attributes (read on first use).
    const fileattr::EntryInfo& info() const { return reader_.info(); }

private:
    const std::string& parent_;
    DirectoryReader& reader_;
};

// The depth-first folder walk every tool uses: folders wait on an explicit
// last-in first-out stack (dornPush/dornPop), each popped folder is listed in full,
// and no symbolic link is ever followed. Unreadable folders contribute nothing
// and are reported to the thread's ProblemCollector (model/Problem.h).
// Returns false when the walk was stopped by the visitor or by cancellation
// (checked between folders and between entries). enterFolder, when given, hears
// each folder as it is taken from the stack, before it is listed.
bool walkFolder(const std::string& root, const std::function<WalkDecision(const WalkEntry&)>& visit,
                const std::function<bool()>& cancelled = {},
                const std::function<void(const std::string&)>& enterFolder = {});

// A folder's size: every file below it (hidden ones included) rounded up to the
// block size; links count their own size and are not followed. Stops early, with
// what it has counted, when cancelled() turns true.
std::int64_t directorySize(const std::string& path, const std::function<bool()>& cancelled = {});

// How directorySize treats a package (a bundle the file manager shows as one file).
enum class PackageSizing {
    Descend,      // counted file by file like any folder
    OwnEntryOnly, // not entered: adds only its own entry's size, rounded up to the block
};
std::int64_t directorySize(const std::string& path, const std::function<bool()>& cancelled,
                           PackageSizing packages);

// Whether a folder is a package by its name or its path's extension.
bool isPackageFolder(const std::string& name, const std::string& path);

// A single item's size as the tools show it: a file's logical size, a folder's
// directorySize, a link's own size; 0 when it does not exist.
std::int64_t itemSize(const std::string& path, const std::function<bool()>& cancelled = {});

} // namespace tessaly
