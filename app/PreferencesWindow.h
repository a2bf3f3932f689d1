#pragma once

#include <QWidget>

namespace tessaly {

// The preferences window. Its settings come in a later version; until then it
// says so.
class PreferencesWindow : public QWidget {
    Q_OBJECT
public:
    explicit PreferencesWindow(QWidget* parent = nullptr);
};

} // namespace tessaly
