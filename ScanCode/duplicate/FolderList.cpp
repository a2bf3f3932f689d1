#include "ScanCode/duplicate/FolderList.h"

#include <algorithm>

namespace tessaly {

namespace {

std::string trimmed(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// Whether inner is outer itself or lies below it.
bool within(const std::string& inner, const std::string& outer) {
    if (inner == outer)
        return true;
    if (outer == "/")
        return inner.size() > 1 && inner.front() == '/';
    return inner.size() > outer.size() && inner.compare(0, outer.size(), outer) == 0 &&
           inner[outer.size()] == '/';
}

} // namespace

std::vector<std::string> cleanFolderList(const std::vector<std::string>& folders) {
    std::vector<std::string> kept;
    for (const std::string& raw : folders) {
        const std::string folder = trimmed(raw);
        if (folder.empty())
            continue;
        if (std::any_of(kept.begin(), kept.end(),
                        [&](const std::string& k) { return within(folder, k); }))
            continue;
        kept.erase(std::remove_if(kept.begin(), kept.end(),
                                  [&](const std::string& k) { return within(k, folder); }),
                   kept.end());
        kept.push_back(folder);
    }
    return kept;
}

} // namespace tessaly
