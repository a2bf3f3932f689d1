#pragma once

#include <QWidget>

class QListWidget;
class QListWidgetItem;

namespace tessaly {

// The Scanning pane: one switch per System Cleanup module that can be switched
// off. The last module switched on cannot be switched off.
class ScanSettingViewController : public QWidget {
    Q_OBJECT
public:
    explicit ScanSettingViewController(QWidget* parent = nullptr);

    QListWidget* list() const { return list_; }

    void onCheck(QListWidgetItem* item);

private:
    QListWidget* list_;
    bool updating_ = false;
};

} // namespace tessaly
