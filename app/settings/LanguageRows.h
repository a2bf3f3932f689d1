#pragma once

#include <Qt>
#include <string>

class QListWidgetItem;

namespace tessaly {

class SettingModel;

// The role that holds a language row's code.
inline constexpr int kLanguageCodeRole = Qt::UserRole + 1;

// A row for a language code: the flag of its country and its name. A code the
// language table does not know gives a row without flag and name.
QListWidgetItem* languageRow(const SettingModel& settings, const std::string& code);

} // namespace tessaly
