#pragma once

#include "ScanCode/ToolEngine.h"
#include "app/common/DetailSource.h"
#include "model/ScaneOuputObject.h"

#include <map>
#include <string>
#include <vector>

namespace tessaly {

// The System Security findings as a detail list: one category, "Security", with
// a row per finding (its file's icon, the threat's name, the path, the size and
// the tick). Reads the engine's list as it is.
class SecurityDetailSource : public DetailSource {
public:
    explicit SecurityDetailSource(ScanItemList& findings) : findings_(findings) {}

    // interrupted: the scan was stopped.
    void setInterrupted(bool interrupted) { interrupted_ = interrupted; }
    // What the last removal left, with its reasons.
    void setLeft(const std::vector<LeftItem>& left);

    int categoryCount() const override { return 1; }
    DetailCategoryInfo categoryInfo(int category) const override;
    int itemCount(int category, const ItemPath& parent) const override;
    DetailItemInfo itemInfo(int category, const ItemPath& item) const override;
    void setCategoryCheck(int category, bool check) override;
    void setItemCheck(int category, const ItemPath& item, bool check) override;
    void sort(int category) override;

private:
    ScanItemList& findings_;
    bool interrupted_ = false;
    std::map<std::string, std::string> left_;
};

} // namespace tessaly
