#include "app/KeyboardAccess.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QRadioButton>
#include <QWidget>

namespace tessaly {

namespace {

class ReturnPressesButtons : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress)
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
            return false;
        if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier || key->isAutoRepeat())
            return false;
        auto* button = qobject_cast<QAbstractButton*>(watched);
        if (!button || qobject_cast<QCheckBox*>(button) || qobject_cast<QRadioButton*>(button) ||
            qobject_cast<QDialog*>(button->window()) || !button->isEnabled() ||
            !button->isVisible())
            return false;
        button->animateClick();
        return true;
    }
};

} // namespace

void installReturnPressesButtons(QCoreApplication& app) {
    const char* name = "ReturnPressesButtons";
    if (app.findChild<QObject*>(name, Qt::FindDirectChildrenOnly))
        return;
    auto* filter = new ReturnPressesButtons(&app);
    filter->setObjectName(name);
    app.installEventFilter(filter);
}

void addCloseKeys(QWidget* window) {
    auto* close = new QAction("Close", window);
    close->setObjectName("CloseWindowAction");
    QList<QKeySequence> keys = QKeySequence::keyBindings(QKeySequence::Close);
    for (const QKeySequence& k : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)})
        if (!keys.contains(k))
            keys << k;
    close->setShortcuts(keys);
    close->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(close, &QAction::triggered, window, &QWidget::close);
    window->addAction(close);
}

} // namespace tessaly
