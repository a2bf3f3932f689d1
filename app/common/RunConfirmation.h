#pragma once

#include <QDialog>
#include <cstdint>

class QCheckBox;
class QLabel;
class QPushButton;

namespace tessaly {

// The last word before a run that deletes: it names how many items and how much
// ("Remove 12 items, 103.0 MB? This cannot be undone."), offers Cancel and the
// run's own button, and a box to stop asking (the setting askBeforeCleaning).
// Cancel is the default button and has the focus, so that a stray Return never
// deletes anything; Return on the run's button, once the user moved to it, runs.
class RunConfirmation : public QDialog {
    Q_OBJECT
public:
    // verb: the run button's text ("Remove", "Clean"); bytes 0 leaves the size out.
    RunConfirmation(const QString& verb, std::int64_t count, std::int64_t bytes,
                    QWidget* parent = nullptr);

    static QString question(const QString& verb, std::int64_t count, std::int64_t bytes);

    QString text() const;
    QPushButton* confirmButton() const { return confirm_; }
    QPushButton* cancelButton() const { return cancel_; }
    QCheckBox* stopAskingBox() const { return stopAsking_; }

    // Accepting with the box ticked stores that cleans no longer ask.
    void accept() override;

private:
    QLabel* text_;
    QCheckBox* stopAsking_;
    QPushButton* cancel_;
    QPushButton* confirm_;
};

} // namespace tessaly
