#include "platform/Paths.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#ifndef TESSALY_BUILD_RESOURCES_DIR
#define TESSALY_BUILD_RESOURCES_DIR ""
#endif

namespace tessaly::paths {

namespace {

std::string envOr(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return (v && *v) ? std::string(v) : fallback;
}

bool passwdEntry(std::string* name, std::string* home) {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buf(size > 0 ? static_cast<std::size_t>(size) : 16384);
    struct passwd pw {};
    struct passwd* result = nullptr;
    if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &result) != 0 || !result)
        return false;
    if (name)
        *name = pw.pw_name ? pw.pw_name : "";
    if (home)
        *home = pw.pw_dir ? pw.pw_dir : "";
    return true;
}

bool isDirectory(const std::string& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string stripTrailingSlashes(std::string p) {
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    return p;
}

} // namespace

std::string loginName() {
    std::string name;
    if (passwdEntry(&name, nullptr) && !name.empty())
        return name;
    return envOr("USER", envOr("LOGNAME", "user"));
}

std::string homePath() {
    if (const char* v = std::getenv("TESSALY_HOME"); v && *v)
        return stripTrailingSlashes(v);
    std::string home;
    if (passwdEntry(nullptr, &home) && !home.empty())
        return stripTrailingSlashes(home);
    return stripTrailingSlashes(envOr("HOME", "/"));
}

std::string processHomeDirectory() {
    if (const char* v = std::getenv("HOME"); v && *v)
        return stripTrailingSlashes(v);
    std::string home;
    passwdEntry(nullptr, &home);
    return stripTrailingSlashes(home);
}

std::string systemRoot() {
    return stripTrailingSlashes(envOr("TESSALY_ROOT", "/"));
}

std::string systemPath(const std::string& absolute) {
    std::string root = systemRoot();
    if (root == "/")
        return absolute;
    return join(root, absolute);
}

namespace {

std::string xdgFolder(const char* variable, const char* fallback) {
    const char* value = std::getenv(variable);
    if (value && value[0] == '/')
        return value;
    return join(homePath(), fallback);
}

} // namespace

std::string xdgCacheHome() {
    return xdgFolder("XDG_CACHE_HOME", ".cache");
}

std::string xdgDataHome() {
    return xdgFolder("XDG_DATA_HOME", ".local/share");
}

std::string xdgStateHome() {
    return xdgFolder("XDG_STATE_HOME", ".local/state");
}

std::string xdgConfigHome() {
    return xdgFolder("XDG_CONFIG_HOME", ".config");
}

std::string configDir() {
    return join(homePath(), ".config/Tessaly");
}

std::string executablePath() {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return {};
    return std::string(buf, static_cast<std::size_t>(n));
}

std::string resourcesDir() {
    if (const char* v = std::getenv("TESSALY_RESOURCES"); v && *v)
        return stripTrailingSlashes(v);
    std::string exeDir = deletingLastComponent(executablePath());
    std::string installed = join(deletingLastComponent(exeDir), "share/tessaly");
    if (!exeDir.empty() && isDirectory(installed))
        return installed;
    return TESSALY_BUILD_RESOURCES_DIR;
}

std::string resourcePath(const std::string& name, const std::string& ext) {
    std::string p = join(resourcesDir(), ext.empty() ? name : name + "." + ext);
    return ::access(p.c_str(), F_OK) == 0 ? p : std::string();
}

std::string join(const std::string& a, const std::string& b) {
    if (a.empty())
        return b;
    if (b.empty())
        return a;
    std::size_t start = 0;
    while (start < b.size() && b[start] == '/')
        ++start;
    if (a.back() == '/')
        return a + b.substr(start);
    return a + "/" + b.substr(start);
}

std::string lastComponent(const std::string& path) {
    std::string p = stripTrailingSlashes(path);
    if (p == "/")
        return p;
    auto slash = p.rfind('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

std::string deletingLastComponent(const std::string& path) {
    std::string p = stripTrailingSlashes(path);
    auto slash = p.rfind('/');
    if (slash == std::string::npos)
        return {};
    if (slash == 0)
        return p.size() > 1 ? "/" : std::string();
    return p.substr(0, slash);
}

std::string extension(const std::string& path) {
    std::string name = lastComponent(path);
    auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == name.size())
        return {};
    return name.substr(dot + 1);
}

std::string deletingExtension(const std::string& path) {
    std::string ext = extension(path);
    std::string p = stripTrailingSlashes(path);
    return ext.empty() ? p : p.substr(0, p.size() - ext.size() - 1);
}

bool makeDirectories(const std::string& path, unsigned mode) {
    if (path.empty())
        return false;
    if (isDirectory(path))
        return true;
    std::string parent = deletingLastComponent(path);
    if (!parent.empty() && parent != path && !makeDirectories(parent, mode))
        return false;
    if (::mkdir(path.c_str(), static_cast<mode_t>(mode)) == 0 || errno == EEXIST)
        return isDirectory(path);
    return false;
}

bool isInside(const std::string& path, const std::string& folder) {
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           path[folder.size()] == '/';
}

std::string recordedPath(const std::string& absolute) {
    const std::string home = homePath();
    const std::string root = systemRoot();
    const bool asIs = absolute == home || isInside(absolute, home) ||
                      (root != "/" && (absolute == root || isInside(absolute, root)));
    return asIs ? absolute : systemPath(absolute);
}

} // namespace tessaly::paths
