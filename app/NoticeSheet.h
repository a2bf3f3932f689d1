#pragma once

#include <QDialog>

class QLabel;

namespace tessaly {

// A window-modal notice of 420 by 153 centred on its parent window: warning
// icon, title, text and one "Cancel" button. It deletes itself when closed.
class NoticeSheet : public QDialog {
    Q_OBJECT
public:
    NoticeSheet(const QString& title, const QString& text, QWidget* parent);

    QString title() const;
    QString text() const;

    // Places a sheet in the middle of its parent's window.
    static void centreOnWindow(QWidget* sheet);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* title_;
    QLabel* text_;
};

} // namespace tessaly
