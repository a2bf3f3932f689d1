#pragma once

#include "tests/support/TempTree.h"

#include <gtest/gtest.h>
#include <string>

namespace tessaly::test {

// A test that runs once in each home layout: its parameter ("macos" or
// "linux") is TESSALY_LAYOUT for the life of the fixture. List it first among a
// fixture's bases, so that the layout is chosen before the fixture builds its
// tree.
class InLayout : public testing::WithParamInterface<const char*> {
protected:
    bool isLinux() const { return std::string(GetParam()) == "linux"; }
    // The layout's own name for a folder of the user's: "Movies" or "Videos".
    std::string videos() const { return isLinux() ? "Videos" : "Movies"; }

private:
    ScopedEnv layout_{"TESSALY_LAYOUT", GetParam()};
};

// The two layouts, for INSTANTIATE_TEST_SUITE_P.
inline auto bothLayouts() {
    return testing::Values("macos", "linux");
}

} // namespace tessaly::test
