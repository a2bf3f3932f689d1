// The real DornDaemon with one allowed place and a decoy tree beside it: what
// lies outside the place, or is reached through a link, is never changed,
// and nothing the service writes grants a privilege.
#include "helper/HelperConnection.h"
#include "platform/PropertyList.h"
#include "tests/daemon/DaemonProcess.h"
#include "tests/support/TempTree.h"
#include "tests/support/ScopedMount.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <grp.h>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace tessaly {
namespace {

namespace fs = std::filesystem;
using test::DaemonProcess;
using test::TempTree;
using test::ScopedMount;

constexpr uid_t kNobody = 65534;

// Everything about a tree that a command could change: per entry its kind,
// mode, owner and contents (or link target).
std::map<std::string, std::string> snapshot(const std::string& root) {
    std::map<std::string, std::string> out;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::end(it); ++it) {
        struct stat st {};
        std::string p = it->path().string();
        ::lstat(p.c_str(), &st);
        std::string what = std::to_string(st.st_mode) + " " + std::to_string(st.st_uid) + " ";
        if (S_ISREG(st.st_mode))
            what += test::readText(p);
        else if (S_ISLNK(st.st_mode))
            what += fs::read_symlink(p).string();
        out[p.substr(root.size())] = what;
    }
    return out;
}

mode_t modeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// A universal file holding one slice for this machine and one for another.
std::string universal(const std::string& machine) {
    std::uint32_t own = machine == "aarch64" || machine == "arm64" ? 0x0100000C : 0x01000007;
    std::uint32_t other = own == 0x01000007 ? 0x0100000C : 0x01000007;
    std::string out;
    auto be32 = [&out](std::uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8)
            out += static_cast<char>((v >> shift) & 0xFF);
    };
    be32(0xCAFEBABE);
    be32(2);
    for (auto [cpu, offset] : {std::pair{other, 4096u}, std::pair{own, 8192u}}) {
        be32(cpu);
        be32(3);
        be32(offset);
        be32(4);
        be32(12);
    }
    out.resize(4096, '\0');
    out += "OTHR";
    out.resize(8192, '\0');
    return out + "MINE";
}

// Runs fn in a child process as user kNobody; its result is the child's exit status.
int asNobody(const std::function<int()>& fn) {
    pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            ::_exit(90);
        ::_exit(fn());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
}

class DaemonPolicy : public ::testing::Test {
protected:
    void SetUp() override {
        // Reachable by another user, so that one can be a caller too.
        ::chmod(tree_.root().c_str(), 0755);
        place_ = tree_.dir("place");
        decoy_ = tree_.dir("decoy");
        tree_.file("decoy/secret", "decoy secret");
        tree_.file("decoy/dir/inner", "inner");
        tree_.file("decoy/job.plist", "<plist><dict/></plist>");
        tree_.file("decoy/fat", universal(machine()));
        tree_.dir("run");
        ::chmod(tree_.path("run").c_str(), 0755);
        toolLog_ = tree_.path("launchctl.log");
        std::string tool =
            tree_.file("bin/launchctl", "#!/bin/sh\necho ran >> '" + toolLog_ + "'\n");
        ::chmod(tool.c_str(), 0755);
        start({"--launchctl", tool});
    }

    void start(std::vector<std::string> extra) {
        daemon_.reset();
        extra.insert(extra.end(), {"--allow-root", place_});
        daemon_ = std::make_unique<DaemonProcess>(tree_.path("run/DornDamonObject"), extra);
        ASSERT_TRUE(daemon_->waitUntilReady()) << daemon_->log();
        ASSERT_TRUE(connection_.lookup("removeFile:", daemon_->socketPath()));
    }

    static std::string machine() {
        static const std::string m = [] {
            struct utsname u {};
            ::uname(&u);
            return std::string(u.machine);
        }();
        return m;
    }

    PlistValue call(const std::string& command, PlistValue::Array args) {
        return connection_.call(command, std::move(args));
    }

    // Waits until the service's log holds the text (the asynchronous commands
    // answer before they act).
    bool logShows(const std::string& text) const {
        for (int i = 0; i < 1000; ++i) {
            if (daemon_->log().find(text) != std::string::npos)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    TempTree tree_;
    std::string place_, decoy_, toolLog_;
    std::unique_ptr<DaemonProcess> daemon_;
    HelperConnection connection_;
};

TEST_F(DaemonPolicy, EveryCommandRefusesWhatIsOutsideItsPlaceAndTheDecoyStaysAsItWas) {
    tree_.symlink("place/to-decoy", decoy_);
    tree_.symlink("place/to-secret", decoy_ + "/secret");
    tree_.file("place/own.txt", "mine");
    tree_.file("place/job.plist", "<plist><dict/></plist>");
    ASSERT_EQ(::link((decoy_ + "/secret").c_str(), tree_.path("place/hard-secret").c_str()), 0);
    auto before = snapshot(decoy_);
    std::string secret = decoy_ + "/secret";
    PlistValue bytes(Data{'p', 'w', 'n'});
    PlistValue dict(PlistValue::Dict{{"k", PlistValue("v")}});
    PlistValue yes(true);
    struct Case {
        const char* command;
        PlistValue::Array args;
    };
    auto s = [](const std::string& text) { return PlistValue(text); };
    auto list = [](const std::string& text) {
        return PlistValue(PlistValue::Array{PlistValue(text)});
    };
    const Case cases[] = {
        {"removeSystemFile:", {s(secret)}},
        {"removeSystemFile:", {s(decoy_ + "/dir")}},
        {"removeSystemFile:", {s(place_ + "/../decoy/secret")}},
        {"removeSystemFile:", {s(place_ + "/./to-decoy/secret")}},
        {"removeSystemFile:", {s("decoy/secret")}},
        {"removeSystemFile:", {s(place_ + "/to-decoy/dir")}},
        {"removeSystemFile:", {s(place_)}},
        {"removeSystemFile:", {s(tree_.root())}},
        {"reallyRemove:", {list(place_ + "/to-decoy/secret")}},
        {"shredderFile:one:", {s(secret), yes}},
        {"shredderFile:one:", {s(place_ + "/to-secret"), yes}},
        {"shredderFile:one:", {s(place_ + "/to-decoy/secret"), yes}},
        {"shredderFile:one:", {s(place_ + "/hard-secret"), yes}},
        {"shredderFiles:", {list(secret)}},
        {"lipoSystemApp:", {s(decoy_ + "/fat")}},
        {"lipoSystemApp:", {s(place_ + "/to-decoy/fat")}},
        {"lipo:", {list(decoy_ + "/fat")}},
        {"writeDataToSystemFile:path:", {bytes, s(secret)}},
        {"writeDataToSystemFile:path:", {bytes, s(place_ + "/to-secret")}},
        {"writeDataToSystemFile:path:", {bytes, s(place_ + "/to-decoy/new")}},
        {"writeDicToSystemFile:path:", {dict, s(decoy_ + "/new.plist")}},
        {"createSystemDir:", {s(decoy_ + "/made")}},
        {"createSystemDir:", {s(place_ + "/to-decoy/made")}},
        {"copySystemFile:destPath:", {s(secret), s(place_ + "/stolen")}},
        {"copySystemFile:destPath:", {s(place_ + "/own.txt"), s(decoy_ + "/planted")}},
        {"copySystemFile:destPath:", {s(place_ + "/own.txt"), s(place_ + "/to-decoy/planted")}},
        {"setServerDisable:disable:", {s(decoy_ + "/job.plist"), yes}},
        {"launchUnload:", {s(decoy_ + "/job.plist")}},
        {"launchLoad:", {s(place_ + "/job.plist")}},
        {"startSystemServer:", {list(place_ + "/job.plist")}},
    };
    for (const auto& c : cases) {
        PlistValue reply = call(c.command, c.args);
        EXPECT_TRUE(reply.isNone() || !reply.toBool(true))
            << c.command << " " << c.args[0].toString();
    }
    // The asynchronous removal answers first: its refusal shows in the log.
    call("removeFile:", {list(secret)});
    EXPECT_TRUE(logShows("refused removal of \"" + secret + "\" for user " +
                         std::to_string(::getuid()) + ": outside the allowed places"));
    EXPECT_EQ(snapshot(decoy_), before);
    EXPECT_FALSE(fs::exists(place_ + "/stolen"));
    // A link is copied as a link: what it points to is not read.
    EXPECT_TRUE(
        call("copySystemFile:destPath:", {s(place_ + "/to-secret"), s(place_ + "/link-copy")})
            .toBool());
    EXPECT_TRUE(fs::is_symlink(place_ + "/link-copy"));
    EXPECT_FALSE(fs::exists(toolLog_)) << "the service manager tool ran";
    std::string log = daemon_->log();
    for (const char* reason :
         {"a path with . or .. components", "not an absolute path", "an allowed place itself",
          "it has several hard links", "its folder cannot be reached without links"})
        EXPECT_NE(log.find(reason), std::string::npos) << reason << "\n" << log;
}

TEST_F(DaemonPolicy, NothingItMakesOrRewritesCarriesSetuidAndRewritesKeepTheirOwner) {
    std::string tool = tree_.file("place/tool", "#!/bin/sh\n");
    ::chmod(tool.c_str(), 04755);
    ASSERT_EQ(modeOf(tool), 04755u) << "the fixture cannot make a setuid file";
    EXPECT_TRUE(call("copySystemFile:destPath:", {PlistValue(tool), PlistValue(place_ + "/copy")})
                    .toBool());
    EXPECT_EQ(modeOf(place_ + "/copy"), 0755u);
    EXPECT_EQ(test::readText(place_ + "/copy"), "#!/bin/sh\n");

    std::string rewritten = tree_.file("place/rewritten", "old");
    ::chmod(rewritten.c_str(), 06755);
    EXPECT_TRUE(call("writeDataToSystemFile:path:",
                     {PlistValue(Data{'n', 'e', 'w'}), PlistValue(rewritten)})
                    .toBool());
    EXPECT_EQ(modeOf(rewritten), 0755u);
    EXPECT_EQ(test::readText(rewritten), "new");

    // Thinning a setuid program is refused; the file is left as it was.
    std::string fat = tree_.file("place/fat", universal(machine()));
    ::chmod(fat.c_str(), 04755);
    call("lipoSystemApp:", {PlistValue(fat)});
    EXPECT_EQ(test::readText(fat), universal(machine()));
    EXPECT_EQ(modeOf(fat), 04755u);

    // A private file keeps its owner and mode; a new one belongs to the caller.
    std::string privateFile = tree_.file("place/private.plist", "<plist><dict/></plist>");
    ::chmod(privateFile.c_str(), 0600);
    uid_t owner = ::geteuid() == 0 ? kNobody : ::getuid();
    ASSERT_EQ(::chown(privateFile.c_str(), owner, static_cast<gid_t>(-1)), 0);
    PlistValue dict(PlistValue::Dict{{"k", PlistValue("v")}});
    EXPECT_TRUE(call("writeDicToSystemFile:path:", {dict, PlistValue(privateFile)}).toBool());
    struct stat st {};
    ASSERT_EQ(::lstat(privateFile.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, owner);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_TRUE(
        call("writeDicToSystemFile:path:", {dict, PlistValue(place_ + "/new.plist")}).toBool());
    ASSERT_EQ(::lstat((place_ + "/new.plist").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, ::getuid());
    EXPECT_EQ(st.st_mode & 07777, 0644u);
    EXPECT_TRUE(call("createSystemDir:", {PlistValue(place_ + "/made/deeper")}).toBool());
    EXPECT_EQ(modeOf(place_ + "/made/deeper"), 0755u);
}

TEST_F(DaemonPolicy, ACopyNeedsTheCallersOwnRightToReadItsSource) {
    std::string hidden = tree_.file("place/locked/secret", "not yours");
    if (::geteuid() != 0) {
        // The service is this user too: a file this user may not read.
        ::chmod(hidden.c_str(), 0);
        EXPECT_FALSE(
            call("copySystemFile:destPath:", {PlistValue(hidden), PlistValue(place_ + "/stolen")})
                .toBool(true));
        ::chmod(hidden.c_str(), 0600);
        EXPECT_FALSE(fs::exists(place_ + "/stolen"));
        return;
    }
    // The service is root; the caller is another user who cannot enter "locked".
    ::chmod(tree_.path("place/locked").c_str(), 0700);
    ::chmod(place_.c_str(), 0777);
    tree_.file("place/readable", "yours");
    start({"--allow-uid", std::to_string(kNobody)});
    std::string socket = daemon_->socketPath();
    std::string stolen = place_ + "/stolen", copied = place_ + "/copied";
    int status = asNobody([&] {
        HelperConnection c;
        if (!c.lookup("copySystemFile:destPath:", socket))
            return 2;
        bool refused = !c.call("copySystemFile:destPath:", {PlistValue(hidden), PlistValue(stolen)})
                            .toBool(true);
        bool allowed = c.call("copySystemFile:destPath:",
                              {PlistValue(place_ + "/readable"), PlistValue(copied)})
                           .toBool(false);
        return refused && allowed ? 0 : 1;
    });
    EXPECT_EQ(status, 0) << daemon_->log();
    EXPECT_FALSE(fs::exists(stolen));
    struct stat st {};
    ASSERT_EQ(::lstat(copied.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, kNobody) << "a copy belongs to the caller";
}

TEST_F(DaemonPolicy, ALinkRacedIntoThePathNeverLetsARemovalOutOfItsPlace) {
    tree_.file("decoy/victim/file", "keep me");
    tree_.file("place/a/victim/file", "may go");
    auto before = snapshot(decoy_);
    std::atomic<bool> racing{true};
    std::string a = place_ + "/a", real = place_ + "/a.real";
    std::thread racer([&] {
        while (racing) {
            // The folder on the way becomes a link to the decoy and back again.
            std::rename(a.c_str(), real.c_str());
            ::symlink(decoy_.c_str(), a.c_str());
            ::unlink(a.c_str());
            std::rename(real.c_str(), a.c_str());
        }
    });
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    int removed = 0;
    while (std::chrono::steady_clock::now() < until) {
        removed += call("removeSystemFile:", {PlistValue(a + "/victim")}).toBool(false);
        call("removeSystemFile:", {PlistValue(a + "/victim/file")});
        std::error_code ignored; // the folder may be away just now
        fs::create_directories(real + "/victim", ignored);
    }
    racing = false;
    racer.join();
    EXPECT_EQ(snapshot(decoy_), before) << "a removal escaped through the link";
    RecordProperty("removals in the place", removed);
}

TEST_F(DaemonPolicy, InASharedPlaceACallerDoesOnlyWhatItsOwnRightsAllow) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as two other users";
    const uid_t kOther = 4321;
    // A shared folder, sticky as /tmp is, holding another user's private files.
    ::chmod(place_.c_str(), 01777);
    auto theirs = [&](const std::string& relative, const std::string& contents) {
        std::string path = tree_.file(relative, contents);
        ::chmod(path.c_str(), 0600);
        EXPECT_EQ(::chown(path.c_str(), kOther, kOther), 0);
        return path;
    };
    std::string text = theirs("place/theirs.txt", "their private text");
    std::string fat = theirs("place/theirs.fat", universal(machine()));
    std::string job = theirs("place/theirs.plist",
                             "<plist><dict><key>Program</key><string>/x</string></dict></plist>");
    std::string inner = theirs("place/their-folder/inner", "inner");
    ASSERT_EQ(::chown(tree_.path("place/their-folder").c_str(), kOther, kOther), 0);
    std::string own = tree_.file("place/nobodys.txt", "may go");
    ASSERT_EQ(::chown(own.c_str(), kNobody, kNobody), 0);
    auto before = snapshot(place_);
    start({"--allow-uid", std::to_string(kNobody)});
    std::string socket = daemon_->socketPath();
    int status = asNobody([&] {
        HelperConnection c;
        if (!c.lookup("removeSystemFile:", socket))
            return 2;
        auto no = [&](const char* command, PlistValue::Array args) {
            PlistValue r = c.call(command, std::move(args));
            return r.isNone() || !r.toBool(true);
        };
        PlistValue yes(true);
        bool refused = no("removeSystemFile:", {PlistValue(text)}) &&
                       no("removeSystemFile:", {PlistValue(inner)}) &&
                       no("removeSystemFile:", {PlistValue(tree_.path("place/their-folder"))}) &&
                       no("shredderFile:one:", {PlistValue(text), yes}) &&
                       no("lipoSystemApp:", {PlistValue(fat)}) &&
                       no("setServerDisable:disable:", {PlistValue(job), yes}) &&
                       no("writeDataToSystemFile:path:",
                          {PlistValue(PlistValue::Data{'x'}), PlistValue(text)});
        // Its own file in the same folder goes as it would for the caller itself.
        bool ownGone = c.call("removeSystemFile:", {PlistValue(own)}).toBool(false);
        return refused && ownGone ? 0 : 1;
    });
    EXPECT_EQ(status, 0) << daemon_->log();
    before.erase(own.substr(place_.size()));
    EXPECT_EQ(snapshot(place_), before) << "another user's file was changed";
    EXPECT_FALSE(fs::exists(own));
}

TEST_F(DaemonPolicy, NoCommandCrossesIntoAnotherMountBeneathItsPlace) {
    tree_.dir("place/outer/mnt");
    tree_.file("place/victim", "placeholder");
    ScopedMount tmpfs(place_ + "/outer/mnt");
    ScopedMount bound(place_ + "/victim", decoy_ + "/secret");
    if (!tmpfs.ok() || !bound.ok())
        GTEST_SKIP() << "mounting needs root";
    tree_.file("place/outer/mnt/inside", "on another file system");
    auto decoyBefore = snapshot(decoy_);
    auto mountBefore = snapshot(place_ + "/outer/mnt");
    PlistValue yes(true);
    PlistValue bytes(Data{'x'});
    const std::string inside = place_ + "/outer/mnt/inside";
    const std::string victim = place_ + "/victim";
    EXPECT_FALSE(call("removeSystemFile:", {PlistValue(place_ + "/outer")}).toBool(true));
    EXPECT_FALSE(call("removeSystemFile:", {PlistValue(inside)}).toBool(true));
    EXPECT_FALSE(call("removeSystemFile:", {PlistValue(victim)}).toBool(true));
    EXPECT_FALSE(call("shredderFile:one:", {PlistValue(inside), yes}).toBool(true));
    EXPECT_FALSE(call("shredderFile:one:", {PlistValue(victim), yes}).toBool(true));
    EXPECT_FALSE(call("writeDataToSystemFile:path:", {bytes, PlistValue(victim)}).toBool(true));
    EXPECT_FALSE(
        call("writeDataToSystemFile:path:", {bytes, PlistValue(inside + ".new")}).toBool(true));
    EXPECT_EQ(snapshot(decoy_), decoyBefore);
    EXPECT_EQ(snapshot(place_ + "/outer/mnt"), mountBefore);
    EXPECT_NE(daemon_->log().find("mounted"), std::string::npos) << daemon_->log();
}

TEST_F(DaemonPolicy, AnExtraRootBehindAFolderOthersMayWriteIsRefusedAtStart) {
    std::string shared = tree_.dir("shared");
    ::chmod(shared.c_str(), 0777); // anyone could swap "root" for a link to /etc
    std::string root = tree_.dir("shared/root");
    std::string file = tree_.file("shared/root/file", "stays");
    start({"--allow-root", root});
    EXPECT_NE(daemon_->log().find("ignored the allowed root \"" + root + "\""), std::string::npos)
        << daemon_->log();
    EXPECT_FALSE(call("removeSystemFile:", {PlistValue(file)}).toBool(true));
    EXPECT_EQ(test::readText(file), "stays");
}

TEST_F(DaemonPolicy, AHugeSliceIsThinnedThroughABoundedBuffer) {
    // A universal file whose own slice is 2 GiB, mostly a hole: the thinned
    // file is the slice, and the service's memory stays small.
    std::string once = universal(machine());
    const std::uint64_t slice = std::uint64_t{2} << 30;
    std::string header = once.substr(0, 8192);
    auto be32 = [&header](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            header[at + i] = static_cast<char>((v >> (24 - 8 * i)) & 0xFF);
    };
    be32(8 + 20 + 12, static_cast<std::uint32_t>(slice)); // the second slice's size
    std::string path = tree_.file("place/huge", header + "MINE");
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(8192 + slice)), 0);
    {
        std::fstream out(path, std::ios::in | std::ios::out | std::ios::binary);
        out.seekp(static_cast<std::streamoff>(8192 + slice - 4));
        out << "END!";
    }
    call("lipoSystemApp:", {PlistValue(path)});
    ASSERT_EQ(fs::file_size(path), slice) << daemon_->log();
    std::ifstream in(path, std::ios::binary);
    char head[4], tail[4];
    in.read(head, 4);
    in.seekg(static_cast<std::streamoff>(slice - 4));
    in.read(tail, 4);
    EXPECT_EQ(std::string(head, 4), "MINE");
    EXPECT_EQ(std::string(tail, 4), "END!");
    // The most the service ever held in memory.
    std::ifstream status("/proc/" + std::to_string(daemon_->pid()) + "/status");
    std::string line;
    long peakKiB = -1;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            peakKiB = std::stol(line.substr(6));
    ASSERT_GT(peakKiB, 0);
    EXPECT_LT(peakKiB, 512 * 1024) << "the slice was held in memory";
}

TEST_F(DaemonPolicy, ARootsFileAddsPlacesOnlyWhenNoOneElseCanChangeIt) {
    std::string extra = tree_.dir("extra");
    std::string rootsFile =
        tree_.file("conf/helper-roots", "# extra places\n\n  " + extra + "  \n");
    ::chmod(tree_.path("conf").c_str(), 0755);
    ::chmod(rootsFile.c_str(), 0644);
    tree_.file("extra/a", "a");
    tree_.file("extra/b", "b");
    start({"--roots-file", rootsFile});
    EXPECT_TRUE(call("removeSystemFile:", {PlistValue(extra + "/a")}).toBool());
    // Writable by others: not trusted, so not read at all.
    ::chmod(rootsFile.c_str(), 0666);
    start({"--roots-file", rootsFile});
    EXPECT_FALSE(call("removeSystemFile:", {PlistValue(extra + "/b")}).toBool(true));
    EXPECT_TRUE(fs::exists(extra + "/b"));
    EXPECT_NE(daemon_->log().find("ignored the roots file"), std::string::npos) << daemon_->log();
}

} // namespace
} // namespace tessaly
