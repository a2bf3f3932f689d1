#pragma once

// Acting with a caller's own file-system rights on the current thread: its
// file-system user and group ids and supplementary groups replace the service's
// for every access check until the object goes away (the capabilities that
// override those checks are off meanwhile). Other threads are not affected.

#include "daemon/Caller.h"

#include <sys/types.h>
#include <vector>

namespace dorn {

class CallerRights {
public:
    explicit CallerRights(const Caller& caller);
    ~CallerRights();
    CallerRights(const CallerRights&) = delete;
    CallerRights& operator=(const CallerRights&) = delete;

    // False when the thread could not take the caller's rights (a service that
    // is not root serving another user): nothing may then be done for the caller.
    bool active() const { return active_; }

private:
    bool switched_ = false;
    bool active_ = false;
    uid_t uid_ = 0;
    gid_t gid_ = 0;
    std::vector<gid_t> groups_;
};

} // namespace dorn
