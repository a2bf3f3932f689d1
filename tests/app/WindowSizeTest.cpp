// The window at its default size and at the smallest size it allows: every page
// of the tools on the skeleton shows its texts whole.
#include "app/AppDelegate.h"
#include "app/DuplicateViewController.h"
#include "app/HomeViewController.h"
#include "app/MainQueueBinding.h"
#include "app/SecurityViewController.h"
#include "app/Sidebar.h"
#include "app/SystemCleanupViewController.h"
#include "app/common/DetailList.h"
#include "app/common/ElidedLabel.h"
#include "app/common/FolderListPicker.h"
#include "app/common/ProgressList.h"
#include "model/CleanRecord.h"
#include "model/ToolIndex.h"
#include "platform/Paths.h"
#include "tests/app/QtEnvironment.h"
#include "tests/support/TempTree.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>

using namespace tessaly;
using tessaly::test::GuiTest;
using tessaly::test::settle;
using Stage = ToolScreen::Stage;

namespace {

bool shown(const QWidget* w) {
    return w->isVisible() && w->width() > 0 && w->height() > 0;
}

// The texts under root that do not fit the widgets that show them. Labels made
// to cut long data (paths) in the middle with the whole text in their tooltip
// are not counted.
QStringList clippedTexts(QWidget* root) {
    QStringList out;
    for (QLabel* l : root->findChildren<QLabel*>()) {
        if (!shown(l) || l->text().isEmpty() || qobject_cast<ElidedLabel*>(l) ||
            !l->pixmap().isNull())
            continue;
        const QRect room = l->contentsRect();
        const bool rich = l->textFormat() == Qt::RichText || Qt::mightBeRichText(l->text());
        if (l->wordWrap() || rich) {
            if (l->heightForWidth(room.width()) > room.height() + 1)
                out << "label: " + l->text();
        } else if (l->fontMetrics().horizontalAdvance(l->text()) > room.width() ||
                   l->sizeHint().height() > l->height()) {
            out << "label: " + l->text();
        }
    }
    for (QAbstractButton* b : root->findChildren<QAbstractButton*>()) {
        if (!shown(b) || b->text().isEmpty())
            continue;
        if (auto* row = qobject_cast<SidebarRow*>(b)) {
            if (!row->titleFits())
                out << "sidebar: " + row->title();
        } else if (b->sizeHint().width() > b->width() ||
                   b->minimumSizeHint().height() > b->height()) {
            out << "button: " + b->text();
        }
    }
    for (QComboBox* c : root->findChildren<QComboBox*>())
        if (shown(c) && c->sizeHint().width() > c->width())
            out << "box: " + c->currentText();
    for (QTreeWidget* t : root->findChildren<QTreeWidget*>()) {
        if (!shown(t) || t->objectName() != "DetailCategories")
            continue;
        for (int i = 0; i < t->topLevelItemCount(); ++i) {
            QTreeWidgetItem* item = t->topLevelItem(i);
            // Box, icon and gaps take about 56 pixels before the name.
            const int name = t->fontMetrics().horizontalAdvance(item->text(0)) + 56;
            const int value = t->fontMetrics().horizontalAdvance(item->text(1));
            if (name > t->columnWidth(0) || value > t->columnWidth(1))
                out << "category: " + item->text(0);
        }
    }
    return out;
}

void write(const std::string& relative, const std::string& bytes) {
    const std::string path = paths::join(paths::homePath(), relative);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

class WindowSize : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        test::removeTree(paths::homePath()); // refuses anything outside the test sandbox
        write("Documents/report.pdf", std::string(30000, 'r'));
        write("Documents/Reports/report (1).pdf", std::string(30000, 'r'));
        write(".Trash/An old draft with a long name.mov", std::string(40000, 't'));
        bindMainQueueToEventLoop(*QCoreApplication::instance());
        app.setSwitchDuration(0);
        app.show();
        app.awakeFromNib();
    }
    void TearDown() override {
        test::removeTree(paths::homePath());
        GuiTest::TearDown();
    }
    ToolScreen* open(std::int64_t tool) {
        app.startTool(tool);
        auto* screen = qobject_cast<ToolScreen*>(app.currentVC());
        screen->setAnimationScale(0);
        return screen;
    }
    // Every text of the window, at the size it has now, for each stage of a tool.
    void expectWhole(const char* where) {
        settle();
        const QStringList clipped = clippedTexts(&app);
        EXPECT_TRUE(clipped.isEmpty()) << where << " at " << app.width() << "x" << app.height()
                                       << ": " << clipped.join(" | ").toStdString();
    }
    AppDelegate app;
};

} // namespace

TEST_F(WindowSize, TheSmallestWindowFitsAHalvedScreen) {
    // At a scale factor of 2 a 1600 x 1000 screen is 800 x 500 logical pixels, less
    // a panel and the window's title bar.
    EXPECT_LE(app.minimumWidth(), 800);
    EXPECT_LE(app.minimumHeight(), 460);
    // Nothing in the window asks for more than that.
    EXPECT_LE(app.minimumSizeHint().width(), app.minimumWidth());
    EXPECT_LE(app.minimumSizeHint().height(), app.minimumHeight());
}

TEST_F(WindowSize, EveryStageShowsItsTextsWholeAtTheDefaultAndTheSmallestSize) {
    for (const QSize size : {QSize(1000, 660), app.minimumSize()}) {
        app.resize(size);
        app.backHome();
        expectWhole("home");

        // The duplicates: idle, report, details, done.
        auto* dup = open(tool::DuplicatesFinder);
        dup->startOverClicked();
        expectWhole("duplicates idle");
        dup->scanClicked();
        expectWhole("duplicates scanning");
        ASSERT_TRUE(QTest::qWaitFor([&] { return dup->stage() == Stage::Report; }, 60000));
        expectWhole("duplicates report");
        dup->detailClicked();
        expectWhole("duplicates details");
        dup->detailList()->setSort(DataSource::Selection, false);
        expectWhole("duplicates details, sorted by selection");
        setAskBeforeCleaning(defaults(), false);
        dup->cleanClicked();
        ASSERT_TRUE(QTest::qWaitFor([&] { return dup->stage() == Stage::Done; }, 60000));
        expectWhole("duplicates done");
        write("Documents/Reports/report (1).pdf", std::string(30000, 'r'));

        // System Cleanup: idle, report, details.
        auto* system = open(tool::SystemCleanup);
        system->startOverClicked();
        expectWhole("system idle");
        system->scanClicked();
        expectWhole("system scanning");
        ASSERT_TRUE(QTest::qWaitFor([&] { return system->stage() == Stage::Report; }, 60000));
        expectWhole("system report");
        system->detailClicked();
        expectWhole("system details");
    }
}

TEST_F(WindowSize, TheOtherToolsShowTheirPagesWhole) {
    std::filesystem::create_directories(paths::join(paths::homePath(), "Downloads"));
    std::filesystem::create_directories(paths::join(paths::homePath(), "Desktop"));
    for (const QSize size : {QSize(1000, 660), app.minimumSize()}) {
        app.resize(size);
        for (std::int64_t tool : {tool::OldFilesFinder, tool::Eraser, tool::AliasFinder}) {
            open(tool)->startOverClicked();
            expectWhole(toolInfo(tool)->title);
        }
        auto* security = qobject_cast<SecurityViewController*>(open(tool::SystemSecurity));
        security->setScanType(SecurityViewController::CustomScan);
        security->startOverClicked();
        expectWhole("security idle, custom scan");
        security->folderList()->setFolders({QString::fromStdString(paths::homePath())});
        security->scanClicked();
        ASSERT_TRUE(QTest::qWaitFor([&] { return security->stage() == Stage::Report; }, 60000));
        expectWhole("security report");

        app.startTool(tool::MemoryOptimization);
        expectWhole("memory");
    }
}
