#pragma once

#include "app/ToolBaseViewController.h"
#include "model/CleanResult.h"
#include "model/HomeSummary.h"
#include "platform/NotificationCenter.h"

#include <QAbstractButton>
#include <vector>

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace tessaly {

class HomeRowView;

// The start-up screen: up to three recommended tools, one click to start one,
// and the running summary of what the tools cleaned since start-up.
class HomeViewController : public ToolBaseViewController {
    Q_OBJECT
public:
    HomeViewController(AppDelegate* delegate, QWidget* parent);

    QWidget* getTopView() override { return top_; }
    QWidget* getBottomView() override { return bottom_; }
    void start() override;

    // A click on the row at `position` (ignored unless canSelect).
    void clickRow(int position);
    // Replaces the rows with Uninstaller, Old Files Finder and Alias Finder.
    void onContinue();
    // "cleanFinishNotification".
    void toolCleanFinish(const Notification& note);

    const std::vector<ToolData>& datas() const { return datas_; }
    bool showInfo() const { return showInfo_; }
    bool bFirst() const { return bFirst_; }
    bool canSelect() const { return canSelect_; }
    const HomeSummary& summary() const { return summary_; }
    QString headline() const;
    QString summaryLine() const;
    QString continueLine() const;
    // The info line of each row as shown.
    QStringList rowInfoTexts() const;
    HomeRowView* rowView(int position) const;

private:
    void reloadRows();

    std::vector<ToolData> datas_;
    HomeSummary summary_;
    bool showInfo_ = false;
    bool bFirst_ = false;
    bool canSelect_ = false;

    QWidget* top_;
    QWidget* bottom_;
    QLabel* headline_;
    QLabel* summaryLabel_;
    QLabel* continueLabel_;
    QPushButton* continueButton_;
    QVBoxLayout* rowsLayout_;
    std::vector<HomeRowView*> rowViews_;
    ObserverToken cleanFinish_;
};

// One recommendation row, a button named after its tool: icon, home name,
// description, info line, finished mark. It takes the keyboard focus with Tab and
// opens with Return or Space.
class HomeRowView : public QAbstractButton {
    Q_OBJECT
public:
    HomeRowView(const ToolData& row, bool showInfo, QWidget* parent);
    QString name() const;
    QString info() const;
    bool finished() const { return finished_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QLabel* name_;
    QLabel* info_;
    bool finished_;
    bool hover_ = false;
};

} // namespace tessaly
