#include "ScanCode/uninstall/SubAppFileObj.h"

#include "platform/Paths.h"

namespace tessaly {

ComparisonResult SubAppFileObj::compare(const SubAppFileObj& other) const {
    const bool bundle = paths::extension(path) == "app";
    const bool otherBundle = paths::extension(other.path) == "app";
    if (bundle != otherBundle)
        return bundle ? OrderedAscending : OrderedDescending;
    if (bundle)
        return OrderedSame;
    return compareValues(other.size, size);
}

std::string SubAppFileObj::title() const {
    if (type == subfile::Package)
        return identifier + " " + entryName;
    if (type == subfile::MimeAssociation)
        return path + " (entry " + entryName + ")";
    if (type != subfile::LaunchJob)
        return path;
    std::string name;
    if (appPath && !appPath->empty()) {
        name = paths::lastComponent(*appPath);
    } else {
        std::string file = paths::deletingExtension(paths::lastComponent(path));
        std::size_t dot = file.rfind('.');
        name = dot == std::string::npos ? file : file.substr(dot + 1);
    }
    return name + (system ? " (Deamon)" : " (Helper)");
}

} // namespace tessaly
