#include "ScanCode/uninstall/SearchApplications.h"

#include "model/FolderWalk.h"
#include "platform/FileAttributes.h"
#include "tests/ScanCode/uninstall/BundleFixture.h"
#include "tests/support/TempTree.h"

#include <algorithm>
#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <map>

using namespace tessaly;
using test::makeBundle;

namespace {

// A fixture home and system root for one test.
using Machine = test::FixtureRoots;

std::map<std::string, AppItemRef> byName(const AppItemList& list) {
    std::map<std::string, AppItemRef> out;
    for (const auto& item : list)
        out[item->name] = item;
    return out;
}

std::vector<std::string> names(const AppItemList& list) {
    std::vector<std::string> out;
    for (const auto& item : list)
        out.push_back(item->name);
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace

TEST(SearchApplications, WalkListsApplicationsByTheCatalogueRules) {
    Machine m;
    makeBundle(m.t, "root/Applications/Safari.app", "com.apple.Safari", "9.1");
    makeBundle(m.t, "root/Applications/Mail.app", "com.apple.mail");
    makeBundle(m.t, "root/Applications/Utilities/ColorSync Utility.app",
               "com.apple.ColorSyncUtility");
    std::string foo = makeBundle(m.t, "root/Applications/Foo.app", "com.maker.foo", "1.2",
                                 plist::Format::Xml, 70000);
    makeBundle(m.t, "root/Applications/Foo.app/Contents/Library/LoginItems/FooHelper.app",
               "com.maker.foo.helper");
    makeBundle(m.t, "root/Applications/Kit.framework/Versions/A/Inner.app", "com.maker.inner");
    makeBundle(m.t, "root/Applications/.Hidden/Secret.app", "com.maker.secret");
    m.t.file("root/Applications/Broken.app/Contents/Info.plist", "<plist><dict><key>");
    m.t.dir("root/Applications/Bare.app");
    m.t.file("root/Applications/NotAnApp.app", "a plain file");
    makeBundle(m.t, "elsewhere/Linked.app", "com.maker.linked");
    m.t.symlink("root/Applications/Linked.app", m.t.path("elsewhere/Linked.app"));
    m.t.symlink("root/Applications/LinkedFolder", m.t.path("elsewhere"));
    makeBundle(m.t, "root/Developer/Applications/Builder.app", "org.builder");
    makeBundle(m.t, "home/Library/Caches/Cached.app", "com.maker.cached");
    makeBundle(m.t, "home/Projects/Tool.app", "net.tools.tool.app", "3");
    makeBundle(m.t, "home/Library Archive/Kept.app", "com.maker.kept");

    SearchApplications engine;
    engine.buildCatalogue();
    ASSERT_TRUE(engine.done());

    auto all = byName(engine.allApplications());
    EXPECT_EQ(names(engine.allApplications()),
              (std::vector<std::string>{"Bare", "Broken", "Builder", "ColorSync Utility", "Foo",
                                        "Kept", "Mail", "Safari", "Tool"}));
    EXPECT_EQ(names(engine.allApplicationsForUninstall()),
              (std::vector<std::string>{"Bare", "Broken", "Builder", "ColorSync Utility", "Foo",
                                        "Kept", "Tool"}));

    const AppItem& f = *all.at("Foo");
    EXPECT_EQ(f.path, foo);
    EXPECT_EQ(f.bundleID, "com.maker.foo");
    EXPECT_EQ(f.version, "1.2");
    EXPECT_EQ(f.executableString, "main");
    EXPECT_FALSE(f.isSystemApp);
    EXPECT_EQ(f.isSystemAppString, "NO");
    EXPECT_EQ(f.company, std::optional<std::string>("maker"));
    EXPECT_EQ(f.size, directorySize(foo));
    EXPECT_GT(f.size, 70000);
    EXPECT_TRUE(f.lastOpenDate.has_value());
    EXPECT_EQ(f.isSelected, 0);

    EXPECT_TRUE(all.at("Safari")->isSystemApp);
    EXPECT_EQ(all.at("Safari")->isSystemAppString, "YES");
    EXPECT_EQ(all.at("Safari")->version, "9.1");
    EXPECT_EQ(all.at("Builder")->company, std::nullopt); // two components
    EXPECT_EQ(all.at("Tool")->company, std::optional<std::string>("tools"));

    // A damaged or missing Info.plist leaves the fields empty, it does not end the walk.
    for (const char* name : {"Broken", "Bare"}) {
        EXPECT_EQ(all.at(name)->bundleID, "") << name;
        EXPECT_EQ(all.at(name)->version, "") << name;
        EXPECT_EQ(all.at(name)->isSystemAppString, "NO") << name;
    }
}

TEST(SearchApplications, BuildStartedInTheBackgroundReleasesWaiters) {
    Machine m;
    makeBundle(m.t, "root/Applications/Foo.app", "com.maker.foo");
    SearchApplications engine;
    EXPECT_FALSE(engine.done());
    engine.searchApplications();
    engine.waitFinish();
    EXPECT_TRUE(engine.done());
    EXPECT_EQ(names(engine.allApplications()), std::vector<std::string>{"Foo"});
    engine.waitFinish(); // once complete, waiting returns at once
}

namespace {

// An index that hands out fixed records, optionally holding the caller until released.
class FakeIndex : public ApplicationIndex {
public:
    explicit FakeIndex(std::optional<std::vector<IndexedApplication>> records)
        : records_(std::move(records)) {}
    std::optional<std::vector<IndexedApplication>>
    findApplications(const std::vector<std::string>& scopes) override {
        scopes_ = scopes;
        if (gate_)
            gate_->wait();
        return records_;
    }
    void holdUntil(std::shared_future<void> gate) { gate_ = std::move(gate); }
    std::vector<std::string> scopes_;

private:
    std::optional<std::vector<IndexedApplication>> records_;
    std::optional<std::shared_future<void>> gate_;
};

} // namespace

TEST(SearchApplications, IndexResultsFollowTheSameRules) {
    Machine m;
    std::string sized = makeBundle(m.t, "root/Applications/Zero.app", "com.maker.zero");
    Date used = Date(std::chrono::seconds(1'600'000'000));
    std::vector<IndexedApplication> records = {
        {m.root + "/Applications/Zero.app", 0, "2.0", "com.maker.zero", "Zero", used},
        {m.root + "/Applications/NoSize.app", std::nullopt, "", "org.x", "NoSize", std::nullopt},
        {m.root + "/Applications/Sized.app", 1234, "", "com.a.b.c", "Sized", used},
        {m.root + "/Applications/Zero.app/Contents/Helpers/Helper.app", 10, "", "", "Helper", used},
        {m.home + "/Library/Caches/Cached.app", 10, "", "", "Cached", used},
        {m.root + "/Applications/Mail.app", 10, "", "com.apple.mail", "Mail", used},
    };
    auto index = std::make_shared<FakeIndex>(records);
    SearchApplications engine;
    engine.setApplicationIndex(index);
    engine.buildCatalogue();

    EXPECT_EQ(index->scopes_, SearchApplications::searchScopes());
    auto all = byName(engine.allApplications());
    ASSERT_EQ(all.size(), 4u);
    // Index items keep the extension in their names.
    EXPECT_EQ(all.at("Zero.app")->size, directorySize(sized)); // a size of 0 is walked
    EXPECT_EQ(all.at("NoSize.app")->size, 0);                  // no size at all stays 0
    EXPECT_EQ(all.at("Sized.app")->size, 1234);
    EXPECT_EQ(all.at("Sized.app")->company, std::optional<std::string>("a"));
    EXPECT_EQ(all.at("Zero.app")->lastOpenDate, std::optional<Date>(used));
    EXPECT_EQ(all.at("Zero.app")->executableString, "Zero");
    EXPECT_FALSE(all.at("Mail.app")->isSystemApp); // only bundle-built items say so
    EXPECT_EQ(names(engine.allApplicationsForUninstall()),
              (std::vector<std::string>{"NoSize.app", "Sized.app", "Zero.app"}));
}

TEST(SearchApplications, EmptyOrFailedIndexFallsBackToTheWalk) {
    Machine m;
    makeBundle(m.t, "root/Applications/Foo.app", "com.maker.foo");
    for (auto records :
         {std::optional<std::vector<IndexedApplication>>{},
          std::optional<std::vector<IndexedApplication>>{std::vector<IndexedApplication>{}}}) {
        SearchApplications engine;
        engine.setApplicationIndex(std::make_shared<FakeIndex>(records));
        engine.buildCatalogue();
        EXPECT_TRUE(engine.done());
        EXPECT_EQ(names(engine.allApplications()), std::vector<std::string>{"Foo"});
    }
}

TEST(SearchApplications, StopWaitReleasesAWaiterBeforeTheCatalogueIsDone) {
    Machine m;
    std::promise<void> release;
    auto index = std::make_shared<FakeIndex>(std::nullopt);
    index->holdUntil(release.get_future().share());
    SearchApplications engine;
    engine.setApplicationIndex(index);
    engine.searchApplications();

    auto waiter = std::async(std::launch::async, [&] { engine.waitFinish(); });
    // waitFinish clears an earlier stop request, so repeat it until the waiter has seen one.
    while (waiter.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready)
        engine.stopWait();
    EXPECT_FALSE(engine.done());

    release.set_value();
    engine.waitFinish();
    EXPECT_TRUE(engine.done());
}

TEST(SearchApplications, OtherKindsKeepSystemWidgetsOnly) {
    Machine m;
    makeBundle(m.t, "root/Library/Internet Plug-Ins/Flash Player.plugin", "com.maker.flash");
    makeBundle(m.t, "root/Library/Internet Plug-Ins/QuickTime.webplugin", "com.apple.qt");
    makeBundle(m.t, "home/Library/Internet Plug-Ins/Viewer.webplugin", "org.viewer");
    makeBundle(m.t, "elsewhere/Linked.plugin", "com.maker.linked");
    m.t.symlink("home/Library/Internet Plug-Ins/Linked.plugin",
                m.t.path("elsewhere/Linked.plugin"));
    m.t.file("home/Library/Internet Plug-Ins/readme.txt", "x");
    makeBundle(m.t, "root/Library/Widgets/Weather.wdgt", "com.apple.widget.weather");
    makeBundle(m.t, "home/Library/Widgets/Notes.wdgt", "com.maker.notes");
    makeBundle(m.t, "root/Library/PreferencePanes/Displays.prefPane",
               "com.apple.preference.displays");
    makeBundle(m.t, "home/Library/PreferencePanes/Mouse Tool.prefPane", "com.maker.mouse");

    SearchApplications engine;
    engine.searchApplicationsOther();
    EXPECT_EQ(names(engine.allPlugins()), (std::vector<std::string>{"Flash Player", "Viewer"}));
    EXPECT_EQ(names(engine.allWidgets()), (std::vector<std::string>{"Notes", "Weather"}));
    EXPECT_EQ(names(engine.allPreferences()), std::vector<std::string>{"Mouse Tool"});
    auto widgets = byName(engine.allWidgets());
    EXPECT_TRUE(widgets.at("Weather")->isSystemApp);
    EXPECT_EQ(widgets.at("Notes")->company, std::optional<std::string>("maker"));
    EXPECT_GT(widgets.at("Notes")->size, 0);
}

TEST(SearchApplications, DockTilesComeFromEitherPropertyListForm) {
    for (auto format : {plist::Format::Binary, plist::Format::Xml}) {
        Machine m;
        PlistValue::Dict tile{
            {"tile-data", PlistValue(PlistValue::Dict{{"bundle-identifier", "com.maker.foo"},
                                                      {"file-label", "Foo"}})}};
        PlistValue::Dict prefs{
            {"persistent-apps", PlistValue(PlistValue::Array{PlistValue(tile)})}};
        m.t.dir("home/Library/Preferences");
        ASSERT_TRUE(plist::writeFile(m.home + "/Library/Preferences/com.apple.dock.plist",
                                     PlistValue(prefs), format));
        SearchApplications engine;
        ASSERT_TRUE(engine.dockApps().has_value());
        ASSERT_EQ(engine.dockApps()->size(), 1u);
        EXPECT_EQ((*engine.dockApps())[0].find("tile-data")->stringForKey("file-label"), "Foo");
    }
    Machine m;
    EXPECT_FALSE(SearchApplications().dockApps().has_value()); // no preferences at all
    m.t.file("home/Library/Preferences/com.apple.dock.plist", "not a property list");
    EXPECT_FALSE(SearchApplications().dockApps().has_value());
    m.t.dir("home/Library/Preferences");
    plist::writeFile(m.home + "/Library/Preferences/com.apple.dock.plist",
                     PlistValue(PlistValue::Dict{{"persistent-apps", "not a list"}}),
                     plist::Format::Binary);
    EXPECT_FALSE(SearchApplications().dockApps().has_value());
}

TEST(SearchApplications, SystemApplicationNamesMatchExactly) {
    SearchApplications engine;
    EXPECT_EQ(engine.appleApps().size(), 50u);
    EXPECT_TRUE(engine.isAppleApp("Safari"));
    EXPECT_FALSE(engine.isAppleApp("safari"));
    EXPECT_FALSE(engine.isAppleApp("ColorSync Utility"));
    EXPECT_TRUE(engine.isAppleApp("ColorSync Utilityp"));
}

TEST(AppItem, CompanyAndTickState) {
    const std::vector<std::pair<std::string, std::optional<std::string>>> ids = {
        {"com.maker.tool", "maker"}, {"a.b.c.d", "b"},   {"com.maker", std::nullopt},
        {"tool", std::nullopt},      {"", std::nullopt}, {"x..y", ""},
    };
    for (const auto& [id, company] : ids)
        EXPECT_EQ(AppItem::companyFromIdentifier(id), company) << id;

    AppItem item("Foo", "", "/x", "1", "com.a.b", "NO", 2, "Foo");
    EXPECT_EQ(item.isSelected, 0); // a new item is never ticked
    item.isSelected = 2;
    EXPECT_EQ(item.checkStatus(), 2); // no related files: as stored
    item.fileDatas = std::make_shared<SubAppFileList>();
    EXPECT_EQ(item.checkStatus(), 0); // an empty list counts as none ticked
    for (int i = 0; i < 3; ++i)
        item.fileDatas->push_back(std::make_shared<SubAppFileObj>());
    (*item.fileDatas)[1]->isCheck = true;
    EXPECT_EQ(item.checkStatus(), 1);
    item.setItemEnable(true);
    EXPECT_EQ(item.checkStatus(), 2);
    EXPECT_EQ(item.isSelected, 2);
    item.setItemEnable(false);
    EXPECT_EQ(item.checkStatus(), 0);
    EXPECT_EQ(item.isSelected, 0);
}
