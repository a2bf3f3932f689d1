// System Cleanup on a Linux desktop home: which layout is chosen, what each
// module lists (and never lists), and a trashed file leaving with its description.
#include "ScanCode/system/CleanupPlaces.h"
#include "ScanCode/system/QSVCleanManager.h"
#include "ScanCode/system/SystemModules.h"
#include "model/ScanInputObject.h"
#include "model/StartupSteps.h"
#include "platform/Dispatch.h"
#include "platform/DisposableNames.h"
#include "platform/HomeLayout.h"
#include "tests/ScanCode/system/SystemFixture.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

using namespace tessaly;
using test::SystemMachine;

namespace {

std::map<int, std::vector<std::string>> pathsByModule(const QSVCleanManager& manager,
                                                      const std::string& base) {
    std::map<int, std::vector<std::string>> out;
    for (const auto& [module, list] : manager.discData()) {
        if (module == sysmodule::Language)
            continue; // groups of languages, by name
        std::vector<std::string> names;
        if (list)
            for (const auto& item : *list)
                names.push_back(item->path.substr(base.size() + 1));
        std::sort(names.begin(), names.end());
        out[module] = names;
    }
    return out;
}

// The trash at the top of a volume mounted for the user.
std::string volumeTrash() {
    return "root/media/" + paths::loginName() + "/USB/.Trash-" + std::to_string(::getuid());
}

// A Debian home and system root with what each module must and must not list.
void buildLinuxMachine(SystemMachine& m) {
    auto& t = m.t;
    t.sizedFile("home/.cache/thumbnails/large/a.png", 3000);
    t.sizedFile("home/.cache/pip/http/b", 2000);
    t.sizedFile("home/.var/app/org.example.Viewer/cache/fontconfig/c", 1000);
    t.sizedFile("home/.var/app/org.example.Viewer/data/notes.db", 500); // not a cache
    t.sizedFile("home/.xsession-errors", 100);                          // the session writes it
    t.sizedFile("home/.xsession-errors.old", 100);
    t.sizedFile("home/.local/state/wireplumber/wp.log", 100);
    t.sizedFile("home/.local/state/wireplumber/wp.log.1", 100);
    t.sizedFile("home/.local/share/xorg/Xorg.0.log", 100);
    t.sizedFile("home/.local/share/xorg/Xorg.0.log.old", 100);
    t.sizedFile("root/var/log/syslog", 100);
    t.sizedFile("root/var/log/syslog.1", 100);
    t.sizedFile("root/var/log/apt/history.log.2.gz", 100);
    t.sizedFile("root/var/log/installer.1/status", 100); // a folder is never listed
    t.sizedFile("root/var/log/journal/0a1b/system.journal", 100);
    t.sizedFile("root/var/log/journal/0a1b/system@0005f-0001.journal", 100);
    t.sizedFile("root/var/log/journal/0a1b/user-1000.journal~", 100);
    t.sizedFile("root/var/cache/apt/archives/zip_3.0_amd64.deb", 4000);
    t.sizedFile("root/var/cache/apt/archives/lock", 0);
    t.sizedFile("root/var/cache/apt/archives/partial/unzip_6.0_amd64.deb.FAILED", 100);
    t.sizedFile("root/var/cache/apt/pkgcache.bin", 100);
    t.sizedFile("root/var/cache/debconf/config.dat", 100);
    t.sizedFile("home/.local/share/Trash/files/report.odt", 1500);
    t.file("home/.local/share/Trash/info/report.odt.trashinfo",
           "[Trash Info]\nPath=/home/u/report.odt\nDeletionDate=2026-12-01T10:00:00\n");
    t.sizedFile("home/.local/share/Trash/files/folder/inside.txt", 700);
    t.sizedFile("home/.local/share/Trash/expunged/12345/x", 100);
    t.sizedFile(volumeTrash() + "/files/photo.jpg", 900);
    t.file(volumeTrash() + "/info/photo.jpg.trashinfo", "[Trash Info]\nPath=photo.jpg\n");
    // What the session starts: a program that is gone, one that is there, one
    // switched off; a unit whose program is gone, enabled by a link, and a sound one.
    t.file("root/bin/sh");
    ::chmod(t.path("root/bin/sh").c_str(), 0755);
    t.file(
        "home/.config/autostart/ghost.desktop",
        "[Desktop Entry]\nType=Application\nName=Ghost Tray\nExec=/opt/ghost/bin/ghost --tray\n");
    t.file("home/.config/autostart/shell.desktop",
           "[Desktop Entry]\nType=Application\nName=Shell\nExec=sh -c \"sleep 5\"\n");
    t.file("home/.config/autostart/off.desktop",
           "[Desktop Entry]\nType=Application\nHidden=true\nExec=/opt/gone/off\n");
    t.file("home/.config/systemd/user/sync.service",
           "[Unit]\nDescription=Sync\n[Service]\nExecStart=/opt/sync/bin/syncd --quiet\n");
    t.symlink("home/.config/systemd/user/default.target.wants/sync.service",
              t.path("home/.config/systemd/user/sync.service"));
    // Translations: French and German go, English and anything that is no
    // language's folder stay.
    for (const char* kept : {"locale/en_GB/LC_MESSAGES/a.mo", "locale/C/LC_MESSAGES/a.mo",
                             "locale/locale.alias", "man/man1/ls.1.gz", "man/en/man1/ls.1.gz"})
        t.sizedFile(std::string("root/usr/share/") + kept, 200);
    for (const char* gone :
         {"locale/fr/LC_MESSAGES/a.mo", "locale/fr_CA/LC_MESSAGES/a.mo",
          "locale/de/LC_MESSAGES/a.mo", "man/fr/man1/ls.1.gz", "help/de/gnome-help/index.page"})
        t.sizedFile(std::string("root/usr/share/") + gone, 300);
    // Leftovers: settings and data named for applications nobody has any more,
    // and the data folder of a Flatpak application that was removed.
    t.file("root/usr/share/applications/org.gnome.TextEditor.desktop",
           "[Desktop Entry]\nType=Application\nName=Text Editor\nExec=gnome-text-editor\n");
    t.sizedFile("home/.config/org.gnome.TextEditor/settings.ini", 100);
    t.sizedFile("home/.config/com.gone.Tool/settings.ini", 100);
    t.sizedFile("home/.config/pulse/com.inner.thing", 100); // a plain folder is not looked into
    t.sizedFile("home/.local/share/net.old.App/data.db", 100);
    t.dir("root/var/lib/flatpak/app/org.example.Viewer");
    t.sizedFile("home/.var/app/com.gone.Player/data/library.db", 100);
    t.file("home/.config/systemd/user/ok.service", "[Service]\nExecStart=-/bin/sh -c true\n");
}

} // namespace

TEST(LinuxLayout, TheLayoutFollowsTheHomeUnlessChosen) {
    test::FixtureRoots m;
    struct Case {
        const char* chosen;
        bool library;
        layout::HomeLayout expected;
    };
    const Case cases[] = {
        {"", false, layout::HomeLayout::Linux},     {"", true, layout::HomeLayout::MacOS},
        {"linux", true, layout::HomeLayout::Linux}, {"macos", false, layout::HomeLayout::MacOS},
        {"beos", true, layout::HomeLayout::MacOS},
    };
    for (const Case& c : cases) {
        test::ScopedEnv chosen("TESSALY_LAYOUT", c.chosen);
        if (c.library)
            m.t.dir("home/Library");
        else
            test::removeTree(m.home + "/Library");
        EXPECT_EQ(layout::current(), c.expected) << c.chosen << " " << c.library;
    }
    // A Linux home keeps Tessaly's data in the freedesktop folders, never in a
    // Library folder of our making.
    test::ScopedEnv chosen("TESSALY_LAYOUT", "");
    test::removeTree(m.home + "/Library");
    ASSERT_TRUE(startup::writeInfoPlist("/opt/tessaly/bin/tessaly"));
    EXPECT_TRUE(m.t.exists("home/.local/share/Tessaly/info.plist"));
    EXPECT_FALSE(m.t.exists("home/Library"));
    test::ScopedEnv data("XDG_DATA_HOME", m.t.dir("elsewhere"));
    EXPECT_EQ(layout::appDataFolder(), m.t.path("elsewhere/Tessaly"));
}

TEST(LinuxLayout, DisposableNames) {
    for (const char* yes : {"syslog.1", "dpkg.log.12", "syslog.2.gz", "auth.log.1.zst",
                            "Xorg.0.log.old", "system@0005f-0001.journal", "user-1000.journal~"})
        EXPECT_TRUE(disposable::isRotatedLogName(yes)) << yes;
    for (const char* no :
         {"syslog", "Xorg.0.log", "system.journal", "wtmp", "lastlog", "README", ".1", "kern.log."})
        EXPECT_FALSE(disposable::isRotatedLogName(no)) << no;
    // A numbered name needs the log it came from beside it, or every rotation before it.
    struct Case {
        const char* name;
        std::set<std::string> siblings;
        bool rotated;
    };
    const Case cases[] = {
        {"syslog.1", {"syslog", "syslog.1"}, true},
        {"syslog.3", {"syslog.1", "syslog.2.gz"}, true},
        {"syslog.3", {"syslog.2"}, false},
        {"app.log.1", {"app.log.0"}, true}, // the live log is number 0
        {"syslog.1", {"auth.log"}, false},
        {"log.192.168.1.21", {"log.smbd", "log.192.168.1.20"}, false},
        {"app.log.05", {"app.log.04", "app.log.03", "app.log.02", "app.log.01"}, false},
        {"syslog.0", {}, false},
        {"syslog.2.gz", {}, true},
        {"Xorg.0.log.old", {}, true},
        {"syslog", {"syslog.1"}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(disposable::isRotatedLogAmong(c.name, c.siblings), c.rotated) << c.name;
}

TEST(LinuxLayout, EachModuleListsOnlyWhatMayGoAndTheTrashTakesItsDescriptions) {
    test::ScopedEnv chosen("TESSALY_LAYOUT", "linux");
    SystemMachine m;
    buildLinuxMachine(m);
    m.buildCatalogue();
    auto manager = m.manager();
    using namespace sysmodule;
    EXPECT_EQ(manager->modulesToScan(),
              (std::vector<int>{UserCache, UserLog, AppLeftover, BrokenLoginItems, SystemCache,
                                Language, SystemLog, Trash}));
    ASSERT_TRUE(manager->scanDiskFile());
    MainQueue::drain();

    const std::string base = m.t.root();
    EXPECT_EQ(
        pathsByModule(*manager, base),
        (std::map<int, std::vector<std::string>>{
            {UserCache,
             {"home/.cache/pip", "home/.cache/thumbnails",
              "home/.var/app/org.example.Viewer/cache/fontconfig"}},
            {UserLog,
             {"home/.local/share/xorg/Xorg.0.log.old", "home/.local/state/wireplumber/wp.log.1",
              "home/.xsession-errors.old"}},
            {AppLeftover,
             {"home/.config/com.gone.Tool", "home/.local/share/net.old.App",
              "home/.var/app/com.gone.Player"}},
            {BrokenLoginItems,
             {"home/.config/autostart/ghost.desktop", "home/.config/systemd/user/sync.service"}},
            {SystemCache,
             {"root/var/cache/apt/archives/partial/unzip_6.0_amd64.deb.FAILED",
              "root/var/cache/apt/archives/zip_3.0_amd64.deb"}},
            {SystemLog,
             {"root/var/log/apt/history.log.2.gz",
              "root/var/log/journal/0a1b/system@0005f-0001.journal",
              "root/var/log/journal/0a1b/user-1000.journal~", "root/var/log/syslog.1"}},
            {Trash,
             {"home/.local/share/Trash/expunged/12345", "home/.local/share/Trash/files/folder",
              "home/.local/share/Trash/files/report.odt", volumeTrash() + "/files/photo.jpg"}},
        }));

    // One group per language, one entry per shared place with each of its folders.
    auto languages = manager->moduleItems(Language);
    ASSERT_TRUE(languages);
    std::map<std::string, std::map<std::string, std::vector<std::string>>> found;
    for (const auto& group : *languages)
        for (const auto& place : *group->subObjects)
            for (const auto& path : place->removePaths)
                found[group->name][place->name].push_back(path.substr(base.size() + 1));
    for (auto& [language, places] : found)
        for (auto& [place, folders] : places)
            std::sort(folders.begin(), folders.end());
    EXPECT_EQ(found,
              (std::map<std::string, std::map<std::string, std::vector<std::string>>>{
                  {"French",
                   {{"Translations", {"root/usr/share/locale/fr", "root/usr/share/locale/fr_CA"}},
                    {"Manual Pages", {"root/usr/share/man/fr"}}}},
                  {"German",
                   {{"Translations", {"root/usr/share/locale/de"}},
                    {"Help", {"root/usr/share/help/de"}}}},
              }));

    // Only the Trash and the login items are cleaned: each trashed entry goes
    // with its description, a unit with the link that enables it.
    for (int module : {UserCache, UserLog, SystemCache, SystemLog, Language, AppLeftover})
        manager->setCheck(module, false);
    CleanReport report = manager->clearDiskFile();
    EXPECT_TRUE(report.canotRemove.empty());
    EXPECT_EQ(report.removeCount, 6);
    for (const std::string& gone :
         {volumeTrash() + "/files/photo.jpg", volumeTrash() + "/info/photo.jpg.trashinfo"})
        EXPECT_FALSE(m.t.exists(gone)) << gone;
    for (const char* gone :
         {"home/.config/autostart/ghost.desktop", "home/.config/systemd/user/sync.service",
          "home/.config/systemd/user/default.target.wants/sync.service",
          "home/.local/share/Trash/files/report.odt", "home/.local/share/Trash/files/folder",
          "home/.local/share/Trash/info/report.odt.trashinfo",
          "home/.local/share/Trash/expunged/12345"})
        EXPECT_FALSE(m.t.exists(gone)) << gone;
    for (const char* kept :
         {"home/.config/autostart/shell.desktop", "home/.config/autostart/off.desktop",
          "home/.config/com.gone.Tool", "home/.config/pulse/com.inner.thing",
          "home/.config/systemd/user/ok.service", "home/.local/share/Trash/files",
          "home/.local/share/Trash/info", "root/var/log/syslog.1", "home/.cache/pip"})
        EXPECT_TRUE(m.t.exists(kept)) << kept;
}
