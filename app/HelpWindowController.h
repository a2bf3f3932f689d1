#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class QStackedLayout;
class QTextBrowser;

namespace tessaly {

// The help window: the support page in a text browser, a loading mark while it
// loads, and "Help page load failed" with a reload button when it cannot load.
class HelpWindowController : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindowController(QWidget* parent = nullptr);

    // Loads the page unless a load has finished already.
    void reload();
    void onReload();

    // The page shipped among the resources ("help/index.html").
    static QString defaultPagePath();
    void setPagePath(const QString& path) { pagePath_ = path; }
    QString pagePath() const { return pagePath_; }

    bool loaded() const { return loaded_; }
    bool loading() const { return loading_; }
    QTextBrowser* page() const { return page_; }
    QLabel* warning() const { return warning_; }
    QPushButton* reloadButton() const { return reloadButton_; }
    QLabel* loadingMark() const { return loadingMark_; }

signals:
    void loadFinished(bool ok);

private:
    void load();

    QString pagePath_;
    bool loaded_ = false;
    bool loading_ = false;
    QTextBrowser* page_;
    QLabel* loadingMark_;
    QLabel* warning_;
    QPushButton* reloadButton_;
    QStackedLayout* stack_;
};

} // namespace tessaly
