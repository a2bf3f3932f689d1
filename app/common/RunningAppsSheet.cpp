#include "app/common/RunningAppsSheet.h"

#include "app/Artwork.h"
#include "app/NoticeSheet.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <numeric>

namespace tessaly {

RunningAppsSheet::RunningAppsSheet(const QString& title, const QString& text, std::vector<App> apps,
                                   QWidget* parent)
    : QDialog(parent, Qt::Sheet | Qt::FramelessWindowHint), apps_(std::move(apps)),
      listed_(apps_.size()) {
    setObjectName("RunningAppsSheet");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::WindowModal);
    setWindowTitle(title);
    setMinimumWidth(440);
    std::iota(listed_.begin(), listed_.end(), 0);

    auto* icon = new QLabel(this);
    icon->setPixmap(artwork::pixmap("iconWarning", 48));
    icon->setAlignment(Qt::AlignTop);
    title_ = new QLabel(title, this);
    title_->setObjectName("NoticeTitle");
    title_->setWordWrap(true);
    text_ = new QLabel(text, this);
    text_->setObjectName("NoticeText");
    text_->setWordWrap(true);
    rows_ = new QVBoxLayout;
    rows_->setSpacing(4);
    auto* quitAll = new QPushButton("Quit All", this);
    quitAll->setObjectName("SecondaryButton");
    connect(quitAll, &QPushButton::clicked, this, &RunningAppsSheet::quitAll);
    auto* cont = new QPushButton("Continue", this);
    cont->setObjectName("PrimaryButton");
    cont->setDefault(true);
    connect(cont, &QPushButton::clicked, this, &RunningAppsSheet::continueWithout);

    auto* texts = new QVBoxLayout;
    texts->addWidget(title_);
    texts->addWidget(text_);
    texts->addLayout(rows_);
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addLayout(texts, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(quitAll);
    buttons->addWidget(cont);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 16, 20, 14);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);
    rebuildRows();
}

void RunningAppsSheet::rebuildRows() {
    while (QLayoutItem* item = rows_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (std::size_t row = 0; row < listed_.size(); ++row) {
        auto* w = new QWidget(this);
        auto* l = new QHBoxLayout(w);
        l->setContentsMargins(0, 0, 0, 0);
        auto* name = new QLabel(apps_[static_cast<std::size_t>(listed_[row])].name, w);
        auto* quit = new QPushButton("Quit", w);
        quit->setObjectName("SecondaryButton");
        connect(quit, &QPushButton::clicked, this, [this, row] { quitRow(static_cast<int>(row)); });
        l->addWidget(name, 1);
        l->addWidget(quit);
        rows_->addWidget(w);
    }
}

void RunningAppsSheet::quitRow(int row) {
    if (row < 0 || row >= static_cast<int>(listed_.size()))
        return;
    const auto at = listed_.begin() + row;
    if (const App& app = apps_[static_cast<std::size_t>(*at)]; app.quit)
        app.quit();
    listed_.erase(at);
    rebuildRows();
}

void RunningAppsSheet::quitAll() {
    for (int i : listed_)
        if (const App& app = apps_[static_cast<std::size_t>(i)]; app.quit)
            app.quit();
    emit closedWith(true);
    close();
}

void RunningAppsSheet::continueWithout() {
    emit closedWith(false);
    close();
}

QString RunningAppsSheet::title() const {
    return title_->text();
}

QString RunningAppsSheet::text() const {
    return text_->text();
}

QStringList RunningAppsSheet::names() const {
    QStringList out;
    for (int i : listed_)
        out << apps_[static_cast<std::size_t>(i)].name;
    return out;
}

std::vector<int> RunningAppsSheet::listed() const {
    return listed_;
}

void RunningAppsSheet::showEvent(QShowEvent* event) {
    NoticeSheet::centreOnWindow(this);
    QDialog::showEvent(event);
}

} // namespace tessaly
