#pragma once

#include <QDialog>

#include <map>
#include <string>

class QListWidget;

namespace tessaly {

class SettingModel;

// The sheet that chooses the kept languages: one row per known language with a
// box, ticked when the language is kept. "en" and the user's own language cannot
// be unticked. OK stores the ticked languages; Cancel changes nothing. It
// deletes itself when closed.
class LanuageSheet : public QDialog {
    Q_OBJECT
public:
    LanuageSheet(SettingModel& settings, QWidget* window);

    // Opens the sheet, window-modal on its window.
    void beginOnWindow();

    QListWidget* list() const { return list_; }
    const std::map<std::string, bool>& boolDic() const { return boolDic_; }

    void onOK();
    void onCancel();

signals:
    // The kept languages were stored.
    void saved();

private:
    void onCheck(const std::string& code, bool ticked);
    bool saveData();

    SettingModel& settings_;
    QListWidget* list_;
    std::map<std::string, bool> boolDic_;
};

} // namespace tessaly
