#include "platform/MountPoints.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace tessaly::mounts {

namespace {

#ifndef STATX_ATTR_MOUNT_ROOT
#define STATX_ATTR_MOUNT_ROOT 0x00002000
#endif
#ifndef STATX_MNT_ID
#define STATX_MNT_ID 0x00001000U
#endif

bool lookAt(int dirFd, const char* name, int flags, struct statx* out) {
    return ::statx(dirFd, name, flags | AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                   STATX_TYPE | STATX_INO | STATX_MNT_ID, out) == 0;
}

} // namespace

bool isMountRootAt(int dirFd, const std::string& name) {
    struct statx entry {};
    if (!lookAt(dirFd, name.c_str(), name.empty() ? AT_EMPTY_PATH : 0, &entry))
        return true;
    if (entry.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT)
        return (entry.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    if (name.empty())
        return false; // an older kernel, and no folder to compare with
    // Older kernels: another mount, or another device, than the folder's.
    struct statx folder {};
    if (!lookAt(dirFd, "", AT_EMPTY_PATH, &folder))
        return true;
    if ((entry.stx_mask & STATX_MNT_ID) && (folder.stx_mask & STATX_MNT_ID))
        return entry.stx_mnt_id != folder.stx_mnt_id;
    return entry.stx_dev_major != folder.stx_dev_major ||
           entry.stx_dev_minor != folder.stx_dev_minor;
}

bool isMountRoot(const std::string& path) {
    return isMountRootAt(AT_FDCWD, path);
}

} // namespace tessaly::mounts
