// Top sites of Safari and Chrome (current and older Chrome layouts) and the
// site icons of the three browsers.
#include "tests/ScanCode/browser/BrowserFixture.h"

#include <sys/stat.h>

using namespace tessaly;
using test::BrowserMachine;
using test::FixtureDb;
using test::namesIn;

TEST(TopSites, ChromeTopSitesOfEitherLayoutAreListedAndDeletedEvenWithoutATitle) {
    for (bool old : {false, true}) {
        BrowserMachine b;
        const std::string path = b.chromeTopSites({{"https://mail.example/", "Mail"},
                                                   {"https://untitled.example/", ""},
                                                   {"https://stay.example/", "Stay"}},
                                                  old);
        auto m = b.engine();
        BrowserMachine::scan(*m);
        EXPECT_EQ(namesIn(*m, "Chrom Topsite"),
                  (std::vector<std::string>{"https://untitled.example/", "Mail", "Stay"}))
            << old;
        for (const ScanItem& item : *m->dataForModule("Chrom Topsite"))
            item->isCheck = item->name != "Stay";
        EXPECT_EQ(m->clean(m->plan(), {}, {}).removed, 2) << old;
        EXPECT_EQ(
            FixtureDb(path).column(old ? "SELECT url FROM urls" : "SELECT url FROM top_sites"),
            std::vector<std::string>{"https://stay.example/"})
            << old;
        EXPECT_EQ(namesIn(*m, "Chrom Topsite"), std::vector<std::string>{"Stay"});
    }
}

TEST(TopSites, SafariTopSitesListIsRewrittenWithOtherKeysKeptAndRemovedWhenAllGo) {
    BrowserMachine b;
    const std::string path =
        b.safariTopSites({{"https://apple.example/", "Apple"}, {"https://plain.example/", ""}});
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0); // as Safari keeps it
    auto m = b.engine();
    BrowserMachine::scan(*m);
    EXPECT_EQ(namesIn(*m, "Safari Topsite"),
              (std::vector<std::string>{"Apple", "https://plain.example/"}));
    EXPECT_EQ(m->topsiteCount(), 2);
    m->dataForModule("Safari Topsite")->front()->isCheck = false;
    EXPECT_EQ(m->clean(m->plan(), {}, {}).removed, 1);
    auto after = plist::readFile(path);
    ASSERT_TRUE(after);
    ASSERT_EQ(after->find("TopSites")->array()->size(), 1u);
    EXPECT_EQ(after->find("TopSites")->array()->front().stringForKey("TopSiteTitle"), "Apple");
    EXPECT_TRUE(after->find("BannedURLStrings"));
    EXPECT_EQ(fileattr::entryInfo(path).mode & 07777, 0600u); // still private

    m->setCheck("Safari Topsite", true);
    EXPECT_EQ(m->clean(m->plan(), {}, {}).removed, 1);
    EXPECT_FALSE(fileattr::entryInfo(path).exists);
}

TEST(Favicons, RowsShowTheirSitesIconsFromEachBrowsersIconStore) {
    BrowserMachine b;
    const Data png = test::pngBytes();
    b.chromeTopSites({{"https://icon.example/", "Icon"}, {"https://none.example/", "None"}});
    b.chromeFavicons({{"https://icon.example/", png}, {"https://broken.example/", {1, 2, 3}}});
    b.chromeHistory({{"https://broken.example/page", "Broken", {1.7e9}}});
    const std::string profile = b.firefoxProfile("f.default-esr");
    b.firefoxPlaces(profile, {{"https://fox.example/page", "Fox", {1.7e9}}});
    b.firefoxFavicons(profile, {{"https://fox.example/", png}});
    b.safariTopSites({{"https://s.example/", "S"}});
    b.safariIcons({{"https://s.example/", png}});
    auto m = b.engine();
    ASSERT_TRUE(BrowserMachine::scan(*m).problems.empty());

    auto iconOf = [&](const std::string& module, const std::string& name) {
        for (const ScanItem& item : *m->dataForModule(module)) {
            if (item->name == name)
                return item->icon;
            if (item->subObjects)
                for (const ScanItem& v : *item->subObjects)
                    if (v->name == name)
                        return v->icon;
        }
        return std::string("missing");
    };
    const std::string pngIcon = FaviconLoader::iconReference(png);
    EXPECT_EQ(pngIcon.rfind("data:image/png;base64,", 0), 0u);
    EXPECT_EQ(iconOf("Chrom Topsite", "Icon"), pngIcon);
    EXPECT_EQ(iconOf("Chrom Topsite", "None"), "language-icon");   // no page row
    EXPECT_EQ(iconOf("Chrom History", "Broken"), "language-icon"); // bytes that are no image
    EXPECT_EQ(iconOf("Firefox History", "Fox"), pngIcon);          // by its host
    EXPECT_EQ(iconOf("Safari Topsite", "S"), pngIcon);
    for (const auto& [module, list] : m->data())
        for (const ScanItem& item : *list)
            EXPECT_FALSE(item->loading) << module;
}

TEST(Favicons, AKeyMatchesTheFirstPageWhoseAddressContainsIt) {
    BrowserMachine b;
    const Data gif{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0};
    b.chromeFavicons(
        {{"https://www.longer-x.example/", gif}, {"https://x.example/", test::pngBytes()}});
    FaviconLoader loader;
    loader.loadData(resolveBrowserFiles(currentBrowserLayout()));
    EXPECT_EQ(loader.getFavicon("x.example", 1), FaviconLoader::iconReference(gif));
    EXPECT_EQ(loader.getFavicon("https://x.example/", 1),
              FaviconLoader::iconReference(test::pngBytes()));
    EXPECT_EQ(loader.getFavicon("nowhere", 1), "language-icon");
    EXPECT_EQ(loader.getFavicon("x.example", 7), "language-icon");
}
