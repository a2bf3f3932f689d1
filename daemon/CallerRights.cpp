#include "daemon/CallerRights.h"

#include <sys/syscall.h>
#include <unistd.h>

namespace dorn {

namespace {

// The raw calls act on the calling thread alone (the C library's wrappers of
// setgroups would change every thread of the process).
long currentFsUid() {
    return ::syscall(SYS_setfsuid, -1);
}

long currentFsGid() {
    return ::syscall(SYS_setfsgid, -1);
}

} // namespace

CallerRights::CallerRights(const Caller& caller) {
    if (::geteuid() != 0) {
        // Not root: our rights are the caller's only when we are the caller.
        active_ = caller.uid == ::geteuid();
        return;
    }
    uid_ = static_cast<uid_t>(currentFsUid());
    gid_ = static_cast<gid_t>(currentFsGid());
    long n = ::syscall(SYS_getgroups, 0, nullptr);
    if (n < 0)
        return;
    groups_.resize(static_cast<std::size_t>(n));
    if (::syscall(SYS_getgroups, n, groups_.data()) != n)
        return;
    switched_ = true;
    if (::syscall(SYS_setgroups, caller.groups.size(), caller.groups.data()) != 0)
        return;
    ::syscall(SYS_setfsgid, caller.gid);
    ::syscall(SYS_setfsuid, caller.uid);
    active_ = currentFsUid() == static_cast<long>(caller.uid) &&
              currentFsGid() == static_cast<long>(caller.gid);
}

CallerRights::~CallerRights() {
    if (!switched_)
        return;
    ::syscall(SYS_setfsuid, uid_);
    ::syscall(SYS_setfsgid, gid_);
    ::syscall(SYS_setgroups, groups_.size(), groups_.data());
}

} // namespace dorn
