#include "app/HomeViewController.h"

#include "app/AppDelegate.h"
#include "app/Artwork.h"
#include "app/SoundPlayer.h"
#include "model/CleanFinish.h"
#include "model/CommonFunction.h"
#include "model/Function.h"
#include "model/HomeAdvice.h"
#include "model/LayoutWording.h"
#include "model/SettingKeys.h"
#include "model/SettingModel.h"
#include "model/ToolIndex.h"
#include "platform/UserDefaults.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>

namespace tessaly {

HomeViewController::HomeViewController(AppDelegate* d, QWidget* parent)
    : ToolBaseViewController(d, tool::Home, parent) {
    setObjectName("HomeViewController");

    // Built once per launch.
    HomeAdvice advice = loadHomeAdvice(UserDefaults::standardUserDefaults(),
                                       Function::shareMemoryFunction().memoryData(), now());
    SettingModel::shareSettingModel().firstRun = advice.firstRun;
    datas_ = advice.datas;
    showInfo_ = advice.showInfo;
    bFirst_ = advice.firstRun;

    top_ = makeTopView(kHomeTitle);
    top_->setObjectName("HomeTop");

    // The page scrolls when the window is too short for it.
    auto* body = new QWidget;
    body->setObjectName("HomeBody");
    auto* welcome = new QLabel(kHomeWelcomeTitle, body);
    welcome->setObjectName("ScreenTitle");
    headline_ = new QLabel(QString::fromStdString(advice.headline), body);
    headline_->setObjectName("Headline");
    headline_->setWordWrap(true);
    rowsLayout_ = new QVBoxLayout;
    rowsLayout_->setSpacing(10);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(28, 20, 28, 16);
    layout->setSpacing(10);
    layout->addWidget(welcome);
    layout->addWidget(headline_);
    layout->addSpacing(8);
    layout->addLayout(rowsLayout_);
    layout->addStretch(1);
    layout->addWidget(continueLabel_ = new QLabel(kContinueLine, body));
    continueLabel_->setAlignment(Qt::AlignRight);
    continueLabel_->setWordWrap(true);
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName("HomeScroll");
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(body);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);
    continueLabel_->setObjectName("ContinueLine");

    bottom_ = new QWidget(this); // moved into the bottom bar when shown
    bottom_->hide();
    bottom_->setObjectName("HomeBottom");
    summaryLabel_ = new QLabel(
        "Cleaned:  " + QString::fromStdString(CommonFunction::getSizeString(0)), bottom_);
    summaryLabel_->setObjectName("Summary");
    continueButton_ = new QPushButton("conitune", bottom_);
    continueButton_->setObjectName("PrimaryButton");
    continueButton_->setCursor(Qt::PointingHandCursor);
    connect(continueButton_, &QPushButton::clicked, this, [this] { onContinue(); });
    auto* bottomLayout = new QHBoxLayout(bottom_);
    bottomLayout->setContentsMargins(28, 0, 28, 0);
    bottomLayout->addWidget(summaryLabel_);
    bottomLayout->addStretch(1);
    bottomLayout->addWidget(continueButton_);

    reloadRows();

    auto& center = NotificationCenter::defaultCenter();
    cleanFinish_ = ObserverToken(
        center, center.addObserver(cleanFinishNotification,
                                   [this](const Notification& n) { toolCleanFinish(n); }));
}

void HomeViewController::start() {
    canSelect_ = true;
}

void HomeViewController::reloadRows() {
    for (HomeRowView* v : rowViews_)
        delete v;
    rowViews_.clear();
    for (std::size_t i = 0; i < datas_.size(); ++i) {
        auto* v = new HomeRowView(datas_[i], showInfo_, headline_->parentWidget());
        connect(v, &HomeRowView::clicked, this, [this, i] { clickRow(static_cast<int>(i)); });
        rowsLayout_->addWidget(v);
        rowViews_.push_back(v);
    }
}

void HomeViewController::clickRow(int position) {
    if (!canSelect_ || position < 0 || static_cast<std::size_t>(position) >= datas_.size())
        return;
    canSelect_ = false;
    SoundPlayer::player().playLittleButtonSound();
    if (delegate)
        delegate->startTool(datas_[static_cast<std::size_t>(position)].tool);
}

void HomeViewController::onContinue() {
    datas_ = continueRows();
    reloadRows();
}

void HomeViewController::toolCleanFinish(const Notification& note) {
    const Date when = now();
    if (auto info = std::any_cast<CleanFinishInfo>(&note.object)) {
        // Every tool's clean counts in the summary, recommended or not.
        summary_.add(info->tool, info->result);
        if (auto line = summary_.line())
            summaryLabel_->setText(QString::fromStdString(*line));
        auto row = std::find_if(datas_.begin(), datas_.end(),
                                [&](const ToolData& d) { return d.tool == info->tool; });
        if (row != datas_.end()) {
            row->finish = true;
            if (row->date) // its "Last clean date:" is today's now
                row->date = when;
            reloadRows();
        }
    }
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    defaults.setDate(keys::lastCleanDate, when);
    defaults.synchronize();
    if (!bFirst_)
        headline_->setText(QString::fromStdString(homeHeadline(when, when)));
}

QString HomeViewController::headline() const {
    return headline_->text();
}

QString HomeViewController::summaryLine() const {
    return summaryLabel_->text();
}

QString HomeViewController::continueLine() const {
    return continueLabel_->text();
}

QStringList HomeViewController::rowInfoTexts() const {
    QStringList list;
    for (HomeRowView* v : rowViews_)
        list << v->info();
    return list;
}

HomeRowView* HomeViewController::rowView(int position) const {
    if (position < 0 || static_cast<std::size_t>(position) >= rowViews_.size())
        return nullptr;
    return rowViews_[static_cast<std::size_t>(position)];
}

HomeRowView::HomeRowView(const ToolData& row, bool showInfo, QWidget* parent)
    : QAbstractButton(parent), finished_(row.finish) {
    setObjectName("HomeRow");
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumHeight(60);
    const ToolInfo* t = toolInfo(row.tool);
    setText(QString::fromUtf8(t->homeName));
    setAccessibleName(text());
    setAccessibleDescription(QString::fromStdString(forLayout(t->homeDescription)));
    auto* icon = new QLabel(this);
    icon->setPixmap(artwork::pixmap(QString::fromUtf8(t->homeIcon), 40));
    name_ = new QLabel(QString::fromUtf8(t->homeName), this);
    name_->setObjectName("HomeRowName");
    auto* description = new QLabel(QString::fromStdString(forLayout(t->homeDescription)), this);
    description->setObjectName("HomeRowDescription");
    description->setWordWrap(true);
    info_ = new QLabel(QString::fromStdString(homeRowInfo(row, showInfo)), this);
    info_->setObjectName("HomeRowInfo");
    info_->setVisible(!info_->text().isEmpty());
    auto* done = new QLabel(this);
    done->setPixmap(artwork::pixmap("done-mark", 22));
    done->setVisible(finished_);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(name_);
    texts->addWidget(description);
    texts->addWidget(info_);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(14, 8, 14, 8);
    layout->setSpacing(14);
    layout->addWidget(icon);
    layout->addLayout(texts, 1);
    layout->addWidget(done);
}

QString HomeRowView::name() const {
    return name_->text();
}

QString HomeRowView::info() const {
    return info_->text();
}

void HomeRowView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const bool lit = hover_ || hasFocus();
    p.setPen(QPen(lit ? QColor("#2f80ed") : QColor("#e3e8ef"), hasFocus() ? 2 : 1));
    p.setBrush(lit ? QColor("#f4f8fe") : QColor(Qt::white));
    p.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 10, 10);
}

void HomeRowView::enterEvent(QEnterEvent*) {
    hover_ = true;
    update();
}

void HomeRowView::leaveEvent(QEvent*) {
    hover_ = false;
    update();
}

} // namespace tessaly
