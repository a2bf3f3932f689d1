#include "tests/support/ScopedMount.h"

#include "tests/support/TempTree.h"

#include <cerrno>
#include <cstring>
#include <sys/mount.h>

namespace tessaly::test {

ScopedMount::ScopedMount(const std::string& target) : target_(target) {
    mountOn("tessaly-test", "tmpfs", 0);
}

ScopedMount::ScopedMount(const std::string& target, const std::string& bindSource)
    : target_(target) {
    if (!insideTestSandbox(bindSource)) {
        why_ = "refusing to bind " + bindSource + ": it is outside the test sandbox";
        return;
    }
    mountOn(bindSource.c_str(), nullptr, MS_BIND);
}

void ScopedMount::mountOn(const char* source, const char* type, unsigned long flags) {
    if (!insideTestSandbox(target_)) {
        why_ = "refusing to mount on " + target_ + ": it is outside the test sandbox";
        return;
    }
    ok_ = ::mount(source, target_.c_str(), type, flags, nullptr) == 0;
    if (!ok_)
        why_ = "cannot mount on " + target_ + ": " + std::strerror(errno);
}

ScopedMount::~ScopedMount() {
    if (ok_)
        ::umount2(target_.c_str(), MNT_DETACH);
}

} // namespace tessaly::test
