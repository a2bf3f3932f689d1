#pragma once

#include "platform/FileAttributes.h"

#include <dirent.h>
#include <string>

namespace tessaly {

// Lists one folder through its open descriptor without following links: the folder
// itself is opened with O_NOFOLLOW, and each entry's attributes are read relative
// to it, so a link is reported as a link and never entered.
class DirectoryReader {
public:
    explicit DirectoryReader(const std::string& path);
    ~DirectoryReader();
    DirectoryReader(const DirectoryReader&) = delete;
    DirectoryReader& operator=(const DirectoryReader&) = delete;

    bool isOpen() const { return dir_ != nullptr; }
    // Why the folder could not be opened (an errno value); 0 when it is open.
    int openError() const { return openError_; }

    // Moves to the next entry ("." and ".." are skipped); false at the end.
    bool next();

    const char* name() const { return entry_->d_name; }
    // Whether the entry is a real folder (not a link to one). Uses the listing's
    // type when it has one, else reads the attributes.
    bool isDirectory();
    bool isSymlink();
    // Attributes of the entry itself (a link's own, never its target's).
    const fileattr::EntryInfo& info();

    int fd() const { return fd_; }

private:
    DIR* dir_ = nullptr;
    int fd_ = -1;
    int openError_ = 0;
    struct dirent* entry_ = nullptr;
    fileattr::EntryInfo info_;
    bool infoRead_ = false;
};

} // namespace tessaly
