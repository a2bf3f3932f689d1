#pragma once

#include "ScanCode/ToolEngine.h"
#include "app/common/DetailSource.h"

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tessaly {

class BroswerManager;
class ScaneOuputObject;

// The Browser Cleanup results of one browser at a time as a detail list sees
// them: one category per module of that browser (cookies, risky cookies,
// history, top sites, cache, session), each with its ticked count; history as
// day groups holding their visits. Ticks go to the engine's records; what the
// last clean left in place shows its reason.
class BrowserDetailSource : public DetailSource {
public:
    explicit BrowserDetailSource(BroswerManager& manager);

    // The browser whose modules are listed (0 Safari, 1 Chrome, 2 Firefox).
    void setBrowser(int browser);
    int browser() const { return browser_; }
    // The browser the detail screen opens on: the one with the most items; on a
    // tie Firefox before Chrome before Safari, and Safari when all three are equal.
    static int preferredBrowser(const std::array<std::int64_t, 3>& items);
    // What the last clean left in place, with the reasons the rows show.
    void setLeft(const std::vector<LeftItem>& left);
    const std::string& moduleAt(int category) const;

    int categoryCount() const override;
    bool hasDates() const override { return true; }
    DetailCategoryInfo categoryInfo(int category) const override;
    int itemCount(int category, const ItemPath& parent) const override;
    DetailItemInfo itemInfo(int category, const ItemPath& item) const override;
    void setCategoryCheck(int category, bool check) override;
    void setItemCheck(int category, const ItemPath& item, bool check) override;
    void sort(int category) override;

private:
    BroswerManager& manager_;
    int browser_ = 0;
    std::vector<std::string> modules_;
    std::multimap<std::string, std::string> left_; // file -> reason
    QString leftReason(const std::string& module, const ScaneOuputObject& item) const;
};

} // namespace tessaly
