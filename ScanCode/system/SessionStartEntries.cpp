#include "ScanCode/system/SessionStartEntries.h"

#include "model/FolderWalk.h"
#include "platform/DirectoryReader.h"
#include "platform/FileAttributes.h"
#include "platform/KeyFile.h"
#include "platform/Paths.h"
#include "platform/ProgramSearch.h"

#include <algorithm>

namespace tessaly::sessionstart {

namespace {

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() > tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The entries of a folder with the extension, in name order.
std::vector<std::string> filesEndingWith(const std::string& folder, const std::string& extension) {
    std::vector<std::string> names;
    DirectoryReader reader(folder);
    while (reader.isOpen() && reader.next())
        if (endsWith(reader.name(), extension) && !reader.isDirectory())
            names.push_back(reader.name());
    std::sort(names.begin(), names.end());
    return names;
}

ScanItem brokenItem(const std::string& path, const std::string& name) {
    auto item = std::make_shared<ScaneOuputObject>();
    item->path = path;
    item->name = name;
    item->icon = path;
    item->isCheck = true;
    item->fileSize = itemSize(path);
    return item;
}

} // namespace

std::optional<std::string> autostartProgram(const std::string& desktopFile) {
    auto file = keyfile::read(desktopFile);
    if (!file)
        return std::nullopt;
    const std::string group = "Desktop Entry";
    if (keyfile::value(*file, group, "Hidden") == "true")
        return std::nullopt;
    const std::string type = keyfile::value(*file, group, "Type");
    if (!type.empty() && type != "Application")
        return std::nullopt;
    std::string program = keyfile::value(*file, group, "TryExec");
    if (program.empty())
        program = keyfile::commandProgram(keyfile::value(*file, group, "Exec"));
    if (program.empty())
        return std::nullopt;
    return program;
}

std::optional<std::string> unitProgram(const std::string& unitFile) {
    auto file = keyfile::read(unitFile);
    if (!file)
        return std::nullopt;
    std::string line = keyfile::value(*file, "Service", "ExecStart");
    std::size_t start = line.find_first_not_of("-@:+!");
    if (start == std::string::npos)
        return std::nullopt;
    std::string program = keyfile::commandProgram(line.substr(start));
    if (program.empty())
        return std::nullopt;
    return program;
}

std::vector<std::string> enablingLinks(const std::string& unitFolder, const std::string& unitName) {
    std::vector<std::string> links;
    DirectoryReader reader(unitFolder);
    while (reader.isOpen() && reader.next()) {
        const std::string name = reader.name();
        if (!reader.isDirectory() || !(endsWith(name, ".wants") || endsWith(name, ".requires")))
            continue;
        const std::string link = paths::join(paths::join(unitFolder, name), unitName);
        if (fileattr::entryInfo(link).isSymlink)
            links.push_back(link);
    }
    std::sort(links.begin(), links.end());
    return links;
}

ScanItemList brokenAutostartEntries(const std::vector<std::string>& folders,
                                    const std::function<bool()>& cancelled) {
    ScanItemList out;
    for (const std::string& folder : folders)
        for (const std::string& name : filesEndingWith(folder, ".desktop")) {
            if (cancelled && cancelled())
                return out;
            const std::string path = paths::join(folder, name);
            auto program = autostartProgram(path);
            if (!program || programs::findProgram(*program))
                continue;
            auto file = keyfile::read(path);
            std::string title = file ? keyfile::value(*file, "Desktop Entry", "Name") : "";
            out.push_back(brokenItem(path, title.empty() ? paths::deletingExtension(name) : title));
        }
    return out;
}

ScanItemList brokenUserUnits(const std::vector<std::string>& folders,
                             const std::function<bool()>& cancelled) {
    ScanItemList out;
    for (const std::string& folder : folders)
        for (const std::string& name : filesEndingWith(folder, ".service")) {
            if (cancelled && cancelled())
                return out;
            const std::string path = paths::join(folder, name);
            if (fileattr::entryInfo(path).isSymlink)
                continue; // a unit linked in from elsewhere is not the user's file
            auto program = unitProgram(path);
            if (!program || programs::findProgram(*program))
                continue;
            ScanItem item = brokenItem(path, name);
            item->removePaths = {path};
            item->removeSizes = {item->fileSize};
            for (const std::string& link : enablingLinks(folder, name)) {
                item->removePaths.push_back(link);
                item->removeSizes.push_back(itemSize(link));
                item->fileSize += item->removeSizes.back();
            }
            out.push_back(std::move(item));
        }
    return out;
}

} // namespace tessaly::sessionstart
