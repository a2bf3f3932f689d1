// The Language module's scanner on fixture application bundles, and the
// cleaning of what it found.
#include "ScanCode/system/CacheScanner.h"
#include "ScanCode/system/QSVCleanManager.h"
#include "ScanCode/system/ScanLanguageOperation.h"
#include "ScanCode/system/SystemModules.h"
#include "model/SettingModel.h"
#include "platform/OperationQueue.h"
#include "tests/ScanCode/system/SystemFixture.h"
#include "tests/ScanCode/uninstall/BundleFixture.h"
#include "tests/support/DiskUsage.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <mutex>

using namespace tessaly;
using test::SystemMachine;

namespace {

const std::string kApps = "root/Applications/";

// An application under the fixture's Applications folder whose Resources hold
// the given localisation folders, each with one file of `bytes` bytes.
std::string makeApp(SystemMachine& m, const std::string& name, const std::string& identifier,
                    const std::map<std::string, std::uint64_t>& folders) {
    std::string bundle = test::makeBundle(m.t, kApps + name, identifier);
    for (const auto& [folder, bytes] : folders)
        m.t.sizedFile(kApps + name + "/Contents/Resources/" + folder + "/Localizable.strings",
                      bytes);
    return bundle;
}

ScanItemList scanLanguages(SystemMachine& m) {
    m.buildCatalogue();
    ScanLanguageOperation op(m.catalogue, m.services(), nullptr);
    return op.scanLanguage();
}

ScanItem groupFor(const ScanItemList& groups, const std::string& country) {
    for (const auto& g : groups)
        if (g->countryName == country)
            return g;
    return nullptr;
}

struct Deliveries : ScanDelegate {
    std::mutex lock;
    std::vector<std::pair<ScanItemList, int>> calls;
    void finishScan(ScanItemList items, int moudle) override {
        std::lock_guard<std::mutex> guard(lock);
        calls.emplace_back(std::move(items), moudle);
    }
};

} // namespace

TEST(ScanLanguage, KeepRuleComparesLanguagesNotSpellings) {
    SystemMachine m;
    ScanLanguageOperation op(m.catalogue, m.services(), nullptr);
    struct Case {
        std::vector<std::string> keep;
        const char* language;
        bool removable;
    };
    const Case cases[] = {
        {{"en"}, "English", false},
        {{"en"}, "english", false},
        {{"en"}, "en", false},
        {{"en_GB"}, "English", false}, // a kept regional code keeps its language
        {{"en"}, "French", true},
        {{"en"}, "fr", true},
        {{"en", "pt-BR"}, "Portuguese", false},
        {{"zh-Hans", "en"}, "Chinese", false},
        {{"en"}, "Norwegian Bokmal", true},
        {{"nb"}, "Norwegian Bokmal", false},
        {{}, "English", true},   // an empty keep-list keeps nothing
        {{"en"}, "Base", false}, // no canonical identifier: never removable
        {{"en"}, "Unknown", false},
        {{"en"}, "", false},
    };
    for (const Case& c : cases) {
        op.keepLanuages = c.keep;
        EXPECT_EQ(op.isLanguageCanRemove(c.language, "ignored"), c.removable) << c.language;
    }
}

TEST(ScanLanguage, OnlyApplicationsWithEnglishAndTwoMoreLanguagesQualify) {
    SystemMachine m;
    ScanLanguageOperation op(m.catalogue, m.services(), nullptr);
    op.keepLanuages = {"en"};
    struct Case {
        const char* app;
        std::map<std::string, std::uint64_t> folders;
        bool qualifies;
    };
    const Case cases[] = {
        {"Two.app", {{"en.lproj", 1}, {"fr.lproj", 1}}, false},
        {"NoEnglish.app", {{"fr.lproj", 1}, {"de.lproj", 1}, {"it.lproj", 1}}, false},
        {"Regional.app", {{"en_GB.lproj", 1}, {"en.lproj", 1}, {"fr.lproj", 1}}, false},
        {"AllKept.app", {{"en.lproj", 1}, {"English.lproj", 1}, {"Base.lproj", 1}}, false},
        {"OldStyle.app", {{"English.lproj", 1}, {"French.lproj", 1}, {"Base.lproj", 1}}, true},
        {"Three.app", {{"en.lproj", 1}, {"fr_CA.lproj", 1}, {"de.lproj", 1}}, true},
    };
    std::vector<std::string> scratch;
    for (const Case& c : cases) {
        std::string bundle = makeApp(m, c.app, "com.maker.x", c.folders);
        EXPECT_EQ(op.checkIsContinueDeleteLanguageFile(bundle + "/Contents", scratch), c.qualifies)
            << c.app;
    }
    EXPECT_FALSE(op.checkIsContinueDeleteLanguageFile(m.t.dir("Bare.app/Contents"), scratch));
}

TEST(ScanLanguage, GroupsRemovableFoldersByCountryAndApplication) {
    SystemMachine m;
    SettingModel::shareSettingModel().blockSize = 4096;
    std::string multi = makeApp(m, "Multi.app", "com.maker.multi",
                                {{"en.lproj", 100},
                                 {"en_GB.lproj", 100},
                                 {"English.lproj", 100},
                                 {"fr.lproj", 10000},
                                 {"de.lproj", 100},
                                 {"pt_BR.lproj", 100},
                                 {"pt_PT.lproj", 100},
                                 {"Base.lproj", 100},
                                 {"xx.lproj", 100}});
    // A framework's folder is found too; a folder inside a localisation folder is not.
    m.t.sizedFile(kApps + "Multi.app/Contents/Frameworks/Kit.framework/Resources/fr.lproj/k", 100);
    m.t.sizedFile(kApps + "Multi.app/Contents/Resources/fr.lproj/de.lproj/inner", 100);
    std::string other = makeApp(m, "Other.app", "com.maker.other",
                                {{"en.lproj", 100}, {"fr.lproj", 30000}, {"ja.lproj", 100}});
    makeApp(m, "Two.app", "com.maker.two", {{"en.lproj", 100}, {"fr.lproj", 100}});
    makeApp(m, "NoEnglish.app", "com.maker.none",
            {{"fr.lproj", 100}, {"de.lproj", 100}, {"it.lproj", 100}});
    makeApp(m, "Word.app", "com.microsoft.Word",
            {{"en.lproj", 100}, {"fr.lproj", 100}, {"de.lproj", 100}});
    makeApp(m, "Reader.app", "com.adobe.Reader",
            {{"en.lproj", 100}, {"fr.lproj", 100}, {"de.lproj", 100}});

    ScanItemList groups = scanLanguages(m);

    // Largest group first: France, Portugal (two folders), then Germany and Japan
    // (one each). A folder counts what removing it gives back, as du counts it:
    // its own blocks, the folder nested in it and its files.
    const std::string multiFr = multi + "/Contents/Resources/fr.lproj";
    const std::string kitFr = multi + "/Contents/Frameworks/Kit.framework/Resources/fr.lproj";
    ASSERT_EQ(groups.size(), 4u);
    EXPECT_EQ(groups[0]->countryName, "France");
    EXPECT_EQ(groups[1]->countryName, "Portugal");
    EXPECT_EQ(groups[0]->fileSize,
              test::duBytes({other + "/Contents/Resources/fr.lproj", multiFr, kitFr}));

    ScanItem france = groups[0];
    EXPECT_EQ(france->name, "French");
    EXPECT_EQ(france->icon, "France");
    EXPECT_TRUE(france->isCheck);
    ASSERT_EQ(test::namesOf(france->subObjects),
              (std::vector<std::string>{"Other.app", "Multi.app"}));
    ScanItem multiFrench = france->subObjects->at(1);
    EXPECT_EQ(multiFrench->path, multi);
    EXPECT_EQ(multiFrench->icon, multi);
    EXPECT_TRUE(multiFrench->isCheck);
    EXPECT_EQ(multiFrench->fileSize, test::duBytes({multiFr, kitFr}));
    std::vector<std::string> frenchPaths = multiFrench->removePaths;
    std::sort(frenchPaths.begin(), frenchPaths.end());
    EXPECT_EQ(frenchPaths, (std::vector<std::string>{
                               multi + "/Contents/Frameworks/Kit.framework/Resources/fr.lproj",
                               multi + "/Contents/Resources/fr.lproj"}));
    EXPECT_EQ(france->subObjects->at(0)->removePaths,
              std::vector<std::string>{other + "/Contents/Resources/fr.lproj"});

    // Brazilian and European Portuguese: one group, one application, two paths.
    ScanItem portugal = groups[1];
    ASSERT_EQ(portugal->subObjects->size(), 1u);
    EXPECT_EQ(portugal->subObjects->front()->removePaths.size(), 2u);
    EXPECT_EQ(portugal->fileSize, test::duBytes(portugal->subObjects->front()->removePaths));

    // German holds only the top-level folder, never the one nested in French.
    ScanItem germany = groupFor(groups, "Germany");
    ASSERT_TRUE(germany);
    EXPECT_EQ(germany->subObjects->front()->removePaths,
              std::vector<std::string>{multi + "/Contents/Resources/de.lproj"});
    EXPECT_TRUE(groupFor(groups, "Japan"));
    // Kept English (plain, British, old-style), Base and unknown codes never show.
    EXPECT_FALSE(groupFor(groups, "United States"));
    const std::vector<std::string> neverListed{"en.lproj", "en_GB.lproj", "English.lproj",
                                               "Base.lproj", "xx.lproj"};
    for (const auto& g : groups)
        for (const auto& app : *g->subObjects) {
            EXPECT_TRUE(app->name == "Multi.app" || app->name == "Other.app") << app->name;
            for (const auto& p : app->removePaths)
                EXPECT_EQ(
                    std::count(neverListed.begin(), neverListed.end(), p.substr(p.rfind('/') + 1)),
                    0)
                    << p;
        }
}

TEST(ScanLanguage, ACancelledScanStillReportsWhatItFound) {
    SystemMachine m;
    makeApp(m, "A.app", "com.maker.a",
            {{"en.lproj", 100}, {"fr.lproj", 100}, {"de.lproj", 100}, {"it.lproj", 100}});
    makeApp(m, "B.app", "com.maker.b", {{"en.lproj", 100}, {"fr.lproj", 100}, {"de.lproj", 100}});
    m.buildCatalogue();
    Deliveries delivered;
    ScanServices services = m.services();
    std::shared_ptr<ScanLanguageOperation> op;
    auto table = services.languageInfo;
    // The user stops the scan as the first listed language is looked up.
    services.languageInfo = [&](const std::string& code) {
        auto info = table(code);
        if (info && code != "en")
            op->cancel();
        return info;
    };
    op = std::make_shared<ScanLanguageOperation>(m.catalogue, services, &delivered);
    OperationQueue queue(1);
    queue.addOperation(op);
    queue.waitUntilAllOperationsAreFinished();

    ASSERT_EQ(delivered.calls.size(), 1u);
    EXPECT_EQ(delivered.calls[0].second, sysmodule::Language);
    const ScanItemList& groups = delivered.calls[0].first;
    ASSERT_EQ(groups.size(), 1u);
    ASSERT_EQ(groups[0]->subObjects->size(), 1u);
    EXPECT_EQ(groups[0]->subObjects->front()->removePaths.size(), 1u);
    EXPECT_TRUE(op->keepLanuages.empty());
}

TEST(ScanLanguage, CleaningRemovesTheTickedApplicationsFoldersOnly) {
    SystemMachine m;
    std::string app = makeApp(m, "Multi.app", "com.maker.multi",
                              {{"en.lproj", 100},
                               {"en_GB.lproj", 100},
                               {"fr.lproj", 5000},
                               {"pt_BR.lproj", 100},
                               {"pt_PT.lproj", 100},
                               {"Base.lproj", 100}});
    m.t.sizedFile(kApps + "Multi.app/Contents/PlugIns/P.bundle/Contents/Resources/fr.lproj/s", 100);
    auto manager = m.manager();
    ScanItemList groups = scanLanguages(m);
    ScanItem portugal = groupFor(groups, "Portugal");
    ScanItem france = groupFor(groups, "France");
    ASSERT_TRUE(portugal && france);
    portugal->subObjects->front()->isCheck = false;
    const std::int64_t frenchSize = france->fileSize;
    manager->scanDisk->finishScan(groups, sysmodule::Language);

    CleanReport report = manager->clearDiskFile();

    EXPECT_EQ(report.removeCount, 1);
    EXPECT_EQ(report.removeSize, frenchSize);
    EXPECT_TRUE(report.canotRemove.empty());
    const std::string res = kApps + "Multi.app/Contents/Resources/";
    EXPECT_FALSE(m.t.exists(res + "fr.lproj"));
    EXPECT_FALSE(
        m.t.exists(kApps + "Multi.app/Contents/PlugIns/P.bundle/Contents/Resources/fr.lproj"));
    for (const char* kept : {"en.lproj", "en_GB.lproj", "pt_BR.lproj", "pt_PT.lproj", "Base.lproj"})
        EXPECT_TRUE(m.t.exists(res + kept)) << kept;
    EXPECT_TRUE(m.t.exists(kApps + "Multi.app/Contents/Info.plist"));
    EXPECT_TRUE(m.t.exists(kApps + "Multi.app/Contents/MacOS/main"));
    EXPECT_TRUE(m.t.exists(kApps + "Multi.app/Contents/PlugIns/P.bundle/Contents/Resources"));
    auto left = manager->moduleItems(sysmodule::Language);
    ASSERT_EQ(left->size(), 1u);
    EXPECT_EQ(left->front()->countryName, "Portugal");
    EXPECT_EQ(app, left->front()->subObjects->front()->path);
}
