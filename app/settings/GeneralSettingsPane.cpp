#include "app/settings/GeneralSettingsPane.h"

#include "app/settings/LanguageRows.h"
#include "app/settings/LanuageSheet.h"
#include "app/settings/SettingsWindowController.h"
#include "model/CleanRecord.h"
#include "model/Reports.h"
#include "model/SettingKeys.h"
#include "model/SettingModel.h"
#include "platform/UserDefaults.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessaly {

namespace {

QLabel* heading(const char* text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName("SettingHeading");
    label->setAlignment(Qt::AlignRight | Qt::AlignTop);
    return label;
}

} // namespace

GeneralSettingsPane::GeneralSettingsPane(SettingModel& settings,
                                         std::function<void(bool)> attachMenu, QWidget* parent)
    : QWidget(parent), settings_(settings), attachMenu_(std::move(attachMenu)) {
    setObjectName("GeneralPane");
    playSound_ = new QCheckBox("Play Sound", this);
    playSound_->setObjectName("PlaySound");
    connect(playSound_, &QCheckBox::toggled, this, &GeneralSettingsPane::onPlaySound);

    auto* explain = new QLabel("Keep the following localization within your apps", this);
    explain->setWordWrap(true);
    languages_ = new QListWidget(this);
    languages_->setObjectName("KeptLanguages");
    languages_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    languages_->setAccessibleName("Kept languages");
    connect(languages_, &QListWidget::itemSelectionChanged, this,
            &GeneralSettingsPane::updateRemoveButton);
    remove_ = new QPushButton("−", this);
    remove_->setObjectName("RemoveLanguage");
    remove_->setAccessibleName("Remove the selected languages");
    remove_->setEnabled(false);
    connect(remove_, &QPushButton::clicked, this, &GeneralSettingsPane::onReduce);
    add_ = new QPushButton("+", this);
    add_->setObjectName("AddLanguage");
    add_->setAccessibleName("Add languages");
    connect(add_, &QPushButton::clicked, this, &GeneralSettingsPane::onAdd);

    ask_ = new QCheckBox("Ask before cleaning or removing files", this);
    ask_->setObjectName("AskBeforeCleaning");
    connect(ask_, &QCheckBox::toggled, this, [this](bool ask) {
        settingStored(this, setAskBeforeCleaning(UserDefaults::standardUserDefaults(), ask));
    });
    reports_ = new QCheckBox("Send crash and install reports", this);
    reports_->setObjectName("SendReports");
    reports_->setToolTip("A crash report holds the crash's signal and the program's call stack; "
                         "the install report holds nothing but the request itself.");
    connect(reports_, &QCheckBox::toggled, this, [this](bool on) {
        settingStored(this, reports::setReportsAllowed(UserDefaults::standardUserDefaults(), on));
    });

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(4);
    buttons->addWidget(remove_);
    buttons->addWidget(add_);
    buttons->addStretch(1);
    auto* languageBox = new QVBoxLayout;
    languageBox->addWidget(explain);
    languageBox->addWidget(languages_, 1);
    languageBox->addLayout(buttons);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(28, 20, 28, 20);
    grid->setHorizontalSpacing(14);
    grid->addWidget(heading("Sound:", this), 0, 0);
    grid->addWidget(playSound_, 0, 1);
    grid->addWidget(heading("Language Files:", this), 1, 0);
    grid->addLayout(languageBox, 1, 1);
    grid->addWidget(heading("Cleaning:", this), 2, 0);
    grid->addWidget(ask_, 2, 1);
    grid->addWidget(heading("Reports:", this), 3, 0);
    grid->addWidget(reports_, 3, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(1, 1);
    reloadLanguages();
}

void GeneralSettingsPane::showEvent(QShowEvent* event) {
    // The choices may have changed elsewhere (a confirmation's "do not ask") since
    // the pane was last shown.
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    {
        const QSignalBlocker quiet(playSound_);
        playSound_->setChecked(settings_.playSound.load());
    }
    {
        const QSignalBlocker quiet(ask_);
        ask_->setChecked(askBeforeCleaning(defaults));
    }
    {
        const QSignalBlocker quiet(reports_);
        reports_->setChecked(reports::reportsAllowed(defaults));
    }
    QWidget::showEvent(event);
}

void GeneralSettingsPane::onPlaySound(bool on) {
    settings_.playSound = on;
    settingStored(this, settings_.defaults().setInteger(keys::PlaySound, on ? 1 : 0));
}

bool GeneralSettingsPane::removable(const QString& code) const {
    if (code == "en")
        return false;
    return !(settings_.onlyOne() && code.toStdString() == settings_.localStr());
}

void GeneralSettingsPane::reloadLanguages() {
    languages_->clear();
    for (const std::string& code : settings_.keepLanuage()) {
        auto* item = languageRow(settings_, code);
        if (!removable(item->data(kLanguageCodeRole).toString()))
            item->setFlags(item->flags() & ~(Qt::ItemIsEnabled | Qt::ItemIsSelectable));
        languages_->addItem(item);
    }
    updateRemoveButton();
}

void GeneralSettingsPane::updateRemoveButton() {
    bool any = false;
    for (QListWidgetItem* item : languages_->selectedItems())
        any = any || removable(item->data(kLanguageCodeRole).toString());
    remove_->setEnabled(any);
}

void GeneralSettingsPane::onReduce() {
    std::vector<std::string> gone;
    for (QListWidgetItem* item : languages_->selectedItems()) {
        const QString code = item->data(kLanguageCodeRole).toString();
        if (removable(code))
            gone.push_back(code.toStdString());
    }
    if (gone.empty())
        return;
    bool stored;
    {
        // The Language scan may read the list at the same moment.
        std::lock_guard<std::recursive_mutex> guard(settings_.lock());
        settings_.removeKeepLanguages(gone);
        stored = settings_.defaults().setStringArray(keys::KeepLanguage, settings_.keepLanguages());
    }
    settingStored(this, stored);
    reloadLanguages();
}

void GeneralSettingsPane::onAdd() {
    if (sheet_)
        return;
    sheet_ = new LanuageSheet(settings_, window());
    connect(sheet_, &LanuageSheet::saved, this, &GeneralSettingsPane::reloadLanguages);
    connect(sheet_, &QObject::destroyed, this, [this] {
        sheet_ = nullptr;
        if (attachMenu_)
            attachMenu_(true);
    });
    if (attachMenu_)
        attachMenu_(false);
    sheet_->beginOnWindow();
}

} // namespace tessaly
