#include "platform/SystemPlaces.h"

#include "platform/Paths.h"

#include <algorithm>
#include <cstdint>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <utility>

namespace tessaly::systemplaces {

namespace {

// File systems that hold no files of anyone's: what they show is made up by the
// kernel as it is read, and writing to them changes the running system.
const std::pair<std::uint32_t, const char*> kKernelFileSystems[] = {
    {PROC_SUPER_MAGIC, "proc"},
    {SYSFS_MAGIC, "sysfs"},
    {DEVPTS_SUPER_MAGIC, "devpts"},
    {CGROUP_SUPER_MAGIC, "cgroup"},
    {CGROUP2_SUPER_MAGIC, "cgroup2"},
    {DEBUGFS_MAGIC, "debugfs"},
    {TRACEFS_MAGIC, "tracefs"},
    {SECURITYFS_MAGIC, "securityfs"},
    {SELINUX_MAGIC, "selinuxfs"},
    {SMACK_MAGIC, "smackfs"},
    {BPF_FS_MAGIC, "bpf"},
    {PSTOREFS_MAGIC, "pstore"},
    {EFIVARFS_MAGIC, "efivarfs"},
    {NSFS_MAGIC, "nsfs"},
    {0x62656570, "configfs"},
    {0x65735543, "fusectl"},
    {BINFMTFS_MAGIC, "binfmt_misc"},
    {0x19800202, "mqueue"},
    {AUTOFS_SUPER_MAGIC, "autofs"},
};

} // namespace

const std::vector<std::string>& systemFolders() {
    static const std::vector<std::string> folders{
        // Both layouts' tops.
        "/", "/bin", "/boot", "/dev", "/etc", "/home", "/lib", "/lib32", "/lib64", "/libx32",
        "/lost+found", "/media", "/mnt", "/opt", "/proc", "/root", "/run", "/sbin", "/snap", "/srv",
        "/sys", "/tmp", "/usr", "/var",
        // The macOS layout's.
        "/Applications", "/Developer", "/Library", "/Network", "/System", "/Users", "/Volumes",
        "/cores", "/private", "/private/etc", "/private/tmp", "/private/var", "/System/Library",
        "/Library/Application Support", "/Library/Caches", "/Library/Frameworks",
        "/Library/LaunchAgents", "/Library/LaunchDaemons", "/Library/Logs", "/Library/Preferences",
        // What the Linux layout keeps below them.
        "/run/media", "/run/user", "/usr/bin", "/usr/games", "/usr/include", "/usr/lib",
        "/usr/lib32", "/usr/lib64", "/usr/libexec", "/usr/libx32", "/usr/local", "/usr/local/bin",
        "/usr/local/lib", "/usr/local/sbin", "/usr/local/share", "/usr/sbin", "/usr/share",
        "/usr/src", "/var/backups", "/var/cache", "/var/lib", "/var/local", "/var/lock", "/var/log",
        "/var/mail", "/var/opt", "/var/run", "/var/spool", "/var/tmp"};
    return folders;
}

bool isSystemFolder(const std::string& path) {
    const std::string root = paths::systemRoot();
    return std::any_of(
        systemFolders().begin(), systemFolders().end(), [&](const std::string& folder) {
            return path == folder ||
                   (root != "/" && path == (folder == "/" ? root : paths::join(root, folder)));
        });
}

std::optional<std::string> kernelFileSystem(const std::string& path) {
    const int fd = ::open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct statfs fs {};
    const bool known = ::fstatfs(fd, &fs) == 0;
    ::close(fd);
    if (!known)
        return std::nullopt;
    for (const auto& [magic, name] : kKernelFileSystems)
        if (static_cast<std::uint32_t>(fs.f_type) == magic)
            return std::string(name);
    return std::nullopt;
}

} // namespace tessaly::systemplaces
