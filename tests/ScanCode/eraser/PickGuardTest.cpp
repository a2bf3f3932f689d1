// What the Eraser refuses to erase, on a sandbox made to look like a machine
// (TESSALY_ROOT) with the home folder inside it. Only the refusal is asked:
// nothing here is handed to an erase.
#include "ScanCode/eraser/PickGuard.h"
#include "platform/SystemPlaces.h"
#include "tests/support/ScopedMount.h"
#include "tests/support/TempTree.h"

#include <gtest/gtest.h>
#include <unistd.h>

using namespace tessaly;

namespace {

struct Machine {
    test::TempTree t;
    std::string root = t.dir("root");
    std::string home = t.dir("root/home/me");
    test::ScopedEnv rootEnv{"TESSALY_ROOT", root};
    test::ScopedEnv homeEnv{"TESSALY_HOME", home};
    Machine() {
        for (const char* d : {"usr/share", "etc", "var/log", "Library/Caches", "Users/anna",
                              "home/other", "media", "home/me/Documents"})
            t.dir(std::string("root/") + d);
    }
};

} // namespace

TEST(EraserGuard, TheSystemAndHomeFoldersAreRefusedWhatTheyHoldIsNot) {
    Machine m;
    const std::string notes = m.t.file("root/home/me/notes.txt", "mine");
    m.t.symlink("shortcut", m.root + "/usr");
    m.t.symlink("root/home/me/to-home", m.home);
    struct Case {
        std::string path;
        const char* refusal; // a part of the reason; null: may be erased
    } cases[] = {
        {m.root, "root of the system"},
        {m.root + "/usr", "system's own folders"},
        {m.root + "/usr/share", "system's own folders"},
        {m.root + "/etc", "system's own folders"},
        {m.root + "/var/log", "system's own folders"},
        {m.root + "/Library/Caches", "system's own folders"},
        {m.root + "/home", "system's own folders"},
        {m.root + "/media", "system's own folders"},
        {m.home, "a home folder"},
        {m.root + "/home/other", "a home folder"},
        {m.root + "/Users/anna", "a home folder"},
        {m.t.root(), "holds the system's folders"},
        // A link on the way is resolved; a link at the path goes as a link.
        {m.t.path("shortcut/share"), "system's own folders"},
        {m.t.path("shortcut"), nullptr},
        {m.t.path("root/home/me/to-home"), nullptr},
        {m.home + "/Documents", nullptr},
        {notes, nullptr},
    };
    for (const Case& c : cases) {
        auto why = eraser::pickRefusal(c.path);
        if (!c.refusal) {
            EXPECT_FALSE(why) << c.path << ": " << *why;
            continue;
        }
        ASSERT_TRUE(why) << c.path;
        EXPECT_NE(why->find(c.refusal), std::string::npos) << c.path << ": " << *why;
    }
}

TEST(EraserGuard, MountPointsAndFilesWithOtherNamesAreRefused) {
    Machine m;
    const std::string linked = m.t.file("root/home/me/linked.txt", "x");
    ASSERT_EQ(::link(linked.c_str(), m.t.path("root/home/me/other-name.txt").c_str()), 0);
    EXPECT_NE(eraser::pickRefusal(linked)->find("other names"), std::string::npos);

    const std::string stick = m.t.dir("root/home/me/stick");
    const std::string bound = m.t.dir("root/home/me/bound");
    test::ScopedMount tmpfs(stick);
    if (!tmpfs.ok())
        GTEST_SKIP() << tmpfs.why();
    test::ScopedMount bind(bound, m.home + "/Documents");
    ASSERT_TRUE(bind.ok()) << bind.why();
    const std::string onStick = m.t.file("root/home/me/stick/photo.jpg", "p");
    for (const std::string& mounted : {stick, bound}) {
        auto why = eraser::pickRefusal(mounted);
        ASSERT_TRUE(why) << mounted;
        EXPECT_NE(why->find("mounted here"), std::string::npos) << *why;
    }
    EXPECT_FALSE(eraser::pickRefusal(onStick));          // what lies on it may be picked
    EXPECT_FALSE(systemplaces::kernelFileSystem(stick)); // a tmpfs keeps files
}

// The kernel's own file systems are told by their type (only looked at here).
TEST(EraserGuard, KernelFileSystemsAreToldByType) {
    test::TempTree t;
    EXPECT_EQ(systemplaces::kernelFileSystem("/proc/self"), "proc");
    EXPECT_FALSE(systemplaces::kernelFileSystem(t.dir("plain")));
    EXPECT_FALSE(systemplaces::kernelFileSystem(t.path("missing")));
}
