// History of the three browsers on real-schema fixtures: visits grouped by local
// day, Safari's list rewritten or removed, a Chrome entry going with its visits,
// a Firefox page listed once that goes unless a bookmark needs it, and the older
// Firefox layout.
#include "tests/ScanCode/browser/BrowserFixture.h"

#include <ctime>
#include <sys/stat.h>

using namespace tessaly;
using test::BrowserMachine;
using test::FixtureDb;
using test::namesIn;

namespace {

// Unix seconds of a local wall-clock time in the zone set by LocalZone.
double localTime(int year, int month, int day, int hour, int minute) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_isdst = -1;
    return static_cast<double>(std::mktime(&tm));
}

// A fixed zone one hour east of UTC, so that local days differ from UTC days.
struct LocalZone {
    test::ScopedEnv tz{"TZ", "CET-1"};
    LocalZone() { ::tzset(); }
    ~LocalZone() { ::tzset(); }
};

std::vector<std::string> groupNames(const BroswerManager& m, const std::string& module) {
    std::vector<std::string> out;
    for (const ScanItem& g : *m.dataForModule(module))
        out.push_back(g->name + ":" + std::to_string(g->subObjects->size()));
    return out;
}

} // namespace

TEST(History, SafariVisitsOfOneLocalDayShareAGroupAndMidnightStartsANewOne) {
    LocalZone zone;
    BrowserMachine b;
    b.safariHistory({
        BrowserMachine::safariVisit("https://a.example/1", "Evening", localTime(2024, 3, 1, 22, 0)),
        BrowserMachine::safariVisit("https://a.example/2", "", localTime(2024, 3, 1, 23, 59)),
        BrowserMachine::safariVisit("https://b.example/", "Night", localTime(2024, 3, 2, 0, 1)),
        BrowserMachine::safariVisit("", "", localTime(2024, 3, 2, 9, 0)),
    });
    auto m = b.engine();
    BrowserMachine::scan(*m);
    // Newest day first; 23:59 local is 22:59 UTC, 00:01 local is still the 1st in UTC.
    EXPECT_EQ(groupNames(*m, "Safari History"),
              (std::vector<std::string>{"2024-03-02:2", "2024-03-01:2"}));
    EXPECT_EQ(namesIn(*m, "Safari History"),
              (std::vector<std::string>{"Night", " no title", "Evening", "https://a.example/2"}));
    EXPECT_EQ(m->historyCount(), 4);
}

TEST(History, SafariListIsRewrittenWithoutTheTickedVisitsAndRemovedWhenNoneStay) {
    BrowserMachine b;
    const PlistValue::Array visits{
        BrowserMachine::safariVisit("https://a.example/", "A", 1.7e9),
        BrowserMachine::safariVisit("https://b.example/", "B", 1.7e9 + 60),
        BrowserMachine::safariVisit("https://c.example/", "C", 1.7e9 + 86400 * 3),
    };
    const std::string path = b.safariHistory(visits);
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0); // as Safari keeps it
    auto m = b.engine();

    // Every visit unticked: nothing planned, the list keeps all of them.
    BrowserMachine::scan(*m);
    m->setCheck("Safari History", false);
    EXPECT_EQ(m->clean(m->plan(), {}, {}).removed, 0);
    auto kept = plist::readFile(path);
    ASSERT_TRUE(kept);
    EXPECT_EQ(*kept->find("WebHistoryDates")->array(), visits);

    // One ticked: the list loses it, other keys stay; its emptied day group goes.
    for (const ScanItem& g : *m->dataForModule("Safari History"))
        for (const ScanItem& v : *g->subObjects)
            v->isCheck = v->name == "C";
    EXPECT_EQ(m->clean(m->plan(), {}, {}).removed, 1);
    auto after = plist::readFile(path);
    ASSERT_TRUE(after);
    EXPECT_EQ(*after->find("WebHistoryDates")->array(), (PlistValue::Array{visits[0], visits[1]}));
    EXPECT_EQ(fileattr::entryInfo(path).mode & 07777, 0600u); // still private
    EXPECT_EQ(after->find("WebHistoryFileVersion")->toInteger(), 1);
    EXPECT_EQ(m->dataForModule("Safari History")->size(), 1u);

    // All ticked: the file goes.
    m->setCheck("Safari History", true);
    EXPECT_EQ(m->clean(m->plan(), {}, {}).removed, 2);
    EXPECT_FALSE(fileattr::entryInfo(path).exists);
    EXPECT_TRUE(m->dataForModule("Safari History")->empty());
}

TEST(History, AChromeEntryGoesWithItsVisitsAndNoOtherEntry) {
    BrowserMachine b;
    const std::string path = b.chromeHistory({
        {"https://news.example/a", "News", {1.7e9, 1.7e9 + 100}},
        {"https://news.example/b", "", {1.7e9 + 200}},
        {"https://it's.example/", "Quote", {1.7e9 + 300}},
    });
    auto m = b.engine();
    BrowserMachine::scan(*m);
    EXPECT_EQ(m->dataCountWithoutCheck("Chrom History"), 3);
    for (const ScanItem& g : *m->dataForModule("Chrom History"))
        for (const ScanItem& v : *g->subObjects)
            v->isCheck = v->name != "https://news.example/b";
    CleanOutcome outcome = m->clean(m->plan(), {}, {});
    EXPECT_EQ(outcome.removed, 2);
    FixtureDb db(path);
    EXPECT_EQ(db.column("SELECT url FROM urls"),
              std::vector<std::string>{"https://news.example/b"});
    EXPECT_EQ(db.column("SELECT COUNT(*) FROM visits"), std::vector<std::string>{"1"});
    EXPECT_EQ(db.column("SELECT COUNT(*) FROM visits WHERE url NOT IN (SELECT id FROM urls)"),
              std::vector<std::string>{"0"});
    EXPECT_EQ(db.column("PRAGMA integrity_check"), std::vector<std::string>{"ok"});
    EXPECT_EQ(namesIn(*m, "Chrom History"), std::vector<std::string>{"https://news.example/b"});
}

TEST(History, AFirefoxPageIsListedOnceAndGoesUnlessABookmarkNeedsIt) {
    BrowserMachine b;
    const std::string profile = b.firefoxProfile("k9.default-esr");
    const std::string path = b.firefoxPlaces(
        profile, {
                     {"https://docs.example/", "Docs", {1.7e9, 1.7e9 + 10, 1.7e9 + 20}},
                     {"https://bookmarked.example/", "Saved", {1.7e9 + 30}},
                     {"https://x.example/", "", {1.7e9 + 5}},
                 });
    {
        FixtureDb db(path);
        db.exec(
            "INSERT INTO moz_bookmarks(type,fk,parent,position,title,guid) VALUES(1,"
            "(SELECT id FROM moz_places WHERE url = 'https://bookmarked.example/'),3,0,"
            "'My bookmark','bm0000000001');"
            "UPDATE moz_places SET foreign_count = 1 WHERE url = 'https://bookmarked.example/';");
    }
    auto m = b.engine();
    BrowserMachine::scan(*m);
    EXPECT_EQ(namesIn(*m, "Firefox History"),
              (std::vector<std::string>{"Docs", "Saved", "https://x.example/"}));
    for (const ScanItem& g : *m->dataForModule("Firefox History"))
        for (const ScanItem& v : *g->subObjects)
            v->isCheck = v->name != "https://x.example/";
    EXPECT_EQ(m->clean(m->plan(), {}, {}).removed, 2);
    FixtureDb db(path);
    EXPECT_EQ(db.column("SELECT COUNT(*) FROM moz_historyvisits"), std::vector<std::string>{"1"});
    // The page a bookmark needs stays, with nothing of the visit; the other goes.
    EXPECT_EQ(db.column("SELECT url || '/' || IFNULL(title, 'none') || '/' || visit_count || '/' "
                        "|| IFNULL(last_visit_date, 'none') || '/' || frecency FROM moz_places "
                        "ORDER BY id"),
              (std::vector<std::string>{"https://bookmarked.example//none/0/none/0",
                                        "https://x.example//none/1/" +
                                            std::to_string(test::firefoxTime(1.7e9 + 5)) + "/-1"}));
    EXPECT_EQ(db.column("SELECT title FROM moz_bookmarks"),
              std::vector<std::string>{"My bookmark"});
    EXPECT_EQ(db.column("PRAGMA integrity_check"), std::vector<std::string>{"ok"});
    // A new scan no longer lists them.
    BrowserMachine::scan(*m);
    EXPECT_EQ(namesIn(*m, "Firefox History"), std::vector<std::string>{"https://x.example/"});
}

TEST(History, OlderFirefoxProfilesAreReadToo) {
    BrowserMachine b;
    b.firefoxPlaces(b.firefoxProfile("old.default"),
                    {{"https://old.example/", "Old", {1.6e9, 1.6e9 + 1}}}, true);
    auto m = b.engine();
    EXPECT_TRUE(BrowserMachine::scan(*m).problems.empty());
    EXPECT_EQ(namesIn(*m, "Firefox History"), std::vector<std::string>{"Old"});
    EXPECT_EQ(m->clean(m->plan(), {}, {}).removed, 1);
}
