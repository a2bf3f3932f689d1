#include "app/AppDelegate.h"

#include "ScanCode/uninstall/SearchApplications.h"

#include "app/AppSeams.h"
#include "app/HelpWindowController.h"
#include "app/HomeViewController.h"
#include "app/KeyboardAccess.h"
#include "app/ScreenFactory.h"
#include "app/Sidebar.h"
#include "app/SoundPlayer.h"
#include "app/ToolBaseViewController.h"
#include "app/settings/BrowserCookieNames.h"
#include "app/settings/SettingsWindowController.h"
#include "model/CleanRecord.h"
#include "model/CommonFunction.h"
#include "model/Function.h"
#include "model/SettingModel.h"
#include "model/StartupSteps.h"
#include "model/ToolIndex.h"
#include "platform/Paths.h"
#include "platform/UserDefaults.h"

#include <QAction>
#include <QApplication>
#include <QLayout>
#include <QDesktopServices>
#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QParallelAnimationGroup>
#include <QPropertyAnimation>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>

namespace tessaly {

namespace {

// The maker's support address, for "Feedback".
constexpr const char* kSupportMail = "mailto:support@tessaly.app?subject=Tessaly%20feedback";

void fillBar(QWidget* bar, QWidget* view) {
    if (!view)
        return;
    view->setParent(bar);
    view->setGeometry(bar->rect());
    view->show();
}

void setOpacity(QWidget* view, qreal opacity) {
    if (!view)
        return;
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(view->graphicsEffect());
    if (!effect) {
        effect = new QGraphicsOpacityEffect(view);
        view->setGraphicsEffect(effect);
    }
    effect->setOpacity(opacity);
}

void fade(QParallelAnimationGroup* group, QWidget* view, qreal from, qreal to, int ms) {
    if (!view)
        return;
    setOpacity(view, from);
    auto* a = new QPropertyAnimation(view->graphicsEffect(), "opacity", group);
    a->setDuration(ms);
    a->setStartValue(from);
    a->setEndValue(to);
    a->setEasingCurve(QEasingCurve::InOutQuad);
    group->addAnimation(a);
}

void slide(QParallelAnimationGroup* group, QWidget* view, QPoint from, QPoint to, int ms) {
    auto* a = new QPropertyAnimation(view, "pos", group);
    a->setDuration(ms);
    a->setStartValue(from);
    a->setEndValue(to);
    a->setEasingCurve(QEasingCurve::InOutQuad);
    group->addAnimation(a);
}

} // namespace

AppDelegate::AppDelegate(QWidget* parent) : QMainWindow(parent) {
    setObjectName("MainWindow");
    if (QCoreApplication* app = QCoreApplication::instance())
        installReturnPressesButtons(*app);
    buildWindow();
    buildMenus();
}

AppDelegate::~AppDelegate() {
    delete help_;
    delete preferences_;
}

void AppDelegate::buildWindow() {
    auto* central = new QWidget(this);
    central->setObjectName("Central");
    sidebar_ = new SidebarView(central);
    connect(sidebar_, &SidebarView::rowClicked, this,
            [this](int row) { tableViewSelectionDidChange(row); });

    auto* right = new QWidget(central);
    right->setObjectName("ContentColumn");
    right->setAttribute(Qt::WA_StyledBackground);
    topBar_ = new QWidget(right);
    topBar_->setObjectName("TopBar");
    topBar_->setAttribute(Qt::WA_StyledBackground);
    topBar_->setFixedHeight(52);
    content_ = new QWidget(right);
    content_->setObjectName("ContentArea");
    bottomBar_ = new QWidget(right);
    bottomBar_->setObjectName("BottomBar");
    bottomBar_->setAttribute(Qt::WA_StyledBackground);
    bottomBar_->setFixedHeight(60);
    for (QWidget* w : {topBar_, content_, bottomBar_})
        w->installEventFilter(this);

    auto* column = new QVBoxLayout(right);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(topBar_);
    column->addWidget(content_, 1);
    column->addWidget(bottomBar_);

    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(sidebar_);
    row->addWidget(right, 1);
    setCentralWidget(central);
    // Small enough for a 1600 x 1000 screen at a scale factor of 2 (with the
    // desktop's panel and the window's frame); every screen fits it unclipped.
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    resize(1000, 660);
}

bool AppDelegate::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize && !switching_ && currentVC_) {
        if (watched == content_)
            currentVC_->setGeometry(content_->rect());
        else if (watched == topBar_ && currentVC_->getTopView())
            currentVC_->getTopView()->setGeometry(topBar_->rect());
        else if (watched == bottomBar_ && currentVC_->getBottomView())
            currentVC_->getBottomView()->setGeometry(bottomBar_->rect());
    }
    return QMainWindow::eventFilter(watched, event);
}

void AppDelegate::awakeFromNib() {
    if (first_)
        return;
    first_ = true;
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    SettingModel& settings = SettingModel::shareSettingModel();

    // Data folder and info.plist, first start, cleaned total, block size, sound,
    // clean and memory advice.
    auto core = startup::runCoreSteps(defaults, settings, paths::executablePath(),
                                      Function::shareMemoryFunction().memoryData(), now());
    if (core.firstStart)
        seams::sendInstallReport();
    seams::installCrashReporter();
    seams::checkForUpdatesInBackground();
    cleanTotle_ = core.cleanTotle;
    showCleanTotal();
    setWindowTitle("Vellmo");
    SearchApplications::shareSearchApplications().searchApplications();
    qreal ratio = windowHandle() ? windowHandle()->devicePixelRatio() : devicePixelRatioF();
    settings.isRetina = ratio > 1.9;

    // The home screen.
    ToolBaseViewController* home = getVC(0);
    placeViews(home);
    home->start();
    currentVC_ = home;
    selected_ = 0;
    sidebar_->setSelectedRow(0);
}

std::int64_t AppDelegate::resetIndex(std::int64_t row) {
    return tessaly::resetIndex(row);
}

std::int64_t AppDelegate::resetCellIndex(std::int64_t toolIndex) {
    return tessaly::resetCellIndex(toolIndex);
}

ToolBaseViewController* AppDelegate::getVC(std::int64_t row) {
    std::int64_t index = resetIndex(row);
    if (index < 0 || index > 9)
        return nullptr;
    auto& slot = screens_[static_cast<std::size_t>(index)];
    if (!slot) {
        slot = createScreen(this, index, content_);
        slot->hide();
        listenTo(slot);
    }
    return slot;
}

void AppDelegate::listenTo(ToolBaseViewController* screen) {
    const std::int64_t index = screen->index;
    connect(screen, &ToolBaseViewController::workStarted, this,
            [this, index] { startRotateAnimi(index); });
    connect(screen, &ToolBaseViewController::workFinished, this,
            [this, index](const WorkResult& result) {
                if (result.clean)
                    addCleanTotle(result.cleanedBytes);
                stopRotateAnimi(index, result.sidebarValue);
            });
    connect(screen, &ToolBaseViewController::resultCleared, this,
            [this, index] { resetCell(index); });
}

ToolBaseViewController* AppDelegate::existingScreen(std::int64_t toolIndex) const {
    if (toolIndex < 0 || toolIndex > 9)
        return nullptr;
    return screens_[static_cast<std::size_t>(toolIndex)];
}

HomeViewController* AppDelegate::homeScreen() const {
    return qobject_cast<HomeViewController*>(existingScreen(tool::Home));
}

HelpWindowController* AppDelegate::helpWindow() const {
    return help_;
}

bool AppDelegate::isDoingWork() const {
    // System Security reads every file too: memory is not freed while it scans.
    for (std::int64_t t :
         {tool::SystemCleanup, tool::DuplicatesFinder, tool::OldFilesFinder, tool::BrowserCleanup,
          tool::Eraser, tool::AliasFinder, tool::Uninstaller, tool::SystemSecurity})
        if (auto* s = existingScreen(t); s && s->isDoing)
            return true;
    return false;
}

bool AppDelegate::isDoingMemory() const {
    auto* s = existingScreen(tool::MemoryOptimization);
    return s && s->isDoing;
}

void AppDelegate::startRotateAnimi(std::int64_t toolIndex) {
    if (auto* r = sidebar_->row(resetCellIndex(toolIndex)))
        r->startSpinner();
}

void AppDelegate::stopRotateAnimi(std::int64_t toolIndex, std::int64_t fileSize) {
    auto* r = sidebar_->row(resetCellIndex(toolIndex));
    if (!r)
        return;
    if (fileSize == 0)
        r->showDone();
    else
        r->showLabel(QString::fromStdString(sidebarResultText(toolIndex, fileSize)));
}

void AppDelegate::stopRotateAnimi(std::int64_t toolIndex) {
    if (auto* r = sidebar_->row(resetCellIndex(toolIndex)))
        r->showDone();
}

void AppDelegate::resetCell(std::int64_t toolIndex) {
    if (auto* r = sidebar_->row(resetCellIndex(toolIndex)))
        r->resetMarks();
}

void AppDelegate::tableViewSelectionDidChange(std::int64_t row) {
    if (row < 0 || row > 9 || row == selected_ || switching_)
        return;
    SoundPlayer::player().playLeftSelectSound();
    sidebar_->setSelectedRow(static_cast<int>(row));
    selected_ = row;
    ToolBaseViewController* target = getVC(row);
    target->comeHome = false;
    fromSidebar_ = true;
    switchVC(target);
}

void AppDelegate::backHome() {
    if (switching_)
        return;
    sidebar_->setSelectedRow(0);
    selected_ = 0;
    ToolBaseViewController* home = getVC(0);
    home->comeHome = true;
    switchVC(home);
}

void AppDelegate::startTool(std::int64_t toolIndex) {
    std::int64_t row = resetCellIndex(toolIndex);
    if (row < 0 || row > 9 || row == selected_ || switching_)
        return;
    sidebar_->setSelectedRow(static_cast<int>(row));
    selected_ = row;
    ToolBaseViewController* target = getVC(row);
    target->comeHome = true;
    switchVC(target);
}

void AppDelegate::onViewMenuTool(std::int64_t toolIndex) {
    std::int64_t row = resetCellIndex(toolIndex);
    if (row == selected_ || switching_)
        return;
    switchVC(getVC(row));
    sidebar_->setSelectedRow(static_cast<int>(row));
    selected_ = row;
}

void AppDelegate::onSystemup() {
    onViewMenuTool(tool::SystemCleanup);
}
void AppDelegate::onSecurity() {
    onViewMenuTool(tool::SystemSecurity);
}
void AppDelegate::onBrowserup() {
    onViewMenuTool(tool::BrowserCleanup);
}
void AppDelegate::onUninstaller() {
    onViewMenuTool(tool::Uninstaller);
}
void AppDelegate::onDuplicateup() {
    onViewMenuTool(tool::DuplicatesFinder);
}
void AppDelegate::onLargeup() {
    onViewMenuTool(tool::OldFilesFinder);
}
void AppDelegate::onEraser() {
    onViewMenuTool(tool::Eraser);
}
void AppDelegate::onAlias() {
    onViewMenuTool(tool::AliasFinder);
}
void AppDelegate::onMemory() {
    onViewMenuTool(tool::MemoryOptimization);
}

void AppDelegate::addCleanTotle(std::int64_t bytes) {
    // The stored total, so that cleans from tessaly-cli are counted too.
    cleanTotle_ = recordCleanEnd(UserDefaults::standardUserDefaults(), bytes, now());
    showCleanTotal();
}

void AppDelegate::showCleanTotal() {
    sidebar_->setCleanTotal("Cleaned in all: " +
                            QString::fromStdString(CommonFunction::getSizeString(cleanTotle_)));
}

void AppDelegate::setWindowZoomDisable() {
    zoomAction_->setEnabled(false);
}

void AppDelegate::setWindowZoomEnable() {
    zoomAction_->setEnabled(true);
}

void AppDelegate::placeViews(ToolBaseViewController* screen) {
    // The bottom bar is there only for a screen that has a part for it.
    bottomBar_->setVisible(screen->getBottomView() != nullptr);
    // The content takes its new height now, not at the next layout pass, so the
    // screen is sized and placed for the height it will have.
    if (QLayout* column = content_->parentWidget()->layout())
        column->activate();
    screen->setParent(content_);
    screen->setGeometry(content_->rect());
    screen->show();
    fillBar(topBar_, screen->getTopView());
    fillBar(bottomBar_, screen->getBottomView());
}

void AppDelegate::switchVC(ToolBaseViewController* target) {
    ToolBaseViewController* old = currentVC_;
    if (!target || target == old)
        return;
    const bool fromBelow = !old || target->index > old->index;
    placeViews(target);
    const int h = content_->height();
    target->move(0, fromBelow ? h : -h);
    target->raise();
    setOpacity(target->getTopView(), 0);
    setOpacity(target->getBottomView(), 0);

    switching_ = true;
    // The sidebar is off during the switch; a keyboard user moving through it
    // stays on it (a switch from elsewhere leaves the keyboard to the screen).
    QWidget* focus = QApplication::focusWidget();
    keyboardOnSidebar_ = fromSidebar_ && focus && sidebar_->isAncestorOf(focus);
    fromSidebar_ = false;
    sidebar_->setEnabled(false);
    target->start();
    setViewMenuAttached(false);

    if (switchDuration_ <= 0) {
        completeSwitch(old, target);
        return;
    }
    auto* group = new QParallelAnimationGroup(this);
    const int ms = switchDuration_;
    if (old) {
        slide(group, old, QPoint(0, 0), QPoint(0, fromBelow ? -h : h), ms);
        fade(group, old->getTopView(), 1, 0, ms);
        fade(group, old->getBottomView(), 1, 0, ms);
    }
    slide(group, target, target->pos(), QPoint(0, 0), ms);
    fade(group, target->getTopView(), 0, 1, ms);
    fade(group, target->getBottomView(), 0, 1, ms);
    connect(group, &QAbstractAnimation::finished, this, [this, old, target, group] {
        group->deleteLater();
        completeSwitch(old, target);
    });
    group->start();
}

void AppDelegate::completeSwitch(ToolBaseViewController* old, ToolBaseViewController* target) {
    setViewMenuAttached(true);
    sidebar_->setEnabled(true);
    if (keyboardOnSidebar_)
        if (SidebarRow* row = sidebar_->row(selected_))
            row->setFocus(Qt::OtherFocusReason);
    if (old && old != target) {
        old->hide();
        for (QWidget* v : {old->getTopView(), old->getBottomView()})
            if (v && v != target->getTopView() && v != target->getBottomView())
                v->hide();
        old->exit();
    }
    target->move(0, 0);
    target->setGeometry(content_->rect());
    for (QWidget* v : {target->getTopView(), target->getBottomView()})
        if (v)
            v->setGraphicsEffect(nullptr);
    currentVC_ = target;
    switching_ = false;
    emit switchFinished();
}

void AppDelegate::handOver(std::int64_t row, const QStringList& paths) {
    if (switching_) {
        // Wait for the running switch, then go on.
        auto conn = std::make_shared<QMetaObject::Connection>();
        *conn = connect(this, &AppDelegate::switchFinished, this, [this, row, paths, conn] {
            disconnect(*conn);
            handOver(row, paths);
        });
        return;
    }
    if (row != selected_) {
        sidebar_->setSelectedRow(static_cast<int>(row));
        selected_ = row;
        switchVC(getVC(row));
    }
    getVC(row)->addFiles(paths);
}

void AppDelegate::addFileFromFinder(const QStringList& paths) {
    handOver(resetCellIndex(tool::Eraser), paths);
}

void AppDelegate::AddDirForOld(const QStringList& paths) {
    handOver(resetCellIndex(tool::OldFilesFinder), paths);
}

void AppDelegate::AddDirForDuplicate(const QStringList& paths) {
    handOver(resetCellIndex(tool::DuplicatesFinder), paths);
}

void AppDelegate::onSetting() {
    if (!preferences_)
        preferences_ = new SettingsWindowController(
            browserCookieNames, [this](bool attached) { setViewMenuAttached(attached); });
    preferences_->show();
    preferences_->raise();
    preferences_->activateWindow();
}

SettingsWindowController* AppDelegate::preferencesWindow() const {
    return preferences_;
}

void AppDelegate::onHelp() {
    if (!help_)
        help_ = new HelpWindowController;
    help_->show();
    help_->raise();
    help_->reload();
}

void AppDelegate::onFeedback() {
    QDesktopServices::openUrl(QUrl(QString::fromUtf8(kSupportMail)));
}

void AppDelegate::onUninstall() {
    if (seams::selfUninstallAvailable())
        seams::uninstallSelf();
}

void AppDelegate::onFullScreen() {
    if (isFullScreen())
        showNormal();
    else
        showFullScreen();
    updateFullScreenTitle();
}

void AppDelegate::onSowMainWindow() {
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

void AppDelegate::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange)
        updateFullScreenTitle();
    QMainWindow::changeEvent(event);
}

void AppDelegate::updateFullScreenTitle() {
    if (fullScreenAction_)
        fullScreenAction_->setText(isFullScreen() ? "Exit Full Screen" : "Enter Full Screen");
}

} // namespace tessaly
