// The main window's menus.
#include "app/AppDelegate.h"

#include "app/AppSeams.h"
#include "model/ToolIndex.h"

#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QMenuBar>
#include <QMessageBox>
#include <algorithm>

namespace tessaly {

namespace {

// Runs a text command on the widget with the keyboard focus, when it has one.
void sendToFocus(const char* slot) {
    if (QWidget* w = QApplication::focusWidget())
        QMetaObject::invokeMethod(w, slot);
}

} // namespace

void AppDelegate::buildMenus() {
    QMenuBar* bar = menuBar();

    // F10 opens the menu bar; each title has its Alt letter.
    auto* menuKey = new QAction("Open Menu", this);
    menuKey->setObjectName("OpenMenuAction");
    menuKey->setShortcut(QKeySequence(Qt::Key_F10));
    menuKey->setShortcutContext(Qt::WindowShortcut);
    connect(menuKey, &QAction::triggered, this, [bar] {
        if (!bar->actions().isEmpty())
            bar->setActiveAction(bar->actions().first());
    });
    addAction(menuKey);

    QMenu* app = bar->addMenu("&Tessaly");
    app->addAction("About Tessaly", this, [this] {
        QMessageBox::about(this, "About Tessaly",
                           QString("Tessaly %1\nKeeps your computer clean and fast.")
                               .arg(QApplication::applicationVersion()));
    });
    app->addSeparator();
    QAction* prefs = app->addAction("Preferences…", this, [this] { onSetting(); });
    // The platform's Preferences keys, or Ctrl+, where the platform names none.
    QList<QKeySequence> prefKeys = QKeySequence::keyBindings(QKeySequence::Preferences);
    if (prefKeys.isEmpty())
        prefKeys << QKeySequence(Qt::CTRL | Qt::Key_Comma);
    prefs->setShortcuts(prefKeys);
    QAction* updates = app->addAction("Check For Updates", [] {});
    updates->setEnabled(false); // updates come from the package manager
    QAction* uninstall = app->addAction("Uninstall", this, [this] { onUninstall(); });
    uninstall->setEnabled(seams::selfUninstallAvailable());
    app->addSeparator();
    QMenu* services = app->addMenu("Services");
    services->setEnabled(false);
    app->addSeparator();
    app->addAction("Hide Tessaly", this, [this] { showMinimized(); });
    QAction* hideOthers = app->addAction("Hide Others");
    hideOthers->setEnabled(false);
    app->addAction("Show All", this, [this] { onSowMainWindow(); });
    app->addSeparator();
    QAction* quit = app->addAction("Quit Tessaly", qApp, &QApplication::quit);
    quit->setShortcut(QKeySequence::Quit);

    QMenu* edit = bar->addMenu("&Editor");
    edit->addAction("Paste", [] { sendToFocus("paste"); })->setShortcut(QKeySequence::Paste);
    edit->addAction("Delete", [] { sendToFocus("del"); });
    edit->addAction("Select All", [] { sendToFocus("selectAll"); })
        ->setShortcut(QKeySequence::SelectAll);

    viewMenu_ = bar->addMenu("&View");
    using Handler = void (AppDelegate::*)();
    const std::pair<std::int64_t, Handler> tools[] = {
        {tool::SystemCleanup, &AppDelegate::onSystemup},
        {tool::SystemSecurity, &AppDelegate::onSecurity},
        {tool::BrowserCleanup, &AppDelegate::onBrowserup},
        {tool::Uninstaller, &AppDelegate::onUninstaller},
        {tool::DuplicatesFinder, &AppDelegate::onDuplicateup},
        {tool::OldFilesFinder, &AppDelegate::onLargeup},
        {tool::Eraser, &AppDelegate::onEraser},
        {tool::AliasFinder, &AppDelegate::onAlias},
        {tool::MemoryOptimization, &AppDelegate::onMemory},
    };
    int shortcut = 1;
    for (const auto& [index, handler] : tools) {
        QAction* a = viewMenu_->addAction(QString::fromUtf8(toolInfo(index)->title));
        a->setObjectName(QString::fromUtf8(toolInfo(index)->menuAction));
        a->setShortcut(QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_0 + shortcut++)));
        connect(a, &QAction::triggered, this, [this, h = handler] { (this->*h)(); });
        toolActions_.append(a);
    }
    viewMenu_->addSeparator();
    fullScreenAction_ = viewMenu_->addAction("Enter Full Screen", this, [this] { onFullScreen(); });
    fullScreenAction_->setShortcut(QKeySequence::FullScreen);

    QMenu* window = bar->addMenu("&Window");
    window->addAction("Show Main Window", this, [this] { onSowMainWindow(); });
    window->addAction("Minimize", this, [this] { showMinimized(); })
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    zoomAction_ = window->addAction("Zoom", this, [this] {
        if (isMaximized())
            showNormal();
        else
            showMaximized();
    });
    window->addAction("Bring All to Front", this, [this] { onSowMainWindow(); });

    QMenu* help = bar->addMenu("&Help");
    help->addAction("Tessaly Help", this, [this] { onHelp(); })
        ->setShortcut(QKeySequence::HelpContents);
    help->addAction("Feedback", this, [this] { onFeedback(); });
}

void AppDelegate::setViewMenuAttached(bool attached) {
    // A screen switch and the language sheet each detach the items; they come
    // back when neither holds them.
    menuDetached_ = std::max(0, menuDetached_ + (attached ? -1 : 1));
    for (QAction* a : toolActions_)
        a->setEnabled(menuDetached_ == 0);
}

} // namespace tessaly
