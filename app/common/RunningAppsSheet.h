#pragma once

#include <QDialog>
#include <functional>
#include <vector>

class QLabel;
class QVBoxLayout;

namespace tessaly {

// The window-modal sheet that lists running applications before a tool works on
// their files: each row has a "Quit" button (asks that application to quit and
// drops its row), "Quit All" asks every listed one and closes the sheet,
// "Continue" closes it without asking. Quitting is a polite request; nothing
// waits for an application to end. The sheet deletes itself when closed.
class RunningAppsSheet : public QDialog {
    Q_OBJECT
public:
    struct App {
        QString name;
        std::function<void()> quit; // asks the application to quit
    };

    RunningAppsSheet(const QString& title, const QString& text, std::vector<App> apps,
                     QWidget* parent);

    // The user's actions.
    void quitRow(int row);
    void quitAll();
    void continueWithout();

    QString title() const;
    QString text() const;
    // The names still listed, and their positions in the list the sheet was given.
    QStringList names() const;
    std::vector<int> listed() const;

signals:
    // The sheet closed: through "Quit All" (quitAll true) or "Continue".
    void closedWith(bool quitAll);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void rebuildRows();

    std::vector<App> apps_;
    std::vector<int> listed_;
    QLabel* title_;
    QLabel* text_;
    QVBoxLayout* rows_;
};

} // namespace tessaly
