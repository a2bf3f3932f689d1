#pragma once

#include <QWidget>

#include <functional>

class QCheckBox;
class QListWidget;
class QPushButton;

namespace tessaly {

class LanuageSheet;
class SettingModel;

// The General pane: interface sounds, the languages whose resource files the
// Language module keeps, whether a clean asks first and whether reports are sent.
class GeneralSettingsPane : public QWidget {
    Q_OBJECT
public:
    GeneralSettingsPane(SettingModel& settings, std::function<void(bool)> attachMenu,
                        QWidget* parent = nullptr);

    QCheckBox* playSoundBox() const { return playSound_; }
    QCheckBox* askBox() const { return ask_; }
    QCheckBox* reportsBox() const { return reports_; }
    QListWidget* languageList() const { return languages_; }
    QPushButton* removeButton() const { return remove_; }
    QPushButton* addButton() const { return add_; }
    // The open language sheet, if any.
    LanuageSheet* sheet() const { return sheet_; }

    // Re-reads the kept languages into the list.
    void reloadLanguages();

    void onPlaySound(bool on);
    void onReduce();
    void onAdd();

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Whether the row of this code can be removed by the user.
    bool removable(const QString& code) const;
    void updateRemoveButton();

    SettingModel& settings_;
    std::function<void(bool)> attachMenu_;
    QCheckBox* playSound_;
    QCheckBox* ask_;
    QCheckBox* reports_;
    QListWidget* languages_;
    QPushButton* remove_;
    QPushButton* add_;
    LanuageSheet* sheet_ = nullptr;
};

} // namespace tessaly
