#include "app/PlaceholderViewController.h"

#include "ScanCode/uninstall/SearchApplications.h"
#include "app/Artwork.h"
#include "model/LayoutWording.h"
#include "model/ToolIndex.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace tessaly {

PlaceholderViewController::PlaceholderViewController(AppDelegate* d, std::int64_t i,
                                                     QWidget* parent)
    : ToolBaseViewController(d, i, parent) {
    const ToolInfo* info = toolInfo(i);
    const QString name = QString::fromUtf8(info->title);
    setObjectName(QString("Screen-%1").arg(QString::fromUtf8(info->commandName)));

    top_ = makeTopView(name);

    auto* icon = new QLabel(this);
    icon->setPixmap(artwork::pixmap(QString::fromUtf8(info->sidebarNormal) + "-badge", 72));
    icon->setAlignment(Qt::AlignCenter);
    title_ = new QLabel(name, this);
    title_->setObjectName("ScreenTitle");
    title_->setAlignment(Qt::AlignCenter);
    notice_ = new QLabel(QString("%1 comes in a later version of Tessaly.").arg(name), this);
    notice_->setObjectName("Headline");
    notice_->setAlignment(Qt::AlignCenter);
    notice_->setWordWrap(true);
    filesTitle_ = new QLabel("Handed over to this tool:", this);
    filesTitle_->setObjectName("FilesTitle");
    filesList_ = new QListWidget(this);
    filesList_->setObjectName("FilesList");
    filesTitle_->hide();
    filesList_->hide();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(40, 30, 40, 20);
    layout->addStretch(1);
    layout->addWidget(icon);
    layout->addWidget(title_);
    layout->addWidget(notice_);
    if (i == tool::Uninstaller) {
        // The application catalogue is built at start-up; its count shows once it is complete.
        catalogue_ = new QLabel("Looking for installed applications...", this);
        catalogue_->setObjectName("BottomHint");
        catalogue_->setAlignment(Qt::AlignCenter);
        layout->addWidget(catalogue_);
        auto* poll = new QTimer(this);
        poll->setInterval(400);
        connect(poll, &QTimer::timeout, this, [this, poll] {
            if (!SearchApplications::shareSearchApplications().done())
                return;
            poll->stop();
            showCatalogueCount();
        });
        poll->start();
        if (SearchApplications::shareSearchApplications().done())
            showCatalogueCount();
    }
    layout->addSpacing(12);
    layout->addWidget(filesTitle_);
    layout->addWidget(filesList_, 1);
    layout->addStretch(1);

    bottom_ = new QWidget(this); // moved into the bottom bar when shown
    bottom_->hide();
    auto* hint = new QLabel(QString::fromStdString(forLayout(info->homeDescription)), bottom_);
    hint->setObjectName("BottomHint");
    auto* bottomLayout = new QHBoxLayout(bottom_);
    bottomLayout->setContentsMargins(28, 0, 28, 0);
    bottomLayout->addWidget(hint);
    bottomLayout->addStretch(1);
}

void PlaceholderViewController::addFiles(const QStringList& paths) {
    for (const QString& p : paths)
        if (!files_.contains(p)) {
            files_ << p;
            filesList_->addItem(p);
        }
    filesTitle_->setVisible(!files_.isEmpty());
    filesList_->setVisible(!files_.isEmpty());
}

QString PlaceholderViewController::title() const {
    return title_->text();
}

QString PlaceholderViewController::notice() const {
    return notice_->text();
}

QString PlaceholderViewController::catalogueText() const {
    return catalogue_ ? catalogue_->text() : QString();
}

void PlaceholderViewController::showCatalogueCount() {
    const auto& engine = SearchApplications::shareSearchApplications();
    catalogue_->setText(QString("%1 installed applications found, %2 of them removable.")
                            .arg(engine.allApplications().size())
                            .arg(engine.allApplicationsForUninstall().size()));
}

} // namespace tessaly
