// One set of cases run over every tool engine through the shared contract: a
// stop before the work begins, a stop in the middle of a clean, the privileged
// hand-over counting only what is gone, an item changed since the scan, and a
// part of the scan that fails. A new engine adds a rig and a row.
#include "ScanCode/ToolEngine.h"
#include "ScanCode/alias/AliasHelper.h"
#include "ScanCode/browser/BroswerManager.h"
#include "ScanCode/duplicate/DuplicateFile.h"
#include "ScanCode/eraser/ShredderFiles.h"
#include "ScanCode/old/OldFileScan.h"
#include "ScanCode/security/VirtualScan.h"
#include "ScanCode/system/QSVCleanManager.h"
#include "ScanCode/system/SystemModules.h"
#include "ScanCode/uninstall/SearchApplications.h"
#include "platform/AtomicFile.h"
#include "platform/BookmarkData.h"
#include "platform/Dispatch.h"
#include "platform/FileRemoval.h"
#include "tests/ScanCode/system/SystemFixture.h"
#include "tests/ScanCode/uninstall/UninstallFixture.h"
#include "tests/support/TempTree.h"

#include <ctime>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace tessaly;

namespace {

// An engine on a fixture, with a stand-in for the privileged helper.
class Rig {
public:
    virtual ~Rig() = default;
    virtual ToolEngine& engine() = 0;
    // Puts n items in place for the next scan; returns the paths a clean removes.
    virtual std::vector<std::string> populate(int n) = 0;
    // The file that keeps a path from being removed when it cannot be removed.
    virtual std::string lockTarget(const std::string& path) = 0;
    // Makes the next scan meet something it cannot do, which it must report.
    virtual void breakScan() = 0;
    // Puts something else in the item's place after the scan.
    virtual void change(const std::string& path) = 0;
    // Whether the tool hands what the user may not remove to the privileged helper.
    virtual bool usesHelper() const { return true; }
    // Whether the tool leaves what changed since its scan (the Eraser erases
    // whatever the picked path holds now).
    virtual bool checksChanges() const { return true; }

    // What the helper stand-in was handed, and what it does (nothing, by default).
    std::vector<std::vector<std::string>> handed;
    std::function<bool(const std::vector<std::string>&, std::vector<std::string>*)> helperDoes =
        [](const std::vector<std::string>& paths, std::vector<std::string>* notRemoved) {
            *notRemoved = paths;
            return true;
        };
    PrivilegedRemoval helper() {
        return [this](const std::vector<std::string>& paths, std::vector<std::string>* left) {
            handed.push_back(paths);
            return helperDoes(paths, left);
        };
    }

    ScanSummary scan() {
        ScanSummary s = engine().scan({}, {});
        MainQueue::drain();
        return s;
    }
};

class SystemRig : public Rig {
public:
    SystemRig() {
        CleanManagerEnvironment env = m.environment();
        env.removeSystemFile = helper();
        env.scanServices.keepLanguages = [this] {
            if (broken)
                throw std::runtime_error("the language table is damaged");
            return std::vector<std::string>{"en"};
        };
        manager = std::make_unique<QSVCleanManager>(env);
        manager->setModuleFilter({sysmodule::Trash});
        m.buildCatalogue();
    }
    ToolEngine& engine() override { return *manager; }
    std::vector<std::string> populate(int n) override {
        std::vector<std::string> out;
        for (int i = 0; i < n; ++i) {
            std::string item = "home/.Trash/item" + std::to_string(i);
            m.t.sizedFile(item + "/data", static_cast<std::uint64_t>(100 + i));
            out.push_back(m.t.path(item));
        }
        return out;
    }
    std::string lockTarget(const std::string& path) override { return path + "/data"; }
    void breakScan() override {
        broken = true;
        manager->setModuleFilter({sysmodule::Trash, sysmodule::Language});
    }
    void change(const std::string& path) override {
        test::removeTree(path);
        ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
        m.t.file(path.substr(m.t.root().size() + 1) + "/new", "something else");
    }

    test::SystemMachine m;
    std::unique_ptr<QSVCleanManager> manager;
    bool broken = false;
};

class DuplicatesRig : public Rig {
public:
    DuplicatesRig() : engine_(helper()) { engine_.setScanFolders({t.path("scan")}); }
    ToolEngine& engine() override { return engine_; }
    std::vector<std::string> populate(int n) override {
        std::vector<std::string> out;
        for (int i = 0; i < n; ++i) {
            std::string bytes(static_cast<std::size_t>(20000 + i), static_cast<char>('a' + i % 26));
            t.file("scan/kept/f" + std::to_string(i) + ".bin", bytes);
            out.push_back(t.file(
                "scan/c" + std::to_string(i) + "/f" + std::to_string(i) + " copy.bin", bytes));
        }
        return out;
    }
    std::string lockTarget(const std::string& path) override { return path; }
    void breakScan() override {
        // A folder of the list that is a link is not walked, and said so.
        engine_.setScanFolders({t.path("scan"), t.symlink("linked", t.path("scan"))});
    }
    void change(const std::string& path) override {
        t.file(path.substr(t.root().size() + 1), std::string(20000, '#'));
        struct timespec times[2] = {{0, UTIME_OMIT}, {1000, 0}};
        ::utimensat(AT_FDCWD, path.c_str(), times, 0);
    }

    test::TempTree t;
    test::ScopedEnv home{"TESSALY_HOME", t.dir("home")};
    DuplicateFile engine_;
};

class OldFilesRig : public Rig {
public:
    OldFilesRig() { engine_.setScanFolders({t.dir("scan")}); }
    ToolEngine& engine() override { return engine_; }
    std::vector<std::string> populate(int n) override {
        std::vector<std::string> out;
        for (int i = 0; i < n; ++i)
            out.push_back(old("scan/c" + std::to_string(i) + "/setup" + std::to_string(i) + ".exe",
                              5'000'000 + i));
        return out;
    }
    std::string lockTarget(const std::string& path) override { return path; }
    void breakScan() override {
        engine_.setScanFolders({t.path("scan"), t.symlink("linked", t.path("scan"))});
    }
    void change(const std::string& path) override {
        old(path.substr(t.root().size() + 1), 6'000'000);
    }
    bool usesHelper() const override { return false; }

private:
    // A sparse file of `size` bytes last opened 40 days ago.
    std::string old(const std::string& relative, off_t size) {
        std::string path = t.file(relative);
        EXPECT_EQ(::truncate(path.c_str(), size), 0);
        struct timespec when {
            ::time(nullptr) - 40 * 86400, 0
        };
        struct timespec times[2] = {when, when};
        ::utimensat(AT_FDCWD, path.c_str(), times, 0);
        return path;
    }

    test::TempTree t;
    test::ScopedEnv home{"TESSALY_HOME", t.dir("home")};
    test::ScopedEnv root{"TESSALY_ROOT", t.dir("root")};
    OldFileScan engine_;
};

class AliasRig : public Rig {
public:
    AliasRig() : engine_(helper()) { engine_.setScanFolders({t.dir("scan")}); }
    ToolEngine& engine() override { return engine_; }
    // Alias files whose targets are gone: broken, so ticked by the scan.
    std::vector<std::string> populate(int n) override {
        std::vector<std::string> out;
        for (int i = 0; i < n; ++i)
            out.push_back(alias("scan/c" + std::to_string(i) + "/alias" + std::to_string(i),
                                t.path("gone" + std::to_string(i))));
        return out;
    }
    std::string lockTarget(const std::string& path) override { return path; }
    void breakScan() override {
        engine_.setScanFolders({t.path("scan"), t.symlink("linked", t.path("scan"))});
    }
    void change(const std::string& path) override {
        alias(path.substr(t.root().size() + 1), t.path("elsewhere/a much longer name"));
    }

private:
    std::string alias(const std::string& relative, const std::string& target) {
        auto data = bookmark::makeBookmark(target);
        t.dir(relative.substr(0, relative.rfind('/')));
        std::string path = t.path(relative);
        ::unlink(path.c_str());
        EXPECT_TRUE(writeFileAtomically(path, data.data(), data.size()));
        return path;
    }

    test::TempTree t;
    test::ScopedEnv home{"TESSALY_HOME", t.dir("home")};
    AliasHelper engine_;
};

class EraserRig : public Rig {
public:
    EraserRig()
        : engine_([this] {
              ShredderEnvironment env;
              env.overwriteAsRoot = [](const std::string&, bool* reached) {
                  *reached = true;
                  return true;
              };
              env.removeAsRoot = helper();
              return env;
          }()) {}
    ToolEngine& engine() override {
        engine_.setPaths(picked_);
        return engine_;
    }
    // Picked files, each in a folder of its own.
    std::vector<std::string> populate(int n) override {
        for (int i = 0; i < n; ++i)
            picked_.push_back(
                t.sizedFile("scan/c" + std::to_string(i) + "/secret" + std::to_string(i),
                            static_cast<std::uint64_t>(1000 + i), 's'));
        return picked_;
    }
    std::string lockTarget(const std::string& path) override { return path; }
    void breakScan() override { picked_.push_back(t.path("not-there")); }
    void change(const std::string& path) override {
        t.sizedFile(path.substr(t.root().size() + 1), 5);
    }
    bool checksChanges() const override { return false; }

private:
    test::TempTree t;
    std::vector<std::string> picked_;
    ShredderFiles engine_;
};

class SecurityRig : public Rig {
public:
    SecurityRig() : engine_(helper(), {}) { engine_.setScanFolders({t.dir("scan")}); }
    ToolEngine& engine() override { return engine_; }
    // Copies of the standard antivirus test file, each in a folder of its own.
    std::vector<std::string> populate(int n) override {
        std::vector<std::string> out;
        for (int i = 0; i < n; ++i)
            out.push_back(t.file("scan/c" + std::to_string(i) + "/sample" + std::to_string(i),
                                 "X5O!P%@AP[4\\PZX54(P^)7CC)7}$EICAR-STANDARD-ANTIVIRUS-TEST-"
                                 "FILE!$H+H*"));
        return out;
    }
    std::string lockTarget(const std::string& path) override { return path; }
    void breakScan() override {
        engine_.setScanFolders({t.path("scan"), t.symlink("linked", t.path("scan"))});
    }
    void change(const std::string& path) override {
        t.file(path.substr(t.root().size() + 1), "harmless now");
    }

private:
    test::TempTree t;
    test::ScopedEnv home{"TESSALY_HOME", t.dir("home")};
    VirtualScan engine_;
};

class BrowserRig : public Rig {
public:
    BrowserRig()
        : engine_([] {
              BrowserEnvironment env;
              env.keepCookies = [] { return std::vector<std::string>{}; };
              env.riskyList = [] { return std::optional<std::vector<std::string>>(); };
              return env;
          }()) {}
    ToolEngine& engine() override { return engine_; }
    // Chrome cache entries, each a folder with a file in it.
    std::vector<std::string> populate(int n) override {
        std::vector<std::string> out;
        for (int i = 0; i < n; ++i) {
            std::string item = kCache + "/entry" + std::to_string(i);
            m.t.sizedFile(item + "/data", static_cast<std::uint64_t>(100 + i));
            out.push_back(m.t.path(item));
        }
        return out;
    }
    std::string lockTarget(const std::string& path) override { return path + "/data"; }
    // A cookie database that is no database.
    void breakScan() override {
        m.t.file("home/Library/Application Support/Google/Chrome/Default/Cookies",
                 std::string(4096, 'x'));
    }
    void change(const std::string& path) override {
        test::removeTree(path);
        ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
        m.t.file(path.substr(m.t.root().size() + 1) + "/new", "something else");
    }
    bool usesHelper() const override { return false; }

private:
    const std::string kCache = "home/Library/Caches/Google/Chrome/Default/Cache";
    test::FixtureRoots m;
    BroswerManager engine_;
};

class UninstallerRig : public Rig {
public:
    UninstallerRig()
        : engine_([this] {
              UninstallEnvironment env = u.environment();
              env.removeSystemFile = helper();
              return env;
          }()) {}
    ToolEngine& engine() override {
        engine_.setTargets(names_);
        return engine_;
    }
    // Applications, each removed with its bundle alone.
    std::vector<std::string> populate(int n) override {
        std::vector<std::string> out;
        for (int i = 0; i < n; ++i) {
            std::string name = "App" + std::to_string(i);
            out.push_back(test::makeApp(u.m.t, "root/Applications/" + name + ".app",
                                        "com.contract." + name, name));
            names_.push_back(name);
        }
        return out;
    }
    std::string lockTarget(const std::string& path) override {
        return path + "/Contents/Info.plist";
    }
    void breakScan() override {
        // A searched folder that is a link is not listed, and said so.
        u.m.t.dir("elsewhere");
        u.m.t.symlink("home/Library/Caches", u.m.t.path("elsewhere"));
    }
    void change(const std::string& path) override {
        test::removeTree(path);
        ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
        u.m.t.file(path.substr(u.m.t.root().size() + 1) + "/new", "something else");
    }

private:
    test::UninstallMachine u;
    std::vector<std::string> names_;
    SearchApplications engine_;
};

struct Row {
    const char* name;
    std::function<std::unique_ptr<Rig>()> make;
};

class ToolContract : public testing::TestWithParam<Row> {
protected:
    void SetUp() override { rig = GetParam().make(); }
    std::unique_ptr<Rig> rig;

    std::set<std::string> planned() {
        std::set<std::string> out;
        for (const PlanItem& p : rig->engine().plan().items)
            out.insert(p.path);
        return out;
    }
};

std::set<std::string> asSet(const std::vector<std::string>& v) {
    return {v.begin(), v.end()};
}

} // namespace

TEST_P(ToolContract, AStopBeforeTheWorkBeginsIsKept) {
    auto paths = rig->populate(3);
    std::stop_source stopped;
    stopped.request_stop();
    EXPECT_TRUE(rig->engine().scan(stopped.get_token(), {}).stopped);
    MainQueue::drain();

    ASSERT_FALSE(rig->scan().stopped);
    EXPECT_EQ(planned(), asSet(paths));
    Plan plan = rig->engine().plan();
    CleanOutcome outcome = rig->engine().clean(plan, stopped.get_token(), {});
    MainQueue::drain();
    EXPECT_TRUE(outcome.stopped);
    EXPECT_EQ(outcome.removed, 0);
    EXPECT_EQ(outcome.left.size(), paths.size());
    for (const auto& p : paths)
        EXPECT_TRUE(fileops::itemExists(p)) << p;
    EXPECT_EQ(planned(), asSet(paths)); // still listed and ticked
    EXPECT_TRUE(rig->handed.empty());
}

TEST_P(ToolContract, AStopInTheMiddleOfACleanLeavesTheRestListedAndTicked) {
    auto paths = rig->populate(6);
    ASSERT_FALSE(rig->scan().stopped);
    std::stop_source stop;
    int seen = 0;
    // Stop as the second item is about to be handled.
    ProgressSink sink = [&](const ProgressEvent& e) {
        if (!e.path.empty() && ++seen == 2)
            stop.request_stop();
    };
    CleanOutcome outcome = rig->engine().clean(rig->engine().plan(), stop.get_token(), sink);
    MainQueue::drain();
    EXPECT_TRUE(outcome.stopped);
    EXPECT_GE(outcome.removed, 1);
    EXPECT_LT(outcome.removed, 6);
    std::set<std::string> onDisk;
    for (const auto& p : paths)
        if (fileops::itemExists(p))
            onDisk.insert(p);
    EXPECT_EQ(static_cast<std::int64_t>(onDisk.size()), 6 - outcome.removed);
    EXPECT_EQ(planned(), onDisk); // what is still there is still listed and ticked
    EXPECT_TRUE(rig->handed.empty());
}

TEST_P(ToolContract, TheHelperHandOverCountsOnlyWhatIsGone) {
    auto paths = rig->populate(4);
    // Unremovable before the scan, as such files are: setting the immutable
    // attribute is itself a change of the file that a clean may see.
    std::map<std::string, std::unique_ptr<test::Unremovable>> locks;
    for (std::size_t i = 0; i < 3; ++i) {
        locks[paths[i]] = std::make_unique<test::Unremovable>(rig->lockTarget(paths[i]));
        if (!locks[paths[i]]->ok())
            GTEST_SKIP() << "this file system cannot keep a file from being removed";
    }
    ASSERT_FALSE(rig->scan().stopped);
    if (!rig->usesHelper()) {
        // Nothing is handed over: what the user may not remove stays, with its reason.
        CleanOutcome outcome = rig->engine().clean(rig->engine().plan(), {}, {});
        MainQueue::drain();
        EXPECT_TRUE(rig->handed.empty());
        EXPECT_EQ(outcome.removed, 1);
        EXPECT_EQ(outcome.left.size(), 3u);
        for (const LeftItem& l : outcome.left) {
            EXPECT_FALSE(l.reason.empty()) << l.path;
            EXPECT_TRUE(fileops::itemExists(l.path)) << l.path;
        }
        EXPECT_FALSE(fileops::itemExists(paths[3]));
        return;
    }
    // The helper removes the first, says it removed the second but leaves it,
    // and says that it could not remove the third.
    rig->helperDoes = [&](const std::vector<std::string>&, std::vector<std::string>* notRemoved) {
        locks[paths[0]].reset();
        fileops::removeItem(paths[0]);
        *notRemoved = {paths[2]};
        return true;
    };
    CleanOutcome outcome = rig->engine().clean(rig->engine().plan(), {}, {});
    MainQueue::drain();
    ASSERT_EQ(rig->handed.size(), 1u);
    EXPECT_EQ(asSet(rig->handed[0]), asSet({paths[0], paths[1], paths[2]}));
    EXPECT_EQ(outcome.removed, 2); // the fourth directly, the first by the helper
    EXPECT_FALSE(fileops::itemExists(paths[0]));
    EXPECT_FALSE(fileops::itemExists(paths[3]));
    std::set<std::string> left;
    for (const LeftItem& l : outcome.left) {
        left.insert(l.path);
        EXPECT_FALSE(l.reason.empty()) << l.path;
    }
    EXPECT_EQ(left, asSet({paths[1], paths[2]}));
    EXPECT_TRUE(fileops::itemExists(paths[1]));
    EXPECT_TRUE(fileops::itemExists(paths[2]));
    EXPECT_EQ(planned(), asSet({paths[1], paths[2]}));
}

TEST_P(ToolContract, AnItemChangedSinceTheScanIsLeftWithItsReason) {
    if (!rig->checksChanges())
        GTEST_SKIP() << "this tool acts on what the picked path holds now";
    auto paths = rig->populate(2);
    ASSERT_FALSE(rig->scan().stopped);
    rig->change(paths[0]);
    CleanOutcome outcome = rig->engine().clean(rig->engine().plan(), {}, {});
    MainQueue::drain();
    EXPECT_EQ(outcome.removed, 1);
    ASSERT_EQ(outcome.left.size(), 1u);
    EXPECT_EQ(outcome.left[0].path, paths[0]);
    EXPECT_EQ(outcome.left[0].reason, "changed since the scan");
    EXPECT_TRUE(fileops::itemExists(paths[0]));
    EXPECT_FALSE(fileops::itemExists(paths[1]));
    EXPECT_TRUE(rig->handed.empty()); // a changed item never goes to the helper
}

TEST_P(ToolContract, APartOfTheScanThatFailsIsReported) {
    auto paths = rig->populate(1);
    rig->breakScan();
    ScanSummary summary = rig->scan();
    EXPECT_FALSE(summary.stopped);
    ASSERT_FALSE(summary.problems.empty());
    for (const Problem& p : summary.problems) {
        EXPECT_FALSE(p.path.empty());
        EXPECT_FALSE(p.reason.empty());
    }
    EXPECT_EQ(planned(), asSet(paths)); // the rest of the scan is whole
}

INSTANTIATE_TEST_SUITE_P(
    Engines, ToolContract,
    testing::Values(Row{"SystemCleanup", [] { return std::unique_ptr<Rig>(new SystemRig); }},
                    Row{"Duplicates", [] { return std::unique_ptr<Rig>(new DuplicatesRig); }},
                    Row{"OldFiles", [] { return std::unique_ptr<Rig>(new OldFilesRig); }},
                    Row{"Aliases", [] { return std::unique_ptr<Rig>(new AliasRig); }},
                    Row{"Eraser", [] { return std::unique_ptr<Rig>(new EraserRig); }},
                    Row{"Security", [] { return std::unique_ptr<Rig>(new SecurityRig); }},
                    Row{"Browser", [] { return std::unique_ptr<Rig>(new BrowserRig); }},
                    Row{"Uninstaller", [] { return std::unique_ptr<Rig>(new UninstallerRig); }}),
    [](const testing::TestParamInfo<Row>& row) { return std::string(row.param.name); });
