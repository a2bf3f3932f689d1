// Linux applications leave as the desktop removes them: a package through
// apt-get (with an administrator's approval each time), a Flatpak through
// flatpak, a Snap through snap, the user's own program by its files; with what
// they left in the home folder.
#include "platform/ChildProcess.h"
#include "platform/InstalledPackages.h"
#include "tests/ScanCode/uninstall/PackageFixture.h"
#include "tests/ScanCode/uninstall/UninstallFixture.h"
#include "tests/support/DiskUsage.h"
#include "tests/support/KeptList.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

using namespace tessaly;
using test::named;

namespace {

std::string desktopEntry(const std::string& name, const std::string& exec) {
    return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + exec + "\n";
}

bool has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// A Linux machine with Tool, installed from the package "tool" (which owns its
// desktop entry and its program), what Tool left in the home folder, and
// look-alikes that are not Tool's.
struct LinuxMachine : test::UninstallMachine {
    test::ScopedEnv layout{"TESSALY_LAYOUT", "linux"};
    test::ScopedEnv dirs{"XDG_DATA_DIRS", "/usr/share"};
    test::PackageStandIns tools{m.t};
    bool administrator = false;
    std::string entry = m.t.path("root/usr/share/applications/org.maker.Tool.desktop");
    std::string program = m.t.path("root/usr/bin/tool");
    std::vector<std::string> toolsHome;           // Tool's, to go
    std::map<std::string, std::string> keptBytes; // not Tool's, byte for byte
    std::unique_ptr<SearchApplications> engine;
    std::string choices = m.t.file("home/.config/mimeapps.list",
                                   "[Default Applications]\n"
                                   "text/x-tool=org.maker.Tool.desktop\n"
                                   "text/plain=org.x.Edit.desktop;org.maker.Tool.desktop;\n"
                                   "[Added Associations]\n"
                                   "text/plain=org.maker.Tool.desktop;org.maker.Toolbox.desktop;\n"
                                   "[Removed Associations]\n"
                                   "text/x-c=org.maker.Tool.desktop;\n");

    LinuxMachine() {
        auto& t = m.t;
        t.file("root/var/lib/dpkg/status", test::PackageStandIns::stanza("tool", 2000) +
                                               test::PackageStandIns::stanza("toolbox", 10));
        tools.ownedFiles("tool",
                         {"/usr/share/applications/org.maker.Tool.desktop", "/usr/bin/tool"});
        t.file("root/usr/share/applications/org.maker.Tool.desktop",
               desktopEntry("Tool", "tool %U"));
        ::chmod(program.c_str(), 0755);
        toolsHome = {t.sizedFile("home/.config/tool/toolrc", 3000),
                     t.sizedFile("home/.cache/org.maker.Tool/c", 5000),
                     t.file("home/.local/share/Tool/state", "state"),
                     t.file("home/.local/state/tool/history", "h"),
                     t.file("home/.config/autostart/tool-tray.desktop",
                            desktopEntry("Tray", "tool --tray"))};
        for (const char* other : {"home/.config/toolbox/rc", "home/.config/mytool/rc",
                                  "home/.cache/tool.old/c", "home/.config/autostart/other.desktop"})
            keptBytes[t.file(other, std::string("kept ") + other)] = "";
        keptBytes[entry] = "";
        keptBytes[program] = "";
        for (auto& [path, bytes] : keptBytes)
            bytes = test::readText(path);
    }
    void scan(const std::string& target = "Tool") {
        UninstallEnvironment env = environment();
        env.isAdministrator = [this] { return administrator; };
        engine = std::make_unique<SearchApplications>(env);
        engine->setTargets({target});
        ASSERT_FALSE(engine->scan({}, {}).stopped);
    }
    AppItemRef item(const std::string& name = "Tool") const {
        return named(engine->allApplications(), name);
    }
    SubAppFileRef record(const std::string& path) const {
        for (const SubAppFileRef& r : *item()->fileDatas)
            if (r->path == path)
                return r;
        return nullptr;
    }
    // The folder a home file of Tool lies in, when Tool's record is the folder.
    static std::string top(const std::string& path) {
        const std::string parent = paths::deletingLastComponent(path);
        return paths::lastComponent(parent) == "autostart" ? path : parent;
    }
    bool installed(const std::string& package) const {
        return packages::DpkgDatabase::read({}).package(package).has_value();
    }
};

class PackageRemoval : public ::testing::TestWithParam<bool> {};

} // namespace

// As root apt-get runs directly; otherwise through pkexec and our own action,
// which asks for an administrator's approval for that one removal.
TEST_P(PackageRemoval, APackageGoesThroughAptGetWithWhatItLeftInTheHome) {
    LinuxMachine a;
    a.administrator = GetParam();
    a.scan();
    AppItemRef tool = a.item();
    ASSERT_TRUE(tool);
    EXPECT_EQ(tool->kind, AppKind::Package);
    EXPECT_EQ(tool->package, "tool");

    const Plan plan = a.engine->plan();
    ASSERT_FALSE(plan.items.empty());
    const PlanItem& first = plan.items.front();
    EXPECT_EQ(first.action, PlanAction::Uninstall);
    EXPECT_EQ(first.name, "tool");
    EXPECT_EQ(first.size, 2000 * 1024); // what dpkg records it as taking
    const std::string script = paths::resourcePath("removePackages", "sh");
    ASSERT_FALSE(script.empty());
    const std::string command = a.administrator ? a.tools.aptGet + " remove -y -- tool"
                                                : a.tools.pkexec + " " + script + " remove tool";
    EXPECT_NE(first.note.find("runs: " + command), std::string::npos) << first.note;
    std::set<std::string> planned;
    std::int64_t homeBytes = 0;
    for (const PlanItem& p : plan.items) {
        // No file a package owns is ever a step of its own.
        EXPECT_NE(p.action == PlanAction::Remove ? p.path : "", a.program);
        EXPECT_NE(p.action == PlanAction::Remove ? p.path : "", a.entry);
        if (p.action == PlanAction::Remove) {
            planned.insert(p.path);
            homeBytes += p.size;
        }
    }
    std::set<std::string> expected;
    for (const std::string& path : a.toolsHome)
        expected.insert(LinuxMachine::top(path));
    EXPECT_EQ(planned, expected);
    EXPECT_EQ(homeBytes, test::duBytes({expected.begin(), expected.end()}));

    const CleanOutcome outcome = a.engine->clean(plan, {}, {});
    EXPECT_TRUE(outcome.left.empty()) << outcome.left.front().reason;
    EXPECT_EQ(outcome.bytes, homeBytes + 2000 * 1024);
    const auto calls = a.tools.calls();
    EXPECT_TRUE(has(calls, (a.administrator ? "apt-get remove -y -- tool"
                                            : "pkexec " + script + " remove tool")))
        << testing::PrintToString(calls);
    EXPECT_TRUE(has(calls, "apt-get remove -y -- tool"));
    // dpkg removed the package's files (they were there when it ran), nobody else.
    EXPECT_TRUE(has(calls, "dpkg removes /usr/bin/tool"));
    EXPECT_TRUE(has(calls, "dpkg removes /usr/share/applications/org.maker.Tool.desktop"));
    EXPECT_TRUE(a.handed.empty());
    EXPECT_FALSE(a.installed("tool"));
    EXPECT_TRUE(a.installed("toolbox"));
    for (const std::string& path : expected)
        EXPECT_FALSE(std::filesystem::exists(path)) << path;
    for (const auto& [path, bytes] : a.keptBytes)
        if (path != a.entry && path != a.program) {
            EXPECT_EQ(test::readText(path), bytes) << path;
        }
    EXPECT_FALSE(a.item()); // it left the catalogue
    // Its file-type choices left the list; the user's refusal and the others stay.
    EXPECT_EQ(test::readText(a.choices), "[Default Applications]\n"
                                         "text/plain=org.x.Edit.desktop;\n"
                                         "[Added Associations]\n"
                                         "text/plain=org.maker.Toolbox.desktop;\n"
                                         "[Removed Associations]\n"
                                         "text/x-c=org.maker.Tool.desktop;\n");
}

INSTANTIATE_TEST_SUITE_P(AsRootOrNot, PackageRemoval, ::testing::Bool());

// A declined approval, or an apt-get that fails, changes nothing: the package,
// its files and the home files stay, listed with the reason, and nothing counts.
TEST(PackageRemoval, ADeclinedOrFailedRemovalLeavesEverythingAsItWas) {
    struct Case {
        const char* switchFile;
        const char* reason;
    };
    for (const Case& c : {Case{"decline", "the administrator's approval was not given"},
                          Case{"apt-fails", "dpkg returned an error code"}}) {
        SCOPED_TRACE(c.switchFile);
        LinuxMachine a;
        a.tools.set(c.switchFile);
        a.scan();
        std::map<std::string, std::string> before = a.keptBytes;
        for (const std::string& path : a.toolsHome)
            before[path] = test::readText(path);
        before[a.choices] = test::readText(a.choices);
        const CleanOutcome outcome = a.engine->clean(a.engine->plan(), {}, {});
        EXPECT_EQ(outcome.removed, 0);
        EXPECT_EQ(outcome.bytes, 0);
        ASSERT_FALSE(outcome.left.empty());
        for (const LeftItem& left : outcome.left)
            EXPECT_NE(left.reason.find(c.reason), std::string::npos) << left.reason;
        EXPECT_TRUE(a.installed("tool"));
        for (const auto& [path, bytes] : before)
            EXPECT_EQ(test::readText(path), bytes) << path;
        ASSERT_TRUE(a.item());
        EXPECT_NE(a.record(a.entry)->notRemovedReason.find(c.reason), std::string::npos);
    }
}

// What apt-get would take beside the application's own package is shown and
// kept back until the user confirms that list; an Essential package never goes.
TEST(PackageRemoval, MorePackagesThanItsOwnAreKeptBackUnlessConfirmed) {
    struct Case {
        const char* extra;
        bool confirm;
        bool ticked;
        const char* reason;
    };
    for (const Case& c :
         {Case{"Remv tool-plugins [1.0]\n", false, false, "would also remove tool-plugins"},
          Case{"Remv tool-plugins [1.0]\n", true, true, ""},
          Case{"Remv libcore [2.0]\n", false, false, "Priority: required"},
          Case{"Remv coreutils [9.1]\n", true, false, "Essential"}}) {
        SCOPED_TRACE(std::string(c.extra) + (c.confirm ? " confirmed" : ""));
        LinuxMachine a;
        a.m.t.file("root/var/lib/dpkg/status",
                   test::PackageStandIns::stanza("tool", 2000) +
                       test::PackageStandIns::stanza("tool-plugins", 100) +
                       "Package: libcore\nStatus: install ok installed\nPriority: required\n"
                       "Installed-Size: 50\n\n"
                       "Package: coreutils\nStatus: install ok installed\nEssential: yes\n"
                       "Priority: required\nInstalled-Size: 7000\n\n");
        a.tools.set("apt-extra", c.extra);
        UninstallEnvironment env = a.environment();
        a.engine = std::make_unique<SearchApplications>(env);
        a.engine->setPackageOptions({false, c.confirm});
        a.engine->setTargets({"Tool"});
        a.engine->scan({}, {});
        SubAppFileRef package = a.record(a.entry);
        ASSERT_TRUE(package);
        EXPECT_EQ(package->packages.size(), 2u);
        EXPECT_EQ(package->isCheck, c.ticked);
        EXPECT_NE(package->keptReason.find(c.reason), std::string::npos) << package->keptReason;
        // The home files go only with the application.
        for (const SubAppFileRef& r : *a.item()->fileDatas)
            EXPECT_EQ(r->isCheck, c.ticked) << r->path;
        const Plan plan = a.engine->plan();
        EXPECT_EQ(plan.items.empty(), !c.ticked);
        if (c.ticked) {
            EXPECT_EQ(plan.items.front().size, (2000 + 100) * 1024);
        }
    }
}

// A home folder that another installed application goes by as well is listed
// but never ticked; its name is compared whole.
TEST(PackageRemoval, AFolderAnotherApplicationGoesByStaysUnticked) {
    LinuxMachine a;
    a.m.t.file("home/.local/share/applications/org.other.Tool.desktop",
               desktopEntry("Other Tool", a.m.home + "/bin/othertool"));
    const std::string other = a.m.t.file("home/bin/othertool", "#!/bin/sh\n");
    ::chmod(other.c_str(), 0755);
    a.scan();
    // Both go by "Tool" (names are compared ignoring case).
    for (const char* shared : {"/.local/share/Tool", "/.config/tool"}) {
        SubAppFileRef record = a.record(a.m.home + shared);
        ASSERT_TRUE(record) << shared;
        EXPECT_FALSE(record->isCheck);
        EXPECT_NE(record->keptReason.find("Other Tool"), std::string::npos);
    }
    EXPECT_TRUE(a.record(a.m.home + "/.cache/org.maker.Tool")->isCheck);
    EXPECT_FALSE(a.record(a.m.home + "/.config/toolbox"));
    EXPECT_FALSE(a.record(a.m.home + "/.cache/tool.old"));
}

// A Flatpak goes through flatpak, with --delete-data when its data is ticked.
TEST(PackageRemoval, AFlatpakGoesThroughFlatpakWithItsDataWhenTicked) {
    for (bool withData : {true, false}) {
        SCOPED_TRACE(withData);
        LinuxMachine a;
        auto& t = a.m.t;
        const std::string base = "home/.local/share/flatpak/";
        t.file(base + "exports/share/applications/org.x.Viewer.desktop",
               desktopEntry("Viewer", "/usr/bin/flatpak run org.x.Viewer"));
        t.sizedFile(base + "app/org.x.Viewer/x86_64/stable/abc/files/bin/viewer", 5000);
        t.symlink(base + "app/org.x.Viewer/x86_64/stable/active", "abc");
        t.symlink(base + "app/org.x.Viewer/current", "x86_64/stable");
        const std::string data = t.sizedFile("home/.var/app/org.x.Viewer/config/v", 3000);
        a.scan("Viewer");
        AppItemRef viewer = a.item("Viewer");
        ASSERT_TRUE(viewer);
        EXPECT_EQ(viewer->kind, AppKind::Flatpak);
        EXPECT_TRUE(viewer->flatpakUser);
        for (const SubAppFileRef& r : *viewer->fileDatas)
            if (r->path == a.m.home + "/.var/app/org.x.Viewer")
                r->isCheck = withData;
        const Plan plan = a.engine->plan();
        const std::string command = a.tools.flatpak + " uninstall --user -y " +
                                    (withData ? "--delete-data " : "") + "-- org.x.Viewer";
        EXPECT_NE(plan.items.front().note.find("runs: " + command), std::string::npos)
            << plan.items.front().note;
        const CleanOutcome outcome = a.engine->clean(plan, {}, {});
        EXPECT_TRUE(outcome.left.empty());
        EXPECT_FALSE(packages::flatpakApp("org.x.Viewer"));
        EXPECT_EQ(std::filesystem::exists(data), !withData);
        EXPECT_TRUE(a.installed("tool")); // another application is untouched
    }
}

// An AppImage or a program of the user's own goes as its file and its entry; a
// program of the system that no package owns is not removable, with the reason;
// a file a package owns is never unlinked, even when an entry points at it.
TEST(PackageRemoval, TheUsersOwnProgramGoesAsItsFilesAndWhatNoneOwnsStays) {
    LinuxMachine a;
    auto& t = a.m.t;
    const std::string image = t.sizedFile("home/Apps/Editor-1.2.AppImage", 9000);
    const std::string local = t.file("home/opt/notes/notes", "#!/bin/sh\n");
    const std::string owned = t.file("home/opt/rogue/rogue", "#!/bin/sh\n");
    for (const std::string& p : {image, local, owned})
        ::chmod(p.c_str(), 0755);
    const std::string apps = "home/.local/share/applications/";
    const std::string imageEntry = t.file(apps + "editor.desktop", desktopEntry("Editor", image));
    const std::string localEntry = t.file(apps + "notes.desktop", desktopEntry("Notes", local));
    t.file(apps + "rogue.desktop", desktopEntry("Rogue", owned));
    // The entry of a program that is gone is all there is of it.
    const std::string orphan = t.file(apps + "gone.desktop", desktopEntry("Gone", "/opt/gone/run"));
    t.file(apps + "sysapp.desktop", desktopEntry("Sys App", "/usr/bin/toolbox"));
    t.file("root/usr/bin/toolbox", "#!/bin/sh\n");
    ::chmod(t.path("root/usr/bin/toolbox").c_str(), 0755);
    // A package claims the user's program: only its package manager removes it.
    t.file("root/var/lib/dpkg/info/toolbox.list", owned + "\n");
    const std::string ownedBytes = test::readText(owned);
    const std::string editorConfig = t.dir("home/.config/Editor-1.2.AppImage");

    UninstallEnvironment env = a.environment();
    a.engine = std::make_unique<SearchApplications>(env);
    a.engine->setTargets({"Editor", "Notes", "Rogue", "Sys App", "Gone"});
    const ScanSummary summary = a.engine->scan({}, {});
    EXPECT_EQ(a.item("Editor")->kind, AppKind::AppImage);
    EXPECT_EQ(a.item("Notes")->kind, AppKind::OwnProgram);
    EXPECT_EQ(a.item("Sys App")->kind, AppKind::NotRemovable);
    bool reported = false;
    for (const Problem& p : summary.problems)
        reported = reported || p.reason.find("Sys App cannot be removed") != std::string::npos;
    EXPECT_TRUE(reported);
    const CleanOutcome outcome = a.engine->clean(a.engine->plan(), {}, {});
    for (const std::string& gone : {image, imageEntry, local, localEntry, editorConfig, orphan})
        EXPECT_FALSE(std::filesystem::exists(gone)) << gone;
    EXPECT_EQ(test::readText(owned), ownedBytes);
    ASSERT_EQ(outcome.left.size(), 1u);
    EXPECT_EQ(outcome.left[0].path, owned);
    EXPECT_NE(outcome.left[0].reason.find("toolbox owns it"), std::string::npos);
    EXPECT_TRUE(a.item("Sys App"));
    EXPECT_TRUE(std::filesystem::exists(t.path("root/usr/bin/toolbox")));
    EXPECT_TRUE(a.tools.calls().empty()); // no package tool ran
}

// A Snap, when snapd exports its entry, goes through snap.
TEST(PackageRemoval, ASnapGoesThroughSnap) {
    LinuxMachine a;
    test::ScopedEnv dirs("XDG_DATA_DIRS", "/var/lib/snapd/desktop:/usr/share");
    a.m.t.file("root/var/lib/snapd/desktop/applications/chat_chat.desktop",
               desktopEntry("Chat", "/snap/bin/chat"));
    a.m.t.sizedFile("root/snap/chat/12/bin/chat", 4000);
    a.scan("Chat");
    ASSERT_TRUE(a.item("Chat"));
    EXPECT_EQ(a.item("Chat")->kind, AppKind::Snap);
    const CleanOutcome outcome = a.engine->clean(a.engine->plan(), {}, {});
    EXPECT_TRUE(outcome.left.empty());
    EXPECT_TRUE(has(a.tools.calls(), "snap remove -- chat"));
    EXPECT_FALSE(std::filesystem::exists(a.m.t.path("root/snap/chat")));
}

// What the user keeps is never a step, and a folder holding it stays unticked
// with the reason; the rest of what the application left goes.
TEST(PackageRemoval, WhatTheUserKeepsStaysWithTheApplicationGone) {
    LinuxMachine a;
    a.administrator = true;
    const std::string config = LinuxMachine::top(a.toolsHome[0]); // ~/.config/tool
    const std::string cache = LinuxMachine::top(a.toolsHome[1]);  // ~/.cache/org.maker.Tool
    const std::string model = a.m.t.file("home/.cache/org.maker.Tool/model.bin", "weights");
    test::KeptList kept({"~/.config/tool", model});
    a.scan();
    EXPECT_FALSE(a.record(config));
    ASSERT_TRUE(a.record(cache));
    EXPECT_FALSE(a.record(cache)->isCheck);
    EXPECT_EQ(a.record(cache)->keptReason, kHoldsKeptPathReason);

    const Plan plan = a.engine->plan();
    for (const PlanItem& p : plan.items) {
        EXPECT_NE(p.path, config);
        EXPECT_NE(p.path, cache);
    }
    a.engine->clean(plan, {}, {});
    EXPECT_FALSE(a.installed("tool"));
    EXPECT_EQ(test::readText(a.toolsHome[0]), std::string(3000, 'x'));
    EXPECT_EQ(test::readText(model), "weights");
    EXPECT_TRUE(std::filesystem::exists(a.toolsHome[1]));
    for (std::size_t i = 2; i < a.toolsHome.size(); ++i)
        EXPECT_FALSE(std::filesystem::exists(LinuxMachine::top(a.toolsHome[i]))) << a.toolsHome[i];
}

// The script run as root takes package names only: an option, a name holding a
// line break or no name at all never reaches apt-get.
TEST(PackageRemoval, TheAdministratorsScriptTakesPackageNamesOnly) {
    LinuxMachine a;
    const std::string script = paths::resourcePath("removePackages", "sh");
    ASSERT_FALSE(script.empty());
    const std::vector<std::vector<std::string>> refused = {
        {"remove", "--purge"}, {"remove", "tool\n--x"}, {"remove", "tool\nx"},
        {"remove", "Tool"},    {"install", "tool"},     {"remove"}};
    for (const auto& args : refused) {
        std::vector<std::string> argv{script};
        argv.insert(argv.end(), args.begin(), args.end());
        EXPECT_EQ(runProcess("/bin/sh", argv, ChildOutput::Discard), 2)
            << testing::PrintToString(args);
    }
    EXPECT_TRUE(a.tools.calls().empty()) << testing::PrintToString(a.tools.calls());
    EXPECT_EQ(runProcess("/bin/sh", {script, "remove", "tool"}, ChildOutput::Discard), 0);
    EXPECT_TRUE(has(a.tools.calls(), "apt-get remove -y -- tool"));
}
