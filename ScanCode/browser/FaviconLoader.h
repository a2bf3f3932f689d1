#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace tessaly {

struct BrowserFiles;

// One cached icon: its number and an icon reference ("data:image/png;base64,..."
// for an image the bytes hold, else "language-icon").
struct FaviconData {
    std::int64_t iconID = 0;
    std::string icon;
};

// The site icons the three browsers keep, so that history and top-site rows show
// each site's icon: Safari's WebpageIcons.db (PageURL, IconData), Chrome's
// Favicons (icon_mapping, favicon_bitmaps) and Firefox's icons (moz_places with
// moz_favicons in older profiles, favicons.sqlite in current ones).
class FaviconLoader {
public:
    // Refills the page and icon tables (before every scan).
    void loadData(const BrowserFiles& files);
    // The icon of the first page row (of browser type 0, 1 or 2) whose address
    // contains the key; "language-icon" when there is none. Never empty.
    std::string getFavicon(const std::string& key, int type);

    // The icon reference of image bytes; "language-icon" when they hold none.
    static std::string iconReference(const std::vector<std::uint8_t>& bytes);

private:
    struct PageRow {
        std::string url;
        std::int64_t iconID;
    };
    struct Tables {
        std::vector<PageRow> pages;
        std::vector<FaviconData> icons;
        std::unordered_map<std::int64_t, std::size_t> firstIcon; // iconID -> icons index
        std::map<std::string, std::string> answered;             // key -> icon
    };
    void loadSafari(const std::string& path);
    void loadChrome(const std::string& path);
    void loadFirefox(const std::string& places, const std::string& favicons);

    std::mutex mutex_;
    Tables tables_[3];
};

} // namespace tessaly
