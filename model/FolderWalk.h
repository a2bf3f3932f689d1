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

// What removing a folder gives back to the disk: the blocks of the folder
// itself, of every folder below it and of every entry in them (hidden ones
// included), each counted as CommonFunction::getDiskFileSize of its attributes.
// Links count their own blocks and are never followed. A file with several
// names counts once, and only when every one of its names lies below the folder
// (otherwise its data stays on the disk). A path that is not a real folder
// counts as itemSize does. Stops early, with what it has counted, when
// cancelled() turns true.
std::int64_t directorySize(const std::string& path, const std::function<bool()>& cancelled = {});

// Whether a folder is a package by its name or its path's extension.
bool isPackageFolder(const std::string& name, const std::string& path);

// What removing one item gives back to the disk: a folder's directorySize, the
// blocks of a file or a link (none for a file that keeps other names); 0 when it
// does not exist. The second form takes the attributes already read (a link's
// own, never its target's).
std::int64_t itemSize(const std::string& path, const std::function<bool()>& cancelled = {});
std::int64_t itemSize(const std::string& path, const fileattr::EntryInfo& info,
                      const std::function<bool()>& cancelled = {});

} // namespace tessaly
