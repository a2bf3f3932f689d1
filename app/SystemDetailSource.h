#pragma once

#include "ScanCode/ToolEngine.h"
#include "app/common/DetailSource.h"

#include <map>
#include <string>
#include <vector>

namespace tessaly {

class QSVCleanManager;

// The System Cleanup results as a detail list sees them: one category per module
// that was scanned or holds results (largest first), its items sorted by the
// shared sort choice, groups with their children; an item that stands for several
// folders (an application's localisations) opens onto those folders. Ticks go to
// the engine's items; what the last clean left in place shows its reason.
class SystemDetailSource : public DetailSource {
public:
    explicit SystemDetailSource(QSVCleanManager& manager);

    // Re-reads the modules of the store (after a scan or a clean): scanned lists
    // the modules the last scan ran, interrupted whether it was stopped.
    void reload(std::vector<int> scanned, bool interrupted);
    void reload() { reload(scanned_, interrupted_); }
    // What the last clean left in place, with the reasons the rows show.
    void setLeft(const std::vector<LeftItem>& left);
    int moduleAt(int category) const { return modules_.at(static_cast<std::size_t>(category)); }

    int categoryCount() const override;
    DetailCategoryInfo categoryInfo(int category) const override;
    int itemCount(int category, const ItemPath& parent) const override;
    DetailItemInfo itemInfo(int category, const ItemPath& item) const override;
    void setCategoryCheck(int category, bool check) override;
    void setItemCheck(int category, const ItemPath& item, bool check) override;
    void sort(int category) override;

    // The right-hand text of a module's row, as the list shows it.
    QString moduleValue(int module, bool* dimmed = nullptr) const;

private:
    QString leftReason(const std::string& path) const;

    QSVCleanManager& manager_;
    std::vector<int> modules_;
    std::vector<int> scanned_;
    bool interrupted_ = false;
    std::map<std::string, std::string> left_;
};

} // namespace tessaly
