#include "app/common/FileOrFolderDialog.h"

#include "platform/Paths.h"

#include <QAbstractItemView>
#include <QFileDialog>
#include <QFileInfo>
#include <QListView>
#include <QTreeView>
#include <algorithm>

namespace tessaly {

namespace {

// The file dialog opens a folder when its accept button is pressed on one; here
// the folder is what the user chose.
class FileOrFolderDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    void accept() override {
        const QStringList chosen = selectedFiles();
        const bool allThere =
            !chosen.isEmpty() && std::all_of(chosen.begin(), chosen.end(),
                                             [](const QString& p) { return QFileInfo::exists(p); });
        if (allThere)
            QDialog::accept();
        else
            QFileDialog::accept();
    }
};

} // namespace

QStringList chooseFilesOrFolders(QWidget* parent, const QString& prompt, bool several) {
    FileOrFolderDialog dialog(parent);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setFileMode(several ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    dialog.setDirectory(QString::fromStdString(paths::homePath()));
    dialog.setLabelText(QFileDialog::Accept, prompt);
    dialog.setWindowTitle(prompt);
    if (several)
        for (auto* view : dialog.findChildren<QAbstractItemView*>())
            if (qobject_cast<QListView*>(view) || qobject_cast<QTreeView*>(view))
                view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

} // namespace tessaly
