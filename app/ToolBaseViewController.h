#pragma once

#include <QStringList>
#include <QWidget>
#include <cstdint>

namespace tessaly {

class AppDelegate;
class NoticeSheet;

// How a tool's scan or clean ended, as the shell shows it.
struct WorkResult {
    bool clean = false;            // a clean (otherwise a scan)
    std::int64_t sidebarValue = 0; // what the tool's sidebar row shows; 0: the done mark
    std::int64_t cleanedBytes = 0; // what a clean freed, for the cleaned total
};

// Base of every screen in the content area, the home screen included. The shell
// creates a screen on first use and keeps it for the whole run; `start` and
// `exit` are called each time it becomes or stops being the current screen.
class ToolBaseViewController : public QWidget {
    Q_OBJECT
public:
    ToolBaseViewController(AppDelegate* delegate, std::int64_t index, QWidget* parent = nullptr);
    ~ToolBaseViewController() override;

    AppDelegate* delegate = nullptr; // the shell, not owned
    bool isDoing = false;            // scanning or cleaning now
    bool comeHome = false;           // entered from the home screen, backHome or startTool
    const std::int64_t index;        // tool index, set once

    // The screen's parts for the shared top and bottom bars (none by default).
    virtual QWidget* getTopView() { return nullptr; }
    virtual QWidget* getBottomView() { return nullptr; }
    virtual void start() {}
    virtual void exit() {}
    virtual void switchBrowser() {}

    // "Notice" sheets over the main window.
    void showMemoryAlert();
    void showScanAlert();
    void showAlert(const QString& message, const QString& title);
    void showAlertMessage();

    // Paths handed over from the file manager or the command line.
    virtual void addFiles(const QStringList& paths) { (void)paths; }
    virtual void exitGuideNoAnimi() {}

    // The check every tool makes before a scan or a clean: Memory Optimization
    // refuses while another tool works, every other tool while memory is being
    // freed. Shows the matching notice and answers false when refused.
    bool mayStartWork();

    // The sheet shown now, if any (tests and the screenshot run read it).
    NoticeSheet* currentNotice() const;

signals:
    // The shell listens to these: the sidebar spinner, the row's result and the
    // cleaned total follow them.
    void workStarted();
    void workFinished(const tessaly::WorkResult& result);
    // The result shown for the tool is gone (the user started over).
    void resultCleared();

protected:
    // A screen's part for the shared top bar: its title on the left, hidden until
    // the shell moves it into the bar.
    QWidget* makeTopView(const QString& title);

private:
    NoticeSheet* notice_ = nullptr;
};

} // namespace tessaly
