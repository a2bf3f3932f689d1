#include "ScanCode/browser/HistoryErasure.h"

#include "ScanCode/browser/BrowserDatabase.h"

#include <vector>

namespace tessaly {

namespace {

// Runs the statement when the table (and column) it changes is in the
// database; a table this version of the browser lacks holds nothing to remove.
struct Eraser {
    BrowserDatabase& db;
    bool ok = true;

    bool has(const std::string& table, const char* column = nullptr) const {
        return column ? db.hasColumn(table, column) : db.hasTable(table);
    }
    void run(const std::string& table, const std::string& sql, const SqlValues& values,
             const char* column = nullptr) {
        if (ok && has(table, column))
            ok = db.update(sql, values);
    }
};

std::vector<std::string> texts(BrowserDatabase& db, const std::string& sql,
                               const SqlValues& values) {
    std::vector<std::string> out;
    if (auto rows = db.query(sql, values))
        for (const SqlRow& row : *rows)
            if (const auto* text = row.begin()->second.string(); text && !text->empty())
                out.push_back(*text);
    return out;
}

} // namespace

bool eraseChromeEntry(BrowserDatabase& db, std::int64_t urlId, const std::string& address) {
    Eraser e{db};
    const SqlValues id{static_cast<long long>(urlId)};
    const SqlValues url{address};
    // The terms typed for it name it too, wherever they were kept.
    const std::vector<std::string> terms =
        e.has("keyword_search_terms")
            ? texts(db, "SELECT DISTINCT term FROM keyword_search_terms WHERE url_id = ?", id)
            : std::vector<std::string>{};
    const std::string visitsOf = "(SELECT id FROM visits WHERE url = ?)";
    if (e.has("visits")) {
        e.run("visit_source", "DELETE FROM visit_source WHERE id IN " + visitsOf, id);
        e.run("content_annotations",
              "DELETE FROM content_annotations WHERE visit_id IN " + visitsOf, id);
        e.run("context_annotations",
              "DELETE FROM context_annotations WHERE visit_id IN " + visitsOf, id);
        e.run("clusters_and_visits",
              "DELETE FROM clusters_and_visits WHERE visit_id IN " + visitsOf, id);
        e.run("cluster_visit_duplicates",
              "DELETE FROM cluster_visit_duplicates WHERE visit_id IN " + visitsOf +
                  " OR duplicate_visit_id IN " + visitsOf,
              {id[0], id[0]});
        e.run("visits", "DELETE FROM visits WHERE url = ?", id);
    }
    e.run("keyword_search_terms", "DELETE FROM keyword_search_terms WHERE url_id = ?", id);
    e.run("segment_usage",
          "DELETE FROM segment_usage WHERE segment_id IN (SELECT id FROM segments WHERE "
          "url_id = ?)",
          id);
    e.run("segments", "DELETE FROM segments WHERE url_id = ?", id);
    e.run("visited_links",
          "DELETE FROM visited_links WHERE link_url_id = ? OR top_level_url = ? OR frame_url = ?",
          {id[0], address, address});
    e.run("urls", "DELETE FROM urls WHERE id = ?", id);

    // The profile's other databases.
    const std::string icons = companion::ChromeFavicons;
    e.run(icons + ".icon_mapping", "DELETE FROM " + icons + ".icon_mapping WHERE page_url = ?",
          url);
    e.run(icons + ".favicons",
          "DELETE FROM " + icons + ".favicons WHERE id NOT IN (SELECT icon_id FROM " + icons +
              ".icon_mapping WHERE icon_id IS NOT NULL)",
          {}, nullptr);
    e.run(icons + ".favicon_bitmaps",
          "DELETE FROM " + icons + ".favicon_bitmaps WHERE icon_id NOT IN (SELECT id FROM " +
              icons + ".favicons)",
          {});
    const std::string top = companion::ChromeTopSites;
    e.run(top + ".top_sites", "DELETE FROM " + top + ".top_sites WHERE url = ?", url);
    const std::string shortcuts = std::string(companion::ChromeShortcuts) + ".omni_box_shortcuts";
    e.run(shortcuts, "DELETE FROM " + shortcuts + " WHERE url = ? OR fill_into_edit = ?",
          {address, address});
    const std::string predictor =
        std::string(companion::ChromePredictor) + ".network_action_predictor";
    e.run(predictor, "DELETE FROM " + predictor + " WHERE url = ?", url);
    for (const std::string& term : terms) {
        e.run(shortcuts, "DELETE FROM " + shortcuts + " WHERE text = ? OR contents = ?",
              {term, term});
        e.run(predictor, "DELETE FROM " + predictor + " WHERE user_text = ?", {term});
    }
    return e.ok;
}

bool eraseFirefoxPage(BrowserDatabase& db, std::int64_t placeId) {
    Eraser e{db};
    const SqlValues id{static_cast<long long>(placeId)};
    const std::vector<std::string> found = texts(db, "SELECT url FROM moz_places WHERE id = ?", id);
    const std::string address = found.empty() ? std::string() : found.front();
    e.run("moz_historyvisits", "DELETE FROM moz_historyvisits WHERE place_id = ?", id);
    e.run("moz_inputhistory", "DELETE FROM moz_inputhistory WHERE place_id = ?", id);
    e.run("moz_places_metadata",
          "DELETE FROM moz_places_metadata WHERE place_id = ? OR referrer_place_id = ?",
          {id[0], id[0]});
    e.run("moz_places_metadata_search_queries",
          "DELETE FROM moz_places_metadata_search_queries WHERE id NOT IN (SELECT "
          "search_query_id FROM moz_places_metadata WHERE search_query_id IS NOT NULL)",
          {});
    e.run("moz_newtab_shortcuts_interaction",
          "DELETE FROM moz_newtab_shortcuts_interaction WHERE place_id = ?", id);

    // A bookmark, a keyword or an annotation needs the page: it stays, as one
    // never visited, with nothing of what was seen there.
    bool needed = false;
    auto any = [&](const std::string& table, const std::string& sql) {
        if (!needed && e.has(table))
            if (auto rows = db.query(sql, id))
                needed = !rows->empty();
    };
    if (e.has("moz_places", "foreign_count"))
        any("moz_places", "SELECT 1 FROM moz_places WHERE id = ? AND foreign_count > 0");
    any("moz_bookmarks", "SELECT 1 FROM moz_bookmarks WHERE fk = ?");
    any("moz_keywords", "SELECT 1 FROM moz_keywords WHERE place_id = ?");
    any("moz_annos", "SELECT 1 FROM moz_annos WHERE place_id = ?");
    const std::vector<std::string> origin =
        e.has("moz_places", "origin_id")
            ? texts(db, "SELECT CAST(origin_id AS TEXT) FROM moz_places WHERE id = ?", id)
            : std::vector<std::string>{};
    if (needed) {
        const std::pair<const char*, const char*> cleared[] = {{"title", "NULL"},
                                                               {"visit_count", "0"},
                                                               {"last_visit_date", "NULL"},
                                                               {"frecency", "0"},
                                                               {"alt_frecency", "NULL"},
                                                               {"description", "NULL"},
                                                               {"preview_image_url", "NULL"},
                                                               {"site_name", "NULL"},
                                                               {"typed", "0"}};
        for (const auto& [column, value] : cleared)
            e.run("moz_places",
                  std::string("UPDATE moz_places SET ") + column + " = " + value + " WHERE id = ?",
                  id, column);
        return e.ok;
    }
    e.run("moz_places", "DELETE FROM moz_places WHERE id = ?", id);
    if (!origin.empty())
        e.run("moz_origins",
              "DELETE FROM moz_origins WHERE id = ? AND NOT EXISTS (SELECT 1 FROM moz_places "
              "WHERE origin_id = moz_origins.id)",
              {std::stoll(origin.front())});
    if (!address.empty()) {
        const std::string icons = companion::FirefoxFavicons;
        const std::string pageOf =
            "(SELECT id FROM " + icons + ".moz_pages_w_icons WHERE page_url = ?)";
        e.run(icons + ".moz_icons_to_pages",
              "DELETE FROM " + icons + ".moz_icons_to_pages WHERE page_id IN " + pageOf, {address});
        e.run(icons + ".moz_pages_w_icons",
              "DELETE FROM " + icons + ".moz_pages_w_icons WHERE page_url = ?", {address});
        e.run(icons + ".moz_icons",
              "DELETE FROM " + icons +
                  ".moz_icons WHERE root = 0 AND id NOT IN (SELECT icon_id "
                  "FROM " +
                  icons + ".moz_icons_to_pages)",
              {}, "root");
    }
    return e.ok;
}

} // namespace tessaly
