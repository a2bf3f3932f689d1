#pragma once

#include <QLabel>

namespace tessaly {

// A one-line label for texts that may be longer than its room (paths): it shows
// the text cut in the middle with an ellipsis when it must, and then offers the
// whole text as its tooltip. It never asks for more width than a few characters.
class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    void setFullText(const QString& text);
    QString fullText() const { return full_; }
    bool isElided() const;

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void refresh();

    QString full_;
};

} // namespace tessaly
