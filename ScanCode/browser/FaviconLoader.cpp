#include "ScanCode/browser/FaviconLoader.h"

#include "ScanCode/browser/BrowserDatabase.h"
#include "ScanCode/browser/BrowserModules.h"
#include "ScanCode/browser/BrowserPlaces.h"
#include "model/Problem.h"
#include "platform/ImageSignature.h"

#include <openssl/evp.h>

namespace tessaly {

namespace {

constexpr const char* kNoIcon = "language-icon";

const char* mimeType(const std::string& type) {
    static const std::map<std::string, const char*> types{
        {"public.png", "image/png"},         {"public.jpeg", "image/jpeg"},
        {"com.compuserve.gif", "image/gif"}, {"com.microsoft.ico", "image/x-icon"},
        {"com.microsoft.bmp", "image/bmp"},  {"org.webmproject.webp", "image/webp"},
        {"public.tiff", "image/tiff"},
    };
    auto it = types.find(type);
    return it == types.end() ? nullptr : it->second;
}

// The rows of a query on a database, none (and reported) when it cannot be read.
std::vector<SqlRow> rowsOf(BrowserDatabase& db, const std::string& sql) {
    auto rows = db.query(sql);
    if (!rows) {
        ProblemCollector::report(db.path(), "icons could not be read: " + db.lastErrorReason());
        return {};
    }
    return *rows;
}

bool opened(BrowserDatabase& db) {
    if (db.path().empty())
        return false;
    if (db.open())
        return true;
    ProblemCollector::report(db.path(), "icons could not be read: " + db.lastErrorReason());
    return false;
}

} // namespace

std::string FaviconLoader::iconReference(const std::vector<std::uint8_t>& bytes) {
    auto type = imagekind::typeBySignature(bytes.data(), bytes.size());
    const char* mime = type ? mimeType(*type) : nullptr;
    if (!mime)
        return kNoIcon;
    std::string encoded(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(encoded.data()), bytes.data(),
                                  static_cast<int>(bytes.size()));
    encoded.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return std::string("data:") + mime + ";base64," + encoded;
}

void FaviconLoader::loadData(const BrowserFiles& files) {
    std::lock_guard<std::mutex> guard(mutex_);
    for (Tables& t : tables_)
        t = Tables();
    loadSafari(files.safariIcons);
    loadChrome(files.chromeFavicons);
    loadFirefox(files.firefoxHistory, files.firefoxFavicons);
    for (Tables& t : tables_)
        for (std::size_t i = 0; i < t.icons.size(); ++i)
            t.firstIcon.emplace(t.icons[i].iconID, i);
}

namespace {

void fill(std::vector<SqlRow> pageRows, const char* urlColumn, const char* idColumn,
          std::vector<SqlRow> iconRows, const char* dataColumn, const char* iconIdColumn,
          auto& pages, auto& icons) {
    for (const SqlRow& row : pageRows) {
        auto id = row.find(idColumn);
        if (id != row.end() && !id->second.isNone())
            pages.push_back({row.at(urlColumn).toString(), id->second.toInteger()});
    }
    for (const SqlRow& row : iconRows) {
        const PlistValue& data = row.at(dataColumn);
        icons.push_back({row.at(iconIdColumn).toInteger(),
                         data.isData() ? FaviconLoader::iconReference(*data.data()) : kNoIcon});
    }
}

} // namespace

void FaviconLoader::loadSafari(const std::string& path) {
    BrowserDatabase db(path);
    if (!opened(db))
        return;
    Tables& t = tables_[browser::Safari];
    fill(rowsOf(db, "SELECT DISTINCT url, iconID FROM PageURL"), "url", "iconid",
         rowsOf(db, "SELECT DISTINCT data, iconID FROM IconData"), "data", "iconid", t.pages,
         t.icons);
}

void FaviconLoader::loadChrome(const std::string& path) {
    BrowserDatabase db(path);
    if (!opened(db))
        return;
    Tables& t = tables_[browser::Chrome];
    fill(rowsOf(db, "SELECT DISTINCT page_url, icon_id FROM icon_mapping"), "page_url", "icon_id",
         rowsOf(db, "SELECT DISTINCT image_data, icon_id FROM favicon_bitmaps"), "image_data",
         "icon_id", t.pages, t.icons);
}

void FaviconLoader::loadFirefox(const std::string& places, const std::string& favicons) {
    Tables& t = tables_[browser::Firefox];
    BrowserDatabase db(places);
    if (!opened(db))
        return;
    // Older profiles keep the icon of a page in moz_places and the icons in moz_favicons.
    if (db.hasColumn("moz_places", "favicon_id") && db.hasTable("moz_favicons")) {
        fill(rowsOf(db, "SELECT DISTINCT url, id, favicon_id FROM moz_places "
                        "WHERE favicon_id IS NOT NULL"),
             "url", "favicon_id", rowsOf(db, "SELECT DISTINCT data, id FROM moz_favicons"), "data",
             "id", t.pages, t.icons);
        return;
    }
    db.close();
    BrowserDatabase icons(favicons);
    if (!opened(icons))
        return;
    fill(rowsOf(icons, "SELECT p.page_url AS url, m.icon_id AS favicon_id FROM moz_pages_w_icons "
                       "AS p JOIN moz_icons_to_pages AS m ON m.page_id = p.id ORDER BY p.id"),
         "url", "favicon_id", rowsOf(icons, "SELECT DISTINCT data, id FROM moz_icons"), "data",
         "id", t.pages, t.icons);
}

std::string FaviconLoader::getFavicon(const std::string& key, int type) {
    if (type < 0 || type >= browser::kBrowserCount)
        return kNoIcon;
    std::lock_guard<std::mutex> guard(mutex_);
    Tables& t = tables_[type];
    if (auto known = t.answered.find(key); known != t.answered.end())
        return known->second;
    std::string icon = kNoIcon;
    for (const PageRow& page : t.pages)
        if (page.url.find(key) != std::string::npos) {
            if (auto at = t.firstIcon.find(page.iconID); at != t.firstIcon.end())
                icon = t.icons[at->second].icon.empty() ? kNoIcon : t.icons[at->second].icon;
            break;
        }
    t.answered.emplace(key, icon);
    return icon;
}

} // namespace tessaly
