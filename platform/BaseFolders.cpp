#include "platform/BaseFolders.h"

#include "platform/Paths.h"
#include "platform/SystemPlaces.h"
#include "platform/UserFolders.h"

#include <climits>
#include <cstdlib>
#include <unistd.h>
#include <vector>

namespace tessaly::basefolders {

namespace {

// What each kind of base folder is called, its variable and its default
// beneath the home folder, in the order of Kind.
struct KindFacts {
    Kind kind;
    const char* title;
    const char* variable;
    const char* underHome;
};
constexpr KindFacts kFacts[] = {
    {Kind::Cache, "cache folder", "XDG_CACHE_HOME", ".cache"},
    {Kind::Data, "data folder", "XDG_DATA_HOME", ".local/share"},
    {Kind::State, "state folder", "XDG_STATE_HOME", ".local/state"},
    {Kind::Config, "settings folder", "XDG_CONFIG_HOME", ".config"},
};

const KindFacts& factsOf(Kind kind) {
    for (const KindFacts& f : kFacts)
        if (f.kind == kind)
            return f;
    return kFacts[0]; // every Kind has its row
}

const char* title(Kind kind) {
    return factsOf(kind).title;
}

// Trees that hold only what the system keeps: nothing inside them is a user's
// base folder, unless it lies in the home folder (a service account's home in /var).
const std::vector<std::string>& systemTrees() {
    static const std::vector<std::string> trees{
        "/Applications", "/Library", "/System", "/bin",  "/boot", "/dev", "/etc", "/lib",
        "/lib32",        "/lib64",   "/libx32", "/proc", "/sbin", "/sys", "/usr", "/var"};
    return trees;
}

std::string collapsedSlashes(const std::string& path) {
    std::string out;
    for (char c : path)
        if (c != '/' || out.empty() || out.back() != '/')
            out += c;
    while (out.size() > 1 && out.back() == '/')
        out.pop_back();
    return out;
}

// Whether a path is absolute and free of "." and ".." components.
bool isPlainAbsolute(const std::string& path) {
    if (path.empty() || path[0] != '/')
        return false;
    std::size_t start = 1;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string part = path.substr(start, end - start);
        if (part == "." || part == "..")
            return false;
        start = end + 1;
    }
    return true;
}

// The path with the links of the part of it that exists resolved; what does
// not exist yet stays as written.
std::string resolved(const std::string& path) {
    std::string head = path;
    std::string tail;
    while (!head.empty()) {
        char buf[PATH_MAX];
        if (::realpath(head.c_str(), buf))
            return tail.empty() ? std::string(buf) : paths::join(buf, tail);
        if (head == "/")
            break;
        const std::string last = paths::lastComponent(head);
        tail = tail.empty() ? last : paths::join(last, tail);
        head = paths::deletingLastComponent(head);
    }
    return path;
}

// The path as written and as the kernel will find it.
std::vector<std::string> forms(const std::string& path) {
    std::vector<std::string> out{collapsedSlashes(path)};
    std::string real = resolved(out.front());
    if (real != out.front())
        out.push_back(std::move(real));
    return out;
}

// Whether folder is path or holds it.
bool isOrHolds(const std::string& folder, const std::string& path) {
    if (folder == path)
        return true;
    if (folder == "/")
        return path.size() > 1 && path[0] == '/';
    return paths::isInside(path, folder);
}

// A variable's value as a folder: empty when unset, empty or not a plain absolute path.
std::string variableFolder(Kind kind) {
    const char* value = std::getenv(variableName(kind));
    if (!value || !isPlainAbsolute(value))
        return {};
    return collapsedSlashes(value);
}

// The system folders, on the machine and under the system root.
std::vector<std::string> onMachine(const std::vector<std::string>& folders) {
    std::vector<std::string> out = folders;
    const std::string root = paths::systemRoot();
    if (root != "/")
        for (const std::string& folder : folders)
            out.push_back(paths::join(root, folder));
    return out;
}

std::optional<std::string> firstReason(Kind kind, const std::string& candidate) {
    const std::string root = paths::systemRoot();
    if (candidate == "/")
        return "it is the root folder";
    if (root != "/" && candidate == root)
        return "it is the system root";
    const std::vector<std::string> homes = forms(paths::homePath());
    for (const std::string& home : homes) {
        if (candidate == home)
            return "it is the home folder itself";
        if (isOrHolds(candidate, home))
            return "it holds the home folder " + home;
    }
    if (systemplaces::isSystemFolder(candidate) ||
        candidate == "/run/user/" + std::to_string(::getuid()))
        return "it is the system folder " + candidate;
    std::vector<std::string> settings{paths::join(paths::homePath(), ".config")};
    if (std::string config = variableFolder(Kind::Config); !config.empty())
        settings.push_back(config);
    for (const std::string& kept : userfolders::keptFolders(settings))
        for (const std::string& form : forms(kept)) {
            if (candidate == form)
                return "it is the user's folder " + kept;
            if (isOrHolds(candidate, form))
                return "it holds the user's folder " + kept;
        }
    for (const KindFacts& facts : kFacts) {
        const Kind other = facts.kind;
        if (other == kind)
            continue;
        for (const std::string& folder : {variableFolder(other), defaultFolder(other)}) {
            if (folder.empty())
                continue;
            for (const std::string& form : forms(folder))
                if (isOrHolds(candidate, form))
                    return std::string(candidate == form ? "it is" : "it holds") + " the " +
                           title(other) + " " + folder;
        }
    }
    bool free = false; // in the home folder, or in the system's folder for anyone's files
    for (const std::string& home : homes)
        free = free || paths::isInside(candidate, home);
    for (const std::string& shared : onMachine({"/var/tmp"}))
        free = free || paths::isInside(candidate, shared);
    if (!free)
        for (const std::string& tree : onMachine(systemTrees()))
            if (paths::isInside(candidate, tree))
                return "it lies in the system folder " + tree;
    return std::nullopt;
}

} // namespace

const char* variableName(Kind kind) {
    return factsOf(kind).variable;
}

std::string defaultFolder(Kind kind) {
    return paths::join(paths::homePath(), factsOf(kind).underHome);
}

std::optional<std::string> whyUnsafe(Kind kind, const std::string& folder) {
    if (!isPlainAbsolute(folder))
        return std::string("it is not an absolute path free of . and ..");
    for (const std::string& candidate : forms(folder))
        if (auto why = firstReason(kind, candidate)) {
            if (candidate != collapsedSlashes(folder))
                return *why + " (it leads to " + candidate + ")";
            return why;
        }
    return std::nullopt;
}

Choice choose(Kind kind) {
    Choice choice;
    const std::string fallback = defaultFolder(kind);
    const char* value = std::getenv(variableName(kind));
    std::string refusal;
    if (value && *value) {
        auto why = whyUnsafe(kind, value);
        if (!why) {
            choice.folder = collapsedSlashes(value);
            return choice;
        }
        choice.refused = value;
        refusal = std::string(variableName(kind)) + " is not used as a place to clean: " + *why;
    }
    auto whyNotDefault = whyUnsafe(kind, fallback);
    if (!whyNotDefault) {
        choice.folder = fallback;
        if (!refusal.empty())
            choice.reason = refusal + "; the default " + fallback + " is used instead";
        return choice;
    }
    if (refusal.empty()) {
        choice.refused = fallback;
        choice.reason = "the " + std::string(title(kind)) + " " + fallback +
                        " is not used as a place to clean: " + *whyNotDefault;
    } else {
        choice.reason = refusal + "; nor is the default " + fallback + ": " + *whyNotDefault;
    }
    choice.reason += "; nothing there is cleaned";
    return choice;
}

} // namespace tessaly::basefolders
