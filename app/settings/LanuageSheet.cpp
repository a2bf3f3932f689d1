#include "app/settings/LanuageSheet.h"

#include "app/settings/LanguageRows.h"
#include "app/settings/SettingsWindowController.h"
#include "model/SettingKeys.h"
#include "model/SettingModel.h"
#include "platform/UserDefaults.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace tessaly {

LanuageSheet::LanuageSheet(SettingModel& settings, QWidget* window)
    : QDialog(window), settings_(settings) {
    setObjectName("LanguageSheet");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::WindowModal);
    setWindowTitle("Languages");
    resize(360, 420);

    const std::vector<std::string> kept = settings_.keepLanuage();
    const std::string own = settings_.localStr();
    list_ = new QListWidget(this);
    list_->setObjectName("LanguageChoices");
    list_->setAccessibleName("Languages to keep");
    for (const auto& [code, info] : settings_.languageInfos()) {
        (void)info;
        const bool ticked = std::find(kept.begin(), kept.end(), code) != kept.end();
        boolDic_[code] = ticked;
        QListWidgetItem* item = languageRow(settings_, code);
        Qt::ItemFlags flags = Qt::ItemIsUserCheckable | Qt::ItemIsSelectable;
        if (code != "en" && code != own)
            flags |= Qt::ItemIsEnabled;
        item->setFlags(flags);
        item->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
        list_->addItem(item);
    }
    connect(list_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        onCheck(item->data(kLanguageCodeRole).toString().toStdString(),
                item->checkState() == Qt::Checked);
    });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText("OK");
    connect(buttons, &QDialogButtonBox::accepted, this, &LanuageSheet::onOK);
    connect(buttons, &QDialogButtonBox::rejected, this, &LanuageSheet::onCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Select langages to keep:", this));
    layout->addWidget(list_, 1);
    layout->addWidget(buttons);
}

void LanuageSheet::beginOnWindow() {
    open();
}

void LanuageSheet::onCheck(const std::string& code, bool ticked) {
    boolDic_[code] = ticked;
}

bool LanuageSheet::saveData() {
    std::lock_guard<std::recursive_mutex> guard(settings_.lock());
    // The ticked languages in the table's order. Kept codes the table does not
    // know have no row to untick, so they stay kept.
    std::vector<std::string> kept;
    for (const std::string& code : settings_.keepLanuage())
        if (!boolDic_.count(code))
            kept.push_back(code);
    std::vector<std::string> ticked;
    for (const auto& [code, on] : boolDic_)
        if (on)
            ticked.push_back(code);
    kept.insert(kept.begin(), ticked.begin(), ticked.end());
    settings_.addKeepLanuage(kept);
    return settings_.defaults().setStringArray(keys::KeepLanguage, kept);
}

void LanuageSheet::onOK() {
    const bool stored = saveData();
    emit saved();
    settingStored(parentWidget(), stored);
    accept();
}

void LanuageSheet::onCancel() {
    reject();
}

} // namespace tessaly
