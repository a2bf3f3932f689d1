#pragma once

#include <QDialog>
#include <QString>
#include <vector>

namespace tessaly {

// The facts a "Show Info" panel gives about one file, folder or bundle.
struct ItemFacts {
    QString name;
    QString kind;     // "Folder", "Package", "File", "Link" or "Missing"
    QString size;     // a folder's or bundle's allocated size, a file's logical size
    QString location; // the enclosing folder
    QString modified; // "yyyy-MM-dd", empty when unknown
    QString lastOpened;
};

// Reads the facts of a path without following a final link.
ItemFacts itemFacts(const QString& path);

// Our own "Show Info" panel, used when the desktop's file manager offers none.
class ItemInfoDialog : public QDialog {
    Q_OBJECT
public:
    explicit ItemInfoDialog(const QString& path, QWidget* parent = nullptr);
    // The rows shown, label and value, in order.
    const std::vector<std::pair<QString, QString>>& rows() const { return rows_; }

private:
    std::vector<std::pair<QString, QString>> rows_;
};

} // namespace tessaly
