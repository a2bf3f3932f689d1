#include "model/CommonFunction.h"
#include "model/QueueAddition.h"
#include "tests/support/TempTree.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace tessaly;

TEST(CommonFunction, SizeStringsUseTheDecimalBandsInSinglePrecision) {
    struct Case {
        std::int64_t size;
        const char* text;
        const char* wide;
        const char* number;
        const char* unit;
    };
    const Case cases[] = {
        {-5, "Zero KB", "Zero KB", "Zero", " KB"},
        {0, "Zero KB", "Zero KB", "Zero", " KB"},
        {1, "1 B", "1    B", "1", " B"},
        {1000, "1000 B", "1000    B", "1000", " B"},
        {1001, "1.0 KB", "1.0   KB", "1.0", " KB"},
        {1000000, "1000.0 KB", "1000.0   KB", "1000.0", " KB"},
        {1000001, "1.0 MB", "1.0   MB", "1.0", " MB"},
        {999999999, "1000.0 MB", "1000.0   MB", "1000.0", " MB"},
        {1000000000, "1000.0 MB", "1000.0   MB", "1000.0", " MB"},
        {1000000001, "1.00 GB", "1.00   GB", "1.00", " GB"},
        {1500000000, "1.50 GB", "1.50   GB", "1.50", " GB"},
        // Divided in double this would read 999.9 MB; the float quotient rounds up.
        {999949999, "1000.0 MB", "1000.0   MB", "1000.0", " MB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        EXPECT_EQ(CommonFunction::getSizeString(c.size), c.text);
        EXPECT_EQ(CommonFunction::getSizeString2(c.size), c.wide);
        EXPECT_EQ(CommonFunction::getSizeString4(c.size), c.number);
        EXPECT_EQ(CommonFunction::getSizeString5(c.size), c.unit);
    }
}

TEST(CommonFunction, MemoryStringsCountPagesInBinaryUnits) {
    EXPECT_EQ(CommonFunction::getMemorySizeString4(256), "1024.0");
    EXPECT_EQ(CommonFunction::getMemorySizeString5(256), " KB");
    EXPECT_EQ(CommonFunction::getMemorySizeString4(257), "1.0");
    EXPECT_EQ(CommonFunction::getMemorySizeString5(257), " MB");
    EXPECT_EQ(CommonFunction::getMemorySizeString4(262144), "1024.0");
    EXPECT_EQ(CommonFunction::getMemorySizeString4(262145), "1.00");
    EXPECT_EQ(CommonFunction::getMemorySizeString5(262145), " GB");
    EXPECT_EQ(CommonFunction::getMemorySizeString2(512), "2.0 MB");
}

TEST(CommonFunction, DiskFileSizeRoundsUpToTheBlock) {
    EXPECT_EQ(CommonFunction::getDiskFileSize(1, 4096), 4096);
    EXPECT_EQ(CommonFunction::getDiskFileSize(4096, 4096), 4096);
    EXPECT_EQ(CommonFunction::getDiskFileSize(4097, 4096), 8192);
    EXPECT_EQ(CommonFunction::getDiskFileSize(0, 4096), 0);
    EXPECT_EQ(CommonFunction::getDiskFileSize(4097, 0), 4097);
    EXPECT_EQ(CommonFunction::getDiskFileSize(1, 0), 1);
}

TEST(CommonFunction, AnEntryTakesItsRoundedSizeButNeverMoreThanItsBlocks) {
    struct Case {
        const char* what;
        std::int64_t size, allocated, block, expected;
    };
    const Case cases[] = {
        {"a small file", 10, 4096, 4096, 4096},
        {"a file on the block", 4096, 4096, 4096, 4096},
        {"a file past the block", 4097, 8192, 4096, 8192},
        {"a sparse file", 2LL << 30, 409600, 4096, 409600},
        {"a short link kept in its inode", 40, 0, 4096, 0},
        {"a file given more than its size needs", 10, 8192, 4096, 4096},
        {"an unknown block size", 5000, 8192, 0, 8192},
    };
    for (const Case& c : cases) {
        fileattr::EntryInfo info;
        info.exists = true;
        info.size = c.size;
        info.allocated = c.allocated;
        EXPECT_EQ(CommonFunction::getDiskFileSize(info, c.block), c.expected) << c.what;
    }
    EXPECT_EQ(CommonFunction::getDiskFileSize(fileattr::EntryInfo{}, 4096), 0); // missing
}

TEST(CommonFunction, DatesRoundTripInTheLocalZone) {
    test::ScopedEnv tz("TZ", "America/Los_Angeles");
    ::tzset();
    auto d = CommonFunction::date("2024-02-29");
    ASSERT_TRUE(d);
    EXPECT_EQ(CommonFunction::dateStr(*d), "2024-02-29");
    // 2024-03-01 07:30 UTC is still the 29th in Los Angeles.
    EXPECT_EQ(CommonFunction::dateStr(dateFromUnixSeconds(1709278200)), "2024-02-29");
    for (const char* bad :
         {"", "2024-2-30", "2023-02-29", "2024-13-01", "yesterday", "2024-01-01x"})
        EXPECT_FALSE(CommonFunction::date(bad)) << bad;
}

TEST(CommonFunction, PathAndNameTests) {
    EXPECT_TRUE(CommonFunction::isPackage("/S/L/Foo.framework"));
    EXPECT_TRUE(CommonFunction::isPackage("x.docktileplugin"));
    EXPECT_TRUE(CommonFunction::isPackage("x.xpc"));
    EXPECT_FALSE(CommonFunction::isPackage("x.Framework"));
    EXPECT_FALSE(CommonFunction::isPackage("x.app"));
    EXPECT_TRUE(CommonFunction::hiddenFile(".DS_Store"));
    EXPECT_FALSE(CommonFunction::hiddenFile("."));
    EXPECT_FALSE(CommonFunction::hiddenFile("a.b"));
    EXPECT_EQ(CommonFunction::switchLanguage("en_US"), "en");
    EXPECT_EQ(CommonFunction::switchLanguage("en-GB"), "en");
    EXPECT_EQ(CommonFunction::switchLanguage("zh-Hans"), "zh");
    EXPECT_EQ(CommonFunction::switchLanguage("zh_Hant-TW"), "zh");
    EXPECT_EQ(CommonFunction::switchLanguage("English"), "English");

    test::TempTree t;
    t.dir("Apps/Editor.app/Contents");
    t.file("Apps/plain.app", "not a bundle");
    EXPECT_TRUE(CommonFunction::isApp(t.path("Apps/Editor.app")));
    EXPECT_FALSE(CommonFunction::isApp(t.path("Apps/plain.app")));
    EXPECT_FALSE(CommonFunction::isApp(t.path("Apps")));
}

TEST(CommonFunction, HomeLibraryAndSandboxPaths) {
    test::ScopedEnv home("TESSALY_HOME", "/fixture/users/ann");
    test::ScopedEnv processHome("HOME", "/fixture/containers/tessaly/Data");
    EXPECT_EQ(CommonFunction::homePath(), "/fixture/users/ann");
    EXPECT_EQ(CommonFunction::libPath(), "/fixture/users/ann/Library");
    EXPECT_EQ(CommonFunction::switchStandboxPath("/fixture/containers/tessaly/Data/Library/Caches"),
              "/fixture/users/ann/Library/Caches");
    EXPECT_EQ(CommonFunction::switchStandboxPath("/tmp/x"), "/tmp/x");
    EXPECT_EQ(CommonFunction::imageForPath("/fixture/users/ann"), "folder-home");
}

TEST(CommonFunction, LastOpenDateFallsBackWhenAccessTimeIsMissing) {
    test::TempTree t;
    std::string f = t.file("doc.txt", "x");
    struct timespec times[2] = {{0, 0}, {1600000000, 0}}; // no access time, a modification time
    ASSERT_EQ(::utimensat(AT_FDCWD, f.c_str(), times, 0), 0);
    auto d = CommonFunction::lastOpenDate(f);
    ASSERT_TRUE(d);
    EXPECT_EQ(static_cast<long long>(unixSeconds(*d)), 1600000000LL);

    struct timespec used[2] = {{1700000000, 0}, {1600000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, f.c_str(), used, 0), 0);
    EXPECT_EQ(static_cast<long long>(unixSeconds(*CommonFunction::lastOpenDate(f))), 1700000000LL);
    EXPECT_FALSE(CommonFunction::lastOpenDate(t.path("missing")));
}

TEST(CommonFunction, MachineNameIsShortAscii) {
    std::string m = CommonFunction::PCArchitecture();
    EXPECT_FALSE(m.empty());
    EXPECT_LE(m.size(), 100u);
}

TEST(QueueAddition, PopTakesTheLastPushed) {
    std::vector<std::string> stack;
    EXPECT_FALSE(dornPop(stack));
    dornPush(stack, std::string("a"));
    dornPush(stack, std::string("b"));
    EXPECT_EQ(*dornPop(stack), "b");
    EXPECT_EQ(*dornPop(stack), "a");
    EXPECT_FALSE(dornPop(stack));
}
