#pragma once

#include <string>

namespace tessaly::test {

// A file system mounted on a folder inside a TempTree sandbox for the object's
// life: a fresh tmpfs, or another sandbox folder bound there. Unmounted when the
// object goes away (also when the test fails). ok() is false, with the reason,
// where mounting is not allowed (not root, no mount rights in this container):
// such a test skips.
class ScopedMount {
public:
    // A tmpfs on target.
    explicit ScopedMount(const std::string& target);
    // bindSource bound on target.
    ScopedMount(const std::string& target, const std::string& bindSource);
    ~ScopedMount();
    ScopedMount(const ScopedMount&) = delete;
    ScopedMount& operator=(const ScopedMount&) = delete;

    bool ok() const { return ok_; }
    const std::string& why() const { return why_; }

private:
    void mountOn(const char* source, const char* type, unsigned long flags);

    std::string target_;
    bool ok_ = false;
    std::string why_;
};

} // namespace tessaly::test
