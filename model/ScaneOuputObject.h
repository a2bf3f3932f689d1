#pragma once

#include "model/Comparison.h"
#include "model/DataSource.h"
#include "platform/FileAttributes.h"
#include "platform/PlistValue.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tessaly {

class ScaneOuputObject;
using ScanItem = std::shared_ptr<ScaneOuputObject>;
using ScanItemList = std::vector<ScanItem>;
using ScanItemListRef = std::shared_ptr<ScanItemList>;

// One result item. Items form a tree of at most two levels: a module's list holds
// top-level items, each of which may hold subObjects. Engines create them and own
// the lists; screens read them and change only isCheck.
class ScaneOuputObject {
public:
    ScanItemListRef subObjects; // children; null for a leaf
    std::string path;           // full path (for browser records the record's key or URL)
    std::string name;           // display name
    bool isCheck = false;       // ticked for cleaning
    std::int64_t fileSize = 0;  // bytes (for a group, the sum of its children)
    std::string icon;           // icon reference: an image name or a file path
    bool isDir = false;
    std::vector<std::string> removePaths;  // the paths to delete when one item stands for several
    std::vector<std::int64_t> removeSizes; // the size of each of removePaths, when known
    fileattr::FileStamp stamp;             // what the scan saw at the path it removes
    std::string countryName;               // language name, or browser name for browser records
    std::string prePath;                   // preview or source image of a photo-cache item
    bool isLogin = false;
    PlistValue::Dict historyItem; // the raw browser-history record
    std::int32_t visitCount = 0;
    std::string preImage;                 // preview image reference
    bool canotRemove = false;             // a clean run could not remove it
    std::vector<std::string> listEntries; // the text a rewrite of the list at path takes out
    std::string reason;        // why it starts unticked ("costly to restore"), else empty
    std::string lastDate;      // last-use date text
    std::string dateStr;       // "yyyy-MM-dd" text used for sorting by date
    std::int64_t place_id = 0; // browser database row identifier
    std::string database;      // a browser record's database, when not the profile's in use
    bool loading = false;
    bool isBadCookie = false;

    bool hasChildren() const { return subObjects && !subObjects->empty(); }
    std::size_t checkedChildCount() const;

    // Larger fileSize first.
    ComparisonResult compare(const ScaneOuputObject& other) const;
    // The later date (parsed from dateStr) first.
    ComparisonResult compareWithDate(const ScaneOuputObject& other) const;
    // Name, case-insensitive, A before Z.
    ComparisonResult compareWithName(const ScaneOuputObject& other) const;
    // Risky cookies first.
    ComparisonResult compareWithRisk(const ScaneOuputObject& other) const;
    // By the shared sort choice of the settings (or the one given).
    ComparisonResult compareWithSort(const ScaneOuputObject& other) const;
    ComparisonResult compareWithSort(const ScaneOuputObject& other, const DataSource& source) const;
    // As compareWithSort, but type 0 compares the threat kinds of the names and every
    // type other than 0, 2 and 3 uses the name rule.
    ComparisonResult compareWithVirSort(const ScaneOuputObject& other) const;
    ComparisonResult compareWithVirSort(const ScaneOuputObject& other,
                                        const DataSource& source) const;
    // Threat kinds of the two names, case-insensitive, A before Z.
    ComparisonResult compareWithVirSort2(const ScaneOuputObject& other) const;

    // The security tool installs the function that names a threat's kind; until
    // then a name is its own kind.
    using ThreatKindNamer = std::function<std::string(const std::string&)>;
    static void setThreatKindNamer(ThreatKindNamer namer);
    static std::string threatKindName(const std::string& name);
};

// Sums and list helpers used by every tool.
std::int64_t totalSize(const ScanItemList& items);

// Calls f for each leaf of a two-level list: the children of an item that has
// any, else the item itself.
template <typename F> void forEachLeaf(const ScanItemList& items, F f) {
    for (const ScanItem& item : items) {
        if (item->hasChildren()) {
            for (const ScanItem& child : *item->subObjects)
                f(*child);
        } else {
            f(*item);
        }
    }
}

// 0 when no leaf of the list is ticked, 2 when every leaf is, 1 otherwise.
int checkStatusOfLeaves(const ScanItemList& items);

} // namespace tessaly
