#pragma once

// A fixture home with the browsers' files as current Chromium and Firefox ESR
// write them (their tables and columns as found in profiles they made), older
// layouts where a reader must still understand them, and Safari's lists, icon
// database and cookie store. A Browser Cleanup engine works on it with its own
// keep list, risky list and processes.

#include "ScanCode/browser/BroswerManager.h"
#include "platform/AtomicFile.h"
#include "platform/BinaryCookies.h"
#include "platform/Date.h"
#include "platform/Dispatch.h"
#include "platform/Paths.h"
#include "platform/PropertyList.h"
#include "tests/support/TempTree.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace tessaly::test {

// A database file built statement by statement, values bound.
class FixtureDb {
public:
    explicit FixtureDb(const std::string& path) {
        EXPECT_EQ(sqlite3_open(path.c_str(), &db_), SQLITE_OK) << path;
    }
    ~FixtureDb() { sqlite3_close(db_); }
    FixtureDb(const FixtureDb&) = delete;
    FixtureDb& operator=(const FixtureDb&) = delete;

    void exec(const std::string& sql) {
        char* error = nullptr;
        EXPECT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK)
            << (error ? error : "") << "\n"
            << sql;
        sqlite3_free(error);
    }
    void run(const std::string& sql, const std::vector<PlistValue>& values) {
        sqlite3_stmt* s = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db_, sql.c_str(), -1, &s, nullptr), SQLITE_OK) << sql;
        for (std::size_t i = 0; i < values.size(); ++i) {
            const PlistValue& v = values[i];
            const int at = static_cast<int>(i + 1);
            if (v.isInteger())
                sqlite3_bind_int64(s, at, v.toInteger());
            else if (const auto* text = v.string())
                sqlite3_bind_text(s, at, text->c_str(), -1, SQLITE_TRANSIENT);
            else if (const auto* bytes = v.data())
                sqlite3_bind_blob(s, at, bytes->data(), static_cast<int>(bytes->size()),
                                  SQLITE_TRANSIENT);
            else
                sqlite3_bind_null(s, at);
        }
        EXPECT_EQ(sqlite3_step(s), SQLITE_DONE) << sql;
        sqlite3_finalize(s);
    }
    // The first column of each row, as text.
    std::vector<std::string> column(const std::string& sql) {
        std::vector<std::string> out;
        sqlite3_stmt* s = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db_, sql.c_str(), -1, &s, nullptr), SQLITE_OK) << sql;
        while (s && sqlite3_step(s) == SQLITE_ROW) {
            const auto* text = sqlite3_column_text(s, 0);
            out.push_back(text ? reinterpret_cast<const char*>(text) : "NULL");
        }
        sqlite3_finalize(s);
        return out;
    }

private:
    sqlite3* db_ = nullptr;
};

// The tables and indexes of a database as Debian's Chromium or Firefox ESR made
// it in a fresh profile (schemas/NAME.sql).
inline std::string browserSchema(const std::string& name) {
    auto bytes = readWholeFile(std::string(TESSALY_BROWSER_SCHEMAS) + "/" + name + ".sql", 1 << 20);
    EXPECT_TRUE(bytes) << name;
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
}

// Times as the browsers store them.
inline long long chromeTime(double unixSeconds) {
    return static_cast<long long>(unixSeconds * 1e6) + 11644473600000000LL;
}
inline long long firefoxTime(double unixSeconds) {
    return static_cast<long long>(unixSeconds * 1e6);
}

// The first bytes of a PNG image: enough for its kind to be told.
inline Data pngBytes() {
    return {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
}

struct Visit {
    std::string url, title;
    std::vector<double> times; // unix seconds, one per visit
    double lastVisit() const {
        return times.empty() ? 0 : *std::max_element(times.begin(), times.end());
    }
};

// A running program known by its executable's name.
inline process::RunningProcess runningProgram(pid_t pid, const std::string& executable) {
    process::RunningProcess p;
    p.pid = pid;
    p.executable = executable;
    return p;
}

struct BrowserMachine : FixtureRoots {
    std::vector<std::string> keep; // the cookie keep list
    std::optional<std::vector<std::string>> risky = std::vector<std::string>{}; // risky sites
    std::vector<process::RunningProcess> processes;

    std::string chrome = home + "/Library/Application Support/Google/Chrome/Default";
    std::string firefox = home + "/Library/Application Support/Firefox/Profiles";
    std::string safari = home + "/Library/Safari";
    std::string chromeCache = home + "/Library/Caches/Google/Chrome/Default";
    std::string firefoxCache = home + "/Library/Caches/Firefox/Profiles"; // a folder per profile
    std::optional<ScopedEnv> layoutEnv;

    // Chooses a layout ("macos" or "linux") and puts the browsers' folders
    // where it keeps them (on a Linux home: Chromium's and Firefox ESR's).
    void useLayout(const std::string& name) {
        layoutEnv.emplace("TESSALY_LAYOUT", name);
        if (name != "linux")
            return;
        chrome = home + "/.config/chromium/Default";
        firefox = home + "/.mozilla/firefox";
        chromeCache = home + "/.cache/chromium/Default";
        firefoxCache = home + "/.cache/mozilla/firefox";
    }

    BrowserEnvironment environment() {
        BrowserEnvironment env;
        env.keepCookies = [this] { return keep; };
        env.riskyList = [this] { return risky; };
        env.processes = [this] { return processes; };
        return env;
    }
    std::unique_ptr<BroswerManager> engine() {
        return std::make_unique<BroswerManager>(environment());
    }
    static ScanSummary scan(BroswerManager& m) {
        ScanSummary s = m.scan({}, {});
        MainQueue::drain();
        return s;
    }

    // ---- Chrome ----
    std::string chromeCookies(const std::vector<std::string>& hosts) {
        const std::string path = fileIn(chrome, "Cookies");
        FixtureDb db(path);
        db.exec(browserSchema("chromium-Cookies") +
                "INSERT INTO meta VALUES('mmap_status','-1'),('version','24'),"
                "('last_compatible_version','24');");
        int n = 0;
        for (const std::string& host : hosts)
            db.run("INSERT INTO cookies VALUES(?,?,'',?,'',X'763130AA',"
                   "'/',0,0,0,0,0,0,1,-1,2,443,0,0,0)",
                   {13441396814000000LL + n, host, "c" + std::to_string(n++)});
        return path;
    }

    std::string chromeHistory(const std::vector<Visit>& pages) {
        const std::string path = fileIn(chrome, "History");
        FixtureDb db(path);
        db.exec(browserSchema("chromium-History") +
                "INSERT INTO meta VALUES('mmap_status','-1'),('version','70'),"
                "('last_compatible_version','16');");
        for (const Visit& page : pages) {
            const double last = page.lastVisit();
            db.run("INSERT INTO urls(url,title,visit_count,typed_count,last_visit_time,hidden) "
                   "VALUES(?,?,?,0,?,0)",
                   {page.url, page.title, static_cast<long long>(page.times.size()),
                    chromeTime(last)});
            for (double when : page.times)
                db.run("INSERT INTO visits(url,visit_time,transition) "
                       "VALUES((SELECT MAX(id) FROM urls),?,805306368)",
                       {chromeTime(when)});
        }
        return path;
    }

    // Current Chrome: top_sites(url, url_rank, title); old: urls(url, title).
    std::string chromeTopSites(const std::vector<std::pair<std::string, std::string>>& sites,
                               bool old = false) {
        const std::string path = fileIn(chrome, "Top Sites");
        FixtureDb db(path);
        if (old)
            db.exec("CREATE TABLE urls(url LONGVARCHAR PRIMARY KEY,url_rank INTEGER,title "
                    "LONGVARCHAR,redirects LONGVARCHAR);");
        else
            db.exec(browserSchema("chromium-TopSites") +
                    "INSERT INTO meta VALUES('mmap_status','-1'),('version','5'),"
                    "('last_compatible_version','5');");
        long long rank = 0;
        for (const auto& [url, title] : sites)
            db.run(old ? "INSERT INTO urls(url,url_rank,title) VALUES(?,?,?)"
                       : "INSERT INTO top_sites(url,url_rank,title) VALUES(?,?,?)",
                   {url, rank++, title});
        return path;
    }

    std::string chromeFavicons(const std::vector<std::pair<std::string, Data>>& icons) {
        const std::string path = fileIn(chrome, "Favicons");
        FixtureDb db(path);
        db.exec(browserSchema("chromium-Favicons") +
                "INSERT INTO meta VALUES('mmap_status','-1'),('version','9'),"
                "('last_compatible_version','9');");
        long long id = 1;
        for (const auto& [page, bytes] : icons) {
            db.run("INSERT INTO favicons(id,url) VALUES(?,?)", {id, page + "/favicon.ico"});
            db.run("INSERT INTO icon_mapping(page_url,icon_id) VALUES(?,?)", {page, id});
            db.run("INSERT INTO favicon_bitmaps(icon_id,image_data,width,height) VALUES(?,?,16,16)",
                   {id, bytes});
            ++id;
        }
        return path;
    }

    // ---- Firefox ----
    std::string firefoxProfile(const std::string& name) { return t.dir(rel(firefox + "/" + name)); }

    // Current Firefox: moz_cookies by host; old: with baseDomain.
    std::string firefoxCookies(const std::string& profile,
                               const std::vector<std::pair<std::string, std::string>> cookies,
                               bool old = false) {
        const std::string path = profile + "/cookies.sqlite";
        FixtureDb db(path);
        db.exec("PRAGMA journal_mode=WAL;");
        db.exec(old ? "CREATE TABLE moz_cookies (id INTEGER PRIMARY KEY, baseDomain TEXT, "
                      "originAttributes TEXT NOT NULL DEFAULT '', name TEXT, value TEXT, host "
                      "TEXT, path TEXT, expiry INTEGER, lastAccessed INTEGER, creationTime "
                      "INTEGER, isSecure INTEGER, isHttpOnly INTEGER, inBrowserElement INTEGER "
                      "DEFAULT 0, sameSite INTEGER DEFAULT 0, rawSameSite INTEGER DEFAULT 0, "
                      "CONSTRAINT moz_uniqueid UNIQUE (name, host, path, originAttributes));"
                    : browserSchema("firefox-cookies"));
        int n = 0;
        for (const auto& [host, base] : cookies)
            db.run(old ? "INSERT INTO moz_cookies(baseDomain,name,value,host,path,expiry) "
                         "VALUES(?,?,'v',?,'/',1900000000)"
                       : "INSERT INTO moz_cookies(name,value,host,path,expiry) "
                         "VALUES(?,'v',?,'/',1900000000)",
                   old ? std::vector<PlistValue>{base, "c" + std::to_string(n++), host}
                       : std::vector<PlistValue>{"c" + std::to_string(n++), host});
        return path;
    }

    // Current Firefox places (icons in favicons.sqlite beside it); old: moz_places with
    // favicon_id and moz_favicons.
    std::string firefoxPlaces(const std::string& profile, const std::vector<Visit>& pages,
                              bool old = false) {
        const std::string path = profile + "/places.sqlite";
        FixtureDb db(path);
        db.exec("PRAGMA journal_mode=WAL;");
        db.exec(old ? "CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url LONGVARCHAR, title "
                      "LONGVARCHAR, rev_host LONGVARCHAR, visit_count INTEGER DEFAULT 0, hidden "
                      "INTEGER DEFAULT 0 NOT NULL, typed INTEGER DEFAULT 0 NOT NULL, favicon_id "
                      "INTEGER, frecency INTEGER DEFAULT -1 NOT NULL, last_visit_date INTEGER , "
                      "guid TEXT, foreign_count INTEGER DEFAULT 0 NOT NULL, url_hash INTEGER "
                      "DEFAULT 0 NOT NULL);"
                      "CREATE TABLE moz_favicons (id INTEGER PRIMARY KEY, url LONGVARCHAR "
                      "UNIQUE, data BLOB, mime_type VARCHAR(32), expiration LONG, guid TEXT);"
                      "CREATE TABLE moz_historyvisits (id INTEGER PRIMARY KEY, from_visit "
                      "INTEGER, place_id INTEGER, visit_date INTEGER, visit_type INTEGER, "
                      "session INTEGER);"
                    : browserSchema("firefox-places"));
        for (const Visit& page : pages) {
            const double last = page.lastVisit();
            db.run("INSERT INTO moz_places(url,title,visit_count,last_visit_date) VALUES(?,?,?,?)",
                   {page.url, page.title.empty() ? PlistValue() : PlistValue(page.title),
                    static_cast<long long>(page.times.size()),
                    page.times.empty() ? PlistValue() : PlistValue(firefoxTime(last))});
            for (double when : page.times)
                db.run("INSERT INTO moz_historyvisits(place_id,visit_date,visit_type) "
                       "VALUES((SELECT MAX(id) FROM moz_places),?,1)",
                       {firefoxTime(when)});
        }
        return path;
    }

    std::string firefoxFavicons(const std::string& profile,
                                const std::vector<std::pair<std::string, Data>>& icons) {
        const std::string path = profile + "/favicons.sqlite";
        FixtureDb db(path);
        db.exec("PRAGMA journal_mode=WAL;" + browserSchema("firefox-favicons"));
        long long id = 1;
        for (const auto& [page, bytes] : icons) {
            db.run("INSERT INTO moz_icons(id,icon_url,fixed_icon_url_hash,width,data) "
                   "VALUES(?,?,0,16,?)",
                   {id, page + "/favicon.ico", bytes});
            db.run("INSERT INTO moz_pages_w_icons(id,page_url,page_url_hash) VALUES(?,?,0)",
                   {id, page});
            db.run("INSERT INTO moz_icons_to_pages(page_id,icon_id) VALUES(?,?)", {id, id});
            ++id;
        }
        return path;
    }

    // ---- Safari ----
    // Visits as Safari keeps them: the address under the empty key, the time as
    // text of seconds since 2001.
    static PlistValue safariVisit(const std::string& url, const std::string& title,
                                  double unixSeconds) {
        PlistValue::Dict d{{"", url},
                           {"lastVisitedDate", std::to_string(unixSeconds - 978307200.0)},
                           {"visitCount", 1}};
        if (!title.empty())
            d["title"] = title;
        return PlistValue(std::move(d));
    }
    std::string safariHistory(const PlistValue::Array& visits) {
        return writePlist(
            safari + "/History.plist",
            PlistValue::Dict{{"WebHistoryDates", visits}, {"WebHistoryFileVersion", 1}});
    }
    std::string safariTopSites(const std::vector<std::pair<std::string, std::string>>& sites) {
        PlistValue::Array list;
        for (const auto& [url, title] : sites) {
            PlistValue::Dict d{{"TopSiteURLString", url}};
            if (!title.empty())
                d["TopSiteTitle"] = title;
            list.emplace_back(std::move(d));
        }
        return writePlist(
            safari + "/TopSites.plist",
            PlistValue::Dict{{"TopSites", list}, {"BannedURLStrings", PlistValue::Array{}}});
    }
    std::string safariIcons(const std::vector<std::pair<std::string, Data>>& icons) {
        const std::string path = fileIn(safari, "WebpageIcons.db");
        FixtureDb db(path);
        db.exec("CREATE TABLE PageURL (url TEXT NOT NULL ON CONFLICT FAIL UNIQUE ON CONFLICT "
                "REPLACE,iconID INTEGER NOT NULL ON CONFLICT FAIL);"
                "CREATE TABLE IconData (iconID INTEGER NOT NULL ON CONFLICT FAIL UNIQUE ON "
                "CONFLICT REPLACE,data BLOB);");
        long long id = 1;
        for (const auto& [page, bytes] : icons) {
            db.run("INSERT INTO PageURL VALUES(?,?)", {page, id});
            db.run("INSERT INTO IconData VALUES(?,?)", {id, bytes});
            ++id;
        }
        return path;
    }
    std::string safariCookies(const std::vector<std::string>& domains) {
        std::vector<binarycookies::Cookie> cookies;
        for (const std::string& d : domains)
            cookies.push_back({d, "n" + std::to_string(cookies.size()), "/", 1, 9e8, 7e8});
        auto bytes = binarycookies::CookieStore::build(cookies, {}, 3);
        return t.file(rel(home + "/Library/Cookies/Cookies.binarycookies"),
                      std::string(bytes.begin(), bytes.end()));
    }

    std::string rel(const std::string& path) const { return path.substr(t.root().size() + 1); }
    // A file's path in a folder that is made first.
    std::string fileIn(const std::string& folder, const std::string& name) {
        t.dir(rel(folder));
        return folder + "/" + name;
    }

private:
    std::string writePlist(const std::string& path, const PlistValue& value) {
        t.dir(rel(paths::deletingLastComponent(path)));
        EXPECT_TRUE(plist::writeFile(path, value, plist::Format::Binary));
        return path;
    }
};

// The names of a module's items (a history module: its visits), in list order.
inline std::vector<std::string> namesIn(const BroswerManager& m, const std::string& module) {
    std::vector<std::string> out;
    if (auto list = m.dataForModule(module))
        for (const ScanItem& item : *list) {
            if (!item->subObjects) {
                out.push_back(item->name);
                continue;
            }
            for (const ScanItem& visit : *item->subObjects)
                out.push_back(visit->name);
        }
    return out;
}

} // namespace tessaly::test
