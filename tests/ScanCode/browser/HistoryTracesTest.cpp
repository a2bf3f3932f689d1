// A clean of all history leaves no trace of a visit in the profile: a planted
// address, search term and icon stand in every table Chromium and Firefox ESR
// keep them in (their own schemas), and afterwards no file of the profile folder
// holds any of them, -journal and -wal files included. Bookmarks stay; every
// database stays valid. In both layouts.
#include "tests/ScanCode/browser/BrowserFixture.h"
#include "tests/support/Layouts.h"

#include <filesystem>

using namespace tessaly;
using test::BrowserMachine;
using test::FixtureDb;

namespace {

const std::string kAddress = "https://planted.example/private-page-q7x";
const std::string kTerm = "zebracornquery";
const std::string kSearch = "https://search.example/search?q=" + kTerm;
const std::string kIconMark = "ICONMARK-5e1d";
const std::string kBookmark = "https://kept-bookmark.example/";

Data plantedIcon() {
    // Sized once and copied into: GCC 12's optimiser sees a false overrun in an
    // insert behind the image's bytes.
    const Data png = test::pngBytes();
    Data bytes(png.size() + kIconMark.size());
    std::copy(png.begin(), png.end(), bytes.begin());
    std::copy(kIconMark.begin(), kIconMark.end(),
              bytes.begin() + static_cast<std::ptrdiff_t>(png.size()));
    return bytes;
}

// Files under a folder (every depth) that hold the text, with their paths.
std::vector<std::string> filesHolding(const std::string& folder, const std::string& text) {
    std::vector<std::string> out;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file())
            continue;
        auto bytes = readWholeFile(entry.path().string(), 64 << 20);
        if (bytes &&
            std::search(bytes->begin(), bytes->end(), text.begin(), text.end()) != bytes->end())
            out.push_back(entry.path().string());
    }
    return out;
}

void plantChrome(BrowserMachine& b) {
    const double when = 1.76e9;
    const std::string history = b.chromeHistory({{kAddress, "Private page", {when, when + 60}},
                                                 {kSearch, kTerm + " - Search", {when + 30}},
                                                 {kBookmark, "Kept", {when + 90}}});
    FixtureDb h(history);
    h.run("INSERT INTO keyword_search_terms VALUES(2,(SELECT id FROM urls WHERE url = ?),?,?)",
          {kSearch, kTerm, kTerm});
    h.run("INSERT INTO segments(name,url_id) VALUES(?,(SELECT id FROM urls WHERE url = ?))",
          {kAddress, kAddress});
    h.exec("INSERT INTO segment_usage(segment_id,time_slot,visit_count) VALUES(1,13400000000,2);"
           "INSERT INTO visit_source SELECT id, 1 FROM visits;");
    h.run("INSERT INTO content_annotations(visit_id,annotation_flags,search_terms,"
          "has_url_keyed_image) VALUES((SELECT MAX(id) FROM visits WHERE url = (SELECT id FROM "
          "urls WHERE url = ?)),0,?,0)",
          {kSearch, kTerm});
    h.run("INSERT INTO visited_links(link_url_id,top_level_url,frame_url) VALUES((SELECT id FROM "
          "urls WHERE url = ?),?,?)",
          {kAddress, kAddress, kAddress});
    b.chromeFavicons({{kAddress, plantedIcon()}});
    b.chromeTopSites({{kAddress, "Private page"}});
    FixtureDb shortcuts(b.chrome + "/Shortcuts");
    shortcuts.exec(test::browserSchema("chromium-Shortcuts"));
    shortcuts.run("INSERT INTO omni_box_shortcuts VALUES('s1',?,?,?,0,?,'0,0','', '',1,0,'',0,3)",
                  {kTerm, kTerm, kSearch, kTerm});
    shortcuts.run("INSERT INTO omni_box_shortcuts VALUES('s2','pla',?,?,0,?,'0,0','Private "
                  "page','0,0',1,0,'',0,1)",
                  {kAddress, kAddress, kAddress});
    FixtureDb predictor(b.chrome + "/Network Action Predictor");
    predictor.exec(test::browserSchema("chromium-NetworkActionPredictor"));
    predictor.run("INSERT INTO network_action_predictor VALUES('p1',?,?,2,0)", {kTerm, kSearch});
    predictor.run("INSERT INTO network_action_predictor VALUES('p2','planted',?,1,0)", {kAddress});
    b.t.file(b.rel(b.chrome + "/Bookmarks"),
             "{\"roots\":{\"bookmark_bar\":{\"children\":[{\"name\":\"Kept\",\"type\":\"url\","
             "\"url\":\"" +
                 kBookmark + "\"}]}},\"version\":1}");
}

std::string plantFirefox(BrowserMachine& b) {
    const std::string profile = b.firefoxProfile("yq2k.default-esr");
    const double when = 1.76e9;
    const std::string places =
        b.firefoxPlaces(profile, {{kAddress, "Private page", {when, when + 60}},
                                  {kSearch, kTerm + " - Search", {when + 30}},
                                  {kBookmark, "Kept", {when + 90}}});
    FixtureDb p(places);
    p.exec("INSERT INTO moz_origins(prefix,host,frecency) VALUES('https://','planted.example',"
           "100),('https://','search.example',50),('https://','kept-bookmark.example',10);"
           "UPDATE moz_places SET origin_id = id, frecency = 100;");
    p.run("INSERT INTO moz_inputhistory VALUES((SELECT id FROM moz_places WHERE url = ?),?,1)",
          {kAddress, kTerm});
    p.run("INSERT INTO moz_places_metadata_search_queries(terms) VALUES(?)", {kTerm});
    p.run("INSERT INTO moz_places_metadata(place_id,created_at,search_query_id) VALUES((SELECT "
          "id FROM moz_places WHERE url = ?),1,1)",
          {kSearch});
    p.run("INSERT INTO moz_bookmarks(type,fk,parent,position,title,guid) VALUES(1,(SELECT id FROM "
          "moz_places WHERE url = ?),3,0,'Kept bookmark','bm0000000001')",
          {kBookmark});
    p.run("UPDATE moz_places SET foreign_count = 1 WHERE url = ?", {kBookmark});
    b.firefoxFavicons(profile, {{kAddress, plantedIcon()}});
    b.t.file(b.rel(b.firefox + "/profiles.ini"),
             "[Profile0]\nName=default-esr\nIsRelative=1\nPath=yq2k.default-esr\nDefault=1\n\n"
             "[General]\nStartWithLastProfile=1\nVersion=2\n");
    return profile;
}

class HistoryTraces : public ::testing::TestWithParam<const char*> {};

TEST_P(HistoryTraces, ACleanOfAllHistoryLeavesNoFileOfTheProfileHoldingTheVisit) {
    BrowserMachine b;
    b.useLayout(GetParam());
    plantChrome(b);
    const std::string firefoxProfile = plantFirefox(b);
    const std::string bookmarks = test::readText(b.chrome + "/Bookmarks");
    for (const std::string& folder : {b.chrome, firefoxProfile})
        for (const std::string& needle : {kAddress, kTerm, kIconMark})
            ASSERT_FALSE(filesHolding(folder, needle).empty()) << folder << " " << needle;

    auto m = b.engine();
    ASSERT_TRUE(BrowserMachine::scan(*m).problems.empty());
    EXPECT_EQ(m->dataCountWithoutCheck("Chrom History"), 3);
    EXPECT_EQ(m->dataCountWithoutCheck("Firefox History"), 3);
    for (const browser::ModuleInfo& module : browser::moduleTable())
        m->setCheck(module.name, module.kind == browser::ModuleKind::History);
    const Plan plan = m->plan();
    ASSERT_EQ(plan.items.size(), 6u);
    for (const PlanItem& step : plan.items)
        EXPECT_NE(step.note.find("compacted after the clean"), std::string::npos) << step.note;
    CleanOutcome outcome = m->clean(plan, {}, {});
    MainQueue::drain();
    EXPECT_EQ(outcome.removed, 6);
    EXPECT_TRUE(outcome.left.empty());

    for (const std::string& folder : {b.chrome, firefoxProfile})
        for (const std::string& needle : {kAddress, kTerm, kIconMark})
            EXPECT_EQ(filesHolding(folder, needle), std::vector<std::string>{})
                << "still holding " << needle;
    for (const std::string& db :
         {b.chrome + "/History", b.chrome + "/Favicons", b.chrome + "/Top Sites",
          b.chrome + "/Shortcuts", b.chrome + "/Network Action Predictor",
          firefoxProfile + "/places.sqlite", firefoxProfile + "/favicons.sqlite"})
        EXPECT_EQ(FixtureDb(db).column("PRAGMA integrity_check"), std::vector<std::string>{"ok"})
            << db;
    // Bookmarks stay: Chrome's file as it was, Firefox's with the page it needs,
    // which keeps nothing of the visit.
    EXPECT_EQ(test::readText(b.chrome + "/Bookmarks"), bookmarks);
    FixtureDb places(firefoxProfile + "/places.sqlite");
    EXPECT_EQ(places.column("SELECT b.title || ' ' || p.url || ' ' || IFNULL(p.title, '-') || ' ' "
                            "|| p.visit_count FROM moz_bookmarks AS b JOIN moz_places AS p ON "
                            "p.id = b.fk"),
              std::vector<std::string>{"Kept bookmark " + kBookmark + " - 0"});
    EXPECT_EQ(places.column("SELECT host FROM moz_origins"),
              std::vector<std::string>{"kept-bookmark.example"});
    // The lists show what is left: nothing.
    EXPECT_EQ(m->dataCountWithoutCheck("Chrom History"), 0);
    EXPECT_EQ(m->dataCountWithoutCheck("Firefox History"), 0);
}

INSTANTIATE_TEST_SUITE_P(Layouts, HistoryTraces, test::bothLayouts());

// A browser that runs keeps its databases open: the clean does not compact
// them, and the plan says so; the other browser's are compacted.
TEST(RunningBrowserClean, TheDatabasesOfARunningBrowserAreNotCompactedAndThePlanSaysSo) {
    BrowserMachine b;
    plantChrome(b);
    const std::string profile = plantFirefox(b);
    // Enough visits that deleting them frees whole pages.
    for (const std::string& db : {b.chrome + "/History", profile + "/places.sqlite"})
        FixtureDb(db).exec(
            db.find("places") == std::string::npos
                ? "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
                  "INSERT INTO visits(url,visit_time,transition) SELECT 1, 13400000000000000 + i, "
                  "0 FROM n;"
                : "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
                  "INSERT INTO moz_historyvisits(place_id,visit_date,visit_type) SELECT 1, "
                  "1760000000000000 + i, 1 FROM n;");
    b.processes = {test::runningProgram(4242, "firefox-esr")};
    auto m = b.engine();
    ASSERT_TRUE(BrowserMachine::scan(*m).problems.empty());
    for (const browser::ModuleInfo& module : browser::moduleTable())
        m->setCheck(module.name, module.kind == browser::ModuleKind::History);
    const Plan plan = m->plan();
    for (const PlanItem& step : plan.items)
        EXPECT_NE(step.note.find(step.category == "Firefox History" ? "is not compacted"
                                                                    : "compacted after the clean"),
                  std::string::npos)
            << step.category << ": " << step.note;
    EXPECT_EQ(m->clean(plan, {}, {}).removed, 6);
    EXPECT_EQ(FixtureDb(b.chrome + "/History").column("PRAGMA freelist_count"),
              std::vector<std::string>{"0"});
    EXPECT_NE(FixtureDb(profile + "/places.sqlite").column("PRAGMA freelist_count"),
              std::vector<std::string>{"0"});
    // What was deleted is overwritten all the same.
    EXPECT_EQ(filesHolding(profile, kTerm), std::vector<std::string>{});
}

// A History database without a visits table (another program's, or one cut
// short) is cleaned of its entries without an error.
TEST(ChromeHistory, ADatabaseWithoutAVisitsTableIsCleaned) {
    BrowserMachine b;
    const std::string history = b.chromeHistory({{"https://only.example/", "Only", {1.7e9}}});
    FixtureDb(history).exec("DROP TABLE visits; DROP TABLE visit_source;");
    auto m = b.engine();
    ASSERT_TRUE(BrowserMachine::scan(*m).problems.empty());
    CleanOutcome outcome = m->clean(m->plan(), {}, {});
    EXPECT_EQ(outcome.removed, 1);
    EXPECT_TRUE(outcome.left.empty());
    EXPECT_EQ(FixtureDb(history).column("SELECT COUNT(*) FROM urls"),
              std::vector<std::string>{"0"});
}

} // namespace
