// The shell by keyboard and through its accessibility interfaces: the menu bar,
// the standard shortcuts, the sidebar and the home cards as buttons, Return on a
// focused button, and windows that close with Escape and Ctrl+W.
#include "app/AppDelegate.h"
#include "app/HelpWindowController.h"
#include "app/HomeViewController.h"
#include "app/Sidebar.h"
#include "app/common/RunConfirmation.h"
#include "model/SettingKeys.h"
#include "model/ToolIndex.h"
#include "tests/app/QtEnvironment.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace tessaly;
using tessaly::test::GuiTest;
using tessaly::test::settle;

namespace {

class ShellKeyboard : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        app.setSwitchDuration(0);
        app.show();
        app.awakeFromNib();
        app.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&app));
    }
    QAction* appMenuAction(const QString& text) {
        for (QAction* a : app.menuBar()->actions().first()->menu()->actions())
            if (a->text() == text)
                return a;
        return nullptr;
    }
    AppDelegate app;
};

// The window's shortcut for key, triggered as a key press on the window.
void press(QWidget* window, QKeySequence key) {
    QTest::keySequence(window, key);
    settle();
}

} // namespace

TEST_F(ShellKeyboard, F10OpensTheMenuBar) {
    EXPECT_EQ(app.menuBar()->activeAction(), nullptr);
    press(&app, QKeySequence(Qt::Key_F10));
    ASSERT_NE(app.menuBar()->activeAction(), nullptr);
    EXPECT_EQ(app.menuBar()->activeAction()->text(), "&Tessaly");
    if (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
}

TEST_F(ShellKeyboard, PreferencesAndHelpOpenByKeyAndCloseWithEscapeOrCtrlW) {
    QAction* prefs = appMenuAction("Preferences…");
    ASSERT_NE(prefs, nullptr);
    ASSERT_FALSE(prefs->shortcuts().isEmpty());
    press(&app, prefs->shortcuts().first());
    QWidget* window = QApplication::activeWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(window->objectName(), "PreferencesWindow");
    for (const QKeySequence& key :
         {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        press(window, key);
        EXPECT_FALSE(window->isVisible()) << key.toString().toStdString();
    }

    app.onHelp();
    HelpWindowController* help = app.helpWindow();
    ASSERT_NE(help, nullptr);
    help->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(help));
    press(help, QKeySequence(Qt::CTRL | Qt::Key_W));
    EXPECT_FALSE(help->isVisible());
}

TEST_F(ShellKeyboard, ThePreferencesSetTheQuestionBeforeCleaning) {
    app.onSetting();
    QWidget* prefs = QApplication::topLevelWidgets().last();
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "PreferencesWindow")
            prefs = w;
    QCheckBox* ask = prefs->findChild<QCheckBox*>("AskBeforeCleaning");
    ASSERT_NE(ask, nullptr);
    EXPECT_TRUE(ask->isChecked()); // asks unless told otherwise
    ask->click();
    EXPECT_FALSE(defaults().boolForKey(keys::askBeforeCleaning));
    ask->click();
    EXPECT_TRUE(defaults().boolForKey(keys::askBeforeCleaning));
}

TEST_F(ShellKeyboard, ReturnPressesTheFocusedButtonButNotABox) {
    QPushButton button("Go", app.centralWidget());
    QCheckBox box("Box", app.centralWidget());
    button.show();
    box.show();
    QSignalSpy clicked(&button, &QPushButton::clicked);
    button.setFocus();
    QTest::keyClick(&button, Qt::Key_Return);
    QTRY_COMPARE(clicked.count(), 1);
    QTest::keyClick(&button, Qt::Key_Enter, Qt::KeypadModifier);
    QTRY_COMPARE(clicked.count(), 2);
    box.setFocus();
    QTest::keyClick(&box, Qt::Key_Return);
    settle();
    EXPECT_FALSE(box.isChecked());

    // In a dialog Return keeps its rule: the default button, Cancel here.
    RunConfirmation ask("Remove", 2, 2000, &app);
    QSignalSpy rejected(&ask, &QDialog::rejected);
    ask.show();
    ask.confirmButton()->setFocus();
    QTest::keyClick(ask.stopAskingBox(), Qt::Key_Return);
    QTRY_COMPARE(rejected.count(), 1);
}

TEST_F(ShellKeyboard, SidebarRowsAreButtonsThatFollowTheKeys) {
    SidebarView* sidebar = app.sidebar();
    for (int row = 0; row < 10; ++row) {
        SidebarRow* r = sidebar->row(row);
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(r);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->role(), QAccessible::Button) << row;
        EXPECT_EQ(a->text(QAccessible::Name), r->title()) << row;
        // Only the selected row is a Tab stop.
        EXPECT_EQ(bool(r->focusPolicy() & Qt::TabFocus), row == 0) << row;
    }
    sidebar->row(0)->setFocus();
    QTest::keyClick(sidebar->row(0), Qt::Key_Down);
    EXPECT_EQ(app.selected(), 1);
    EXPECT_TRUE(sidebar->row(1)->hasFocus()); // the focus goes along
    // Return and Space open the focused row.
    sidebar->row(5)->setFocus();
    QTest::keyClick(sidebar->row(5), Qt::Key_Return);
    QTRY_COMPARE(app.selected(), 5);
    sidebar->row(7)->setFocus();
    QTest::keyClick(sidebar->row(7), Qt::Key_Space);
    QTRY_COMPARE(app.selected(), 7);
    EXPECT_EQ(app.currentVC()->index, tool::Eraser);
}

TEST_F(ShellKeyboard, HomeCardsAreButtonsThatOpenWithReturnOrSpace) {
    HomeViewController* home = app.homeScreen();
    ASSERT_NE(home->rowView(0), nullptr);
    for (int i = 0; home->rowView(i); ++i) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(home->rowView(i));
        EXPECT_EQ(a->role(), QAccessible::Button);
        EXPECT_EQ(a->text(QAccessible::Name), home->rowView(i)->name());
        EXPECT_TRUE(home->rowView(i)->focusPolicy() & Qt::TabFocus);
    }
    const std::int64_t first = home->datas()[0].tool;
    home->rowView(0)->setFocus();
    QTest::keyClick(home->rowView(0), Qt::Key_Return);
    QTRY_COMPARE(app.currentVC()->index, first);

    app.backHome();
    const std::int64_t second = home->datas()[1].tool;
    home->rowView(1)->setFocus();
    QTest::keyClick(home->rowView(1), Qt::Key_Space);
    QTRY_COMPARE(app.currentVC()->index, second);
}
