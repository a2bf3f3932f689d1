#pragma once

#include <QComboBox>

namespace tessaly {

// A drop-down whose name for assistive technology is its own (setAccessibleName)
// and whose choice is its value: the plain box is named after its current text
// ("Size"), which does not say what the box chooses ("Sort by").
class NamedComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit NamedComboBox(const QString& name, QWidget* parent = nullptr);
};

} // namespace tessaly
