// The service's table of allowed places and its descriptor walk, in process.
#include "daemon/AllowedRoots.h"
#include "daemon/Beneath.h"
#include "platform/FileRemoval.h"
#include "tests/support/TempTree.h"
#include "tests/support/ScopedMount.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace dorn {
namespace {

using tessaly::test::TempTree;
using tessaly::test::ScopedMount;

TEST(AllowedRoots, EachPlaceAllowsOnlyItsOwnKindsOfActionAndNothingOutsideIsReached) {
    TempTree t;
    const std::string extra = t.dir("extra");
    AllowedRoots roots({extra, "/", "/etc", "relative", "/srv/../etc"});
    Caller root; // uid 0: no home folder of its own
    struct Case {
        std::string path;
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
        {extra + "/a", Write, true},
        {extra + "/a", Load, false},
        {extra, Remove, false},
        {extra + "neous", Remove, false},
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
    auto located = roots.locate(extra + "/a/b", root, Remove, nullptr);
    ASSERT_TRUE(located);
    EXPECT_EQ(located->place.path, extra);
    EXPECT_EQ(located->relative, "a/b");
    EXPECT_TRUE(located->place.asCaller) << "an extra root is the caller's own place";
    EXPECT_FALSE(roots.locate("/Library/Caches/x", root, Remove, nullptr)->place.asCaller);
}

TEST(AllowedRoots, AnExtraRootThatOthersCouldRedirectIsLeftOut) {
    TempTree t;
    ::chmod(t.root().c_str(), 0755);
    // Behind a folder another user may write to (so could swap for a link), a
    // folder that is another user's, and a link: none of them is a root.
    const std::string writable = t.dir("shared");
    ::chmod(writable.c_str(), 0777);
    const std::string behindWritable = t.dir("shared/root");
    const std::string others = t.dir("others");
    const std::string behindOthers = t.dir("others/root");
    ASSERT_EQ(::chown(others.c_str(), 65534, 65534), 0);
    const std::string real = t.dir("real");
    const std::string link = t.symlink("link", real);
    const std::string sticky = t.dir("sticky");
    ::chmod(sticky.c_str(), 01777);
    const std::string behindSticky = t.dir("sticky/root");
    if (::geteuid() != 0) {
        // Only root can give a folder away; the writable and link cases hold for anyone.
        AllowedRoots roots({behindWritable, link, behindSticky});
        EXPECT_FALSE(roots.locate(behindWritable + "/x", Caller{}, Remove, nullptr));
        EXPECT_FALSE(roots.locate(link + "/x", Caller{}, Remove, nullptr));
        EXPECT_TRUE(roots.locate(behindSticky + "/x", Caller{}, Remove, nullptr));
        return;
    }
    AllowedRoots roots({behindWritable, behindOthers, link, behindSticky, real});
    for (const auto& bad : {behindWritable, behindOthers, link})
        EXPECT_FALSE(roots.locate(bad + "/x", Caller{}, Remove, nullptr)) << bad;
    EXPECT_TRUE(roots.locate(behindSticky + "/x", Caller{}, Remove, nullptr));
    EXPECT_TRUE(roots.locate(real + "/x", Caller{}, Remove, nullptr));

    // A root is reached through the descriptor kept when the table was made:
    // replacing its path later leads nowhere else.
    auto located = roots.locate(real + "/x", Caller{}, Remove, nullptr);
    ASSERT_TRUE(located);
    t.file("real/marker", "kept");
    ASSERT_EQ(std::rename(real.c_str(), t.path("real.moved").c_str()), 0);
    t.file("real/marker", "impostor");
    UniqueFd fd = AllowedRoots::open(located->place, nullptr);
    ASSERT_TRUE(fd);
    UniqueFd marker(::openat(fd.get(), "marker", O_RDONLY));
    char buf[16] = {};
    ASSERT_GT(::read(marker.get(), buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "kept");
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
    UniqueFd placeFd = openTrustedFolder(place, nullptr);
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

TEST_P(Beneath, NothingIsReachedOrRemovedAcrossAnotherMount) {
    Fixture f;
    f.t.file("decoy/secret", "secret");
    f.t.dir("place/outer/mnt");
    f.t.file("place/victim", "placeholder");
    ScopedMount tmpfs(f.place + "/outer/mnt");
    ScopedMount bound(f.place + "/victim", f.decoy + "/secret");
    if (!tmpfs.ok() || !bound.ok())
        GTEST_SKIP() << "mounting needs root";
    f.t.file("place/outer/mnt/inside", "on another file system");
    f.t.file("place/outer/beside", "x");

    errno = 0;
    EXPECT_FALSE(openBeneath(f.placeFd.get(), "outer/mnt/inside", O_RDONLY));
    EXPECT_EQ(errno, EXDEV);
    EXPECT_FALSE(openParentBeneath(f.placeFd.get(), "outer/mnt/inside"));
    EXPECT_FALSE(openBeneath(f.placeFd.get(), "victim", O_WRONLY));
    EXPECT_FALSE(openRegularAt(f.placeFd.get(), "victim", O_WRONLY));
    EXPECT_EQ(errno, EXDEV);
    // A removal of the folder holding the mount leaves the mount and what is in it.
    std::string error;
    EXPECT_FALSE(tessaly::fileops::removeItemAt(f.placeFd.get(), "outer", &error));
    EXPECT_NE(error.find("mounted"), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(f.place + "/outer/beside"));
    EXPECT_EQ(tessaly::test::readText(f.place + "/outer/mnt/inside"), "on another file system");
    EXPECT_FALSE(tessaly::fileops::removeItemAt(f.placeFd.get(), "victim"));
    EXPECT_EQ(tessaly::test::readText(f.decoy + "/secret"), "secret");
}

TEST(OpenRegular, OnlyARegularFileIsOpenedAndNothingWaitsOnAPipe) {
    Fixture f;
    f.t.file("place/file", "x");
    ASSERT_EQ(::mkfifo((f.place + "/pipe").c_str(), 0600), 0);
    f.t.symlink("place/link", f.place + "/file");
    f.t.dir("place/folder");
    EXPECT_TRUE(openRegularAt(f.placeFd.get(), "file", O_RDONLY));
    EXPECT_TRUE(openRegularAt(f.placeFd.get(), "file", O_WRONLY));
    const std::pair<const char*, int> refused[] = {{"pipe", EINVAL},
                                                   {"link", ELOOP},
                                                   {"folder", EINVAL},
                                                   {"missing", ENOENT},
                                                   {"a/b", EINVAL}};
    for (const auto& [name, expected] : refused) {
        errno = 0;
        EXPECT_FALSE(openRegularAt(f.placeFd.get(), name, O_WRONLY)) << name;
        EXPECT_EQ(errno, expected) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Openat2AndWalk, Beneath, ::testing::Bool(),
                         [](const auto& param) { return param.param ? "Walk" : "Openat2"; });

} // namespace
} // namespace dorn
