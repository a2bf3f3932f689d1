#pragma once

#include <QWidget>

class QListWidget;
class QPushButton;

namespace tessaly {

// The Kept pane: the paths no tool lists, nor removes with a folder holding them
// (the setting "Keep_Path"). "Add…" picks a folder, the remove button takes the
// selected rows out; every change is stored at once.
class KeptPathsPane : public QWidget {
    Q_OBJECT
public:
    explicit KeptPathsPane(QWidget* parent = nullptr);

    QListWidget* list() const { return list_; }
    // Adds a path (not twice); false when the setting could not be stored.
    bool addPath(const QString& path);
    // Takes the selected rows out of the list.
    bool removeSelected();

private:
    void reload();
    bool store(const std::vector<std::string>& paths);

    QListWidget* list_;
    QPushButton* remove_;
};

} // namespace tessaly
