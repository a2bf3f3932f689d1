#pragma once

#include <QWidget>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace tessaly {

// The Scanning pane: one switch per System Cleanup module that can be switched
// off (the last module switched on cannot be), and the folder of the user's own
// signature files for System Security.
class ScanSettingViewController : public QWidget {
    Q_OBJECT
public:
    explicit ScanSettingViewController(QWidget* parent = nullptr);

    QListWidget* list() const { return list_; }

    void onCheck(QListWidgetItem* item);

    QLabel* signatureFolderLabel() const { return signatureFolder_; }
    QPushButton* clearSignaturesButton() const { return clearSignatures_; }
    // Stores the folder the user chose ("" for none) and shows it.
    void setSignatureFolder(const QString& folder);

private:
    void showSignatureFolder();

    QListWidget* list_;
    QLabel* signatureFolder_;
    QPushButton* clearSignatures_;
    bool updating_ = false;
};

} // namespace tessaly
