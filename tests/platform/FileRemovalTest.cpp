#include "platform/FileRemoval.h"
#include "tests/support/TempTree.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
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
    EXPECT_FALSE(fileops::removeItem("/"));
    EXPECT_FALSE(fileops::removeItem(t.path("keep/..")));
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
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not stop root";
    test::TempTree t;
    t.file("mixed/free.txt", "x");
    t.file("mixed/locked/held.txt", "y");
    ::chmod(t.path("mixed/locked").c_str(), 0555);
    std::string error;
    EXPECT_FALSE(fileops::removeItem(t.path("mixed"), &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(t.exists("mixed/free.txt"));
    EXPECT_TRUE(t.exists("mixed/locked/held.txt"));
    ::chmod(t.path("mixed/locked").c_str(), 0755);
}
