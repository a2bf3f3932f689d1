#pragma once

// Who sent a request: the peer credentials of its connection, read by the
// kernel when the caller connected, never taken from the request.

#include <sys/types.h>
#include <vector>

namespace dorn {

struct Caller {
    uid_t uid = 0;
    gid_t gid = 0;
    std::vector<gid_t> groups; // supplementary groups
    pid_t pid = 0;
};

} // namespace dorn
