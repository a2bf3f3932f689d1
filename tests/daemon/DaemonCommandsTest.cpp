// The real DornDaemon on a temporary socket, driven command by command, with
// the fixture tree as its one allowed place.
#include "daemon/HelperProtocol.h"
#include "helper/HelperConnection.h"
#include "platform/PropertyList.h"
#include "tests/daemon/DaemonProcess.h"
#include "tests/support/TempTree.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <tuple>

namespace tessaly {
namespace {

using test::DaemonProcess;
using test::TempTree;

std::uint64_t fileSize(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class DaemonCommands : public ::testing::Test {
protected:
    void SetUp() override {
        launchctlLog_ = tree_.path("launchctl.log");
        // The stand-in records its arguments and the contents of the job it is given.
        std::string tool = tree_.file(
            "bin/launchctl", "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '" +
                                 launchctlLog_ + "'; done\n[ -f \"$2\" ] && cat \"$2\" >> '" +
                                 launchctlLog_ + "'\necho -- >> '" + launchctlLog_ + "'\n");
        ::chmod(tool.c_str(), 0755);
        tree_.dir("run");
        daemon_ = std::make_unique<DaemonProcess>(
            tree_.path("run/DornDamonObject"),
            std::vector<std::string>{"--launchctl", tool, "--allow-root", tree_.root()});
        ASSERT_TRUE(daemon_->waitUntilReady()) << daemon_->log();
        ASSERT_TRUE(connection_.lookup("removeFile:", daemon_->socketPath()));
    }

    PlistValue call(const std::string& command, PlistValue::Array args = {}) {
        return connection_.call(command, std::move(args));
    }

    static PlistValue list(std::initializer_list<std::string> items) {
        return PlistValue(PlistValue::Array(items.begin(), items.end()));
    }

    TempTree tree_;
    std::string launchctlLog_;
    std::unique_ptr<DaemonProcess> daemon_;
    HelperConnection connection_;
};

TEST_F(DaemonCommands, ServesEveryCommandOfItsSetAndNoOther) {
    for (const char* name : {"removeFile:",
                             "reallyRemove:",
                             "stopRemove",
                             "shredderFiles:",
                             "shredderFile:one:",
                             "shredderStop",
                             "lipoSystemApp:",
                             "lipoApp:",
                             "lipo:",
                             "getPCArchitecture",
                             "launchUnload:",
                             "launchLoad:",
                             "stopSystemServer:",
                             "startSystemServer:",
                             "startSpolight",
                             "setServerDisable:disable:",
                             "removeSystemFile:",
                             "createSystemDir:",
                             "copySystemFile:destPath:",
                             "writeDataToSystemFile:path:",
                             "writeDicToSystemFile:path:",
                             "stop",
                             "setStop:",
                             "stopShredder",
                             "setStopShredder:"})
        EXPECT_TRUE(connection_.respondsToSelector(name)) << name;
    EXPECT_FALSE(connection_.respondsToSelector("removeFile"));
    EXPECT_FALSE(connection_.respondsToSelector("formatDisk:"));
    EXPECT_FALSE(call("getPCArchitecture").toString().empty());
}

TEST_F(DaemonCommands, OverwritesWithOnesInPlaceWithoutAppendingAndSkipsAMissingPath) {
    struct Case {
        const char* name;
        std::uint64_t size;
    };
    const Case cases[] = {{"empty", 0}, {"one-block", 1000000}, {"two-and-a-half", 2500000}};
    std::vector<std::string> paths;
    for (const auto& c : cases) {
        paths.push_back(tree_.sizedFile(c.name, c.size, 'z'));
        if (c.size == 1000000)
            paths.push_back(tree_.path("missing-in-the-middle"));
    }
    PlistValue::Array args{PlistValue(PlistValue::Array(paths.begin(), paths.end()))};
    EXPECT_TRUE(call("shredderFiles:", args).isNone());
    for (const auto& c : cases) {
        std::string path = tree_.path(c.name);
        ASSERT_EQ(fileSize(path), c.size) << c.name;
        EXPECT_EQ(fileBytes(path), std::string(c.size, '\x01')) << c.name;
    }
    EXPECT_FALSE(tree_.exists("missing-in-the-middle"));

    // One file with the second pattern: the same bytes; a missing file is a NO.
    std::string other = tree_.sizedFile("other", 1234567, 'q');
    EXPECT_TRUE(call("shredderFile:one:", {PlistValue(other), PlistValue(false)}).toBool());
    EXPECT_EQ(fileBytes(other), std::string(1234567, '\x01'));
    EXPECT_FALSE(
        call("shredderFile:one:", {PlistValue(tree_.path("gone")), PlistValue(true)}).toBool(true));
}

TEST_F(DaemonCommands, ANameThatIsNotUtf8TravelsAsItsBytes) {
    // Latin-1 names, as an old archive leaves them; a NUL byte is never a path.
    std::string folder = tree_.dir("caf\xe9");
    std::string file = tree_.file("caf\xe9/r\xe9sum\xe9.txt", "secret");
    std::string beside = tree_.file("cafe/resume.txt", "stays");
    EXPECT_TRUE(
        call("shredderFiles:", {PlistValue(PlistValue::Array{dorn::protocol::pathValue(file)})})
            .isNone());
    EXPECT_EQ(fileBytes(file), std::string(6, '\x01'));
    EXPECT_TRUE(call("removeSystemFile:", {dorn::protocol::pathValue(folder)}).toBool());
    EXPECT_FALSE(std::filesystem::exists(folder));
    EXPECT_EQ(fileBytes(beside), "stays");
    PlistValue withNul(PlistValue::Data{'/', 't', 'm', 'p', 0, 'x'});
    EXPECT_THROW(call("removeSystemFile:", {withNul}), HelperError);
}

TEST_F(DaemonCommands, StopFlagsAreReadAndSetByName) {
    EXPECT_FALSE(call("stop").toBool(true));
    call("setStop:", {PlistValue(true)});
    EXPECT_TRUE(call("stop").toBool());
    call("shredderStop");
    EXPECT_TRUE(call("stopShredder").toBool());
    // shredderFiles: lifts the stop of an earlier request before it starts.
    std::string f = tree_.sizedFile("f", 10, 'a');
    call("shredderFiles:", {list({f})});
    EXPECT_EQ(fileBytes(f), std::string(10, '\x01'));
    EXPECT_FALSE(call("stopShredder").toBool(true));
}

TEST_F(DaemonCommands, RemovalStopsBeforeTheNextPathAndFinishesTheCurrentOne) {
    // Folders of many files, so that removing each one takes a while.
    const int kFolders = 10, kFiles = 2000;
    std::vector<std::string> folders = tree_.foldersOfFiles("rm", kFolders, kFiles);
    // Entries left in a folder, -1 once it is gone.
    auto left = [](const std::string& dir) {
        std::error_code ec;
        std::filesystem::directory_iterator it(dir, ec);
        if (ec)
            return -1;
        return static_cast<int>(std::distance(it, std::filesystem::directory_iterator()));
    };
    EXPECT_TRUE(call("removeFile:", {PlistValue(PlistValue::Array(folders.begin(), folders.end()))})
                    .isNone()); // replies at once; the removal goes on in the background
    for (int i = 0; i < 20000 && left(folders[0]) == kFiles; ++i)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    call("stopRemove");
    EXPECT_TRUE(call("stop").toBool());

    // Wait until no folder is half removed: the one in progress goes completely.
    auto settled = [&] {
        for (const auto& f : folders)
            if (int n = left(f); n != -1 && n != kFiles)
                return false;
        return true;
    };
    for (int i = 0; i < 3000 && !settled(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(settled());
    EXPECT_EQ(left(folders.front()), -1);
    EXPECT_EQ(left(folders.back()), kFiles) << "the stop did not end the removal";
    // What went is a prefix of the list.
    bool sawKept = false;
    for (const auto& f : folders) {
        bool gone = left(f) == -1;
        EXPECT_FALSE(gone && sawKept) << f;
        sawKept = sawKept || !gone;
    }
}

TEST_F(DaemonCommands, RemoveSystemFileRepliesWhetherTheItemIsGone) {
    TempTree outside;
    tree_.file("victim/inner/a", "1");
    tree_.symlink("victim/link-out", outside.dir("kept"));
    outside.file("kept/keep", "k");
    EXPECT_TRUE(call("removeSystemFile:", {PlistValue(tree_.path("victim"))}).toBool());
    EXPECT_FALSE(tree_.exists("victim"));
    EXPECT_TRUE(outside.exists("kept/keep")) << "the removal followed a link";
    EXPECT_FALSE(call("removeSystemFile:", {PlistValue(tree_.path("victim"))}).toBool(true));
}

TEST_F(DaemonCommands, DisablesAndEnablesAJobByItsProgramPath) {
    std::string job = tree_.path("job.plist");
    PlistValue::Dict d;
    d["Label"] = PlistValue("com.example.job");
    d["ProgramArguments"] =
        PlistValue(PlistValue::Array{PlistValue("/opt/example/bin/tool"), PlistValue("--serve")});
    ASSERT_TRUE(plist::writeFile(job, PlistValue(d), plist::Format::Binary));
    auto programArguments = [&] {
        auto v = plist::readFile(job);
        return v ? *v->find("ProgramArguments") : PlistValue();
    };

    EXPECT_TRUE(call("setServerDisable:disable:", {PlistValue(job), PlistValue(true)}).toBool());
    EXPECT_EQ(programArguments(),
              PlistValue(PlistValue::Array{PlistValue("/opt/example/bin/tool/disable"),
                                           PlistValue("--serve")}));
    EXPECT_TRUE(call("setServerDisable:disable:", {PlistValue(job), PlistValue(false)}).toBool());
    EXPECT_EQ(programArguments(), PlistValue(d["ProgramArguments"]));
    // Enabling a job that is not disabled leaves its path as it is.
    EXPECT_TRUE(call("setServerDisable:disable:", {PlistValue(job), PlistValue(false)}).toBool());
    EXPECT_EQ(programArguments(), PlistValue(d["ProgramArguments"]));
    EXPECT_EQ(plist::readFile(job)->stringForKey("Label"), "com.example.job");

    // "Program" when there are no program arguments; neither: NO, file untouched.
    std::string single = tree_.path("single.plist");
    ASSERT_TRUE(plist::writeFile(
        single, PlistValue(PlistValue::Dict{{"Program", PlistValue("/x/y")}}), plist::Format::Xml));
    EXPECT_TRUE(call("setServerDisable:disable:", {PlistValue(single), PlistValue(true)}).toBool());
    EXPECT_EQ(plist::readFile(single)->stringForKey("Program"), "/x/y/disable");
    std::string bare =
        tree_.file("bare.plist", "<?xml version=\"1.0\"?><plist><dict><key>Label</key>"
                                 "<string>b</string></dict></plist>");
    std::string before = fileBytes(bare);
    EXPECT_FALSE(
        call("setServerDisable:disable:", {PlistValue(bare), PlistValue(true)}).toBool(true));
    EXPECT_EQ(fileBytes(bare), before);
    EXPECT_FALSE(
        call("setServerDisable:disable:", {PlistValue(tree_.path("none.plist")), PlistValue(true)})
            .toBool(true));
}

TEST_F(DaemonCommands, WritesCopiesAndCreatesFolders) {
    std::string data(3u << 20, '\0');
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 7);
    std::string target = tree_.file("written.bin", "old");
    EXPECT_TRUE(call("writeDataToSystemFile:path:",
                     {PlistValue(Data(data.begin(), data.end())), PlistValue(target)})
                    .toBool());
    EXPECT_EQ(fileBytes(target), data);

    std::string dictPath = tree_.path("dict.plist");
    PlistValue::Dict dict{{"Name", PlistValue("value")}, {"Count", PlistValue(3)}};
    EXPECT_TRUE(
        call("writeDicToSystemFile:path:", {PlistValue(dict), PlistValue(dictPath)}).toBool());
    EXPECT_EQ(fileBytes(dictPath).rfind("<?xml", 0), 0u);
    EXPECT_EQ(plist::readFile(dictPath), PlistValue(dict));

    tree_.file("src/a.txt", "A");
    tree_.file("src/sub/b.txt", "B");
    tree_.symlink("src/link", "a.txt");
    EXPECT_TRUE(call("copySystemFile:destPath:",
                     {PlistValue(tree_.path("src")), PlistValue(tree_.path("dst"))})
                    .toBool());
    EXPECT_EQ(test::readText(tree_.path("dst/sub/b.txt")), "B");
    EXPECT_EQ(std::filesystem::read_symlink(tree_.path("dst/link")), "a.txt");
    // The destination exists now: a second copy fails and changes nothing.
    tree_.file("src/a.txt", "changed");
    EXPECT_FALSE(call("copySystemFile:destPath:",
                      {PlistValue(tree_.path("src")), PlistValue(tree_.path("dst"))})
                     .toBool(true));
    EXPECT_EQ(test::readText(tree_.path("dst/a.txt")), "A");

    EXPECT_TRUE(call("createSystemDir:", {PlistValue(tree_.path("made/a/b"))}).toBool());
    EXPECT_TRUE(std::filesystem::is_directory(tree_.path("made/a/b")));
}

TEST_F(DaemonCommands, TheServiceManagerToolGetsACopyOfTheCheckedJobAsOneArgument) {
    std::string name = "it's \"a\" job.plist";
    std::string job = tree_.file("dir with spaces/" + name, "<plist>job</plist>\n");
    std::string other = tree_.file("b.plist", "<plist>b</plist>\n");
    call("launchUnload:", {PlistValue(job)});
    // Loading runs what a job names: never a job outside the system's job folders.
    call("launchLoad:", {PlistValue(job)});
    call("stopSystemServer:", {list({"/a.plist", other})});
    call("startSpolight");
    // One record a run: the arguments, one a line, then what the job file held.
    std::vector<std::vector<std::string>> runs(1);
    std::istringstream log(test::readText(launchctlLog_));
    for (std::string line; std::getline(log, line);) {
        if (line == "--")
            runs.emplace_back();
        else
            runs.back().push_back(line);
    }
    runs.pop_back();
    ASSERT_EQ(runs.size(), 3u) << test::readText(launchctlLog_);
    for (auto [run, fileName, contents] : {std::tuple{runs[0], name, "<plist>job</plist>"},
                                           {runs[1], "b.plist", "<plist>b</plist>"}}) {
        ASSERT_EQ(run.size(), 3u);
        EXPECT_EQ(run[0], "unload");
        EXPECT_TRUE(run[1].ends_with("/" + fileName)) << run[1];
        EXPECT_NE(run[1], job) << "the tool read the caller's path again";
        EXPECT_EQ(run[2], contents);
        EXPECT_FALSE(std::filesystem::exists(run[1])) << "the private copy was left behind";
    }
    EXPECT_EQ(runs[2],
              (std::vector<std::string>{
                  "load", "-w", "/System/Library/LaunchDaemons/com.apple.metadata.mds.plist"}));
    std::string daemonLog = daemon_->log();
    EXPECT_NE(daemonLog.find("refused job load of \"" + tree_.path("dir with spaces/it's \\\"a")),
              std::string::npos)
        << daemonLog;
    EXPECT_NE(daemonLog.find("refused job unload of \"/a.plist\""), std::string::npos);
}

// A universal file of two slices (CPU types ownCpu and otherCpu).
std::string universalFile(std::uint32_t ownCpu, std::uint32_t otherCpu, const std::string& own,
                          const std::string& other) {
    auto be32 = [](std::string& s, std::uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8)
            s += static_cast<char>((v >> shift) & 0xFF);
    };
    std::string out;
    be32(out, 0xCAFEBABE);
    be32(out, 2);
    std::uint32_t first = 4096, second = 8192;
    for (auto [cpu, off, size] : {std::tuple{otherCpu, first, std::uint32_t(other.size())},
                                  std::tuple{ownCpu, second, std::uint32_t(own.size())}}) {
        be32(out, cpu);
        be32(out, 3);
        be32(out, off);
        be32(out, size);
        be32(out, 12);
    }
    out.resize(first, '\0');
    out += other;
    out.resize(second, '\0');
    out += own;
    return out;
}

TEST_F(DaemonCommands, ThinsAUniversalFileToTheMachinesSliceAndLeavesOthersAlone) {
    std::string machine = call("getPCArchitecture").toString();
    std::uint32_t cpu = machine == "aarch64" || machine == "arm64" ? 0x0100000C : 0x01000007;
    std::string own = "own-slice-bytes", other = "other-slice";
    std::uint32_t otherCpu = cpu == 0x01000007 ? 0x0100000C : 0x01000007;
    std::string fat = tree_.file("bin/fat", universalFile(cpu, otherCpu, own, other));
    // Universal, but without the machine's slice (PowerPC and the other one).
    std::string foreign = universalFile(18, otherCpu, own, other);
    std::string noSlice = tree_.file("bin/no-slice", foreign);
    ::chmod(fat.c_str(), 0751);
    std::string plain = tree_.file("bin/plain", "\x7f"
                                                "ELF not universal");
    std::string java =
        tree_.file("bin/Klass.class", std::string("\xCA\xFE\xBA\xBE\x00\x00\x00\x41", 8));

    EXPECT_TRUE(call("lipoSystemApp:", {PlistValue(fat)}).isNone());
    EXPECT_EQ(fileBytes(fat), own);
    struct stat st {};
    ASSERT_EQ(::stat(fat.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0751u);
    call("lipo:", {list({plain, java, noSlice})});
    EXPECT_EQ(fileBytes(noSlice), foreign);
    EXPECT_EQ(fileBytes(plain), "\x7f"
                                "ELF not universal");
    EXPECT_EQ(fileBytes(java), std::string("\xCA\xFE\xBA\xBE\x00\x00\x00\x41", 8));
}

} // namespace
} // namespace tessaly
