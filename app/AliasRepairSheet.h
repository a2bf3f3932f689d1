#pragma once

#include "ScanCode/alias/AliasObj.h"

#include <QDialog>
#include <QStringList>
#include <functional>

class QListWidget;
class QPushButton;

namespace tessaly {

// The sheet that repairs an alias: the files and folders found under the scanned
// folders with its target's name, to pick from, and "Other..." for the panel
// that accepts any one file or folder (prompt "Fix Alias...", starting in the
// home folder). target() is what the user chose.
class AliasRepairSheet : public QDialog {
    Q_OBJECT
public:
    // Asks for any one file or folder; answers it, empty when dismissed.
    using Panel = std::function<QString(QWidget* parent)>;

    AliasRepairSheet(const AliasObj& alias, const QStringList& candidates, QWidget* parent);

    // With candidates, the sheet; without, the panel at once. Empty when dismissed.
    static QString choose(const AliasObj& alias, const QStringList& candidates, QWidget* parent);
    static QString choosePanel(QWidget* parent);

    void setPanel(Panel panel) { panel_ = std::move(panel); } // tests
    QString target() const { return target_; }
    QListWidget* candidateList() const { return candidates_; }
    QPushButton* fixButton() const { return fix_; }
    QPushButton* otherButton() const { return other_; }

private:
    QString target_;
    QListWidget* candidates_;
    QPushButton* fix_;
    QPushButton* other_;
    Panel panel_;
};

} // namespace tessaly
