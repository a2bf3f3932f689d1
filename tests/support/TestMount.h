#pragma once

#include <string>
#include <vector>

namespace tessaly::test {

// A file system (a tmpfs) or a bind mount on a folder or file inside a test's
// own tree, unmounted when the object goes away. Only root can mount: mounted()
// is false elsewhere, and the test skips.
class TestMount {
public:
    // mount ARGUMENTS... TARGET, e.g. {"-t", "tmpfs", "none"} or {"--bind", SOURCE}.
    TestMount(std::vector<std::string> arguments, std::string target);
    ~TestMount();
    TestMount(const TestMount&) = delete;
    TestMount& operator=(const TestMount&) = delete;
    bool mounted() const { return mounted_; }

private:
    std::string target_;
    bool mounted_ = false;
};

} // namespace tessaly::test
