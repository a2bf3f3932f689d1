// The session login-items list in its property list: reading, rewriting,
// resolution without mounting, and change reports.
#include "platform/LoginItemsStore.h"

#include "platform/Dispatch.h"
#include "platform/PropertyList.h"
#include "tests/support/TempTree.h"

#include <chrono>
#include <gtest/gtest.h>

using namespace tessaly;

namespace {

struct Machine : test::FixtureRoots {
    std::string listPath = home + "/Library/Preferences/com.apple.loginitems.plist";

    void writeList(const PlistValue::Array& items, plist::Format format = plist::Format::Xml) {
        PlistValue::Dict session{{"Controller", PlistValue("CustomListItems")},
                                 {"CustomListItems", PlistValue(items)}};
        PlistValue::Dict rootDict{{"SessionItems", PlistValue(session)},
                                  {"OtherKey", PlistValue("kept")}};
        t.dir("home/Library/Preferences");
        ASSERT_TRUE(plist::writeFile(listPath, PlistValue(rootDict), format));
    }
};

PlistValue entry(const std::string& name, const std::string& location, bool hidden = false) {
    return PlistValue(PlistValue::Dict{{"Name", PlistValue(name)},
                                       {"Location", PlistValue(location)},
                                       {"Hidden", PlistValue(hidden)}});
}

} // namespace

TEST(LoginItemsStore, ReadsRewritesAndKeepsOtherKeys) {
    Machine m;
    EXPECT_EQ(LoginItemsStore::defaultPath(), m.listPath);
    LoginItemsStore store(m.listPath);
    ASSERT_TRUE(store.snapshot());
    EXPECT_TRUE(store.snapshot()->empty()); // no file yet: an empty list

    m.writeList({entry("Mail", "/Applications/Mail.app", true), entry("Mail", "/x/Mail.app"),
                 PlistValue("not a dictionary"),
                 PlistValue(PlistValue::Dict{{"Name", PlistValue("Bare")}})});
    auto items = store.snapshot();
    ASSERT_TRUE(items);
    ASSERT_EQ(items->size(), 3u);
    EXPECT_EQ((*items)[0], (LoginItemRecord{"Mail", "/Applications/Mail.app", true}));
    EXPECT_EQ((*items)[2], (LoginItemRecord{"Bare", "", false}));

    // Removal takes the first equal entry only.
    EXPECT_TRUE(store.remove({"Mail", "/x/Mail.app", false}));
    EXPECT_FALSE(store.remove({"Mail", "/x/Mail.app", false}));
    EXPECT_TRUE(store.add({"Notes", "/Applications/Notes.app", false}));
    EXPECT_TRUE(store.setHidden({"Notes", "/Applications/Notes.app", false}, true));
    items = store.snapshot();
    ASSERT_EQ(items->size(), 3u);
    EXPECT_EQ((*items)[2], (LoginItemRecord{"Notes", "/Applications/Notes.app", true}));
    auto rootValue = plist::readFile(m.listPath);
    ASSERT_TRUE(rootValue);
    EXPECT_EQ(rootValue->stringForKey("OtherKey"), "kept");

    // A damaged list cannot be read, and is not rewritten.
    m.t.file("home/Library/Preferences/com.apple.loginitems.plist", "<plist><dict><key>");
    EXPECT_FALSE(store.snapshot());
    EXPECT_FALSE(store.add({"X", "/X.app", false}));
    EXPECT_EQ(test::readText(m.listPath), "<plist><dict><key>");
}

TEST(LoginItemsStore, ResolvesWithoutMountingAnything) {
    Machine m;
    m.t.dir("root/Applications/Here.app");
    m.t.dir("home/Applications/Mine.app");
    m.t.dir("root/Volumes/Backup/Tool.app");
    EXPECT_EQ(LoginItemsStore::resolve("/Applications/Here.app"),
              m.root + "/Applications/Here.app");
    EXPECT_EQ(LoginItemsStore::resolve("file:///Applications/Here.app"),
              m.root + "/Applications/Here.app");
    EXPECT_EQ(LoginItemsStore::resolve(m.home + "/Applications/Mine.app"),
              m.home + "/Applications/Mine.app");
    EXPECT_TRUE(LoginItemsStore::resolve("/Volumes/Backup/Tool.app"));
    EXPECT_FALSE(LoginItemsStore::resolve("/Volumes/Unplugged/Tool.app"));
    EXPECT_FALSE(m.t.exists("root/Volumes/Unplugged"));
    EXPECT_FALSE(LoginItemsStore::resolve("/Applications/Gone.app"));
    EXPECT_FALSE(LoginItemsStore::resolve(""));
    EXPECT_FALSE(LoginItemsStore::resolve("relative/Here.app"));
}

TEST(LoginItemsStore, ReportsChangesFromOthersAndFromItself) {
    Machine m;
    m.writeList({entry("A", "/A.app")});
    LoginItemsStore store(m.listPath);
    int reports = 0;
    store.setObserver([&] { ++reports; });
    EXPECT_TRUE(store.observing());

    // Our own change is reported once, not a second time by the watch.
    ASSERT_TRUE(store.add({"B", "/B.app", false}));
    EXPECT_TRUE(MainQueue::runUntil([&] { return reports == 1; }, std::chrono::seconds(5)));
    MainQueue::runUntil([] { return false; }, std::chrono::milliseconds(600));
    EXPECT_EQ(reports, 1);

    // Another program rewrites the list.
    m.writeList({entry("C", "/C.app")}, plist::Format::Binary);
    EXPECT_TRUE(MainQueue::runUntil([&] { return reports == 2; }, std::chrono::seconds(5)));

    // Not observing: nothing is reported, not even later.
    store.setObserver(nullptr);
    ASSERT_TRUE(store.add({"D", "/D.app", false}));
    m.writeList({entry("E", "/E.app")});
    MainQueue::runUntil([] { return false; }, std::chrono::milliseconds(600));
    store.setObserver([&] { ++reports; });
    MainQueue::runUntil([] { return false; }, std::chrono::milliseconds(600));
    EXPECT_EQ(reports, 2);
}
