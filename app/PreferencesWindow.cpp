#include "app/PreferencesWindow.h"

#include <QLabel>
#include <QVBoxLayout>

namespace tessaly {

PreferencesWindow::PreferencesWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("PreferencesWindow");
    setWindowTitle("Preferences");
    resize(480, 260);
    auto* title = new QLabel("Preferences", this);
    title->setObjectName("ScreenTitle");
    auto* line = new QLabel("Preferences come in a later version of Tessaly.", this);
    line->setObjectName("Headline");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 24, 28, 24);
    layout->addWidget(title);
    layout->addWidget(line);
    layout->addStretch(1);
}

} // namespace tessaly
