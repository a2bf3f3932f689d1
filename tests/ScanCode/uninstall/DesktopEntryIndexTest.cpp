// The catalogue of a Linux home: applications from desktop entries, with what
// the package database and Flatpak know about them.
#include "ScanCode/uninstall/DesktopEntryIndex.h"
#include "ScanCode/uninstall/SearchApplications.h"
#include "tests/support/TempTree.h"

#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

using namespace tessaly;

namespace {

std::string entry(const std::string& name, const std::string& exec, const std::string& extra = "") {
    return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + exec +
           "\nIcon=icon-of-" + name + "\n" + extra + "[Desktop Action New]\nName=Other\n";
}

void buildDesktop(test::FixtureRoots& m) {
    auto& t = m.t;
    t.file("root/usr/share/applications/org.gnome.TextEditor.desktop",
           entry("Text Editor", "gnome-text-editor %U"));
    t.file("root/usr/bin/gnome-text-editor", "#!/bin/sh\n");
    ::chmod(t.path("root/usr/bin/gnome-text-editor").c_str(), 0755);
    t.file("root/usr/share/applications/mimeinfo.cache", "[MIME Cache]\n");
    t.file("root/usr/share/applications/helper.desktop",
           entry("Helper", "helper", "NoDisplay=true\n"));
    t.file("root/usr/share/applications/site.desktop", "[Desktop Entry]\nType=Link\nName=Site\n");
    t.file("root/usr/share/applications/org.x.Hidden.desktop", entry("Hidden App", "hidden"));
    // The user's own entries come first: one of them hides the system's.
    t.file("home/.local/share/applications/org.x.Hidden.desktop", "[Desktop Entry]\nHidden=true\n");
    t.file("home/.local/share/applications/backup.desktop", entry("Backup", "/opt/backup/run"));
    t.file("root/var/lib/dpkg/status",
           "Package: gnome-text-editor\nStatus: install ok installed\nInstalled-Size: 2048\n"
           "Version: 43.2-1\nDescription: an editor\n continued\n\n"
           "Package: gone-tool\nStatus: deinstall ok config-files\nVersion: 1.0\n\n");
    t.file(
        "root/var/lib/dpkg/info/gnome-text-editor:amd64.list",
        "/.\n/usr/bin/gnome-text-editor\n/usr/share/applications/org.gnome.TextEditor.desktop\n");
    // A Flatpak application of the system, its deployment behind two links.
    t.file("root/var/lib/flatpak/exports/share/applications/org.x.Viewer.desktop",
           entry("Viewer", "/usr/bin/flatpak run org.x.Viewer"));
    const std::string app = "root/var/lib/flatpak/app/org.x.Viewer/";
    t.sizedFile(app + "x86_64/stable/abc123/files/bin/viewer", 5000);
    t.file(app + "x86_64/stable/abc123/files/share/metainfo/org.x.Viewer.metainfo.xml",
           "<component><releases><release version=\"2.1\" date=\"2026-01-01\"/>"
           "<release version=\"2.0\"/></releases></component>");
    t.symlink(app + "x86_64/stable/active", "abc123");
    t.symlink(app + "current", "x86_64/stable");
}

} // namespace

TEST(DesktopEntryIndex, ApplicationsAreTheShownDesktopEntriesWithTheirPackagesFacts) {
    test::FixtureRoots m;
    test::ScopedEnv layout("TESSALY_LAYOUT", "linux");
    test::ScopedEnv dirs("XDG_DATA_DIRS", "/usr/local/share:/usr/share");
    buildDesktop(m);
    DesktopEntryIndex index;
    auto found = index.findApplications({});
    ASSERT_TRUE(found);
    std::map<std::string, IndexedApplication> byId;
    std::vector<std::string> names;
    for (const auto& app : *found) {
        byId[app.bundleID] = app;
        names.push_back(app.displayName);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Backup", "Text Editor", "Viewer"}));

    const IndexedApplication& editor = byId["org.gnome.TextEditor"];
    EXPECT_EQ(editor.version, "43.2-1");
    EXPECT_EQ(editor.size, 2048 * 1024);
    EXPECT_EQ(editor.icon, "icon-of-Text Editor");
    EXPECT_TRUE(editor.lastUsed.has_value()); // the program is there
    const IndexedApplication& viewer = byId["org.x.Viewer"];
    EXPECT_EQ(viewer.version, "2.1");
    ASSERT_TRUE(viewer.size);
    EXPECT_GE(*viewer.size, 5000);
    const IndexedApplication& backup = byId["backup"];
    EXPECT_EQ(backup.version, "");
    EXPECT_FALSE(backup.size);
    EXPECT_FALSE(backup.lastUsed); // its program is gone

    // The catalogue of a Linux home is this index.
    SearchApplications catalogue;
    catalogue.buildCatalogue();
    std::vector<std::string> listed;
    for (const auto& item : catalogue.allApplications())
        listed.push_back(item->name + " " + item->version);
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::string>{"Backup ", "Text Editor 43.2-1", "Viewer 2.1"}));
}

// A program folder often holds only a link to the program: starting it reads
// the program, and the link's own times say nothing of its use.
TEST(DesktopEntryIndex, AnApplicationWasLastUsedWhenTheProgramItStartsWas) {
    test::FixtureRoots m;
    test::ScopedEnv layout("TESSALY_LAYOUT", "linux");
    test::ScopedEnv dirs("XDG_DATA_DIRS", "/usr/share");
    auto& t = m.t;
    t.file("root/usr/share/applications/browser.desktop", entry("Browser", "browser %u"));
    t.file("root/usr/share/applications/tool.desktop", entry("Tool", "tool"));
    const std::string browser = t.file("root/usr/lib/browser/browser.sh", "#!/bin/sh\n");
    const std::string tool = t.file("root/opt/tool/bin/tool", "#!/bin/sh\n");
    for (const std::string& program : {browser, tool})
        ::chmod(program.c_str(), 0755);
    // A relative link, and an absolute one the machine records without our root.
    const std::string browserLink = t.symlink("root/usr/bin/browser", "../lib/browser/browser.sh");
    const std::string toolLink = t.symlink("root/usr/bin/tool", "/opt/tool/bin/tool");

    const auto now = std::chrono::system_clock::now();
    auto setTimes = [&](const std::string& path, int accessedDaysAgo, int modifiedDaysAgo) {
        auto at = [&](int days) {
            return timespec{std::chrono::system_clock::to_time_t(now) - days * 86400L, 0};
        };
        struct timespec times[2] = {at(accessedDaysAgo), at(modifiedDaysAgo)};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
    };
    setTimes(browser, 10, 100);
    setTimes(tool, 300, 20); // rewritten (upgraded) after its last use
    setTimes(browserLink, 400, 400);
    setTimes(toolLink, 1, 1);

    auto found = DesktopEntryIndex().findApplications({});
    ASSERT_TRUE(found);
    std::map<std::string, std::optional<Date>> lastUsed;
    for (const auto& app : *found)
        lastUsed[app.bundleID] = app.lastUsed;
    auto daysAgo = [&](const std::optional<Date>& date) {
        return date ? std::chrono::duration_cast<std::chrono::hours>(now - *date).count() / 24 : -1;
    };
    EXPECT_EQ(daysAgo(lastUsed["browser"]), 10);
    EXPECT_EQ(daysAgo(lastUsed["tool"]), 20);
}
