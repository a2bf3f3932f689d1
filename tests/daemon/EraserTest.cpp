// Overwriting: the eraser in process (extents, links, syncs), then the real
// service (stops, and what is left on a disk image after an erase).
#include "daemon/UniqueFd.h"
#include "helper/HelperConnection.h"
#include "platform/ChildProcess.h"
#include "platform/FileOverwrite.h"
#include "tests/daemon/DaemonProcess.h"
#include "tests/support/TempTree.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tessaly {
namespace {

using dorn::UniqueFd;
using tessaly::FileOverwrite;
using test::DaemonProcess;
using test::TempTree;

constexpr std::size_t kBlock = 1000000;

std::string bytesAt(int fd, off_t offset, std::size_t n) {
    std::string out(n, '\0');
    ssize_t r = ::pread(fd, out.data(), n, offset);
    out.resize(r > 0 ? static_cast<std::size_t>(r) : 0);
    return out;
}

class EraserInProcess : public ::testing::Test {
protected:
    std::vector<std::uint8_t> pattern_ = std::vector<std::uint8_t>(kBlock, 0x01);
    std::atomic<bool> stop_{false};
    TempTree tree_;
};

TEST_F(EraserInProcess, OverwritesOnlyTheDataOfASparseFileAndSyncsItBeforeItIsDone) {
    std::string path = tree_.path("sparse");
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT, 0600));
    const off_t size = 64 << 20, second = 40 << 20;
    ASSERT_EQ(::ftruncate(fd.get(), size), 0);
    std::string data(3 * 4096 + 100, 'S');
    ASSERT_EQ(::pwrite(fd.get(), data.data(), data.size(), 0), static_cast<ssize_t>(data.size()));
    ASSERT_EQ(::pwrite(fd.get(), data.data(), data.size(), second),
              static_cast<ssize_t>(data.size()));
    ASSERT_EQ(::fsync(fd.get()), 0);
    struct stat before {};
    ::fstat(fd.get(), &before);
    if (before.st_blocks * 512 >= size)
        GTEST_SKIP() << "the temporary folder's file system keeps no holes";

    // The sync is called once, after everything was written.
    int syncs = 0;
    FileOverwrite eraser(
        pattern_.data(), kBlock, [this] { return stop_.load(); },
        [&](int f) {
            ++syncs;
            EXPECT_EQ(bytesAt(f, second + 5000, 10), std::string(10, '\x01')) << "synced too early";
            return ::fdatasync(f);
        });
    std::string why;
    ASSERT_TRUE(eraser.overwrite(fd.get(), &why)) << why;
    EXPECT_EQ(syncs, 1);
    struct stat after {};
    ::fstat(fd.get(), &after);
    EXPECT_EQ(after.st_size, size);
    EXPECT_LE(after.st_blocks, before.st_blocks + 8 * 2) << "holes were filled";
    EXPECT_EQ(bytesAt(fd.get(), 0, data.size()), std::string(data.size(), '\x01'));
    EXPECT_EQ(bytesAt(fd.get(), second, data.size()), std::string(data.size(), '\x01'));
    EXPECT_EQ(bytesAt(fd.get(), 20 << 20, 4096), std::string(4096, '\0'));
}

TEST_F(EraserInProcess, EveryFailedStepIsAFailureWithItsReason) {
    std::string file = tree_.file("file", "contents");
    ASSERT_EQ(::link(file.c_str(), tree_.path("second-name").c_str()), 0);
    struct Case {
        const char* what;
        UniqueFd fd;
        FileOverwrite::Sync sync;
        const char* reason;
    };
    auto failingSync = [](int) {
        errno = EIO;
        return -1;
    };
    std::string single = tree_.file("single", "contents");
    std::vector<Case> cases;
    cases.push_back(
        {"hard links", UniqueFd(::open(file.c_str(), O_WRONLY)), {}, "several hard links"});
    cases.push_back(
        {"folder", UniqueFd(::open(tree_.root().c_str(), O_RDONLY)), {}, "not a regular file"});
    cases.push_back({"closed", UniqueFd(), {}, "cannot read its attributes"});
    cases.push_back(
        {"sync fails", UniqueFd(::open(single.c_str(), O_WRONLY)), failingSync, "cannot sync"});
    for (auto& c : cases) {
        FileOverwrite eraser(
            pattern_.data(), kBlock, [this] { return stop_.load(); }, c.sync);
        std::string why;
        EXPECT_FALSE(eraser.overwrite(c.fd.get(), &why)) << c.what;
        EXPECT_NE(why.find(c.reason), std::string::npos) << c.what << ": " << why;
    }
    EXPECT_EQ(test::readText(file), "contents") << "a file with another name was changed";
}

TEST_F(EraserInProcess, AStopEndsItBeforeTheNextBlock) {
    std::string path = tree_.sizedFile("big", 3 * kBlock, 'b');
    UniqueFd fd(::open(path.c_str(), O_WRONLY));
    int syncs = 0;
    FileOverwrite eraser(
        pattern_.data(), kBlock, [this] { return stop_.load(); },
        [&](int f) {
            ++syncs;
            return ::fdatasync(f);
        });
    stop_ = true;
    std::string why;
    EXPECT_FALSE(eraser.overwrite(fd.get(), &why)) << "a stopped overwrite is no overwrite";
    EXPECT_EQ(why, FileOverwrite::kStoppedReason);
    EXPECT_EQ(test::readText(path), std::string(3 * kBlock, 'b'));
    EXPECT_EQ(syncs, 1);
}

TEST(EraserService, AStopEndsOnlyItsOwnConnectionsOverwriteWhichThenSaysNo) {
    TempTree tree;
    const std::string mine = tree.sizedFile("place/mine", 256u << 20, 'z');
    const std::string theirs = tree.sizedFile("place/theirs", 64u << 20, 'y');
    DaemonProcess daemon(tree.path("DornDamonObject"), {"--allow-root", tree.path("place")});
    ASSERT_TRUE(daemon.waitUntilReady()) << daemon.log();
    auto started = [](const std::string& path) {
        UniqueFd fd(::open(path.c_str(), O_RDONLY));
        for (int i = 0; i < 20000 && bytesAt(fd.get(), 0, 1) != "\x01"; ++i)
            std::this_thread::sleep_for(std::chrono::microseconds(250));
        return bytesAt(fd.get(), 0, 1) == "\x01";
    };
    auto overwrite = [&](HelperConnection& c, const std::string& path) {
        return std::async(std::launch::async, [&c, &path, &daemon] {
            if (!c.isOpen() && !c.lookup("shredderFile:one:", daemon.socketPath()))
                return std::optional<bool>();
            return std::optional<bool>(
                c.call("shredderFile:one:", {PlistValue(path), PlistValue(true)}).toBool());
        });
    };
    HelperConnection theirConnection, myConnection;
    auto theirWork = overwrite(theirConnection, theirs);
    ASSERT_TRUE(started(theirs));
    auto myWork = overwrite(myConnection, mine);
    ASSERT_TRUE(started(mine));
    ASSERT_TRUE(myConnection.sendStop("shredderStop"));

    EXPECT_EQ(myWork.get(), std::optional<bool>(false)) << "a stopped overwrite replied YES";
    UniqueFd mineFd(::open(mine.c_str(), O_RDONLY));
    EXPECT_EQ(bytesAt(mineFd.get(), (256u << 20) - 4096, 4096), std::string(4096, 'z'))
        << "the stop did not end the overwrite";
    // The other connection's overwrite went on to its last block.
    EXPECT_EQ(theirWork.get(), std::optional<bool>(true));
    EXPECT_EQ(test::readText(theirs), std::string(64u << 20, '\x01'));

    // The stop stopped what came before it, nothing that follows.
    const std::string later = tree.sizedFile("place/later", 3000000, 'x');
    EXPECT_TRUE(
        myConnection.call("shredderFile:one:", {PlistValue(later), PlistValue(true)}).toBool());
    EXPECT_EQ(test::readText(later), std::string(3000000, '\x01'));
}

// A file system in an image file, mounted on a loop device for the test's life.
class LoopMount {
public:
    LoopMount(const std::string& image, const std::string& mountPoint) : mountPoint_(mountPoint) {
        {
            std::ofstream out(image, std::ios::binary);
            out.seekp((64 << 20) - 1);
            out.put('\0');
        }
        mounted_ =
            runProcess("/sbin/mkfs.ext4", {"-q", "-F", image}, ChildOutput::Discard) == 0 &&
            runProcess("/bin/mount", {"-o", "loop", image, mountPoint}, ChildOutput::Discard) == 0;
    }
    ~LoopMount() { unmount(); }
    bool mounted() const { return mounted_; }
    void unmount() {
        if (mounted_)
            runProcess("/bin/umount", {mountPoint_}, ChildOutput::Discard);
        mounted_ = false;
    }

private:
    std::string mountPoint_;
    bool mounted_ = false;
};

std::size_t occurrences(const std::string& haystack, const std::string& needle) {
    std::size_t n = 0;
    for (auto at = haystack.find(needle); at != std::string::npos;
         at = haystack.find(needle, at + needle.size()))
        ++n;
    return n;
}

TEST(EraserService, AnErasedFilesContentsAreNotOnTheDiskAfterItsRemoval) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a disk image needs root; the syncs are checked in process";
    TempTree tree;
    std::string mountPoint = tree.dir("mnt");
    LoopMount disk(tree.path("disk.img"), mountPoint);
    if (!disk.mounted())
        GTEST_SKIP() << "no loop device or ext4 here";
    // Marker blocks: one that is erased before its removal, one only removed.
    auto markers = [](const std::string& tag) {
        std::string block = "TESSALY-MARKER-" + tag + "-";
        block.resize(4096, '#');
        std::string all;
        for (int i = 0; i < 1024; ++i)
            all += block;
        return all;
    };
    std::string erased = tree.file("mnt/erased", markers("ERASED"));
    std::string removed = tree.file("mnt/removed", markers("REMOVED"));
    ::sync();
    DaemonProcess daemon(tree.path("DornDamonObject"), {"--allow-root", mountPoint});
    ASSERT_TRUE(daemon.waitUntilReady()) << daemon.log();
    HelperConnection c;
    ASSERT_TRUE(c.lookup("shredderFiles:", daemon.socketPath()));
    c.call("shredderFiles:", {PlistValue(PlistValue::Array{PlistValue(erased)})});
    EXPECT_TRUE(c.call("removeSystemFile:", {PlistValue(erased)}).toBool());
    EXPECT_TRUE(c.call("removeSystemFile:", {PlistValue(removed)}).toBool());
    daemon.stop();
    disk.unmount();
    std::string image = test::readText(tree.path("disk.img"));
    // The control shows that removal alone leaves the blocks on the disk.
    EXPECT_EQ(occurrences(image, "TESSALY-MARKER-REMOVED-"), 1024u);
    EXPECT_EQ(occurrences(image, "TESSALY-MARKER-ERASED-"), 0u);
}

} // namespace
} // namespace tessaly
