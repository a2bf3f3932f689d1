// The Old Files Finder on a Linux desktop: downloaded packages already installed,
// AppImages and archives of installed applications, and the paths the user keeps.
#include "ScanCode/old/OldFileRules.h"
#include "ScanCode/old/OldFileScan.h"
#include "model/KeptPaths.h"
#include "platform/DebianVersion.h"
#include "platform/Dispatch.h"
#include "platform/UserDefaults.h"
#include "tests/support/TempTree.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

using namespace tessaly;

TEST(DebianVersions, CompareAsDpkgDoes) {
    struct Case {
        const char* a;
        const char* b;
        int sign; // of compareVersions(a, b)
    };
    const Case cases[] = {
        {"1.0", "1.0", 0},          {"1.0", "1.0-0", 0},    // a missing revision equals "0"
        {"1.0-1", "1.0-2", -1},     {"1.0-10", "1.0-9", 1}, // numbers compare as numbers
        {"1.2.10", "1.2.9", 1},     {"1.0~rc1", "1.0", -1}, // "~" comes before the end
        {"1.0~rc1", "1.0~rc2", -1}, {"1.0~~", "1.0~", -1},
        {"1.0a", "1.0", 1},         {"1.0a", "1.0+", -1}, // letters before other signs
        {"1:0.9", "2.0", 1},                              // the epoch first
        {"0:2.0", "2.0", 0},        {"2.0-1+deb12u1", "2.0-1", 1},
        {"3.0-13", "3.0-13", 0},    {"007", "7", 0}, // leading zeros do not count
        {"1.0.0", "1.0", 1},        {"1.a", "1.b", -1},
    };
    for (const Case& c : cases) {
        const int got = packages::compareVersions(c.a, c.b);
        EXPECT_EQ((got > 0) - (got < 0), c.sign) << c.a << " vs " << c.b;
        const int back = packages::compareVersions(c.b, c.a);
        EXPECT_EQ((back > 0) - (back < 0), -c.sign) << c.b << " vs " << c.a;
    }
}

TEST(DebianVersions, NamesOfDownloadedPackagesAndApplications) {
    auto deb = oldrules::debNameAndVersion("/d/hello_1%3a2.10-3_amd64.deb");
    ASSERT_TRUE(deb);
    EXPECT_EQ(deb->first, "hello");
    EXPECT_EQ(deb->second, "1:2.10-3");
    EXPECT_FALSE(oldrules::debNameAndVersion("/d/hello.deb"));
    EXPECT_FALSE(oldrules::debNameAndVersion("/d/hello_1.0_amd64.DEB.txt"));
    EXPECT_EQ(oldrules::leadingName("/d/Obsidian-1.5.3.AppImage"), "Obsidian");
    EXPECT_EQ(oldrules::leadingName("/d/firefox-esr-115.0.tar.bz2"), "firefox-esr");
    EXPECT_EQ(oldrules::leadingName("/d/krita-x86_64.appimage"), "krita");
    EXPECT_EQ(oldrules::leadingName("/d/tax-records.zip"), "tax-records");
}

namespace {

void oldAndLarge(const std::string& path, off_t size = 6'000'000) {
    ASSERT_EQ(::truncate(path.c_str(), size), 0);
    struct timespec t;
    t.tv_sec = static_cast<time_t>(unixSeconds(now()) - 60 * 86400.0);
    t.tv_nsec = 0;
    struct timespec times[2] = {t, t};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

} // namespace

TEST(LinuxOldFiles, InstalledPackagesAndApplicationsTickTheirDownloadsAndKeptPathsStay) {
    test::FixtureRoots m;
    test::ScopedEnv chosen("TESSALY_LAYOUT", "linux");
    m.t.file("root/var/lib/dpkg/status",
             "Package: zip\nStatus: install ok installed\nVersion: 3.0-13\n\n"
             "Package: hello\nStatus: install ok installed\nVersion: 1:2.10-3\n\n"
             "Package: gone\nStatus: deinstall ok config-files\nVersion: 1.0\n\n");
    m.t.file("root/usr/share/applications/firefox-esr.desktop", "[Desktop Entry]\n");
    m.t.dir("root/var/lib/flatpak/app/md.obsidian.Obsidian");
    const std::map<std::string, bool> cases = {
        {"zip_3.0-13_amd64.deb", true},       // installed at this version
        {"zip_3.0-12_amd64.deb", true},       // an older one
        {"zip_3.0-14_amd64.deb", false},      // newer than the installed one
        {"hello_1%3a2.10-3_amd64.deb", true}, // the epoch read from the name
        {"gone_1.0_all.deb", false},          // removed, its settings alone kept
        {"libfoo_1.0_amd64.deb", false},      // never installed
        {"Obsidian-1.5.3.AppImage", true},    // a Flatpak of that name is installed
        {"firefox-esr-115.0.tar.bz2", true},  // a desktop entry of that name
        {"zoomer-1.0.AppImage", false},       {"report.tar.gz", false},
    };
    for (const auto& [name, tick] : cases)
        oldAndLarge(m.t.file("home/Downloads/" + name));
    const std::string keptFile = m.t.file("home/Downloads/keep/zip_3.0-13_amd64.deb");
    oldAndLarge(keptFile);
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    ASSERT_TRUE(keptpaths::store(defaults, {"~/Downloads/keep"}));

    OldFileScan engine;
    engine.setScanFolders({m.t.path("home/Downloads")});
    engine.scan({}, {});
    MainQueue::drain();
    std::map<std::string, bool> ticked;
    std::map<std::string, std::string> reasons;
    for (const auto& type : engine.data)
        for (const auto& c : type->data)
            for (const auto& f : c->data) {
                ticked[f->path.substr(m.home.size() + 1)] = f->isCheck;
                reasons[f->path.substr(m.home.size() + 1)] = f->checkReason;
            }
    std::map<std::string, bool> expected;
    for (const auto& [name, tick] : cases)
        expected["Downloads/" + name] = tick;
    EXPECT_EQ(ticked, expected); // the kept folder's file is not listed
    EXPECT_EQ(reasons["Downloads/hello_1%3a2.10-3_amd64.deb"],
              "the package hello is installed at version 1:2.10-3");
    EXPECT_EQ(reasons["Downloads/Obsidian-1.5.3.AppImage"],
              "an AppImage of Obsidian, which is installed");

    CleanOutcome outcome = engine.clean(engine.plan(), {}, {});
    EXPECT_TRUE(outcome.left.empty());
    for (const auto& [name, tick] : cases)
        EXPECT_EQ(m.t.exists("home/Downloads/" + name), !tick) << name;
    struct stat st {};
    ASSERT_EQ(::stat(keptFile.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 6'000'000);
}
