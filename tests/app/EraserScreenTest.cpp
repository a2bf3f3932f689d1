// The Eraser screen on the offscreen platform, over its own engine (with a
// privileged helper of the test's own that can do nothing) and files in a
// temporary folder: the list in files mode, the "Warning" sheet, the run and what
// it leaves.
#include "app/AppDelegate.h"
#include "app/MainQueueBinding.h"
#include "app/NoticeSheet.h"
#include "app/ShredderViewController.h"
#include "app/common/FolderListPicker.h"
#include "app/common/ProblemsNote.h"
#include "app/common/ProgressList.h"
#include "app/common/ReportPanel.h"
#include "app/common/ToolStagePanel.h"
#include "model/CleanFinish.h"
#include "model/CommonFunction.h"
#include "model/ToolIndex.h"
#include "platform/Dispatch.h"
#include "platform/FileRemoval.h"
#include "platform/Paths.h"
#include "tests/app/QtEnvironment.h"
#include "tests/support/Layouts.h"
#include "tests/support/ScopedMount.h"
#include "tests/support/TempTree.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>

using namespace tessaly;
using tessaly::test::GuiTest;
using Stage = ToolScreen::Stage;

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

QString sizeText(std::int64_t bytes) {
    return QString::fromStdString(CommonFunction::getSizeString(bytes));
}

class EraserScreen : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        bindMainQueueToEventLoop(*QCoreApplication::instance());
        screen = std::make_unique<ShredderViewController>(nullptr, nullptr, &engine);
        screen->setAnimationScale(0);
    }
    void TearDown() override {
        screen.reset();
        MainQueue::setWakeHandler(nullptr);
        GuiTest::TearDown();
    }
    // Presses the erase button and answers the warning with Continue.
    void erase() {
        screen->idlePanel()->scanButton()->click();
        ASSERT_NE(screen->warning(), nullptr);
        screen->warning()->confirmButton()->click();
    }
    test::TempTree t;
    ShredderFiles engine{[] {
        ShredderEnvironment env;
        env.overwriteAsRoot = [](const std::string&, bool* reached) {
            *reached = true;
            return false;
        };
        env.removeAsRoot = [](const std::vector<std::string>& paths,
                              std::vector<std::string>* notRemoved) {
            *notRemoved = paths;
            return true;
        };
        return env;
    }()};
    std::unique_ptr<ShredderViewController> screen;
};

} // namespace

TEST_F(EraserScreen, TheListTakesFilesAndFoldersAndTheButtonWorksOnlyWithSome) {
    const std::string file = t.sizedFile("a.txt", 10);
    const std::string folder = t.dir("photos");
    FolderListPicker* list = screen->fileList();
    EXPECT_EQ(screen->idlePanel()->title(), "Eraser");
    EXPECT_EQ(screen->idlePanel()->description(), "Shredder the files");
    EXPECT_EQ(screen->idlePanel()->scanButton()->text(), "Shredder Files");
    EXPECT_TRUE(list->filesMode());
    QStringList buttons;
    for (auto* b : list->findChildren<QPushButton*>())
        buttons << b->text();
    EXPECT_TRUE(buttons.contains("Add Files"));
    EXPECT_TRUE(buttons.contains("Clear List"));
    EXPECT_FALSE(screen->idlePanel()->scanButton()->isEnabled());

    // Handed over, dropped, or chosen; each once, only what exists.
    screen->addFiles({q(file), q(t.path("missing"))});
    EXPECT_EQ(list->folders(), QStringList{q(file)});
    EXPECT_TRUE(screen->idlePanel()->scanButton()->isEnabled());
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(q(folder)), QUrl::fromLocalFile(q(file))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list, &drop);
    EXPECT_EQ(list->folders(), (QStringList{q(file), q(folder)}));
    list->clearList();
    EXPECT_FALSE(screen->idlePanel()->scanButton()->isEnabled());

    // With nothing listed, the erase opens the chooser instead of asking.
    QStringList answer{q(file)};
    list->setFolderChooser([&](QWidget*) { return answer; });
    screen->eraseClicked();
    EXPECT_EQ(screen->warning(), nullptr);
    EXPECT_EQ(list->folders(), QStringList{q(file)});
}

// The screen's whole flow, in each layout.
class EraserScreenFlow : public test::InLayout, public EraserScreen {};

TEST_P(EraserScreenFlow, AfterTheWarningThePickedPathsAreErasedAndLeaveTheList) {
    const std::string picked = t.sizedFile("picked.bin", 2'500'000, 'S');
    const std::string folder = t.dir("album");
    t.sizedFile("album/one.jpg", 3000);
    const std::string inner = t.sizedFile("album/.thumbs/two.jpg", 4000);
    std::vector<CleanFinishInfo> finished;
    ObserverToken note(NotificationCenter::defaultCenter(),
                       NotificationCenter::defaultCenter().addObserver(
                           cleanFinishNotification, [&](const Notification& n) {
                               finished.push_back(std::any_cast<CleanFinishInfo>(n.object));
                           }));
    screen->addFiles({q(picked), q(folder), q(inner)});

    // Cancel goes nowhere.
    screen->idlePanel()->scanButton()->click();
    ASSERT_NE(screen->warning(), nullptr);
    EXPECT_EQ(screen->warning()->title(), "Warning");
    EXPECT_EQ(screen->warning()->text(), "Files delete permanently and data can not recover.");
    EXPECT_EQ(screen->warning()->confirmButton()->text(), "Continue");
    EXPECT_EQ(screen->warning()->cancelButton()->text(), "Cancel");
    screen->warning()->cancelButton()->click();
    EXPECT_EQ(screen->stage(), Stage::Idle);
    EXPECT_TRUE(t.exists("picked.bin"));

    erase();
    EXPECT_EQ(screen->stage(), Stage::Cleaning);
    EXPECT_EQ(screen->progressList()->title(), "Unneeded Files Removal");
    // The folder and the file inside it are one row: the folder.
    ASSERT_EQ(screen->progressList()->rowCount(), 2);
    EXPECT_EQ(screen->progressList()->rowTitle(0), "picked.bin");
    EXPECT_EQ(screen->progressList()->rowTitle(1), "album");
    QTRY_COMPARE_WITH_TIMEOUT(screen->stage(), Stage::Done, 60000);
    for (int row = 0; row < 2; ++row)
        EXPECT_EQ(screen->progressList()->rowState(row), ProgressList::State::Done);
    EXPECT_FALSE(t.exists("picked.bin"));
    EXPECT_FALSE(t.exists("album"));
    EXPECT_EQ(screen->completionPanel()->total(), "Cleaned:  " + sizeText(2'507'000));
    EXPECT_TRUE(screen->doneDetailsButton()->isHidden()); // nothing to review
    ASSERT_EQ(finished.size(), 1u);
    EXPECT_EQ(finished[0].tool, tool::Eraser);
    screen->startOverClicked();
    EXPECT_EQ(screen->stage(), Stage::Idle);
    EXPECT_TRUE(screen->fileList()->folders().isEmpty());
    EXPECT_FALSE(screen->idlePanel()->scanButton()->isEnabled());
}

TEST_F(EraserScreen, WhatCouldNotBeErasedStaysListedWithItsReason) {
    const std::string keep = t.sizedFile("locked/keep.bin", 5000, 'k');
    const std::string go = t.sizedFile("free.bin", 6000, 'f');
    test::Unremovable locked(keep);
    if (!locked.ok())
        GTEST_SKIP() << "no way to make a file unremovable here";
    screen->addFiles({q(keep), q(go)});
    erase();
    QTRY_COMPARE_WITH_TIMEOUT(screen->stage(), Stage::Done, 60000);
    EXPECT_FALSE(t.exists("free.bin"));
    EXPECT_TRUE(t.exists("locked/keep.bin"));
    EXPECT_EQ(screen->completionPanel()->problemsNote()->summary(), "1 item was left in place.");
    EXPECT_EQ(screen->fileList()->folders(), QStringList{q(keep)});
}

TEST_F(EraserScreen, NothingStartsWhileMemoryIsFreed) {
    AppDelegate app;
    app.setSwitchDuration(0);
    app.awakeFromNib();
    ShredderViewController shell(&app, nullptr, &engine);
    const std::string file = t.sizedFile("a.bin", 100);
    shell.addFiles({q(file)});
    app.getVC(AppDelegate::resetCellIndex(tool::MemoryOptimization))->isDoing = true;
    shell.eraseClicked();
    EXPECT_EQ(shell.warning(), nullptr);
    ASSERT_NE(shell.currentNotice(), nullptr);
    EXPECT_EQ(shell.currentNotice()->text(),
              "Memeory is freeing, do other task will become every slow");
    EXPECT_EQ(shell.stage(), Stage::Idle);
    EXPECT_TRUE(t.exists("a.bin"));
    app.getVC(AppDelegate::resetCellIndex(tool::MemoryOptimization))->isDoing = false;
}

// Both layouts: the home folder, the system's root and a mount point are named
// in a notice and nothing is erased; the same list without them erases.
class EraserScreenGuard : public EraserScreen, public testing::WithParamInterface<const char*> {
protected:
    test::ScopedEnv layout{"TESSALY_LAYOUT", GetParam()};
};

TEST_P(EraserScreenGuard, WhatIsNeverErasedIsNamedInANoticeAndNothingStarts) {
    const std::string home = paths::homePath();
    const std::string kept = t.file("kept.txt", "keep");
    const std::string stick = t.dir("stick");
    struct Case {
        std::string path;
        QString text;
    } cases[] = {
        {home, "\"home\" can not be erased: it is a home folder."},
        {paths::systemRoot(), "\"root\" can not be erased: it is the root of the system."},
    };
    for (const Case& c : cases) {
        screen->fileList()->setFolders({q(c.path), q(kept)});
        screen->eraseClicked();
        EXPECT_EQ(screen->warning(), nullptr) << c.path;
        ASSERT_NE(screen->currentNotice(), nullptr) << c.path;
        EXPECT_EQ(screen->currentNotice()->text(), c.text);
        screen->currentNotice()->close();
        QCoreApplication::processEvents();
        EXPECT_EQ(screen->stage(), Stage::Idle);
    }
    EXPECT_TRUE(fileops::itemExists(home));
    EXPECT_EQ(test::readText(kept), "keep");

    test::ScopedMount tmpfs(stick);
    if (!tmpfs.ok())
        GTEST_SKIP() << tmpfs.why();
    const std::string photo = t.file("stick/photo.jpg", "photo");
    screen->fileList()->setFolders({q(stick)});
    screen->eraseClicked();
    EXPECT_EQ(screen->warning(), nullptr);
    ASSERT_NE(screen->currentNotice(), nullptr);
    EXPECT_TRUE(screen->currentNotice()->text().contains("mounted here"));
    EXPECT_EQ(test::readText(photo), "photo");
}

INSTANTIATE_TEST_SUITE_P(Layouts, EraserScreenGuard, testing::Values("macos", "linux"));

INSTANTIATE_TEST_SUITE_P(Layouts, EraserScreenFlow, test::bothLayouts());
