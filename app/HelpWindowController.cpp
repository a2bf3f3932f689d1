#include "app/HelpWindowController.h"

#include "app/Artwork.h"
#include "app/KeyboardAccess.h"
#include "platform/Paths.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QStackedLayout>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace tessaly {

HelpWindowController::HelpWindowController(QWidget* parent)
    : QWidget(parent, Qt::Window), pagePath_(defaultPagePath()) {
    setObjectName("HelpWindow");
    setWindowTitle("Tessaly Help");
    setWindowIcon(artwork::icon("tessaly"));
    resize(720, 560);
    addCloseKeys(this);

    page_ = new QTextBrowser(this);
    page_->setObjectName("HelpPage");
    page_->setOpenExternalLinks(true);
    page_->setFrameShape(QFrame::NoFrame);
    page_->document()->setDocumentMargin(24);
    page_->hide();
    loadingMark_ = new QLabel("Loading…", this);
    loadingMark_->setObjectName("Headline");
    loadingMark_->setAlignment(Qt::AlignCenter);
    loadingMark_->hide();
    warning_ = new QLabel("Help page load failed", this);
    warning_->setObjectName("HelpWarning");
    warning_->setAlignment(Qt::AlignCenter);
    warning_->hide();
    reloadButton_ = new QPushButton("Reload", this);
    reloadButton_->setObjectName("PrimaryButton");
    reloadButton_->hide();
    connect(reloadButton_, &QPushButton::clicked, this, [this] { onReload(); });

    auto* status = new QWidget(this);
    auto* statusLayout = new QVBoxLayout(status);
    statusLayout->addStretch(1);
    statusLayout->addWidget(loadingMark_);
    statusLayout->addWidget(warning_);
    statusLayout->addWidget(reloadButton_, 0, Qt::AlignHCenter);
    statusLayout->addStretch(1);
    stack_ = new QStackedLayout(this);
    stack_->addWidget(status);
    stack_->addWidget(page_);
}

QString HelpWindowController::defaultPagePath() {
    return QString::fromStdString(paths::join(paths::resourcesDir(), "help/index.html"));
}

void HelpWindowController::reload() {
    if (loaded_ || loading_)
        return;
    loading_ = true;
    warning_->hide();
    reloadButton_->hide();
    loadingMark_->show();
    // Loaded from the event loop, so that the window and its loading mark show first.
    QTimer::singleShot(0, this, [this] { load(); });
}

void HelpWindowController::onReload() {
    reload();
}

void HelpWindowController::load() {
    loading_ = false;
    loadingMark_->hide();
    QFile file(pagePath_);
    bool ok = file.open(QIODevice::ReadOnly);
    QByteArray html = ok ? file.readAll() : QByteArray();
    ok = ok && !html.isEmpty();
    if (ok) {
        page_->setSearchPaths({QFileInfo(pagePath_).absolutePath()});
        page_->setHtml(QString::fromUtf8(html));
        page_->show();
        stack_->setCurrentWidget(page_);
        loaded_ = true;
    } else {
        page_->hide();
        stack_->setCurrentIndex(0);
        warning_->show();
        reloadButton_->show();
    }
    emit loadFinished(ok);
}

} // namespace tessaly
