#pragma once

#include "ScanCode/uninstall/AppItem.h"
#include "app/common/DetailSource.h"
#include "platform/Date.h"

#include <QString>
#include <vector>

namespace tessaly {

class SearchApplications;

// The Uninstaller's lists as a detail list sees them: the items of one tab
// ("Application", "Widget", "Plugin", "Preference") whose names hold the search
// text, the applications under the titles of their age groups; each item's
// records (searched when they are first asked for) with their ticks and the
// mark of what a removal left.
class UninstallDetailSource : public DetailSource {
public:
    enum Tab { Application = 0, Widget, Plugin, Preference };
    static const char* tabName(int tab);

    explicit UninstallDetailSource(SearchApplications& engine);

    // Re-reads the tab's list from the engine (after a load or a removal).
    void reload(Date now);
    void setTab(int tab);
    int tab() const { return tab_; }
    void setFilter(const QString& text);
    // Whether a tab has any item (a tab without is not offered).
    bool tabHasItems(int tab) const;
    // The item of a category; null for an age group's title.
    AppItemRef itemAt(int category) const;

    int categoryCount() const override;
    DetailCategoryInfo categoryInfo(int category) const override;
    int itemCount(int category, const ItemPath& parent) const override;
    DetailItemInfo itemInfo(int category, const ItemPath& item) const override;
    void setCategoryCheck(int category, bool check) override;
    void setItemCheck(int category, const ItemPath& item, bool check) override;
    void sort(int category) override;

private:
    struct Row {
        QString group; // an age group's title when item is null
        AppItemRef item;
    };
    AppItemList listOf(int tab) const;
    SubAppFileRef recordAt(int category, const ItemPath& item) const;

    SearchApplications& engine_;
    int tab_ = Application;
    QString filter_;
    Date now_{};
    std::vector<Row> rows_;
};

} // namespace tessaly
