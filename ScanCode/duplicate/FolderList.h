#pragma once

#include <string>
#include <vector>

namespace tessaly {

// The folders a duplicate scan walks, from the user's list: each folder once,
// without trailing slashes, and no folder that lies inside another listed folder
// (the outer one is kept wherever it stands in the list). The order of the list
// is kept otherwise. "/a/b" and "/a/bc" are separate folders.
std::vector<std::string> cleanFolderList(const std::vector<std::string>& folders);

} // namespace tessaly
