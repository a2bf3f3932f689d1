#include "ScanCode/system/SessionStartEntries.h"

#include "model/FolderWalk.h"
#include "platform/DirectoryReader.h"
#include "platform/FileAttributes.h"
#include "platform/KeyFile.h"
#include "platform/Paths.h"
#include "platform/ProgramSearch.h"

#include <algorithm>
#include <cstdlib>
#include <unistd.h>

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

// A desktop entry's value with the escapes every string value may hold
// ("\s" for a space, "\\" for a backslash) undone; a command line's quoting
// is read from what is left, as the desktop's launchers do.
std::string unescapedValue(const std::string& value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        switch (const char c = value[++i]) {
        case 's':
            out += ' ';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case 'r':
            out += '\r';
            break;
        case '\\':
            out += '\\';
            break;
        default:
            out += '\\';
            out += c;
            break;
        }
    }
    return out;
}

// The words of a desktop entry's Exec line with its field codes expanded: a code
// standing alone ("%U", "%f") is a place for files and leaves no word, "%%" is a
// percent sign; none when a word holds a code within it that only the launcher
// can fill in.
std::optional<std::vector<std::string>> execWords(const std::string& exec) {
    std::vector<std::string> out;
    for (const std::string& word : keyfile::commandWords(unescapedValue(exec))) {
        if (word.size() == 2 && word[0] == '%' && word[1] != '%') {
            if (std::string("fFuUdDnNickvm").find(word[1]) == std::string::npos)
                return std::nullopt;
            continue;
        }
        std::string expanded;
        for (std::size_t i = 0; i < word.size(); ++i) {
            if (word[i] != '%') {
                expanded += word[i];
                continue;
            }
            if (i + 1 < word.size() && word[i + 1] == '%') {
                expanded += '%';
                ++i;
                continue;
            }
            return std::nullopt;
        }
        out.push_back(std::move(expanded));
    }
    return out;
}

// A user unit's command word with systemd's specifiers expanded; none when it
// holds one that only the service manager knows (an instance name, a host name...).
std::optional<std::string> expandSpecifiers(const std::string& word) {
    std::string out;
    const std::string uid = std::to_string(::getuid());
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (word[i] != '%') {
            out += word[i];
            continue;
        }
        if (++i == word.size())
            return std::nullopt;
        switch (word[i]) {
        case '%':
            out += '%';
            break;
        case 'h':
            out += paths::homePath();
            break;
        case 'u':
            out += paths::loginName();
            break;
        case 'U':
            out += uid;
            break;
        case 't': {
            const char* runtime = std::getenv("XDG_RUNTIME_DIR");
            out += runtime && runtime[0] == '/' ? std::string(runtime) : "/run/user/" + uid;
            break;
        }
        case 'S':
            out += paths::xdgStateHome();
            break;
        case 'C':
            out += paths::xdgCacheHome();
            break;
        case 'E':
            out += paths::xdgConfigHome();
            break;
        case 'L':
            out += paths::join(paths::xdgStateHome(), "log");
            break;
        case 'T':
            out += "/tmp";
            break;
        case 'V':
            out += "/var/tmp";
            break;
        default:
            return std::nullopt;
        }
    }
    return out;
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
    std::string program = unescapedValue(keyfile::value(*file, group, "TryExec"));
    if (program.empty()) {
        auto words = execWords(keyfile::value(*file, group, "Exec"));
        if (!words)
            return std::nullopt;
        program = keyfile::programOf(*words);
    }
    if (program.empty())
        return std::nullopt;
    return program;
}

std::optional<std::string> unitProgram(const std::string& unitFile) {
    auto file = keyfile::read(unitFile);
    if (!file)
        return std::nullopt;
    std::string line = keyfile::value(*file, "Service", "ExecStart");
    // The prefixes that change how the command runs, not what runs.
    std::size_t start = line.find_first_not_of("-@:+!");
    if (start == std::string::npos)
        return std::nullopt;
    std::string program = keyfile::commandProgram(line.substr(start));
    if (program.empty())
        return std::nullopt;
    return expandSpecifiers(program);
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
