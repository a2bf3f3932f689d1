#include "app/Artwork.h"
#include "app/common/DetailList.h"
#include "app/common/FileManagerActions.h"
#include "app/common/FolderListPicker.h"
#include "app/common/ItemIcon.h"
#include "app/common/ItemInfoDialog.h"
#include "app/common/ProblemsNote.h"
#include "app/common/ProgressList.h"
#include "app/common/ReportPanel.h"
#include "app/common/ShareChart.h"
#include "app/common/ToolStagePanel.h"
#include "model/CommonFunction.h"
#include "model/DataSource.h"
#include "tests/app/QtEnvironment.h"
#include "tests/support/TempTree.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QIcon>
#include <QImage>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <algorithm>

using namespace tessaly;
using tessaly::test::GuiTest;
using tessaly::test::settle;

namespace {

// Two categories of groups with the duplicate tick rule: ticking a group ticks
// every member but the last, unticking clears all. The second category is empty.
class FakeGroups : public DetailSource {
public:
    struct Member {
        QString name;
        bool tick = false;
    };
    std::vector<std::vector<std::vector<Member>>> groups{
        {{{"a1"}, {"a2"}, {"a3"}}, {{"b1"}, {"b2"}}}, {}};
    int sorts = 0;

    static Qt::CheckState state(std::size_t ticked, std::size_t all) {
        if (ticked == 0)
            return Qt::Unchecked;
        return ticked == all ? Qt::Checked : Qt::PartiallyChecked;
    }
    std::size_t ticked(const std::vector<Member>& g) const {
        return std::count_if(g.begin(), g.end(), [](const Member& m) { return m.tick; });
    }

    int categoryCount() const override { return static_cast<int>(groups.size()); }
    DetailCategoryInfo categoryInfo(int c) const override {
        DetailCategoryInfo info;
        info.name = c == 0 ? "Media" : "Other";
        std::size_t t = 0, all = 0;
        for (const auto& g : groups[c]) {
            t += ticked(g);
            all += g.size();
        }
        info.check = state(t, all);
        info.value = QString::number(t);
        info.dimmed = all == 0;
        info.emptyText = "There are no unneeded Files to removed";
        return info;
    }
    int itemCount(int c, const ItemPath& parent) const override {
        if (parent.empty())
            return static_cast<int>(groups[c].size());
        return parent.size() == 1 ? static_cast<int>(groups[c][parent[0]].size()) : 0;
    }
    DetailItemInfo itemInfo(int c, const ItemPath& item) const override {
        DetailItemInfo info;
        const auto& g = groups[c][item[0]];
        if (item.size() == 1) {
            info.name = g.front().name;
            info.check = state(ticked(g), g.size());
        } else {
            info.name = g[item[1]].name;
            info.path = "/fixture/" + info.name;
            info.check = g[item[1]].tick ? Qt::Checked : Qt::Unchecked;
        }
        return info;
    }
    void setGroup(std::vector<Member>& g, bool check) {
        for (std::size_t i = 0; i < g.size(); ++i)
            g[i].tick = check && i + 1 < g.size();
    }
    void setCategoryCheck(int c, bool check) override {
        for (auto& g : groups[c])
            setGroup(g, check);
    }
    void setItemCheck(int c, const ItemPath& item, bool check) override {
        auto& g = groups[c][item[0]];
        if (item.size() == 1)
            setGroup(g, check);
        else
            g[item[1]].tick = check;
    }
    void sort(int c) override {
        ++sorts;
        const bool byNameAsc = SettingModel::shareSettingModel().source.type == DataSource::Name &&
                               SettingModel::shareSettingModel().source.ascending();
        std::sort(groups[c].begin(), groups[c].end(), [&](const auto& a, const auto& b) {
            return byNameAsc ? a.front().name < b.front().name : a.front().name > b.front().name;
        });
    }
};

// The picker with its drop handlers in reach, as the file manager's drag calls them.
struct DroppablePicker : FolderListPicker {
    using FolderListPicker::dragEnterEvent;
    using FolderListPicker::dropEvent;
};

class DetailListTest : public GuiTest {
protected:
    FakeGroups fake;
    DetailList list;
    void SetUp() override {
        GuiTest::SetUp();
        settings().source.type = DataSource::Size;
        settings().source.asc = 0;
        list.setSource(&fake);
    }
    void TearDown() override {
        setRevealHandler({});
        setShowInfoHandler({});
        GuiTest::TearDown();
    }
    Qt::CheckState box(const ItemPath& p) const { return list.treeItem(p)->checkState(0); }
    Qt::CheckState categoryBox(int c) const {
        return list.categoryTree()->topLevelItem(c)->checkState(0);
    }
};

} // namespace

TEST_F(DetailListTest, GroupBoxFollowsTheSourceRules) {
    ASSERT_EQ(list.itemTree()->topLevelItemCount(), 2);
    // Clicking the box as the user does: Qt turns it on, the source decides.
    list.treeItem({0})->setCheckState(0, Qt::Checked);
    EXPECT_TRUE(fake.groups[0][0][0].tick);
    EXPECT_TRUE(fake.groups[0][0][1].tick);
    EXPECT_FALSE(fake.groups[0][0][2].tick);
    EXPECT_EQ(box({0}), Qt::PartiallyChecked);
    EXPECT_EQ(box({0, 2}), Qt::Unchecked);
    EXPECT_EQ(categoryBox(0), Qt::PartiallyChecked);
    EXPECT_EQ(list.categoryTree()->topLevelItem(0)->text(1), "2");

    // A mixed box unticks everything.
    list.clickItem({0});
    EXPECT_EQ(fake.ticked(fake.groups[0][0]), 0u);
    EXPECT_EQ(box({0}), Qt::Unchecked);
    EXPECT_EQ(categoryBox(0), Qt::Unchecked);

    // Ticking every member on its own makes the group and its parent read ticked.
    for (int i = 0; i < 3; ++i)
        list.treeItem({0, i})->setCheckState(0, Qt::Checked);
    EXPECT_EQ(box({0}), Qt::Checked);
    EXPECT_EQ(categoryBox(0), Qt::PartiallyChecked);
}

TEST_F(DetailListTest, SelectAllCategoryBoxAndEmptyCategory) {
    QSignalSpy changed(&list, &DetailList::checksChanged);
    list.selectAll();
    EXPECT_EQ(fake.ticked(fake.groups[0][0]), 2u);
    EXPECT_EQ(fake.ticked(fake.groups[0][1]), 1u);
    EXPECT_EQ(box({1}), Qt::PartiallyChecked);
    list.deselectAll();
    EXPECT_EQ(box({0}), Qt::Unchecked);
    list.categoryTree()->topLevelItem(0)->setCheckState(0, Qt::Checked);
    EXPECT_EQ(fake.ticked(fake.groups[0][1]), 1u);
    EXPECT_EQ(box({1, 0}), Qt::Checked);
    EXPECT_EQ(changed.count(), 3);

    EXPECT_TRUE(list.emptyText().isEmpty());
    list.selectCategory(1);
    EXPECT_EQ(list.emptyText(), "There are no unneeded Files to removed");
    EXPECT_TRUE(list.categoryTree()->topLevelItem(1)->foreground(0).color() !=
                list.categoryTree()->topLevelItem(0)->foreground(0).color());
}

TEST_F(DetailListTest, SortChoiceIsSharedAndResortsThroughTheSource) {
    list.setSort(DataSource::Name, true);
    EXPECT_EQ(settings().source.type.load(), DataSource::Name);
    EXPECT_TRUE(settings().source.ascending());
    EXPECT_EQ(fake.sorts, 1);
    EXPECT_EQ(list.treeItem({0})->text(0), "a1");
    EXPECT_EQ(list.treeItem({0, 2})->text(0), "a3");
    list.setSort(DataSource::Name, false);
    EXPECT_EQ(list.treeItem({0})->text(0), "b1");

    // Another list opened later shows the shared choice. Without dates there is
    // no Date column to sort by.
    list.setSort(DataSource::Name, true);
    DetailList other;
    other.setSource(&fake);
    EXPECT_EQ(other.sortTypeBox()->currentText(), "Name");
    EXPECT_EQ(other.sortDirectionBox()->currentText(), "Ascending");
    QStringList labels;
    for (const auto& [label, type] : other.sortChoices())
        labels << label;
    EXPECT_EQ(labels, (QStringList{"Size", "Name", "Selection"}));
    EXPECT_TRUE(other.itemTree()->isColumnHidden(DetailList::DateColumn));
}

TEST_F(DetailListTest, SelectAllSitsAboveTheListItActsOn) {
    list.resize(900, 500);
    list.show();
    auto left = [&](QWidget* w) { return w->mapTo(&list, QPoint(0, 0)).x(); };
    // On the category shown: above its items.
    EXPECT_GE(left(list.selectAllButton()), left(list.itemTree()));
    list.setSelectAllEveryCategory(true);
    test::settle();
    // On every category: above the categories.
    EXPECT_LT(left(list.deselectAllButton()), left(list.itemTree()));
    list.deselectAll();
    EXPECT_EQ(categoryBox(0), Qt::Unchecked);
    list.selectCategory(1);
    list.selectAll(); // from the empty category, every category is ticked
    EXPECT_EQ(fake.ticked(fake.groups[0][0]), 2u);
    EXPECT_EQ(fake.ticked(fake.groups[0][1]), 1u);
}

TEST_F(DetailListTest, TheKeyboardMovesThroughTheCategories) {
    list.show();
    QTreeWidget* categories = list.categoryTree();
    categories->setFocus();
    ASSERT_EQ(list.currentCategory(), 0);
    struct Step {
        Qt::Key key;
        int category;
    } steps[] = {{Qt::Key_Down, 1}, {Qt::Key_Up, 0},       {Qt::Key_End, 1},
                 {Qt::Key_Home, 0}, {Qt::Key_PageDown, 1}, {Qt::Key_PageUp, 0}};
    for (const Step& step : steps) {
        QTest::keyClick(categories, step.key);
        EXPECT_EQ(list.currentCategory(), step.category) << step.key;
        // The category's items (or its empty text) are the ones shown.
        if (step.category == 1)
            EXPECT_EQ(list.emptyText(), "There are no unneeded Files to removed");
        else
            EXPECT_EQ(list.itemTree()->topLevelItemCount(), 2);
    }
}

TEST_F(DetailListTest, ListsAndBoxesCarryTheirNamesForAssistiveTechnology) {
    QAccessibleInterface* items = QAccessible::queryAccessibleInterface(list.itemTree());
    ASSERT_NE(items, nullptr);
    ASSERT_NE(items->tableInterface(), nullptr);
    EXPECT_EQ(items->text(QAccessible::Name), "Items");
    EXPECT_EQ(items->tableInterface()->columnDescription(0), "Name");
    EXPECT_EQ(items->tableInterface()->columnDescription(1), "Path");
    QAccessibleInterface* categories = QAccessible::queryAccessibleInterface(list.categoryTree());
    ASSERT_NE(categories->tableInterface(), nullptr);
    EXPECT_EQ(categories->text(QAccessible::Name), "Categories");
    EXPECT_EQ(categories->tableInterface()->columnDescription(0), "Category");
    EXPECT_EQ(categories->tableInterface()->columnDescription(1), "Size");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(list.sortTypeBox())->text(QAccessible::Name),
              "Sort by");
    EXPECT_EQ(
        QAccessible::queryAccessibleInterface(list.sortDirectionBox())->text(QAccessible::Name),
        "Sort direction");
    ReportPanel report;
    QAccessibleInterface* chart =
        QAccessible::queryAccessibleInterface(const_cast<ShareChart*>(report.chart()));
    EXPECT_EQ(chart->text(QAccessible::Name), "Share of each category");
}

TEST_F(DetailListTest, RevealGoesThroughTheFileManagerSeam) {
    QStringList revealed;
    setRevealHandler([&](const QString& p) { revealed << p; });
    emit list.itemTree()->itemDoubleClicked(list.treeItem({0, 1}), 0);
    list.revealItem({0}); // a group stands for no single file
    EXPECT_EQ(revealed, QStringList{"/fixture/a2"});

    QStringList shown;
    setShowInfoHandler([&](const QString& p) { shown << p; });
    list.showInfo({0, 1});
    list.showInfo({0});
    EXPECT_EQ(shown, QStringList{"/fixture/a2"});
}

TEST_F(GuiTest, ItemInfoDialogTellsKindSizeAndPlace) {
    test::TempTree tree;
    const QString file = QString::fromStdString(tree.sizedFile("docs/report.pdf", 12000));
    const QString bundle = QString::fromStdString(tree.dir("Tool.app"));
    tree.sizedFile("Tool.app/Contents/MacOS/tool", 5000);

    ItemFacts f = itemFacts(file);
    EXPECT_EQ(f.name, "report.pdf");
    EXPECT_EQ(f.kind, "File");
    EXPECT_EQ(f.size, "12.0 KB");
    EXPECT_EQ(f.location, QString::fromStdString(tree.path("docs")));
    EXPECT_EQ(f.modified.size(), 10); // yyyy-MM-dd
    EXPECT_EQ(itemFacts(bundle).kind, "Package");
    EXPECT_EQ(itemFacts(QString::fromStdString(tree.path("docs"))).kind, "Folder");
    EXPECT_EQ(itemFacts(QString::fromStdString(tree.path("gone"))).kind, "Missing");

    ItemInfoDialog dialog(file);
    ASSERT_FALSE(dialog.rows().empty());
    EXPECT_EQ(dialog.rows()[1], std::make_pair(QString("Kind"), QString("File")));
}

TEST_F(GuiTest, FolderListPickerKeepsEachFolderOnce) {
    test::TempTree tree;
    const QString a = QString::fromStdString(tree.dir("a"));
    const QString b = QString::fromStdString(tree.dir("b"));
    const QString file = QString::fromStdString(tree.file("f.txt", "x"));

    DroppablePicker picker;
    QSignalSpy changed(&picker, &FolderListPicker::changed);
    EXPECT_EQ(picker.addFolders({a, a + "/", file, a + "/../a"}), 1);
    EXPECT_EQ(picker.folders(), QStringList{a});

    // The empty-list check opens the sheet; the sheet's folders are added once.
    picker.clearList();
    int asked = 0;
    picker.setFolderChooser([&](QWidget*) {
        ++asked;
        return QStringList{b, a, b};
    });
    EXPECT_FALSE(picker.requireFolders());
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(picker.folders(), (QStringList{b, a}));
    EXPECT_TRUE(picker.requireFolders());
    EXPECT_EQ(asked, 1);

    // Dropped from the file manager: folders only, none twice.
    const QString c = QString::fromStdString(tree.dir("c"));
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(file), QUrl::fromLocalFile(a), QUrl::fromLocalFile(c)});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    picker.dragEnterEvent(&enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    picker.dropEvent(&drop);
    EXPECT_EQ(picker.folders(), (QStringList{b, a, c}));

    // Each row's own remove button.
    auto* row = picker.listWidget()->itemWidget(picker.listWidget()->item(1));
    ASSERT_NE(row, nullptr);
    row->findChild<QToolButton*>("RemoveFolderButton")->click();
    settle();
    EXPECT_EQ(picker.folders(), (QStringList{b, c}));
    EXPECT_EQ(picker.listWidget()->count(), 2);
    EXPECT_EQ(changed.count(), 5);
}

TEST_F(GuiTest, ProgressListRowsAndBar) {
    ProgressList progress;
    for (const char* name : {"Media", "Picture"})
        progress.addRow("media-icon", name, ProgressList::State::Scanning);
    progress.setRowState(1, ProgressList::State::Done);
    progress.setRowValue(1, "12 MB");
    EXPECT_EQ(progress.rowState(0), ProgressList::State::Scanning);
    EXPECT_EQ(progress.rowState(1), ProgressList::State::Done);
    EXPECT_EQ(progress.rowValue(1), "12 MB");
    progress.setAllRowStates(ProgressList::State::Warning);
    EXPECT_EQ(progress.rowState(0), ProgressList::State::Warning);

    progress.creepTo(0.4, 60);
    QTRY_COMPARE_WITH_TIMEOUT(progress.progress(), 0.4, 5000);
    progress.creepTo(0.2, 60); // never backwards
    settle();
    EXPECT_DOUBLE_EQ(progress.progress(), 0.4);
    QSignalSpy filled(&progress, &ProgressList::filled);
    progress.fill(60);
    QTRY_COMPARE_WITH_TIMEOUT(filled.count(), 1, 5000);
    EXPECT_DOUBLE_EQ(progress.progress(), 1.0);
    progress.fill(60); // already full: at once
    EXPECT_EQ(filled.count(), 2);
}

TEST(ReportRows, FoldIntoOtherAndShares) {
    auto line = [](const char* n, std::int64_t s) { return ModuleReport{n, s, 0, 0.0f}; };
    struct Case {
        std::vector<ModuleReport> lines;
        QStringList names;
        std::vector<std::int64_t> sizes;
    } cases[] = {
        {{line("A", 50), line("B", 0), line("C", 30)}, {"A", "C"}, {50, 30}},
        {{line("A", 5), line("B", 4), line("C", 3), line("D", 2), line("E", 1)},
         {"A", "B", "C", "D", "Other"},
         {5, 4, 3, 2, 1}},
        {{line("A", 6), line("B", 5), line("C", 4), line("D", 3), line("E", 2), line("F", 1)},
         {"A", "B", "C", "D", "Other"},
         {6, 5, 4, 3, 3}},
        {{line("A", 0)}, {}, {}},
    };
    for (const auto& c : cases) {
        auto rows = ReportPanel::foldRows(c.lines, 5);
        QStringList names;
        std::vector<std::int64_t> sizes;
        float shares = 0;
        for (const auto& r : rows) {
            names << QString::fromStdString(r.name);
            sizes.push_back(r.size);
            shares += r.b;
        }
        EXPECT_EQ(names, c.names);
        EXPECT_EQ(sizes, c.sizes);
        if (!rows.empty()) {
            EXPECT_NEAR(shares, 1.0f, 1e-5);
        }
    }
}

TEST_F(GuiTest, ReportPanelRowsAndCompletionVariant) {
    ReportPanel report;
    report.setTitle("Scan Completed");
    report.setRows({{"Media", 2'000'000, 0, 0}, {"Picture", 1'000'000, 0, 0}});
    EXPECT_EQ(report.rowNames(), (QStringList{"Media", "Picture"}));
    EXPECT_EQ(report.rowValues(),
              (QStringList{QString::fromStdString(CommonFunction::getSizeString(2'000'000)),
                           QString::fromStdString(CommonFunction::getSizeString(1'000'000))}));
    EXPECT_EQ(report.chart()->lines().size(), 2u);
    EXPECT_FALSE(report.showsMessage());
    EXPECT_EQ(report.note(), "");
    report.setNote("The scan was stopped.");
    EXPECT_EQ(report.note(), "The scan was stopped.");

    report.showMessage("No selected file can be remove");
    EXPECT_TRUE(report.showsMessage());
    EXPECT_EQ(report.message(), "No selected file can be remove");
    EXPECT_TRUE(report.chart()->lines().empty());

    // What a scan could not read is said under the report, with every path and reason.
    ProblemsNote* note = report.problemsNote();
    EXPECT_TRUE(note->isHidden());
    ProblemList problems{{"/home/me/Library/Caches/x", "could not be read: permission denied"},
                         {"Language", "the scan of this module failed: damaged"}};
    note->setProblems(scanProblemsSummary(problems), problems);
    EXPECT_FALSE(note->isHidden());
    EXPECT_EQ(note->summary(), "2 places could not be read completely.");
    EXPECT_EQ(note->listText(), "/home/me/Library/Caches/x: could not be read: permission denied\n"
                                "Language: the scan of this module failed: damaged");
    note->clear();
    EXPECT_TRUE(note->isHidden());
}

TEST_F(GuiTest, StagePanelTextsAndAccessory) {
    ToolStagePanel stage;
    stage.setTitle("Duplicate Cleanup");
    stage.setPrompt({{"Push"}, {"\"Scan\"", true}, {"to start scan"}});
    EXPECT_EQ(stage.promptText(), "Push \"Scan\" to start scan");
    auto* picker = new FolderListPicker;
    stage.setAccessory(picker);
    EXPECT_EQ(picker->parentWidget(), &stage);
    QSignalSpy scan(&stage, &ToolStagePanel::scanClicked);
    stage.scanButton()->click();
    EXPECT_EQ(scan.count(), 1);
}

TEST_F(GuiTest, ThumbnailIconsFitTheirSquareOrFallBackToTheFileIcon) {
    test::TempTree t;
    QImage wide(200, 100, QImage::Format_RGB32);
    wide.fill(Qt::red);
    const QString photo = QString::fromStdString(t.path("photo.png"));
    ASSERT_TRUE(wide.save(photo));
    QImage small(20, 30, QImage::Format_RGB32);
    small.fill(Qt::blue);
    const QString tiny = QString::fromStdString(t.path("tiny.png"));
    ASSERT_TRUE(small.save(tiny));
    auto shown = [](const QString& ref) {
        QIcon icon = itemIcon(ref);
        return icon.pixmap(QSize(500, 500)).size();
    };
    EXPECT_EQ(shown("thumbnail:80:" + photo), QSize(80, 40));
    EXPECT_EQ(shown("thumbnail:40:" + photo), QSize(40, 20));
    EXPECT_EQ(shown("thumbnail:40:" + tiny), QSize(20, 30)); // never enlarged

    // An unreadable picture shows the icon of the file itself.
    const QString broken = QString::fromStdString(t.file("broken.jpg", "not a picture"));
    const QImage fallback = itemIcon("thumbnail:80:" + broken).pixmap(QSize(32, 32)).toImage();
    EXPECT_FALSE(fallback.isNull());
    EXPECT_EQ(fallback, itemIcon(broken).pixmap(QSize(32, 32)).toImage());

    // A word (a language group's country) gets a badge of its initials, the
    // same for the same word; our own drawings keep theirs.
    const QImage france = itemIcon("France").pixmap(QSize(32, 32)).toImage();
    EXPECT_FALSE(france.isNull());
    EXPECT_EQ(france, artwork::nameBadge("France", 32).toImage());
    EXPECT_NE(france, itemIcon("Germany").pixmap(QSize(32, 32)).toImage());
    EXPECT_EQ(itemIcon("64-icon").pixmap(QSize(32, 32)).toImage(),
              artwork::pixmap("64-icon", 32).toImage());
}
