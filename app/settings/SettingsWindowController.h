#pragma once

#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QLabel;
class QStackedWidget;

namespace tessaly {

class CookiesViewController;
class GeneralSettingsPane;
class KeptPathsPane;
class ScanSettingViewController;
class ToolRun;

// The preferences window: General (sounds, kept languages, questions and
// reports), Scanning (the System Cleanup module switches), Cookies (the sites
// whose cookies a Browser Cleanup keeps) and Kept (the paths no tool lists). Every change is stored
// at once. One window, kept while the application runs; its panes are made the first time they are
// chosen.
class SettingsWindowController : public QWidget {
    Q_OBJECT
public:
    // The names of the sites that hold cookies in the browsers; read on a worker.
    using CookieNames = std::function<std::vector<std::string>()>;
    // Detaches (false) or attaches (true) the main window's tool menu items while
    // the language sheet is open.
    using MenuAttach = std::function<void(bool)>;

    enum class Pane { General, Scanning, Cookies, Kept };

    explicit SettingsWindowController(CookieNames cookieNames, MenuAttach attachMenu = {},
                                      QWidget* parent = nullptr);
    ~SettingsWindowController() override;

    // Shows a pane; choosing the pane already shown does nothing.
    void showPane(Pane pane);
    Pane currentView() const { return current_; }

    GeneralSettingsPane* generalPane() const { return general_; }
    // Null until their pane was first chosen (the Cookies pane: until the cookies
    // were read).
    ScanSettingViewController* scanSettingVC() const { return scanSettingVC_; }
    CookiesViewController* cookieSettingVC() const { return cookieSettingVC_; }
    KeptPathsPane* keptPathsPane() const { return keptPathsPane_; }
    // Whether the browsers' cookies are still being read.
    bool loadingCookies() const;

private:
    void loadCookies(CookieNames cookieNames);
    void cookiesLoaded(std::vector<std::string> names);
    QWidget* paneWidget(Pane pane);

    QStackedWidget* stack_;
    QAction* actions_[4];
    Pane current_ = Pane::General;
    GeneralSettingsPane* general_;
    ScanSettingViewController* scanSettingVC_ = nullptr;
    CookiesViewController* cookieSettingVC_ = nullptr;
    KeptPathsPane* keptPathsPane_ = nullptr;
    QLabel* waiting_;
    std::unique_ptr<ToolRun> group_;
    std::vector<std::string> allCookie_;
    bool cookiesReady_ = false;
};

// Shows a warning on the window when a setting could not be stored; true when it was.
bool settingStored(QWidget* owner, bool stored);

} // namespace tessaly
