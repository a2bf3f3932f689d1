// The service tells a rotated log from a live one by the names in the folder it
// has open, as the scan does.
#include "daemon/RotatedLogs.h"
#include "tests/support/TempTree.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace dorn {
namespace {

TEST(RotatedLogs, ANumberedLogCountsOnlyBesideTheLogItCameFrom) {
    tessaly::test::TempTree t;
    for (const char* name : {"log.smbd", "log.smbd.old", "log.192.168.1.20", "log.192.168.1.21",
                             "log.nmbd", "log.nmbd.1", "syslog.1", "syslog.2", "cores/x"})
        t.file(std::string("samba/") + name, name);
    const int folder = ::open(t.path("samba").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folder, 0);
    const std::pair<const char*, bool> cases[] = {
        // Clients' live logs: no "log.192.168.1" beside them, whatever their neighbours.
        {"log.192.168.1.20", false},
        {"log.192.168.1.21", false},
        {"log.nmbd.1", true},
        {"syslog.2", true}, // rotations kept apart from their log: every one before it is here
        {"syslog.1", false},
        {"log.smbd.old", true},
        {"log.smbd", false},
        {"cores", false},
    };
    for (const auto& [name, rotated] : cases)
        EXPECT_EQ(rotatedLogBeside(folder, name), rotated) << name;
    // The listing leaves the descriptor where it was.
    auto first = namesInFolder(folder);
    auto second = namesInFolder(folder);
    ASSERT_TRUE(first);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first->size(), 9u);
    ::close(folder);
}

} // namespace
} // namespace dorn
