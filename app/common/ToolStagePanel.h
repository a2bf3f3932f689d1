#pragma once

#include <QString>
#include <QWidget>
#include <vector>

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace tessaly {

// The idle panel of a tool: its badge, title, description, a prompt line such as
// Push "Scan" to start scan, a place for a tool-specific widget (the folder list,
// for instance) and the big scan button.
class ToolStagePanel : public QWidget {
    Q_OBJECT
public:
    // One piece of the prompt line; emphasised pieces are drawn bold.
    struct PromptPart {
        QString text;
        bool emphasis = false;
    };

    explicit ToolStagePanel(QWidget* parent = nullptr);

    void setBadge(const QString& imageName);
    void setTitle(const QString& title);
    void setDescription(const QString& text);
    void setPrompt(const std::vector<PromptPart>& parts);
    void setScanText(const QString& text);
    // Puts the widget under the texts (the panel takes ownership); a later call
    // replaces the previous one.
    void setAccessory(QWidget* widget);

    QString title() const;
    QString description() const;
    QString promptText() const; // the pieces joined by spaces, without markup
    QPushButton* scanButton() const { return scan_; }
    QWidget* accessory() const { return accessory_; }

signals:
    void scanClicked();

private:
    QLabel* badge_;
    QLabel* title_;
    QLabel* description_;
    QLabel* prompt_;
    QPushButton* scan_;
    QVBoxLayout* accessoryLayout_;
    QWidget* accessory_ = nullptr;
    std::vector<PromptPart> parts_;
};

} // namespace tessaly
