#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace tessaly {

// A window-modal notice of 420 by 153 centred on its parent window: warning
// icon, title, text and a "Cancel" button, and for a notice that asks before
// going on, a button that accepts ("Continue"). Cancel stays the default, so that
// a stray Return goes nowhere. It deletes itself when closed.
class NoticeSheet : public QDialog {
    Q_OBJECT
public:
    NoticeSheet(const QString& title, const QString& text, QWidget* parent,
                const QString& confirm = QString());

    QString title() const;
    QString text() const;
    QPushButton* confirmButton() const { return confirm_; }
    QPushButton* cancelButton() const { return cancel_; }

    // Places a sheet in the middle of its parent's window.
    static void centreOnWindow(QWidget* sheet);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* title_;
    QLabel* text_;
    QPushButton* confirm_ = nullptr;
    QPushButton* cancel_;
};

} // namespace tessaly
