#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <array>
#include <cstdint>

class QAction;
class QMenu;

namespace tessaly {

class HelpWindowController;
class HomeViewController;
class SettingsWindowController;
class SidebarView;
class ToolBaseViewController;

// The shell: owns the main window, runs start-up once, creates each screen on
// first use and keeps it, switches between screens, takes hand-overs of paths
// and keeps the persistent total of cleaned bytes.
class AppDelegate : public QMainWindow {
    Q_OBJECT
public:
    // The smallest window, in logical pixels.
    static constexpr int kMinimumWidth = 780;
    static constexpr int kMinimumHeight = 440;

    explicit AppDelegate(QWidget* parent = nullptr);
    ~AppDelegate() override;

    // Start-up, run once (later calls do nothing).
    void awakeFromNib();

    // Sidebar row <-> tool index.
    static std::int64_t resetIndex(std::int64_t row);
    static std::int64_t resetCellIndex(std::int64_t toolIndex);
    // The screen of a sidebar row, created on first use; null above tool index 9.
    ToolBaseViewController* getVC(std::int64_t row);
    // The sidebar row and the cleaned total follow the screen's runs from now on
    // (done for every screen the shell creates).
    void listenTo(ToolBaseViewController* screen);
    // The screen of a tool index if it was created already.
    ToolBaseViewController* existingScreen(std::int64_t toolIndex) const;

    // Asked by the screens.
    bool isDoingWork() const;
    bool isDoingMemory() const;
    // The sidebar marks (run on the screens' signals, see listenTo).
    void startRotateAnimi(std::int64_t toolIndex);
    void stopRotateAnimi(std::int64_t toolIndex, std::int64_t fileSize);
    void stopRotateAnimi(std::int64_t toolIndex);
    void resetCell(std::int64_t toolIndex);
    void backHome();
    void startTool(std::int64_t toolIndex);
    void addCleanTotle(std::int64_t bytes);
    void setWindowZoomDisable();
    void setWindowZoomEnable();

    // A click on a sidebar row.
    void tableViewSelectionDidChange(std::int64_t row);

    // Menu entry points.
    void onSystemup();
    void onSecurity();
    void onBrowserup();
    void onUninstaller();
    void onDuplicateup();
    void onLargeup();
    void onEraser();
    void onAlias();
    void onMemory();
    void onSetting();
    void onHelp();
    void onFeedback();
    void onUninstall();
    void onFullScreen();
    void onSowMainWindow();

    // Hand-overs from the file manager or the command line.
    void addFileFromFinder(const QStringList& paths);  // Eraser
    void AddDirForOld(const QStringList& paths);       // Old Files Finder
    void AddDirForDuplicate(const QStringList& paths); // Duplicates Finder

    std::int64_t selected() const { return selected_; }
    ToolBaseViewController* currentVC() const { return currentVC_; }
    bool first() const { return first_; }
    std::int64_t cleanTotle() const { return cleanTotle_; }
    bool isSwitching() const { return switching_; }
    SidebarView* sidebar() const { return sidebar_; }
    HomeViewController* homeScreen() const;
    HelpWindowController* helpWindow() const;
    QMenu* viewMenu() const { return viewMenu_; }
    QAction* fullScreenAction() const { return fullScreenAction_; }
    QAction* zoomAction() const { return zoomAction_; }
    // The preferences window once it was opened.
    SettingsWindowController* preferencesWindow() const;

    // Length of the screen switch in milliseconds (400; 0 switches at once).
    int switchDuration() const { return switchDuration_; }
    void setSwitchDuration(int ms) { switchDuration_ = ms; }

signals:
    // A screen switch has completed.
    void switchFinished();

protected:
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildWindow();
    void buildMenus();
    void setViewMenuAttached(bool attached);
    void switchVC(ToolBaseViewController* target);
    void completeSwitch(ToolBaseViewController* old, ToolBaseViewController* target);
    void placeViews(ToolBaseViewController* screen);
    void onViewMenuTool(std::int64_t toolIndex);
    void handOver(std::int64_t row, const QStringList& paths);
    void updateFullScreenTitle();
    void showCleanTotal();

    std::int64_t selected_ = 0;
    ToolBaseViewController* currentVC_ = nullptr;
    bool first_ = false;
    std::array<ToolBaseViewController*, 10> screens_{}; // by tool index, kept for the run
    std::int64_t cleanTotle_ = 0;

    bool switching_ = false;
    bool fromSidebar_ = false;       // the switch being made comes from the sidebar
    bool keyboardOnSidebar_ = false; // and the keyboard was on it
    int switchDuration_ = 400;

    SidebarView* sidebar_ = nullptr;
    QWidget* topBar_ = nullptr;
    QWidget* content_ = nullptr;
    QWidget* bottomBar_ = nullptr;
    QMenu* viewMenu_ = nullptr;
    QList<QAction*> toolActions_;
    QAction* fullScreenAction_ = nullptr;
    QAction* zoomAction_ = nullptr;
    QPointer<HelpWindowController> help_;
    QPointer<SettingsWindowController> preferences_;
    int menuDetached_ = 0;
};

} // namespace tessaly
