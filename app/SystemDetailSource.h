#pragma once

#include "app/common/DetailSource.h"

#include <vector>

namespace tessaly {

class QSVCleanManager;

// The System Cleanup results as a detail list sees them: one category per module
// of the result store (largest first), its items sorted by the shared sort
// choice, groups with their children. Ticks go to the engine's items.
class SystemDetailSource : public DetailSource {
public:
    explicit SystemDetailSource(QSVCleanManager& manager);

    // Re-reads the modules of the store (after a scan or a clean).
    void reload();
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
    QSVCleanManager& manager_;
    std::vector<int> modules_;
};

} // namespace tessaly
