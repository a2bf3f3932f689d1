#include "app/ToolBaseViewController.h"

#include "app/AppDelegate.h"
#include "app/NoticeSheet.h"
#include "model/LayoutWording.h"
#include "model/ToolIndex.h"

#include <QHBoxLayout>
#include <QLabel>

namespace tessaly {

ToolBaseViewController::ToolBaseViewController(AppDelegate* d, std::int64_t i, QWidget* parent)
    : QWidget(parent), delegate(d), index(i) {}

// A notice shown over the screen itself (a screen without a window of its own)
// goes with it; it must not reach back into a screen that is being destroyed.
ToolBaseViewController::~ToolBaseViewController() {
    if (notice_)
        disconnect(notice_, nullptr, this, nullptr);
}

void ToolBaseViewController::showAlert(const QString& message, const QString& title) {
    if (notice_)
        notice_->close();
    QWidget* host = delegate ? static_cast<QWidget*>(delegate) : window();
    notice_ = new NoticeSheet(title, message, host);
    connect(notice_, &QObject::destroyed, this, [this, n = notice_] {
        if (notice_ == n)
            notice_ = nullptr;
    });
    notice_->open();
}

void ToolBaseViewController::showMemoryAlert() {
    showAlert("Memeory is freeing, do other task will become every slow", "Notice");
}

void ToolBaseViewController::showScanAlert() {
    showAlert("File is scaning or cleaning, memory free will make app become every slow", "Notice");
}

void ToolBaseViewController::showAlertMessage() {
    showAlert(QString::fromStdString(
                  forLayout("Standbox limit, Please must be select Macintosh HD to continue!")),
              "Select file to continue");
}

bool ToolBaseViewController::mayStartWork() {
    if (!delegate)
        return true;
    if (index == tool::MemoryOptimization) {
        if (delegate->isDoingWork()) {
            showScanAlert();
            return false;
        }
        return true;
    }
    if (delegate->isDoingMemory()) {
        showMemoryAlert();
        return false;
    }
    return true;
}

NoticeSheet* ToolBaseViewController::currentNotice() const {
    return notice_;
}

QWidget* ToolBaseViewController::makeTopView(const QString& title) {
    auto* top = new QWidget(this); // moved into the top bar when shown
    top->hide();
    auto* label = new QLabel(title, top);
    label->setObjectName("BarTitle");
    auto* layout = new QHBoxLayout(top);
    layout->setContentsMargins(28, 0, 28, 0);
    layout->addWidget(label);
    layout->addStretch(1);
    return top;
}

} // namespace tessaly
