#include "platform/FileRemoval.h"
#include "tests/support/TempTree.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tessaly;

TEST(FileRemoval, RemovesTreesWithoutFollowingLinksOut) {
    test::TempTree t;
    t.file("keep/precious.txt", "x");
    t.file("keep/dir/inside.txt", "y");
    t.file("victim/a/b/c.txt", "z");
    t.file("victim/.hidden", "h");
    t.symlink("victim/a/link-dir", t.path("keep/dir"));
    t.symlink("victim/link-file", t.path("keep/precious.txt"));
    t.symlink("victim/dangling", t.path("nowhere"));
    std::string error;
    EXPECT_TRUE(fileops::removeItem(t.path("victim/"), &error)) << error;
    EXPECT_FALSE(t.exists("victim"));
    EXPECT_TRUE(t.exists("keep/precious.txt"));
    EXPECT_TRUE(t.exists("keep/dir/inside.txt"));

    // A link given as the item is removed itself, its target stays.
    t.symlink("alias", t.path("keep"));
    EXPECT_TRUE(fileops::removeItem(t.path("alias")));
    EXPECT_FALSE(t.exists("alias"));
    EXPECT_TRUE(t.exists("keep/dir/inside.txt"));

    EXPECT_TRUE(fileops::removeItem(t.path("keep/precious.txt")));
    EXPECT_FALSE(t.exists("keep/precious.txt"));
    EXPECT_TRUE(fileops::removeItem(t.path("never-was"))); // nothing there: gone
}

// A path that names no entry of a folder ("..", ".", the root) is refused. The
// root is asked for in a child whose root is the sandbox (only root may do
// that), and only once the child has found the sandbox's own marker there.
TEST(FileRemoval, ThePathsThatNameNoEntryAreRefused) {
    test::TempTree t;
    const std::string kept = t.file("keep/kept.txt", "kept");
    t.file("sandbox-marker", "this is the sandbox");
    EXPECT_FALSE(fileops::removeItem(t.path("keep/..")));
    EXPECT_FALSE(fileops::removeItem(t.path("keep/.")));
    EXPECT_EQ(test::readText(kept), "kept");
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can make the sandbox a process's root";
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        struct stat st {};
        if (::chroot(t.root().c_str()) != 0 || ::chdir("/") != 0 ||
            ::stat("/sandbox-marker", &st) != 0)
            ::_exit(2); // not inside the sandbox: ask nothing
        ::_exit(fileops::removeItem("/") ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the root reported removed, 2: no sandbox root";
    EXPECT_EQ(test::readText(kept), "kept");
    EXPECT_EQ(test::readText(t.path("sandbox-marker")), "this is the sandbox");
}

TEST(FileRemoval, DeepTreesNeedNoRecursion) {
    test::TempTree t;
    std::string rel = "deep";
    for (int i = 0; i < 300; ++i)
        rel += "/d";
    t.file(rel + "/leaf", "x");
    EXPECT_TRUE(fileops::removeItem(t.path("deep")));
    EXPECT_FALSE(t.exists("deep"));
}

TEST(FileRemoval, StopLeavesTheRestInPlace) {
    test::TempTree t;
    for (int i = 0; i < 20; ++i)
        t.file("many/f" + std::to_string(i), "x");
    int polls = 0;
    std::string error;
    EXPECT_FALSE(fileops::removeItem(t.path("many"), &error, [&] { return ++polls > 5; }));
    EXPECT_EQ(error, "stopped");
    EXPECT_TRUE(t.exists("many"));
}

TEST(FileRemoval, WhatCannotBeRemovedIsReportedAndTheRestGoes) {
    test::TempTree t;
    t.file("mixed/free.txt", "x");
    t.file("mixed/locked/held.txt", "y");
    if (::geteuid() != 0) {
        ::chmod(t.path("mixed/locked").c_str(), 0555);
        std::string error;
        EXPECT_FALSE(fileops::removeItem(t.path("mixed"), &error));
        EXPECT_FALSE(error.empty());
        ::chmod(t.path("mixed/locked").c_str(), 0755);
    } else {
        // Permissions do not stop root: remove as an unprivileged user in a child,
        // from a folder that user owns holding a folder that root owns.
        const uid_t nobody = 65534;
        ::chmod(t.root().c_str(), 0755);
        ASSERT_EQ(::chown(t.path("mixed").c_str(), nobody, nobody), 0);
        ASSERT_EQ(::chown(t.path("mixed/free.txt").c_str(), nobody, nobody), 0);
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            if (::setgid(nobody) != 0 || ::setuid(nobody) != 0)
                ::_exit(2);
            std::string error;
            bool removed = fileops::removeItem(t.path("mixed"), &error);
            ::_exit(removed ? 1 : (error.empty() ? 3 : 0));
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0)
            << "1: reported removed, 2: could not drop root, 3: no error";
    }
    EXPECT_FALSE(t.exists("mixed/free.txt"));
    EXPECT_TRUE(t.exists("mixed/locked/held.txt"));
}

TEST(FileRemoval, AFileInAFolderThatCannotBeSearchedIsNeverReportedGone) {
    test::TempTree t;
    std::string file = t.file("closed/held.txt", "y");
    ::chmod(t.path("closed").c_str(), 0600); // readable, not searchable
    auto check = [&]() -> int {
        // 0: told the truth; 1: called it gone while it is there.
        std::string error;
        if (fileops::removeItem(file, &error) || !fileops::itemExists(file))
            return 1;
        return error.empty() ? 2 : 0;
    };
    if (::geteuid() != 0) {
        EXPECT_EQ(check(), 0);
    } else {
        // Root searches any folder: look as an unprivileged user in a child.
        ::chmod(t.root().c_str(), 0755);
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(3);
            ::_exit(check());
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0)
            << "1: reported gone, 2: no reason, 3: could not drop root";
    }
    ::chmod(t.path("closed").c_str(), 0755);
    EXPECT_TRUE(t.exists("closed/held.txt"));
    // A missing path and a path through a file are gone.
    EXPECT_FALSE(fileops::itemExists(t.path("never-was")));
    EXPECT_FALSE(fileops::itemExists(t.path("closed/held.txt/below")));
}
