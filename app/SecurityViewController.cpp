#include "app/SecurityViewController.h"

#include "app/common/DetailText.h"
#include "app/common/FolderListPicker.h"
#include "app/common/ItemIcon.h"
#include "app/common/ProgressList.h"
#include "app/common/ReportPanel.h"
#include "app/common/StartupDiskAccess.h"
#include "model/SettingKeys.h"
#include "model/ToolIndex.h"
#include "platform/Log.h"
#include "platform/UserDefaults.h"

#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <map>

namespace tessaly {

namespace {

constexpr const char* kTitle = "System Security";

ToolScreen::Texts securityTexts() {
    ToolScreen::Texts t;
    t.title = kTitle;
    t.badge = "system-security-normal-badge";
    t.description = "Protected against viruses, spyware and malware.";
    t.prompt = {{"Push"}, {"\"Scan\"", true}, {"to start scan"}};
    t.scanningTitle = kTitle;
    t.scanningText = "Analyzing you System...";
    t.cleaningTitle = "Viruses Files Removal";
    t.reportTitle = "Scan Completed";
    t.runButton = "Remove";
    return t;
}

QString items(std::int64_t n) {
    return QString("%1 Items").arg(n);
}

} // namespace

SecurityViewController::SecurityViewController(AppDelegate* d, QWidget* parent, VirtualScan* engine)
    : ToolScreen(d, tool::SystemSecurity, engine ? *engine : VirtualScan::shareVirtualScan(),
                 source_, parent),
      engine_(engine ? *engine : VirtualScan::shareVirtualScan()), source_(engine_.virs),
      accessRequired_(startupDiskAccessRequired()) {
    setObjectName("Screen-security");
    setTexts(securityTexts());
    setIdleAccessory(makeTypeChoice());
    setScanType(SystemScan);
}

// The three scan types, and under them the folder list of a Custom Scan.
QWidget* SecurityViewController::makeTypeChoice() {
    auto* box = new QWidget;
    types_ = new QListWidget(box);
    types_->setObjectName("ScanTypes");
    types_->setAccessibleName("Scan type");
    types_->setIconSize(QSize(32, 32));
    for (int type : {SystemScan, HomeScan, CustomScan}) {
        auto* item = new QListWidgetItem(
            itemIcon(qtext(VirtualScan::typeImage(type))),
            qtext(VirtualScan::typeName(type)) + "\n" + qtext(VirtualScan::typeDes(type)), types_);
        item->setData(Qt::AccessibleTextRole, qtext(VirtualScan::typeName(type)));
    }
    types_->setFixedHeight(3 * (types_->sizeHintForRow(0) + 2) + 2 * types_->frameWidth());
    connect(types_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            setScanType(row);
    });
    picker_ = new FolderListPicker(box);
    connect(picker_, &FolderListPicker::changed, this, &SecurityViewController::updateScanButton);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(types_);
    layout->addWidget(picker_, 1);
    layout->addStretch(0);
    return box;
}

void SecurityViewController::setScanType(int type) {
    if (type < SystemScan || type > CustomScan)
        return;
    type_ = type;
    if (types_->currentRow() != type)
        types_->setCurrentRow(type);
    picker_->setVisible(type == CustomScan);
    updateScanButton();
}

// A Custom Scan needs a folder to scan.
void SecurityViewController::updateScanButton() {
    idlePanel()->scanButton()->setEnabled(type_ != CustomScan || !picker_->folders().isEmpty());
}

void SecurityViewController::selectFileClicked() {
    askForStartupDisk(*this, chooser_);
}

bool SecurityViewController::beforeScan() {
    if (type_ == SystemScan && accessRequired_ && !startupDiskAccessGranted()) {
        selectFileClicked();
        return false;
    }
    if (type_ == CustomScan && !picker_->requireFolders())
        return false;
    engine_.setScanType(type_, picker_->foldersToScan());
    // The user's own signature files, as the preferences name their folder now.
    for (const std::string& unreadable : engine_.useSignatureFolder(
             UserDefaults::standardUserDefaults().stringForKey(keys::signatureFolder)))
        log::line("the signature file " + unreadable + " cannot be read");
    return true;
}

void SecurityViewController::fillScanRows(ProgressList& list) {
    list.addRow(qtext(VirtualScan::typeImage(type_)), qtext(VirtualScan::typeName(type_)),
                ProgressList::State::Scanning);
    list.setPath("Initialize viruses engine...");
}

// A row per kind of threat that is ticked, with how many.
void SecurityViewController::fillCleanRows(ProgressList& list) {
    std::map<std::string, std::int64_t> kinds;
    for (const ScanItem& v : engine_.virs)
        if (v->isCheck)
            ++kinds[VirtualScan::typeNameWithName(v->name)];
    for (const auto& [kind, count] : kinds) {
        const int row = list.addRow("iconWarning", qtext(kind), ProgressList::State::Scanning);
        list.setRowValue(row, items(count));
    }
}

QString SecurityViewController::progressText(const ProgressEvent&) const {
    return {}; // the path line follows the scan; the text stays
}

void SecurityViewController::scanEnded(const ScanSummary& summary) {
    source_.setLeft({});
    source_.setInterrupted(summary.stopped);
}

void SecurityViewController::cleanEnded(const CleanOutcome& outcome) {
    source_.setLeft(outcome.left);
    source_.setInterrupted(false);
}

// The three kinds of ticked findings, the objects scanned and the time it took.
void SecurityViewController::fillCounters(ReportPanel& report) const {
    engine_.loadReport();
    const auto found =
        static_cast<float>(engine_.virusesCount + engine_.malwareCount + engine_.exploitCount);
    auto share = [found](std::int64_t n) { return found > 0 ? n / found : 0.0f; };
    report.setTextRows({
        {"Viruses Objects:", items(engine_.virusesCount), share(engine_.virusesCount)},
        {"Malware Objects:", items(engine_.malwareCount), share(engine_.malwareCount)},
        {"Spyware Objects:", items(engine_.exploitCount), share(engine_.exploitCount)},
        {"Scanned Objects:", items(engine_.scanCount)},
        {"Scanned Time:", qtext(VirtualScan::covertString(engine_.scanTime))},
    });
}

void SecurityViewController::fillReportRows(ReportPanel& report) const {
    fillCounters(report);
}

void SecurityViewController::fillEmptyReport(ReportPanel& report) const {
    fillCounters(report);
}

QString SecurityViewController::cleanedAmount(const CleanOutcome& outcome) const {
    return items(outcome.removed);
}

std::int64_t SecurityViewController::sidebarValue(bool) const {
    return engine_.selectCount();
}

} // namespace tessaly
