#include "app/common/FolderListPicker.h"

#include "ScanCode/duplicate/FolderList.h"
#include "app/Artwork.h"
#include "app/common/ElidedLabel.h"
#include "app/common/FileOrFolderDialog.h"
#include "app/common/ItemIcon.h"
#include "platform/Paths.h"

#include <QAbstractItemView>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

namespace tessaly {

namespace {

// Absolute, without "." and ".." steps or a trailing slash.
QString normalised(const QString& path) {
    return path.isEmpty() ? path : QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace

FolderListPicker::FolderListPicker(QWidget* parent) : QWidget(parent) {
    setObjectName("FolderListPicker");
    setAcceptDrops(true);
    list_ = new QListWidget(this);
    list_->setObjectName("FilesList");
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    list_->setAcceptDrops(false); // drops land on the picker itself
    add_ = new QPushButton("Add Folder...", this);
    clear_ = new QPushButton("Clear List", this);
    dropHint_ = new QLabel("Drop files and folders here", list_);
    dropHint_->setObjectName("DropHint");
    dropHint_->setAlignment(Qt::AlignCenter);
    dropHint_->hide();
    connect(add_, &QPushButton::clicked, this, &FolderListPicker::openSheet);
    connect(clear_, &QPushButton::clicked, this, &FolderListPicker::clearList);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add_);
    buttons->addWidget(clear_);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);
    rebuild();
}

void FolderListPicker::setFilesMode(bool files) {
    filesMode_ = files;
    add_->setText(files ? "Add Files" : "Add Folder...");
    rebuild();
}

bool FolderListPicker::takes(const QString& path) const {
    const QFileInfo info(path);
    return filesMode_ ? info.exists() || info.isSymLink() : info.isDir();
}

std::vector<std::string> FolderListPicker::foldersToScan() const {
    std::vector<std::string> out;
    for (const QString& f : folders_) {
        const QString real = QFileInfo(f).canonicalFilePath();
        out.push_back((real.isEmpty() ? f : real).toStdString());
    }
    return cleanFolderList(out);
}

void FolderListPicker::setFolders(const QStringList& paths) {
    folders_.clear();
    for (const QString& p : paths) {
        QString n = normalised(p);
        if (!n.isEmpty() && !folders_.contains(n))
            folders_ << n;
    }
    rebuild();
    emit changed();
}

int FolderListPicker::addFolders(const QStringList& paths) {
    int added = 0;
    for (const QString& p : paths) {
        QString n = normalised(p);
        if (n.isEmpty() || folders_.contains(n) || !takes(n))
            continue;
        folders_ << n;
        ++added;
    }
    if (added) {
        rebuild();
        emit changed();
    }
    return added;
}

void FolderListPicker::removeFolder(int row) {
    if (row < 0 || row >= folders_.size())
        return;
    folders_.removeAt(row);
    rebuild();
    emit changed();
}

void FolderListPicker::clearList() {
    if (folders_.isEmpty())
        return;
    folders_.clear();
    rebuild();
    emit changed();
}

void FolderListPicker::rebuild() {
    list_->clear();
    for (int i = 0; i < folders_.size(); ++i) {
        const QString& path = folders_[i];
        auto* item = new QListWidgetItem(list_);
        item->setData(Qt::UserRole, path);
        auto* row = new QWidget(list_);
        auto* icon = new QLabel(row);
        if (QFileInfo(path).isDir())
            icon->setPixmap(artwork::pixmap("folder-icon", 20));
        else
            icon->setPixmap(itemIcon(path).pixmap(20, 20));
        auto* label =
            new ElidedLabel(row); // a long path is cut in the middle, whole in its tooltip
        label->setFullText(path);
        auto* remove = new QToolButton(row);
        remove->setObjectName("RemoveFolderButton");
        remove->setIcon(artwork::icon("remove-row"));
        remove->setToolTip("Remove");
        remove->setAccessibleName("Remove " + path);
        remove->setAutoRaise(true);
        connect(remove, &QToolButton::clicked, this,
                [this, path] { removeFolder(static_cast<int>(folders_.indexOf(path))); });
        auto* l = new QHBoxLayout(row);
        l->setContentsMargins(6, 2, 6, 2);
        l->addWidget(icon);
        l->addWidget(label, 1);
        l->addWidget(remove);
        item->setSizeHint(row->sizeHint());
        list_->setItemWidget(item, row);
    }
    clear_->setEnabled(!folders_.isEmpty());
    dropHint_->setVisible(filesMode_ && folders_.isEmpty());
    dropHint_->resize(list_->size());
}

void FolderListPicker::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    dropHint_->resize(list_->size());
}

void FolderListPicker::openSheet() {
    const QStringList chosen = chooser_     ? chooser_(this)
                               : filesMode_ ? chooseFilesOrFolders(this, "Add", true)
                                            : chooseWithDialog(this);
    addFolders(chosen);
}

bool FolderListPicker::requireFolders() {
    if (!folders_.isEmpty())
        return true;
    openSheet();
    return false;
}

void FolderListPicker::setFolderChooser(FolderChooser chooser) {
    chooser_ = std::move(chooser);
}

QStringList FolderListPicker::chooseWithDialog(QWidget* parent) {
    QFileDialog dialog(parent);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    // The platform dialogs choose one folder at a time; the own dialog lets the
    // user pick several.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setDirectory(QString::fromStdString(paths::homePath()));
    dialog.setLabelText(QFileDialog::Accept, "Add");
    dialog.setWindowTitle("Add");
    for (auto* view : dialog.findChildren<QAbstractItemView*>())
        if (qobject_cast<QListView*>(view) || qobject_cast<QTreeView*>(view))
            view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

QStringList FolderListPicker::dropped(const QMimeData* mime) const {
    QStringList paths;
    if (!mime || !mime->hasUrls())
        return paths;
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile() && takes(url.toLocalFile()))
            paths << url.toLocalFile();
    return paths;
}

void FolderListPicker::dragEnterEvent(QDragEnterEvent* event) {
    if (!dropped(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void FolderListPicker::dropEvent(QDropEvent* event) {
    const QStringList paths = dropped(event->mimeData());
    if (paths.isEmpty())
        return;
    addFolders(paths);
    event->acceptProposedAction();
}

} // namespace tessaly
