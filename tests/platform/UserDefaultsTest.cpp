#include "platform/UserDefaults.h"
#include "platform/PropertyList.h"
#include "tests/support/TempTree.h"

#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tessaly;

namespace {

std::vector<std::string> listDir(const std::string& dir) {
    std::vector<std::string> out;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (auto* e = ::readdir(d))
            if (e->d_name[0] != '.')
                out.push_back(e->d_name);
        ::closedir(d);
    }
    return out;
}

} // namespace

TEST(UserDefaults, TypedValuesPersistAtOnce) {
    test::TempTree t;
    std::string path = t.path("cfg/defaults.plist");
    Date when = dateFromUnixSeconds(1700000000.25);
    {
        UserDefaults d(path);
        EXPECT_TRUE(d.setBool("Play_Sound", false));
        EXPECT_TRUE(d.setInteger("totleCleanKey", -42));
        EXPECT_TRUE(d.setInteger("big", INT64_MAX));
        EXPECT_TRUE(d.setDouble("ratio", 0.125));
        EXPECT_TRUE(d.setString("name", "Grüße"));
        EXPECT_TRUE(d.setDate("lastCleanDate", when));
        EXPECT_TRUE(d.setObject("blob", PlistValue(PlistValue::Data{0, 1, 255})));
        EXPECT_TRUE(d.setStringArray("Keep_Language", {"en", "fr"}));
        EXPECT_TRUE(d.setObject("dict", PlistValue(PlistValue::Dict{{"a", PlistValue(1)}})));
        EXPECT_TRUE(d.setBool("gone", true));
        EXPECT_TRUE(d.removeObjectForKey("gone"));
    }
    UserDefaults again(path); // a new process would see the same
    EXPECT_TRUE(again.hasKey("Play_Sound"));
    EXPECT_FALSE(again.boolForKey("Play_Sound"));
    EXPECT_EQ(again.integerForKey("totleCleanKey"), -42);
    EXPECT_EQ(again.integerForKey("big"), INT64_MAX);
    EXPECT_DOUBLE_EQ(again.doubleForKey("ratio"), 0.125);
    EXPECT_EQ(again.stringForKey("name"), "Grüße");
    ASSERT_TRUE(again.dateForKey("lastCleanDate"));
    EXPECT_NEAR(unixSeconds(*again.dateForKey("lastCleanDate")), 1700000000.25, 1e-3);
    EXPECT_EQ(*again.dataForKey("blob"), (PlistValue::Data{0, 1, 255}));
    EXPECT_EQ(*again.stringArrayForKey("Keep_Language"), (std::vector<std::string>{"en", "fr"}));
    EXPECT_EQ(again.dictionaryForKey("dict")->at("a").toInteger(), 1);
    EXPECT_FALSE(again.hasKey("gone"));
    EXPECT_FALSE(again.hasKey("never"));
    EXPECT_FALSE(again.boolForKey("never"));
}

TEST(UserDefaults, TwoWritersKeepEachOthersKeys) {
    test::TempTree t;
    std::string path = t.path("defaults.plist");
    UserDefaults app(path), cli(path);
    app.setInteger("totleCleanKey", 100);
    cli.setBool("Play_Sound", true);
    app.setString("other", "x");
    UserDefaults fresh(path);
    EXPECT_EQ(fresh.integerForKey("totleCleanKey"), 100);
    EXPECT_TRUE(fresh.boolForKey("Play_Sound"));
    EXPECT_EQ(fresh.stringForKey("other"), "x");
    cli.reload();
    EXPECT_EQ(cli.integerForKey("totleCleanKey"), 100);
}

TEST(UserDefaults, CorruptFileIsMovedAsideAndNoKeyIsLost) {
    test::TempTree t;
    std::string path = t.path("defaults.plist");
    {
        UserDefaults d(path);
        d.setInteger("a", 1);
        d.setInteger("b", 2);
    }
    // A torn or damaged file: garbage where the property list was.
    t.file("defaults.plist", "bplist00\x01\x02 garbage");
    UserDefaults d(path);
    EXPECT_EQ(d.integerForKey("a"), 1);
    EXPECT_EQ(d.integerForKey("b"), 2);
    bool asideKept = false;
    for (const auto& name : listDir(t.root()))
        asideKept |= name.rfind("defaults.plist.corrupt-", 0) == 0;
    EXPECT_TRUE(asideKept);
    d.setInteger("c", 3);
    EXPECT_TRUE(plist::readFile(path)); // whole again after the next write
    EXPECT_EQ(UserDefaults(path).integerForKey("a"), 1);
}

TEST(UserDefaults, BothCopiesDamagedStartsEmptyWithoutCrashing) {
    test::TempTree t;
    t.file("defaults.plist", "<plist><dict><key>x</key>");
    t.file("defaults.plist.backup", "");
    UserDefaults d(t.path("defaults.plist"));
    EXPECT_TRUE(d.dictionaryRepresentation().empty());
    EXPECT_TRUE(d.setBool("fresh", true));
    EXPECT_TRUE(UserDefaults(t.path("defaults.plist")).boolForKey("fresh"));
}

TEST(UserDefaults, SurvivesAWriterKilledMidWrite) {
    test::TempTree t;
    std::string path = t.path("defaults.plist");
    for (int round = 0; round < 5; ++round) {
        int out[2];
        ASSERT_EQ(::pipe(out), 0);
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::close(out[0]);
            ::execl(DEFAULTS_WRITER_PATH, DEFAULTS_WRITER_PATH, path.c_str(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(out[1]);
        FILE* in = ::fdopen(out[0], "r");
        long confirmed = -1;
        long target = 20 + round * 7;
        char line[64];
        while (confirmed < target && std::fgets(line, sizeof line, in))
            confirmed = std::strtol(line, nullptr, 10);
        ::kill(pid, SIGKILL); // most likely in the middle of the next write
        int status = 0;
        ::waitpid(pid, &status, 0);
        std::fclose(in);
        ASSERT_EQ(confirmed, target);

        UserDefaults d(path);
        for (long i = 0; i <= confirmed; ++i) {
            auto v = d.dictionaryForKey("k" + std::to_string(i));
            ASSERT_TRUE(v) << "key k" << i << " lost in round " << round;
            EXPECT_EQ(v->at("n").toInteger(), i);
        }
    }
    UserDefaults(path).setBool("after", true);
    for (const auto& name : listDir(t.root()))
        EXPECT_EQ(name.find(".tmp-"), std::string::npos) << name << " left behind";
}
