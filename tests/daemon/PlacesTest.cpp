// The service's table of allowed places and its descriptor walk, in process.
#include "daemon/AllowedRoots.h"
#include "daemon/Beneath.h"
#include "platform/FileRemoval.h"
#include "tests/support/TempTree.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

namespace dorn {
namespace {

using tessaly::test::TempTree;

TEST(AllowedRoots, EachPlaceAllowsOnlyItsOwnKindsOfActionAndNothingOutsideIsReached) {
    AllowedRoots roots({"/srv/extra", "/", "/etc", "relative", "/srv/../etc"});
    Caller root; // uid 0: no home folder of its own
    struct Case {
        const char* path;
        Action action;
        bool allowed;
    };
    const Case cases[] = {
        {"/Library/Caches/com.example/x", Remove, true},
        {"/Library/Caches//com.example/x/", Overwrite, true},
        {"/Library/Caches/com.example/x", Write, false},
        {"/Library/Caches/com.example/x", Load, false},
        {"/Library/Caches", Remove, false},
        {"/Library/Caches/../../etc/passwd", Remove, false},
        {"/Library/Caches/./x", Remove, false},
        {"/Library/LaunchDaemons/com.example.plist", Load, true},
        {"/Library/LaunchDaemons/com.example.plist", Write, false},
        {"/Applications/Some.app/Contents/MacOS/Some", Thin, true},
        {"/Applications/Some.app", Write, false},
        {"/Volumes/Disk/file", Write, true},
        {"/srv/extra/a", Write, true},
        {"/srv/extra/a", Load, false},
        {"/srv/extra", Remove, false},
        {"/srv/extraneous", Remove, false},
        {"/etc/shadow", Remove, false},
        {"/etc/sudoers.d/x", Write, false},
        {"/usr/bin/python3", Remove, false},
        {"/root/.ssh", Write, false},
        {"/boot/vmlinuz", Overwrite, false},
        {"/home/someone/Documents", Remove, false},
        // The Linux system's disposable files, and nothing else of /var.
        {"/var/log/syslog.2.gz", Remove, true},
        {"/var/log/apt/history.log.1.gz", Remove, true},
        {"/var/log/journal/0a1b/system@0005f-0001.journal", Remove, true},
        {"/var/log/syslog", Remove, false},
        {"/var/log/journal/0a1b/system.journal", Remove, false},
        {"/var/log/auth.log", Overwrite, false},
        {"/var/log/syslog.1", Write, false},
        {"/var/cache/apt/archives/zip_3.0-13_amd64.deb", Remove, true},
        {"/var/cache/apt/archives/partial/zip_3.0-13_amd64.deb.FAILED", Remove, true},
        {"/var/cache/apt/archives/lock", Remove, false},
        {"/var/cache/apt/archives/partial", Remove, false},
        {"/var/cache/apt/pkgcache.bin", Remove, false},
        {"/var/cache/debconf/config.dat", Remove, false},
        {"/var/lib/dpkg/status", Remove, false},
        {"/usr/share/locale/fr", Remove, true},
        {"/usr/share/man/pt_BR", Remove, true},
        {"/usr/share/help/sr@latin", Remove, true},
        {"/usr/share/locale/fr/LC_MESSAGES/x.mo", Remove, false},
        {"/usr/share/man/man1", Remove, false},
        {"/usr/share/locale/C", Remove, false},
        {"/usr/share/locale/locale.alias", Remove, false},
        {"/usr/share/locale/fr", Overwrite, false},
        {"/", Remove, false},
        {"relative/path", Remove, false},
        {"", Remove, false},
    };
    for (const auto& c : cases) {
        std::string why;
        auto located = roots.locate(c.path, root, c.action, &why);
        EXPECT_EQ(located.has_value(), c.allowed) << c.path << " " << actionName(c.action);
        EXPECT_EQ(why.empty(), c.allowed) << c.path << ": " << why;
    }
    // The extra roots that are no place of their own were left out.
    for (const auto& place : roots.fixedPlaces())
        for (const char* bad : {"/", "/etc"})
            EXPECT_NE(place.path, bad);
    auto located = roots.locate("/srv/extra/a/b", root, Remove, nullptr);
    ASSERT_TRUE(located);
    EXPECT_EQ(located->place.path, "/srv/extra");
    EXPECT_EQ(located->relative, "a/b");
}

TEST(AllowedRoots, AUsersPlacesAreTheirOwnHomeAndMediaNeverAnotherUsers) {
    Caller nobody;
    nobody.uid = 65534;
    AllowedRoots roots;
    auto places = roots.placesFor(nobody);
    bool media = false;
    for (const auto& p : places) {
        EXPECT_NE(p.path, "/root");
        bool own = p.owner || p.path.starts_with("/media/") || p.path.starts_with("/run/media/");
        EXPECT_FALSE(own && (p.actions & Load)) << p.path;
        media = media || (own && !p.owner);
        if (p.owner) {
            EXPECT_EQ(*p.owner, nobody.uid) << p.path << ": a home folder is the caller's own";
        }
    }
    EXPECT_TRUE(media);
    std::string why;
    EXPECT_FALSE(roots.locate("/root/.bashrc", nobody, Remove, &why));
    EXPECT_EQ(why, "outside the allowed places");
}

// A tree with an allowed folder and a decoy beside it.
struct Fixture {
    TempTree t;
    std::string place = t.dir("place");
    std::string decoy = t.dir("decoy");
    UniqueFd placeFd = openFolder(place);
};

class Beneath : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { useComponentWalk(GetParam()); }
    void TearDown() override { useComponentWalk(false); }
};

TEST_P(Beneath, ReachesWhatIsBeneathAndRefusesLinksAndDots) {
    Fixture f;
    f.t.file("place/a/b/file", "x");
    f.t.file("decoy/file", "d");
    f.t.symlink("place/a/out", f.decoy);
    f.t.symlink("place/a/final", f.decoy + "/file");
    EXPECT_TRUE(openBeneath(f.placeFd.get(), "a/b/file", O_RDONLY));
    for (const char* bad : {"a/out/file", "a/final", "a/../../decoy/file", "./a/b/file", "a//b",
                            "/etc/hostname", ""}) {
        errno = 0;
        EXPECT_FALSE(openBeneath(f.placeFd.get(), bad, O_RDONLY)) << bad;
        EXPECT_NE(errno, 0) << bad;
    }
    auto parent = openParentBeneath(f.placeFd.get(), "a/b/file");
    ASSERT_TRUE(parent);
    EXPECT_EQ(parent->name, "file");
    EXPECT_FALSE(openParentBeneath(f.placeFd.get(), "a/out/file"));
    UniqueFd made = makeFoldersBeneath(f.placeFd.get(), "a/new/deeper", ::getuid(), ::getgid());
    EXPECT_TRUE(made);
    EXPECT_TRUE(std::filesystem::is_directory(f.place + "/a/new/deeper"));
    EXPECT_FALSE(makeFoldersBeneath(f.placeFd.get(), "a/out/made", ::getuid(), ::getgid()));
    EXPECT_FALSE(std::filesystem::exists(f.decoy + "/made"));
}

TEST_P(Beneath, ALinkRacedIntoThePathNeverLeadsARemovalOut) {
    Fixture f;
    f.t.file("decoy/victim/file", "keep");
    std::string a = f.place + "/a", real = f.place + "/a.real";
    std::atomic<bool> racing{true};
    std::thread racer([&] {
        while (racing) {
            std::rename(a.c_str(), real.c_str());
            ::symlink(f.decoy.c_str(), a.c_str());
            ::unlink(a.c_str());
            std::rename(real.c_str(), a.c_str());
        }
    });
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    while (std::chrono::steady_clock::now() < until) {
        std::error_code ignored;
        std::filesystem::create_directories(real + "/victim/sub", ignored);
        if (auto parent = openParentBeneath(f.placeFd.get(), "a/victim"))
            tessaly::fileops::removeItemAt(parent->dir.get(), parent->name);
    }
    racing = false;
    racer.join();
    EXPECT_EQ(tessaly::test::readText(f.decoy + "/victim/file"), "keep");
}

INSTANTIATE_TEST_SUITE_P(Openat2AndWalk, Beneath, ::testing::Bool(),
                         [](const auto& param) { return param.param ? "Walk" : "Openat2"; });

} // namespace
} // namespace dorn
