#pragma once

#include <string>
#include <vector>

namespace tessaly {

// Where the related-file search looks, one level deep, under the home folder
// and the system root. The launch-job folders are left out for the program's
// own removal, which has no jobs of its own.
std::vector<std::string> relatedFileFolders(bool withJobFolders = true);

// The user's application-support folder, searched one level deeper.
std::string supportFilesFolder();

// The per-user temporary folders beside a process's temporary folder: the
// folder itself and its sibling "C" when it is named "T"; when its parent is
// named "T", that parent and its sibling "C"; otherwise the folder alone.
std::vector<std::string> temporaryFoldersOf(const std::string& temporaryFolder);

} // namespace tessaly
