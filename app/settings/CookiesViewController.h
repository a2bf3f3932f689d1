#pragma once

#include <QWidget>

#include <string>
#include <vector>

class QListWidget;
class QPushButton;

namespace tessaly {

class SettingModel;

// The Cookies pane: the sites whose cookies a Browser Cleanup deletes and those
// it keeps, with buttons that move the selected sites between the two.
class CookiesViewController : public QWidget {
    Q_OBJECT
public:
    CookiesViewController(SettingModel& settings, const std::vector<std::string>& allCookie,
                          QWidget* parent = nullptr);

    QListWidget* deleteList() const { return deleteList_; }
    QListWidget* keepList() const { return keepList_; }
    QPushButton* keepButton() const { return left_; }
    QPushButton* deleteButton() const { return right_; }
    const std::vector<std::string>& cookie() const { return cookie_; }

    void onLeft();
    void onRight();

private:
    void reload();
    void store();

    SettingModel& settings_;
    std::vector<std::string> cookie_;
    QListWidget* deleteList_;
    QListWidget* keepList_;
    QPushButton* left_;
    QPushButton* right_;
};

} // namespace tessaly
