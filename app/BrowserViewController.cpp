#include "app/BrowserViewController.h"

#include "ScanCode/browser/BrowserPlaces.h"

#include "ScanCode/browser/BroswerManager.h"
#include "app/common/DetailList.h"
#include "app/common/ProgressList.h"
#include "app/common/ReportPanel.h"
#include "app/common/RunningAppsSheet.h"
#include "model/ToolIndex.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <algorithm>

namespace tessaly {

namespace {

constexpr const char* kTitle = "Browser Cleanup";
constexpr const char* kBrowserNames[3] = {"Safari", "Chrom", "Firefox"};

ToolScreen::Texts browserTexts() {
    ToolScreen::Texts t;
    t.title = kTitle;
    t.badge = "browsercleanup-normal-badge";
    t.description = "Maintain the cleanliness and health of your browser.\n\n"
                    "Use Tessaly to clean temporary files of web page to protect personal "
                    "privacy frequently. It can also free valuable disk space to speed up your "
                    "browser.";
    t.prompt = {{"Push"}, {"\"Scan\"", true}, {"to start scan"}};
    t.scanningTitle = kTitle;
    t.scanningText = "Analyzing you Browser...";
    t.cleaningTitle = kTitle;
    t.reportTitle = "Unneeded Browser Items Removal";
    t.reportHeadlines[0] = "CAN BE SALFLY CLEANED AUTOMATICALLY";
    t.reportHeadlines[2] = "Review detailed scan to see the particular items Pallomar offers to "
                           "remove";
    t.runButton = "Clean";
    return t;
}

QPushButton* makeBrowserButton(int browser, bool checkable) {
    auto* b = new QPushButton(kBrowserNames[browser]);
    b->setObjectName("SecondaryButton");
    b->setCheckable(checkable);
    return b;
}

// A row of the browsers' buttons; a browser the home's layout has no place for
// (Safari on a Linux home) is not shown.
QWidget* browserRow(QPushButton* const (&buttons)[3]) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(28, 8, 28, 0);
    layout->addStretch(1);
    const auto& known = currentBrowserLayout().browsers;
    for (int browser = 0; browser < 3; ++browser) {
        QPushButton* b = buttons[browser];
        layout->addWidget(b);
        b->setVisible(std::any_of(known.begin(), known.end(),
                                  [browser](const auto& rule) { return rule.browser == browser; }));
    }
    layout->addStretch(1);
    return row;
}

std::string moduleOf(const Notification& n) {
    const auto* module = std::any_cast<std::string>(&n.object);
    return module ? *module : std::string();
}

} // namespace

BrowserViewController::BrowserViewController(AppDelegate* d, QWidget* parent,
                                             BroswerManager* engine)
    : ToolScreen(d, tool::BrowserCleanup, engine ? *engine : BroswerManager::shareBroswerManager(),
                 source_, parent),
      manager_(engine ? *engine : BroswerManager::shareBroswerManager()), source_(manager_) {
    setObjectName("Screen-browser");
    setTexts(browserTexts());
    detailList()->setSelectAllEveryCategory(true);

    // The start page names the three browsers the tool looks after.
    QPushButton* shown[3];
    for (int b = 0; b < 3; ++b) {
        shown[b] = makeBrowserButton(b, false);
        shown[b]->setFocusPolicy(Qt::NoFocus);
        shown[b]->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    setIdleAccessory(browserRow(shown));

    // The detailed results: one browser at a time.
    for (int b = 0; b < 3; ++b) {
        browsers_[b] = makeBrowserButton(b, true);
        connect(browsers_[b], &QPushButton::clicked, this, [this, b] { showBrowser(b); });
    }
    setDetailsHeader(browserRow(browsers_));
    connect(detailList(), &DetailList::checksChanged, this,
            &BrowserViewController::updateBrowserChoice);
    connect(this, &ToolScreen::stageChanged, this, [this](Stage stage) {
        if (stage == Stage::Details)
            enterDetails();
    });

    NotificationCenter& center = NotificationCenter::defaultCenter();
    scanModule_ = ObserverToken(
        center, center.addObserver(broswerScanModuleFinish, [this](const Notification& n) {
            const std::string module = moduleOf(n);
            const auto* m = browser::moduleNamed(module);
            if (stage() != Stage::Scanning || !m)
                return;
            const int row = progressList()->addRow(m->icon, QString::fromStdString(module),
                                                   ProgressList::State::Done);
            progressList()->setRowValue(
                row, QString("%1 Items").arg(manager_.dataCountWithoutCheck(module)));
        }));
    cleanModule_ = ObserverToken(
        center, center.addObserver(broswerCleanModuleFinish, [this](const Notification& n) {
            auto it = cleanRows_.find(moduleOf(n));
            if (stage() == Stage::Cleaning && it != cleanRows_.end())
                progressList()->setRowState(it->second, ProgressList::State::Done);
        }));
}

QPushButton* BrowserViewController::browserButton(int browser) const {
    return browser >= 0 && browser < 3 ? browsers_[browser] : nullptr;
}

// ---- before the scan: the running browsers ----

bool BrowserViewController::beforeScan() {
    if (browsersAsked_)
        return true;
    if ((sheet_ && sheet_->isVisible()) || !mayStartWork())
        return false;
    const std::vector<RunningBrowser> running = manager_.hasBrowserRun();
    if (running.empty())
        return true;
    std::vector<RunningAppsSheet::App> apps;
    for (const RunningBrowser& b : running)
        apps.push_back({QString::fromStdString(b.name), [b] { quitBrowser(b); }});
    sheet_ = new RunningAppsSheet("Some application should be closed for complete scan.",
                                  "Please quit the following applications by manually.",
                                  std::move(apps), window());
    // However the sheet closes, the scan then starts.
    connect(sheet_, &RunningAppsSheet::closedWith, this, [this] {
        browsersAsked_ = true;
        scanClicked();
        browsersAsked_ = false;
    });
    sheet_->open();
    return false;
}

// ---- progress ----

void BrowserViewController::fillScanRows(ProgressList&) {
    // A row comes in with each module the scan has stored.
}

void BrowserViewController::fillCleanRows(ProgressList& list) {
    cleanRows_.clear();
    for (const browser::ModuleInfo& m : browser::moduleTable())
        if (manager_.dataCount(m.name) > 0)
            cleanRows_[m.name] =
                list.addRow(m.icon, QString::fromUtf8(m.name), ProgressList::State::Scanning);
}

QString BrowserViewController::progressText(const ProgressEvent& event) const {
    if (stage() == Stage::Scanning)
        return {}; // "Analyzing you Browser..." stays
    return event.phase == "Removing" ? QString("Removing the ticked items") : QString();
}

// ---- ends of runs ----

void BrowserViewController::scanEnded(const ScanSummary&) {
    source_.setLeft({});
}

void BrowserViewController::cleanEnded(const CleanOutcome& outcome) {
    source_.setLeft(outcome.left);
}

ToolScreen::Totals BrowserViewController::tickedTotals() const {
    return {manager_.allDataCount(), 0};
}

QString BrowserViewController::totalText(const Totals& totals) const {
    return totals.count > 0 ? QString("%1 Items").arg(totals.count) : QString();
}

void BrowserViewController::fillReportRows(ReportPanel& report) const {
    std::vector<ReportPanel::TextRow> rows;
    for (const ModuleReport& r : manager_.scanResult()) {
        if (rows.size() == 5)
            break;
        rows.push_back({QString::fromStdString(r.name), QString("%1   Items").arg(r.size), r.b});
    }
    report.setTextRows(rows);
}

std::int64_t BrowserViewController::sidebarValue(bool afterClean) const {
    return afterClean ? 0 : manager_.allDataCountWithNOCheck();
}

QString BrowserViewController::cleanedAmount(const CleanOutcome& outcome) const {
    return QString("%1 Items").arg(outcome.removed);
}

QString BrowserViewController::doneMessage(const CleanOutcome& outcome) const {
    return QString("%1 of browser items were removed from your system.")
        .arg(QString("%1 Items").arg(outcome.removed));
}

CleanFinishInfo BrowserViewController::finishInfo(const CleanOutcome& outcome) const {
    return cleanFinishInfo(tool::BrowserCleanup, outcome.removed);
}

// ---- the detailed results ----

void BrowserViewController::enterDetails() {
    std::array<std::int64_t, 3> items{};
    for (int b = 0; b < 3; ++b)
        items[static_cast<std::size_t>(b)] = manager_.getBrowserType(b);
    int chosen = BrowserDetailSource::preferredBrowser(items);
    if (!manager_.offersBrowser(chosen)) // nothing found on a home without Safari
        chosen = browser::Chrome;
    selectBrowser(chosen);
}

void BrowserViewController::showBrowser(int browser) {
    // A browser without items cannot be chosen.
    if (browser >= 0 && browser < 3 && manager_.getBrowserType(browser) > 0)
        selectBrowser(browser);
}

void BrowserViewController::selectBrowser(int browser) {
    source_.setBrowser(browser);
    detailList()->reload();
    updateBrowserChoice();
}

void BrowserViewController::updateBrowserChoice() {
    for (int b = 0; b < 3; ++b) {
        browsers_[b]->setEnabled(manager_.getBrowserType(b) > 0);
        browsers_[b]->setChecked(b == source_.browser());
    }
    // One of the two is offered: "Deselect All" while the browser has a ticked item.
    const bool ticked = manager_.getBrowserCheck(source_.browser()) > 0;
    detailList()->deselectAllButton()->setVisible(ticked);
    detailList()->selectAllButton()->setVisible(!ticked);
}

} // namespace tessaly
