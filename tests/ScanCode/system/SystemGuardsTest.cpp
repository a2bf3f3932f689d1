// System Cleanup on Linux desktop homes that used to lose what the user keeps:
// a cache variable naming the home folder or the system root, a live log whose
// name ends in a number, the settings of installed applications that the menu
// does not show, a working user service named through specifiers, a trashed
// entry replaced after the scan. Each scan is cleaned, and the disk is looked at.
#include "ScanCode/system/QSVCleanManager.h"
#include "ScanCode/system/SessionStartEntries.h"
#include "ScanCode/system/SystemModules.h"
#include "platform/Dispatch.h"
#include "platform/FileAttributes.h"
#include "platform/FileRemoval.h"
#include "platform/Paths.h"
#include "tests/ScanCode/system/SystemFixture.h"
#include "tests/support/DiskUsage.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

using namespace tessaly;
using test::SystemMachine;

namespace {

// Files that must stay, each with contents of its own, looked at byte for byte.
class Kept {
public:
    explicit Kept(test::TempTree& t) : t_(t) {}
    void add(const std::string& relative, const std::string& contents = {}) {
        files_[relative] = contents.empty() ? "kept: " + relative : contents;
        t_.file(relative, files_[relative]);
    }
    void expectIntact() const {
        for (const auto& [relative, contents] : files_)
            EXPECT_EQ(test::readText(t_.path(relative)), contents) << relative;
    }
    // Whether a planned path is one of them or holds one.
    bool touches(const std::string& planned) const {
        for (const auto& entry : files_) {
            const std::string path = t_.path(entry.first);
            if (path == planned || paths::isInside(path, planned))
                return true;
        }
        return false;
    }

private:
    test::TempTree& t_;
    std::map<std::string, std::string> files_;
};

struct Cycle {
    ScanSummary scan;
    Plan plan;
    CleanOutcome outcome;
};

// Scans the modules, checks that the plan leaves every kept file alone, cleans it.
Cycle scanAndClean(SystemMachine& m, const std::vector<int>& modules, const Kept& kept) {
    m.buildCatalogue();
    auto manager = m.manager();
    manager->setModuleFilter(modules);
    Cycle c;
    c.scan = manager->scan({}, {});
    MainQueue::drain();
    c.plan = manager->plan();
    for (const PlanItem& step : c.plan.items)
        EXPECT_FALSE(kept.touches(step.path)) << "planned: " << step.path;
    c.outcome = manager->clean(c.plan, {}, {});
    MainQueue::drain();
    return c;
}

std::vector<std::string> plannedPaths(const Plan& plan, const std::string& base) {
    std::vector<std::string> out;
    for (const PlanItem& step : plan.items)
        out.push_back(step.path.substr(base.size() + 1));
    std::sort(out.begin(), out.end());
    return out;
}

void executable(test::TempTree& t, const std::string& relative) {
    t.file(relative, "#!/bin/sh\n");
    ::chmod(t.path(relative).c_str(), 0755);
}

} // namespace

TEST(SystemGuards, ACacheVariableNamingWhatTheUserKeepsIsNotCleanedIn) {
    test::ScopedEnv chosen("TESSALY_LAYOUT", "linux");
    struct Case {
        const char* setting;
        const char* cache; // relative to the fixture; empty: unset
        const char* reason;
        bool defaultUsed;
    };
    const Case cases[] = {
        {"the home folder", "home", "it is the home folder itself", true},
        {"the root standing for /", "root", "it is the system root", true},
        {"a folder holding the documents", "home/data", "holds the user's folder", true},
        {"unset, with ~/.cache leading home", "", "it is the home folder itself", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setting);
        SystemMachine m;
        Kept kept(m.t);
        m.t.file("home/.config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/data/Documents\"\n");
        for (const char* file :
             {"home/data/Documents/tax-2023.ods", "home/data/notes.txt", "home/Documents/cv.odt",
              "home/Pictures/cat.jpg", "home/Music/a.ogg", "home/Videos/v.mkv",
              "home/Desktop/todo.txt", "home/Downloads/debian-12.iso", "root/usr/bin/tool",
              "root/etc/passwd", "root/var/lib/dpkg/status", "root/root/.profile"})
            kept.add(file);
        const std::string cache = *c.cache ? m.t.path(c.cache) : std::string();
        test::ScopedEnv variable("XDG_CACHE_HOME", cache);
        if (c.defaultUsed)
            m.t.sizedFile("home/.cache/pip/http/blob", 3000);
        else
            m.t.symlink("home/.cache", m.home);

        Cycle run = scanAndClean(m, {sysmodule::UserCache}, kept);

        ASSERT_EQ(run.scan.problems.size(), 1u);
        EXPECT_EQ(run.scan.problems[0].path, *c.cache ? cache : m.home + "/.cache");
        const std::string& reason = run.scan.problems[0].reason;
        EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
        EXPECT_NE(reason.find(c.defaultUsed ? "is used instead" : "nothing there is cleaned"),
                  std::string::npos)
            << reason;
        EXPECT_EQ(plannedPaths(run.plan, m.t.root()),
                  c.defaultUsed ? std::vector<std::string>{"home/.cache/pip"}
                                : std::vector<std::string>{});
        kept.expectIntact();
        EXPECT_EQ(m.t.exists("home/.cache/pip"), false);
        EXPECT_TRUE(run.outcome.left.empty());
    }
}

TEST(SystemGuards, ALiveLogEndingInANumberStaysAndItsRotationsGo) {
    test::ScopedEnv chosen("TESSALY_LAYOUT", "linux");
    SystemMachine m;
    Kept kept(m.t);
    for (const char* file :
         {"root/var/log/samba/log.192.168.1.20", "root/var/log/samba/log.192.168.1.21",
          "root/var/log/samba/log.smbd", "root/var/log/syslog", "root/var/log/cups/access_log",
          "home/.local/state/app/session.7", "home/.local/state/app/debug.log"})
        kept.add(file);
    for (const char* file :
         {"root/var/log/samba/log.smbd.old", "root/var/log/samba/log.192.168.1.20.old",
          "root/var/log/syslog.1", "root/var/log/syslog.2.gz", "root/var/log/cups/access_log.1",
          "home/.local/state/app/debug.log.1"})
        m.t.sizedFile(file, 100);

    Cycle run = scanAndClean(m, {sysmodule::SystemLog, sysmodule::UserLog}, kept);

    EXPECT_EQ(plannedPaths(run.plan, m.t.root()),
              (std::vector<std::string>{
                  "home/.local/state/app/debug.log.1", "root/var/log/cups/access_log.1",
                  "root/var/log/samba/log.192.168.1.20.old", "root/var/log/samba/log.smbd.old",
                  "root/var/log/syslog.1", "root/var/log/syslog.2.gz"}));
    EXPECT_EQ(run.outcome.removed, 6);
    for (const PlanItem& step : run.plan.items)
        EXPECT_FALSE(fileops::itemExists(step.path)) << step.path;
    kept.expectIntact();
}

TEST(SystemGuards, SettingsOfWhatIsInstalledStayWhetherTheMenuShowsItOrNot) {
    test::ScopedEnv chosen("TESSALY_LAYOUT", "linux");
    SystemMachine m;
    Kept kept(m.t);
    // Shown, not shown, switched off by the user; a package, a Flatpak.
    m.t.file("root/usr/share/applications/org.gnome.TextEditor.desktop",
             "[Desktop Entry]\nType=Application\nName=Text Editor\nExec=gnome-text-editor\n");
    m.t.file("root/usr/share/applications/org.example.Indexer.desktop",
             "[Desktop Entry]\nType=Application\nName=Indexer\nNoDisplay=true\nExec=indexer\n");
    m.t.file("home/.local/share/applications/com.example.Notes.desktop",
             "[Desktop Entry]\nType=Application\nName=Notes\nHidden=true\nExec=notes\n");
    m.t.file("root/var/lib/dpkg/status",
             "Package: remmina\nStatus: install ok installed\nVersion: 1.4\n\n"
             "Package: liferea\nStatus: deinstall ok config-files\nVersion: 1.13\n");
    m.t.dir("root/var/lib/flatpak/app/org.example.Player");
    for (const char* file :
         {"home/.config/org.gnome.TextEditor/settings.ini",
          "home/.config/org.example.Indexer/index.db", "home/.config/com.example.Notes/notes.db",
          "home/.config/org.remmina.Remmina/remmina.pref",
          "home/.local/share/org.example.Player/library.db",
          "home/.var/app/org.example.Player/config/player.conf"})
        kept.add(file);
    m.t.sizedFile("home/.config/com.gone.Tool/settings.ini", 100);
    m.t.sizedFile("home/.local/share/net.sourceforge.liferea/feeds.db", 100);

    Cycle run = scanAndClean(m, {sysmodule::AppLeftover}, kept);

    EXPECT_EQ(plannedPaths(run.plan, m.t.root()),
              (std::vector<std::string>{"home/.config/com.gone.Tool",
                                        "home/.local/share/net.sourceforge.liferea"}));
    EXPECT_FALSE(m.t.exists("home/.config/com.gone.Tool"));
    EXPECT_FALSE(m.t.exists("home/.local/share/net.sourceforge.liferea"));
    kept.expectIntact();
}

TEST(SystemGuards, AUserServiceNamedThroughSpecifiersOrPrefixesIsNotBroken) {
    test::ScopedEnv chosen("TESSALY_LAYOUT", "linux");
    test::ScopedEnv runtime("XDG_RUNTIME_DIR", "/run/user/4242");
    SystemMachine m;
    const std::string units = "home/.config/systemd/user/";
    const std::string uid = std::to_string(::getuid());
    // How each specifier and prefix reads.
    const std::pair<const char*, std::string> programs[] = {
        {"%h/bin/tool --serve", m.home + "/bin/tool"},
        {"-@%h/bin/tool tool-daemon", m.home + "/bin/tool"},
        {":+!%h/bin/100%%", m.home + "/bin/100%"},
        {"/opt/%u/run", "/opt/" + paths::loginName() + "/run"},
        {"/opt/%U/run", "/opt/" + uid + "/run"},
        {"%t/helper", "/run/user/4242/helper"},
        {"%S/x %C %E", m.home + "/.local/state/x"},
        {"%C/x", m.home + "/.cache/x"},
        {"%E/x", m.home + "/.config/x"},
        {"/usr/bin/env FOO=%h %h/bin/tool", m.home + "/bin/tool"},
    };
    for (const auto& [line, program] : programs) {
        m.t.file(units + "probe.service", std::string("[Service]\nExecStart=") + line + "\n");
        EXPECT_EQ(sessionstart::unitProgram(m.t.path(units + "probe.service")), program) << line;
    }
    // A specifier only the service manager knows is never judged.
    m.t.file(units + "probe.service", "[Service]\nExecStart=%h/bin/%i\n");
    EXPECT_EQ(sessionstart::unitProgram(m.t.path(units + "probe.service")), std::nullopt);
    test::removeTree(m.t.path(units + "probe.service"));

    Kept kept(m.t);
    executable(m.t, "home/bin/tool");
    executable(m.t, "home/.local/bin/notes");
    executable(m.t, "root/opt/My App/run");
    const std::pair<const char*, const char*> working[] = {
        {"tool.service", "[Service]\nExecStart=%h/bin/tool --serve\n"},
        {"prefixed.service", "[Service]\nExecStart=-@%h/bin/tool tool-daemon\n"},
        {"worker@.service", "[Service]\nExecStart=%h/bin/%i\n"},
        {"env.service", "[Service]\nExecStart=/usr/bin/env FOO=1 %h/bin/tool\n"},
    };
    for (const auto& [unit, text] : working)
        kept.add(units + unit, text);
    m.t.symlink(units + "default.target.wants/tool.service", m.t.path(units + "tool.service"));
    m.t.file(units + "gone.service", "[Service]\nExecStart=-%h/bin/gone\n");
    m.t.symlink(units + "default.target.wants/gone.service", m.t.path(units + "gone.service"));
    const std::string autostart = "home/.config/autostart/";
    const std::pair<const char*, const char*> started[] = {
        {"notes.desktop", "[Desktop Entry]\nType=Application\nExec=env GDK_BACKEND=x11 notes %U\n"},
        {"app.desktop", "[Desktop Entry]\nType=Application\nExec=\"/opt/My App/run\" --tray %F\n"},
        {"escaped.desktop",
         "[Desktop Entry]\nType=Application\nTryExec=/opt/My\\sApp/run\nExec=run\n"},
        {"percent.desktop", "[Desktop Entry]\nType=Application\nExec=notes --at 100%% %f\n"},
    };
    for (const auto& [entry, text] : started)
        kept.add(autostart + entry, text);
    m.t.file(autostart + "gone.desktop", "[Desktop Entry]\nType=Application\nExec=/opt/gone %u\n");

    Cycle run = scanAndClean(m, {sysmodule::BrokenLoginItems}, kept);

    EXPECT_EQ(plannedPaths(run.plan, m.t.root()),
              (std::vector<std::string>{"home/.config/autostart/gone.desktop",
                                        units + "default.target.wants/gone.service",
                                        units + "gone.service"}));
    EXPECT_FALSE(m.t.exists(autostart + "gone.desktop"));
    EXPECT_FALSE(m.t.exists(units + "gone.service"));
    EXPECT_FALSE(m.t.exists(units + "default.target.wants/gone.service"));
    EXPECT_TRUE(
        fileattr::entryInfo(m.t.path(units + "default.target.wants/tool.service")).isSymlink);
    kept.expectIntact();
}

TEST(SystemGuards, ATrashedEntryReplacedSinceTheScanStaysWithItsDescription) {
    test::ScopedEnv chosen("TESSALY_LAYOUT", "linux");
    SystemMachine m;
    const std::string trash = "home/.local/share/Trash/";
    m.t.sizedFile(trash + "files/report.odt", 4000);
    m.t.file(trash + "info/report.odt.trashinfo", "[Trash Info]\nPath=/h/report.odt\n");
    m.t.sizedFile(trash + "files/old.txt", 300);
    m.t.file(trash + "info/old.txt.trashinfo", "[Trash Info]\nPath=/h/old.txt\n");
    m.buildCatalogue();
    auto manager = m.manager();
    manager->setModuleFilter({sysmodule::Trash});
    manager->scan({}, {});
    MainQueue::drain();
    const Plan plan = manager->plan();
    ASSERT_EQ(plan.items.size(), 4u);

    // Another file is trashed under the same name before the clean.
    test::removeTree(m.t.path(trash + "files/report.odt"));
    Kept kept(m.t);
    kept.add(trash + "files/report.odt", "the report trashed a second time");
    kept.add(trash + "info/report.odt.trashinfo", "[Trash Info]\nPath=/h/report.odt\n");
    // What the old entry and its description take on the disk.
    const std::int64_t oldBlocks = test::duBytes(
        {m.t.path(trash + "files/old.txt"), m.t.path(trash + "info/old.txt.trashinfo")});

    CleanOutcome outcome = manager->clean(plan, {}, {});
    MainQueue::drain();

    kept.expectIntact();
    EXPECT_FALSE(m.t.exists(trash + "files/old.txt"));
    EXPECT_FALSE(m.t.exists(trash + "info/old.txt.trashinfo"));
    EXPECT_EQ(outcome.removed, 1);
    EXPECT_EQ(outcome.bytes, oldBlocks);
    ASSERT_EQ(outcome.left.size(), 2u);
    for (const LeftItem& left : outcome.left)
        EXPECT_EQ(left.reason, "changed since the scan") << left.path;
    EXPECT_TRUE(m.handedToHelper.empty());
    // It stays listed, ticked, for the next look.
    auto left = manager->moduleItems(sysmodule::Trash);
    ASSERT_TRUE(left);
    ASSERT_EQ(left->size(), 1u);
    EXPECT_TRUE(left->front()->isCheck);
}
