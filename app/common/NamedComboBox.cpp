#include "app/common/NamedComboBox.h"

#include <QAccessibleWidget>

namespace tessaly {

namespace {

class NamedComboAccessible : public QAccessibleWidget {
public:
    explicit NamedComboAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override {
        auto* box = static_cast<QComboBox*>(widget());
        if (t == QAccessible::Name)
            return box->accessibleName();
        if (t == QAccessible::Value)
            return box->currentText();
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override {
        return QAccessibleWidget::actionNames() << showMenuAction();
    }
    void doAction(const QString& action) override {
        if (action == showMenuAction())
            static_cast<QComboBox*>(widget())->showPopup();
        else
            QAccessibleWidget::doAction(action);
    }
};

QAccessibleInterface* namedComboFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("tessaly::NamedComboBox") && object && object->isWidgetType())
        return new NamedComboAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

} // namespace

NamedComboBox::NamedComboBox(const QString& name, QWidget* parent) : QComboBox(parent) {
    static const bool installed = [] {
        QAccessible::installFactory(namedComboFactory);
        return true;
    }();
    (void)installed;
    setAccessibleName(name);
}

} // namespace tessaly
