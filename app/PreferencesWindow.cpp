#include "app/PreferencesWindow.h"

#include "app/KeyboardAccess.h"
#include "model/CleanRecord.h"
#include "platform/UserDefaults.h"

#include <QCheckBox>
#include <QLabel>
#include <QVBoxLayout>

namespace tessaly {

PreferencesWindow::PreferencesWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("PreferencesWindow");
    setWindowTitle("Preferences");
    resize(480, 260);
    addCloseKeys(this);
    auto* title = new QLabel("Preferences", this);
    title->setObjectName("ScreenTitle");
    ask_ = new QCheckBox("Ask before cleaning or removing files", this);
    connect(ask_, &QCheckBox::toggled, this,
            [](bool ask) { setAskBeforeCleaning(UserDefaults::standardUserDefaults(), ask); });
    auto* line = new QLabel("More preferences come in a later version of Tessaly.", this);
    line->setObjectName("Headline");
    line->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 24, 28, 24);
    layout->addWidget(title);
    layout->addWidget(ask_);
    layout->addWidget(line);
    layout->addStretch(1);
}

void PreferencesWindow::showEvent(QShowEvent* event) {
    // The choice may have changed in a confirmation since the window was last shown.
    const QSignalBlocker quiet(ask_);
    ask_->setChecked(askBeforeCleaning(UserDefaults::standardUserDefaults()));
    QWidget::showEvent(event);
}

} // namespace tessaly
