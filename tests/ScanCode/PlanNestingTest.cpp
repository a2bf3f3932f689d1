// A clean plans every path once: what lies in a folder another step removes goes
// with it; a path reached through a link, or a step that does not remove, stays.
#include "ScanCode/PlanNesting.h"
#include "tests/support/TempTree.h"

#include <gtest/gtest.h>

using namespace tessaly;

namespace {

PlanItem step(const std::string& path, PlanAction action = PlanAction::Remove) {
    PlanItem p;
    p.path = path;
    p.action = action;
    p.size = 1;
    return p;
}

std::vector<std::string> pathsOf(const std::vector<PlanItem>& steps, const std::string& base) {
    std::vector<std::string> out;
    for (const PlanItem& p : steps)
        out.push_back(p.path.substr(base.size() + 1));
    return out;
}

} // namespace

TEST(PlanNesting, APathInsideARemovedFolderIsPlannedOnce) {
    test::TempTree t;
    t.sizedFile("app/ID/cache/blob", 10);
    t.sizedFile("app/IDother/cache/blob", 10); // a look-alike name is no folder of ID
    t.sizedFile("elsewhere/cache/blob", 10);
    t.symlink("app/ID/linked", t.path("elsewhere"));
    t.symlink("app/Linked", t.path("elsewhere"));
    t.sizedFile("list.plist", 10);

    std::vector<PlanItem> steps = {
        step(t.path("app/ID/cache/blob")),
        step(t.path("app/ID")),
        step(t.path("app/ID/cache")),
        step(t.path("app/IDother/cache/blob")),
        step(t.path("app/ID/linked/cache/blob")), // lies elsewhere: the link goes, it stays
        step(t.path("app/Linked/cache")),         // so does a path under a removed link
        step(t.path("app/Linked")),
        step(t.path("app/ID"), PlanAction::Erase),                  // the same path again
        step(t.path("app/ID/cache/blob"), PlanAction::RewriteList), // changes, never goes
    };
    foldNestedSteps(steps);
    EXPECT_EQ(
        pathsOf(steps, t.root()),
        (std::vector<std::string>{"app/ID", "app/IDother/cache/blob", "app/ID/linked/cache/blob",
                                  "app/Linked/cache", "app/Linked", "app/ID/cache/blob"}));
    EXPECT_EQ(steps.back().action, PlanAction::RewriteList);
}

TEST(PlanNesting, WhatWentWithAFolderIsToldFromWhatStayed) {
    test::TempTree t;
    t.sizedFile("app/ID/cache/blob", 10);
    t.sizedFile("kept/blob", 10);
    Plan plan;
    plan.items = {step(t.path("app/ID")), step(t.path("kept"))};
    const PlannedRemovals planned(plan);
    EXPECT_FALSE(planned.carriedAway(t.path("app/ID/cache/blob"))); // still there
    test::removeTree(t.path("app/ID"));
    EXPECT_TRUE(planned.carriedAway(t.path("app/ID/cache/blob")));
    EXPECT_TRUE(planned.carriedAway(t.path("app/ID"))); // planned by another step
    EXPECT_FALSE(planned.carriedAway(t.path("kept/blob")));
    EXPECT_FALSE(planned.carriedAway(t.path("gone/by/itself"))); // nothing planned took it
    EXPECT_FALSE(planned.carriedAway(""));
}
