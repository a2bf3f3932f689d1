#include "app/UninstallViewController.h"

#include "ScanCode/uninstall/SearchApplications.h"
#include "app/common/DetailList.h"
#include "app/common/ProgressList.h"
#include "app/common/ReportPanel.h"
#include "model/ToolIndex.h"
#include "platform/ProcessList.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QTabBar>

namespace tessaly {

namespace {

constexpr const char* kTitle = "Uninstall";

ToolScreen::Texts uninstallTexts() {
    ToolScreen::Texts t;
    t.title = kTitle;
    t.badge = "uninstall-normal-badge";
    t.description = "The applications cannot be removed completely by simple dragging them into "
                    "the Trash, some residual files will still take up valuable disk space. "
                    "Tessaly can remove them correctly and completely.";
    t.prompt = {{"Push"}, {"\"Scan\"", true}, {"to start scan"}};
    t.scanningTitle = kTitle;
    t.scanningText = "Loading...";
    t.cleaningTitle = kTitle;
    t.reportTitle = kTitle;
    t.runButton = "Uninstall";
    return t;
}

} // namespace

UninstallViewController::UninstallViewController(AppDelegate* d, QWidget* parent,
                                                 SearchApplications* engine)
    : ToolScreen(d, tool::Uninstaller,
                 engine ? *engine : SearchApplications::shareSearchApplications(), source_, parent),
      engine_(engine ? *engine : SearchApplications::shareSearchApplications()), source_(engine_) {
    setObjectName("Screen-uninstall");
    setTexts(uninstallTexts());

    auto* header = new QWidget;
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(28, 8, 28, 0);
    tabs_ = new QTabBar(header);
    for (int t = 0; t < 4; ++t)
        tabs_->addTab(UninstallDetailSource::tabName(t));
    connect(tabs_, &QTabBar::currentChanged, this, &UninstallViewController::showTab);
    search_ = new QLineEdit(header);
    search_->setPlaceholderText("Search Applications...");
    search_->setClearButtonEnabled(true);
    connect(search_, &QLineEdit::textChanged, this, [this](const QString& text) {
        source_.setFilter(text);
        detailList()->reload();
    });
    row->addWidget(tabs_, 1);
    row->addWidget(search_);
    setDetailsHeader(header);

    NotificationCenter& center = NotificationCenter::defaultCenter();
    finished_ = ObserverToken(
        center, center.addObserver(appUninstallFinishNotification, [this](const Notification& n) {
            const auto* path = std::any_cast<std::string>(&n.object);
            if (!path || stage() != Stage::Cleaning)
                return;
            if (auto it = rowOfRecord_.find(*path); it != rowOfRecord_.end())
                progressList()->setRowState(it->second, ProgressList::State::Done);
        }));
}

void UninstallViewController::start() {
    // The lists are loaded the first time the screen is shown.
    if (!loaded_ && stage() == Stage::Idle && !isDoing)
        scanClicked();
    ToolScreen::start();
}

void UninstallViewController::showTab(int tab) {
    source_.setTab(tab);
    detailList()->reload();
}

void UninstallViewController::reloadLists() {
    source_.reload(now());
    for (int t = 0; t < 4; ++t)
        tabs_->setTabEnabled(t, source_.tabHasItems(t));
    if (tabs_->currentIndex() != UninstallDetailSource::Application)
        tabs_->setCurrentIndex(UninstallDetailSource::Application); // reloads through showTab
    else
        source_.setTab(UninstallDetailSource::Application);
}

// ---- before the removal: the running applications ----

bool UninstallViewController::beforeClean() {
    if (runningAsked_)
        return true;
    if (sheet_ && sheet_->isVisible())
        return false;
    auto items = std::make_shared<AppItemList>();
    const std::vector<RunningApplication> running =
        engine_.appIsRun(engine_.selectAllApps(), items.get());
    if (running.empty())
        return true;
    std::vector<RunningAppsSheet::App> apps;
    for (const RunningApplication& app : running)
        apps.push_back({QString::fromStdString(app.localizedName),
                        [pid = app.pid] { process::requestTerminate(pid); }});
    sheet_ = new RunningAppsSheet("Some application should be closed for complete cleanup.",
                                  "Please quit the following applications by manually.",
                                  std::move(apps), window());
    connect(sheet_, &RunningAppsSheet::closedWith, this, [this, items](bool quitAll) {
        // "Continue" leaves out the items of the applications still listed.
        if (!quitAll && sheet_)
            for (int i : sheet_->listed())
                (*items)[static_cast<std::size_t>(i)]->setItemEnable(false);
        detailList()->reload();
        runningAsked_ = true;
        cleanClicked();
        runningAsked_ = false;
    });
    sheet_->open();
    return false;
}

// ---- progress ----

void UninstallViewController::fillScanRows(ProgressList&) {
    // The loading view has no rows: it waits for the lists.
}

void UninstallViewController::fillCleanRows(ProgressList& list) {
    rowOfRecord_.clear();
    for (const SubAppFileRef& record : SearchApplications::selectFile(engine_.selectAllApps()))
        rowOfRecord_[record->path] =
            list.addRow(QString::fromStdString(record->icon.empty() ? record->path : record->icon),
                        QString::fromStdString(record->title()), ProgressList::State::Scanning);
}

QString UninstallViewController::progressText(const ProgressEvent& event) const {
    return stage() == Stage::Scanning ? QString() : QString::fromStdString(event.phase);
}

// ---- ends of runs ----

void UninstallViewController::scanEnded(const ScanSummary&) {
    loaded_ = true;
    reloadLists();
}

void UninstallViewController::cleanEnded(const CleanOutcome&) {
    reloadLists();
}

void UninstallViewController::fillReportRows(ReportPanel& report) const {
    std::vector<ReportPanel::TextRow> rows;
    for (int t = 0; t < 4; ++t)
        rows.push_back({UninstallDetailSource::tabName(t),
                        QString::number(t == 0   ? engine_.allApplicationsForUninstall().size()
                                        : t == 1 ? engine_.allWidgets().size()
                                        : t == 2 ? engine_.allPlugins().size()
                                                 : engine_.allPreferences().size()),
                        0.0f});
    report.setTextRows(rows);
}

} // namespace tessaly
