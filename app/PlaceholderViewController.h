#pragma once

#include "app/ToolBaseViewController.h"

class QLabel;
class QListWidget;

namespace tessaly {

// The screen of a tool that this version does not have yet: its title, a line
// saying it comes in a later version, and the paths handed over to it.
class PlaceholderViewController : public ToolBaseViewController {
    Q_OBJECT
public:
    PlaceholderViewController(AppDelegate* delegate, std::int64_t index, QWidget* parent);

    QWidget* getTopView() override { return top_; }
    QWidget* getBottomView() override { return bottom_; }
    void addFiles(const QStringList& paths) override;

    QString title() const;
    QString notice() const;
    QString catalogueText() const;
    const QStringList& files() const { return files_; }
    int startCount() const { return starts_; }
    int exitCount() const { return exits_; }
    void start() override { ++starts_; }
    void exit() override { ++exits_; }

private:
    void showCatalogueCount();

    QWidget* top_;
    QWidget* bottom_;
    QLabel* title_;
    QLabel* notice_;
    QLabel* catalogue_ = nullptr; // the Uninstaller's count of installed applications
    QLabel* filesTitle_;
    QListWidget* filesList_;
    QStringList files_;
    int starts_ = 0;
    int exits_ = 0;
};

} // namespace tessaly
