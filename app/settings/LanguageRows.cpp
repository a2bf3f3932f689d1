#include "app/settings/LanguageRows.h"

#include "app/Artwork.h"
#include "model/SettingModel.h"

#include <QListWidgetItem>

namespace tessaly {

QListWidgetItem* languageRow(const SettingModel& settings, const std::string& code) {
    auto* item = new QListWidgetItem;
    item->setData(kLanguageCodeRole, QString::fromStdString(code));
    if (auto info = settings.languageInfo(code)) {
        const QString country = QString::fromStdString(info->country);
        item->setIcon(artwork::known(country) ? artwork::icon(country)
                                              : artwork::nameIcon(country));
        item->setText(QString::fromStdString(info->language));
    }
    return item;
}

} // namespace tessaly
