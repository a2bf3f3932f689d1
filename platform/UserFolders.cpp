#include "platform/UserFolders.h"

#include "platform/HomeLayout.h"
#include "platform/KeyFile.h"
#include "platform/Paths.h"

#include <algorithm>
#include <fstream>
#include <optional>

namespace tessaly::userfolders {

namespace {

struct Names {
    const char* mac;
    const char* key;   // in user-dirs.dirs
    const char* linux; // the default there
};

Names namesOf(Kind kind) {
    switch (kind) {
    case Kind::Documents:
        return {"Documents", "XDG_DOCUMENTS_DIR", "Documents"};
    case Kind::Videos:
        return {"Movies", "XDG_VIDEOS_DIR", "Videos"};
    case Kind::Music:
        return {"Music", "XDG_MUSIC_DIR", "Music"};
    case Kind::Pictures:
        return {"Pictures", "XDG_PICTURES_DIR", "Pictures"};
    case Kind::Downloads:
        return {"Downloads", "XDG_DOWNLOAD_DIR", "Downloads"};
    }
    return {"", "", ""};
}

// A value of user-dirs.dirs: "$HOME/Some Folder" or an absolute path, quoted.
std::optional<std::string> folderOf(const std::string& quoted) {
    std::vector<std::string> words = keyfile::commandWords(quoted);
    if (words.size() != 1)
        return std::nullopt;
    std::string value = words.front();
    const std::string home = "$HOME";
    if (value.rfind(home, 0) == 0)
        return paths::join(paths::homePath(), value.substr(home.size()));
    if (!value.empty() && value[0] == '/')
        return value;
    return std::nullopt;
}

std::optional<std::string> configured(const std::string& key) {
    std::ifstream in(paths::join(paths::xdgConfigHome(), "user-dirs.dirs"));
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key + "=", 0) == 0)
            return folderOf(line.substr(key.size() + 1));
    return std::nullopt;
}

std::string withoutTrailingSlashes(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

} // namespace

std::string path(Kind kind) {
    const Names names = namesOf(kind);
    if (layout::current() == layout::HomeLayout::MacOS)
        return paths::join(paths::homePath(), names.mac);
    std::string folder = withoutTrailingSlashes(
        configured(names.key).value_or(paths::join(paths::homePath(), names.linux)));
    return folder == paths::homePath() ? std::string() : folder;
}

std::vector<std::string> mediaFolders() {
    std::vector<std::string> out;
    for (Kind kind :
         {Kind::Documents, Kind::Videos, Kind::Music, Kind::Pictures, Kind::Downloads}) {
        std::string folder = path(kind);
        if (!folder.empty() && std::find(out.begin(), out.end(), folder) == out.end())
            out.push_back(std::move(folder));
    }
    return out;
}

std::vector<std::string> keptFolders(const std::vector<std::string>& settingsFolders) {
    std::vector<std::string> out;
    auto add = [&out](std::string folder) {
        folder = withoutTrailingSlashes(std::move(folder));
        if (folder != paths::homePath() && std::find(out.begin(), out.end(), folder) == out.end())
            out.push_back(std::move(folder));
    };
    for (const char* name : {"Desktop", "Documents", "Downloads", "Music", "Pictures", "Public",
                             "Templates", "Videos", "Movies"})
        add(paths::join(paths::homePath(), name));
    for (const std::string& settings : settingsFolders) {
        std::ifstream in(paths::join(settings, "user-dirs.dirs"));
        std::string line;
        while (std::getline(in, line)) {
            // XDG_SOMETHING_DIR="..."
            const auto equals = line.find('=');
            if (equals == std::string::npos)
                continue;
            const std::string key = line.substr(0, equals);
            if (key.size() <= 8 || key.rfind("XDG_", 0) != 0 ||
                key.compare(key.size() - 4, 4, "_DIR") != 0)
                continue;
            if (auto folder = folderOf(line.substr(equals + 1)))
                add(*folder);
        }
    }
    return out;
}

} // namespace tessaly::userfolders
