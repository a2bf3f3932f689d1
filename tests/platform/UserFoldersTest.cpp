// The user's well-known folders in both layouts, and the key files they and the
// session's autostart entries are read from.
#include "platform/UserFolders.h"
#include "platform/KeyFile.h"
#include "tests/support/TempTree.h"

#include <gtest/gtest.h>

using namespace tessaly;

TEST(UserFolders, TheLinuxHomeNamesThemInUserDirsAndTheMacHomeKeepsItsOwn) {
    test::FixtureRoots m;
    {
        test::ScopedEnv chosen("TESSALY_LAYOUT", "macos");
        EXPECT_EQ(
            userfolders::mediaFolders(),
            (std::vector<std::string>{m.home + "/Documents", m.home + "/Movies", m.home + "/Music",
                                      m.home + "/Pictures", m.home + "/Downloads"}));
    }
    test::ScopedEnv chosen("TESSALY_LAYOUT", "linux");
    // Without user-dirs.dirs: the freedesktop defaults.
    EXPECT_EQ(userfolders::path(userfolders::Kind::Videos), m.home + "/Videos");
    // Translated names, an absolute one, a turned-off one, a malformed line.
    m.t.file("home/.config/user-dirs.dirs", "# written by xdg-user-dirs-update\n"
                                            "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n"
                                            "XDG_MUSIC_DIR=\"/srv/music/\"\n"
                                            "XDG_PICTURES_DIR=\"$HOME/\"\n"
                                            "XDG_VIDEOS_DIR=\"$HOME/Videos\" trailing\n"
                                            "XDG_DOWNLOAD_DIR=\"$HOME/Downloads/Neue Dateien\"\n");
    EXPECT_EQ(userfolders::mediaFolders(),
              (std::vector<std::string>{m.home + "/Dokumente", m.home + "/Videos", "/srv/music",
                                        m.home + "/Downloads/Neue Dateien"}));
    EXPECT_EQ(userfolders::path(userfolders::Kind::Pictures), "");
}

TEST(KeyFile, GroupsKeysAndTheProgramOfACommandLine) {
    test::TempTree t;
    auto file = keyfile::read(t.file("a.desktop", "# comment\n[Desktop Entry]\nName = Tray \n"
                                                  "Name[fr]=Plateau\nExec=first\nExec=second\n"
                                                  "[Desktop Action new]\nExec=other\n"));
    ASSERT_TRUE(file);
    EXPECT_EQ(keyfile::value(*file, "Desktop Entry", "Name"), "Tray");
    EXPECT_EQ(keyfile::value(*file, "Desktop Entry", "Name[fr]"), "Plateau");
    EXPECT_EQ(keyfile::value(*file, "Desktop Entry", "Exec"), "first");
    EXPECT_EQ(keyfile::value(*file, "Missing", "Exec"), "");
    EXPECT_FALSE(keyfile::read(t.path("missing")));

    const std::pair<const char*, const char*> programs[] = {
        {"/opt/app/bin/app --tray %U", "/opt/app/bin/app"},
        {"\"/opt/My App/run\" -x", "/opt/My App/run"},
        {"env GDK_BACKEND=x11 -u FOO slack --startup", "slack"},
        {"/bin/env LANG=C tool", "tool"},
        {"/usr/bin/env -S 'A=1 B=2 tool --x' more", "tool"},
        {"env --split-string=runner", "runner"},
        {"sh -c 'sleep 5; tool'", "sh"},
        {"My\\ Tool arg", "My Tool"},
        {"   ", ""},
    };
    for (const auto& [line, program] : programs)
        EXPECT_EQ(keyfile::commandProgram(line), program) << line;
}
