#pragma once

#include <QStringList>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QMimeData;
class QPushButton;

namespace tessaly {

// The folder list of the tools that scan folders the user picks (Duplicates,
// Old Files, Alias, the security scan's custom scan): the list with a remove
// button on each row, "Add Folder..." and "Clear List". Adding opens a sheet that
// accepts folders only, starts in the home folder, allows several choices and
// whose accept button reads "Add". Folders dropped from the file manager are
// added too. A folder is never listed twice.
//
// In files mode (the Eraser's list) it takes files as well as folders: its add
// button reads "Add Files", the sheet accepts both, and while the list is empty
// it reads as the area to drop them on.
class FolderListPicker : public QWidget {
    Q_OBJECT
public:
    // Asks the user for folders; answers the chosen paths (none when cancelled).
    using FolderChooser = std::function<QStringList(QWidget* parent)>;

    explicit FolderListPicker(QWidget* parent = nullptr);

    void setFilesMode(bool files);
    bool filesMode() const { return filesMode_; }

    QStringList folders() const { return folders_; }
    void setFolders(const QStringList& paths);
    // Adds the existing folders (in files mode, files and folders) of paths that
    // are not listed yet, in order; answers how many were added.
    int addFolders(const QStringList& paths);
    // The folders a scan walks: each listed folder as itself (a link in its path
    // resolved), once, and none that lies inside another listed folder.
    std::vector<std::string> foldersToScan() const;
    void removeFolder(int row);
    void clearList();

    // Opens the sheet and adds what the user chose.
    void openSheet();
    // The scan button's check: with an empty list, opens the sheet and answers
    // false; otherwise answers true.
    bool requireFolders();

    // Replaces the sheet (tests); an empty chooser restores the file dialog.
    void setFolderChooser(FolderChooser chooser);
    static QStringList chooseWithDialog(QWidget* parent);

    QListWidget* listWidget() const { return list_; }

signals:
    void changed();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void rebuild();
    QStringList dropped(const QMimeData* mime) const;
    bool takes(const QString& path) const;

    QStringList folders_;
    bool filesMode_ = false;
    QListWidget* list_;
    QLabel* dropHint_;
    QPushButton* add_;
    QPushButton* clear_;
    FolderChooser chooser_;
};

} // namespace tessaly
