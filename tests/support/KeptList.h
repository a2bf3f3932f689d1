#pragma once

#include "model/KeptPaths.h"
#include "platform/UserDefaults.h"

#include <string>
#include <vector>

namespace tessaly::test {

// The user's kept paths in the process's settings for the life of the object;
// the list stored before comes back after.
class KeptList {
public:
    explicit KeptList(const std::vector<std::string>& paths)
        : before_(keptpaths::stored(UserDefaults::standardUserDefaults())) {
        keptpaths::store(UserDefaults::standardUserDefaults(), paths);
    }
    ~KeptList() { keptpaths::store(UserDefaults::standardUserDefaults(), before_); }
    KeptList(const KeptList&) = delete;
    KeptList& operator=(const KeptList&) = delete;

private:
    std::vector<std::string> before_;
};

} // namespace tessaly::test
