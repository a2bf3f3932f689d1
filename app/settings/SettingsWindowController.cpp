#include "app/settings/SettingsWindowController.h"

#include "app/Artwork.h"
#include "app/KeyboardAccess.h"
#include "app/NoticeSheet.h"
#include "app/common/ToolRun.h"
#include "app/settings/CookiesViewController.h"
#include "app/settings/GeneralSettingsPane.h"
#include "app/settings/KeptPathsPane.h"
#include "app/settings/ScanSettingViewController.h"
#include "model/SettingModel.h"
#include "platform/UserDefaults.h"

#include <QActionGroup>
#include <QLabel>
#include <QStackedWidget>
#include <QToolBar>
#include <QVBoxLayout>

namespace tessaly {

namespace {

struct ToolbarItem {
    const char* identifier;
    const char* label;
    const char* icon;
    const char* selectedIcon;
};

const ToolbarItem kItems[] = {
    {"General", "General", "set-general-nomal", "set-general-click"},
    {"SystemCleanup", "Scanning", "set-canning-normal", "set-scanning-click"},
    {"BrowserCleanup", "Cookies", "set-cookies-normal", "set-cookies-click"},
    {"KeptPaths", "Kept", "folder-icon", "folder-icon"},
};

QIcon paneIcon(const char* name) {
    return artwork::known(name) ? artwork::icon(name) : QIcon();
}

} // namespace

bool settingStored(QWidget* owner, bool stored) {
    if (!stored) {
        const std::string why = UserDefaults::standardUserDefaults().lastError();
        auto* notice = new NoticeSheet(
            "The setting could not be saved",
            QString::fromStdString(why.empty() ? std::string("The settings file cannot be written.")
                                               : why),
            owner->window());
        notice->open();
    }
    return stored;
}

SettingsWindowController::SettingsWindowController(CookieNames cookieNames, MenuAttach attachMenu,
                                                   QWidget* parent)
    : QWidget(parent, Qt::Window), group_(std::make_unique<ToolRun>()) {
    setObjectName("PreferencesWindow");
    setWindowTitle("Preferences");
    setMinimumSize(560, 420);
    addCloseKeys(this);

    auto* toolbar = new QToolBar(this);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolbar->setIconSize(QSize(32, 32));
    auto* exclusive = new QActionGroup(this);
    for (int i = 0; i < 4; ++i) {
        QAction* action = toolbar->addAction(paneIcon(kItems[i].icon), kItems[i].label);
        action->setObjectName(kItems[i].identifier);
        action->setCheckable(true);
        exclusive->addAction(action);
        connect(action, &QAction::triggered, this, [this, i] { showPane(static_cast<Pane>(i)); });
        actions_[i] = action;
    }

    stack_ = new QStackedWidget(this);
    general_ =
        new GeneralSettingsPane(SettingModel::shareSettingModel(), std::move(attachMenu), stack_);
    stack_->addWidget(general_);
    waiting_ = new QLabel("Reading the cookies of your browsers…", stack_);
    waiting_->setObjectName("CookiesWaiting");
    waiting_->setAlignment(Qt::AlignCenter);
    stack_->addWidget(waiting_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolbar);
    layout->addWidget(stack_, 1);

    actions_[0]->setChecked(true);
    actions_[0]->setIcon(paneIcon(kItems[0].selectedIcon));
    loadCookies(std::move(cookieNames));
}

SettingsWindowController::~SettingsWindowController() = default;

void SettingsWindowController::loadCookies(CookieNames cookieNames) {
    // The kept sites and the browsers' sites are read once, on a worker; the
    // Cookies pane is built only when both are known.
    group_->start(
        [this, cookieNames = std::move(cookieNames)](std::stop_token, const ProgressSink&) {
            SettingModel::shareSettingModel().loadKeepCookie();
            auto names = cookieNames ? cookieNames() : std::vector<std::string>{};
            return ToolRun::Completion(
                [this, names = std::move(names)]() mutable { cookiesLoaded(std::move(names)); });
        },
        [](const ProgressEvent&) {});
}

bool SettingsWindowController::loadingCookies() const {
    return !cookiesReady_;
}

void SettingsWindowController::cookiesLoaded(std::vector<std::string> names) {
    allCookie_ = std::move(names);
    cookiesReady_ = true;
    if (current_ == Pane::Cookies)
        stack_->setCurrentWidget(paneWidget(Pane::Cookies));
}

QWidget* SettingsWindowController::paneWidget(Pane pane) {
    switch (pane) {
    case Pane::General:
        return general_;
    case Pane::Scanning:
        if (!scanSettingVC_) {
            scanSettingVC_ = new ScanSettingViewController(stack_);
            stack_->addWidget(scanSettingVC_);
        }
        return scanSettingVC_;
    case Pane::Cookies:
        if (!cookiesReady_)
            return waiting_;
        if (!cookieSettingVC_) {
            cookieSettingVC_ =
                new CookiesViewController(SettingModel::shareSettingModel(), allCookie_, stack_);
            stack_->addWidget(cookieSettingVC_);
        }
        return cookieSettingVC_;
    case Pane::Kept:
        if (!keptPathsPane_) {
            keptPathsPane_ = new KeptPathsPane(stack_);
            stack_->addWidget(keptPathsPane_);
        }
        return keptPathsPane_;
    }
    return general_;
}

void SettingsWindowController::showPane(Pane pane) {
    const int index = static_cast<int>(pane);
    actions_[index]->setChecked(true);
    if (pane == current_ && stack_->currentWidget() == paneWidget(pane))
        return;
    actions_[static_cast<int>(current_)]->setIcon(
        paneIcon(kItems[static_cast<int>(current_)].icon));
    actions_[index]->setIcon(paneIcon(kItems[index].selectedIcon));
    current_ = pane;
    stack_->setCurrentWidget(paneWidget(pane));
}

} // namespace tessaly
