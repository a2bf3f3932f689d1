#include "app/AppStyle.h"

#include <QApplication>
#include <QFont>
#include <QStyleFactory>

namespace tessaly {

namespace {

constexpr const char* kStyleSheet = R"(
QMainWindow, #ContentColumn, #ContentArea, #HomeBody, #ProgressRows { background: #f6f8fb; }
#Sidebar { background: #1d2737; }
#SidebarTotal { color: #8392a7; font-size: 9pt; }
#TopBar { background: #ffffff; border-bottom: 1px solid #e3e8ef; }
#BottomBar { background: #ffffff; border-top: 1px solid #e3e8ef; }
#BarTitle { color: #1d2737; font-size: 14pt; font-weight: 600; }
#ScreenTitle { color: #1d2737; font-size: 20pt; font-weight: 600; }
#Headline { color: #5b6b82; font-size: 11pt; }
#HomeRowName { color: #1d2737; font-size: 12pt; font-weight: 600; }
#HomeRowDescription { color: #5b6b82; }
#HomeRowInfo { color: #d9822b; font-size: 9pt; }
#Summary { color: #1d2737; font-size: 12pt; font-weight: 600; }
#ContinueLine, #BottomHint, #FilesTitle { color: #8392a7; }
#HelpWarning { color: #c0392b; font-size: 13pt; }
QPushButton#PrimaryButton {
    background: #2f80ed; color: white; border: 2px solid #2f80ed; border-radius: 8px;
    padding: 6px 20px; font-weight: 600;
}
QPushButton#PrimaryButton:hover { background: #1c6fdc; }
QPushButton#PrimaryButton:pressed { background: #175fc0; }
QPushButton#PrimaryButton:disabled { background: #a9c7f2; border-color: #a9c7f2; }
QPushButton#PrimaryButton:focus { border-color: #1d2737; }
QPushButton#SecondaryButton {
    background: #ffffff; color: #1d2737; border: 2px solid #d5dbe3; border-radius: 8px;
    padding: 6px 20px;
}
QPushButton#SecondaryButton:hover { background: #eef2f7; }
QPushButton#SecondaryButton:pressed { background: #e3e8ef; }
QPushButton#SecondaryButton:disabled { color: #a9b4c6; }
QPushButton#SecondaryButton:focus { border-color: #2f80ed; }
#NoticeSheet { background: #ffffff; border: 1px solid #d5dbe3; border-radius: 10px; }
#NoticeTitle { color: #1d2737; font-size: 13pt; font-weight: 600; }
#NoticeText { color: #3d4b60; }
QPushButton#NoticeCancel {
    background: #eef2f7; color: #1d2737; border: 1px solid #d5dbe3; border-radius: 6px;
    padding: 6px 18px;
}
QListWidget#FilesList { background: #ffffff; border: 1px solid #e3e8ef; border-radius: 6px; }
QPushButton#ScanButton {
    background: #2f80ed; color: white; border: none; border-radius: 48px;
    font-size: 16pt; font-weight: 600;
}
QPushButton#ScanButton:hover { background: #1c6fdc; }
QPushButton#ScanButton:pressed { background: #175fc0; }
QPushButton#ScanButton:disabled { background: #a9c7f2; }
QPushButton#ScanButton:focus { border: 3px solid #1d2737; }
#StagePrompt { color: #3d4b60; }
#ProgressRowTitle { color: #1d2737; }
#ProgressRowTitle:disabled { color: #a9b4c6; }
#ProgressRowValue, #ReportRowValue { color: #5b6b82; }
#ProgressPath { color: #8392a7; font-size: 9pt; }
#ProgressList QProgressBar { background: #e3e8ef; border: none; border-radius: 4px; }
#ProgressList QProgressBar::chunk { background: #2f80ed; border-radius: 4px; }
#ReportCaption { color: #27ae60; font-size: 9pt; font-weight: 600; }
#ReportTotal { color: #1d2737; font-size: 24pt; font-weight: 600; }
#DetailEmpty { color: #8392a7; font-size: 12pt; }
#StoppedNote { color: #c0392b; font-weight: 600; }
#RunTotals { color: #1d2737; font-weight: 600; }
#DetailCategories, #DetailItems { background: #ffffff; border: 1px solid #e3e8ef; border-radius: 6px; }
)";

} // namespace

void applyAppStyle(QApplication& app) {
    if (QStyle* fusion = QStyleFactory::create("Fusion"))
        app.setStyle(fusion);
    QFont font = app.font();
    font.setPointSizeF(10);
    app.setFont(font);
    app.setStyleSheet(kStyleSheet);
}

} // namespace tessaly
