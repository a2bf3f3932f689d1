#pragma once

#include <cstdint>
#include <string>

namespace tessaly {

class BrowserDatabase;

// The names under which the other databases of a profile are attached to its
// history database for a clean, so that one transaction changes them all.
namespace companion {
inline constexpr const char* ChromeFavicons = "favicons";
inline constexpr const char* ChromeTopSites = "topsites";
inline constexpr const char* ChromeShortcuts = "shortcuts";
inline constexpr const char* ChromePredictor = "predictor";
inline constexpr const char* FirefoxFavicons = "favicons";
} // namespace companion

// Takes a Chrome history entry (its urls row) out of the profile: its visits and
// what hangs on them, the search terms typed for it, its segments, its links,
// and every row of the attached databases that names its address or one of its
// terms (icon mappings and icons no page uses any more, omnibox shortcuts,
// predictor entries, top sites). False when a statement failed.
bool eraseChromeEntry(BrowserDatabase& db, std::int64_t urlId, const std::string& address);

// Takes a Firefox page out of the profile: its visits, what was typed for it,
// its metadata and their search terms; the page itself unless a bookmark, a
// keyword or an annotation needs it (then it keeps no title, frecency or visit),
// its origin once no page uses it, and, with the page, its icon mappings and the
// icons no page uses any more. False when a statement failed.
bool eraseFirefoxPage(BrowserDatabase& db, std::int64_t placeId);

} // namespace tessaly
