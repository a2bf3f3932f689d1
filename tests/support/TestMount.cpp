#include "tests/support/TestMount.h"

#include "platform/ChildProcess.h"
#include "tests/support/TempTree.h"

#include <unistd.h>

namespace tessaly::test {

TestMount::TestMount(std::vector<std::string> arguments, std::string target)
    : target_(std::move(target)) {
    if (::geteuid() != 0 || !insideTestSandbox(target_))
        return;
    arguments.push_back(target_);
    mounted_ = runProcess("/bin/mount", arguments, ChildOutput::Discard) == 0;
}

TestMount::~TestMount() {
    if (mounted_)
        runProcess("/bin/umount", {target_}, ChildOutput::Discard);
}

} // namespace tessaly::test
