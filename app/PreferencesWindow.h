#pragma once

#include <QWidget>

class QCheckBox;

namespace tessaly {

// The preferences window: whether a clean asks before it deletes. The other
// settings come in a later version, and it says so.
class PreferencesWindow : public QWidget {
    Q_OBJECT
public:
    explicit PreferencesWindow(QWidget* parent = nullptr);

    QCheckBox* askBeforeCleaningBox() const { return ask_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QCheckBox* ask_;
};

} // namespace tessaly
