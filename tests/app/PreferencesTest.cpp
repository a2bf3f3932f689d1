// The preferences window offscreen: the module switches and the refusal to
// switch off the last one, the kept languages and their sheet, the cookie pane
// waiting for the browsers' cookies, the sound switch, and the sound player.
#include "ScanCode/system/SystemModules.h"
#include "app/AppDelegate.h"
#include "app/MainQueueBinding.h"
#include "app/NoticeSheet.h"
#include "app/SoundPlayer.h"
#include "app/settings/CookiesViewController.h"
#include "app/settings/GeneralSettingsPane.h"
#include "app/settings/KeptPathsPane.h"
#include "app/settings/LanguageRows.h"
#include "app/settings/LanuageSheet.h"
#include "app/settings/ScanSettingViewController.h"
#include "app/settings/SettingsWindowController.h"
#include "model/Reports.h"
#include "model/SettingKeys.h"
#include "platform/Paths.h"
#include "tests/app/QtEnvironment.h"
#include "tests/support/ProcessCapture.h"
#include "tests/support/TempTree.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <nlohmann/json.hpp>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>

using namespace tessaly;
using tessaly::test::GuiTest;
using tessaly::test::settle;

namespace {

void writeFile(const std::string& path, std::size_t size) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << std::string(size, 'x');
}

class Preferences : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        bindMainQueueToEventLoop(*qApp);
        settings().playSound = true;
        std::lock_guard<std::recursive_mutex> guard(settings().lock());
        settings().setKeepCookies({});
    }

    static QListWidgetItem* row(QListWidget* list, const QString& text) {
        for (int i = 0; i < list->count(); ++i)
            if (list->item(i)->text() == text)
                return list->item(i);
        return nullptr;
    }
    static QStringList texts(QListWidget* list) {
        QStringList out;
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
        return out;
    }
    static NoticeSheet* openNotice() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* notice = qobject_cast<NoticeSheet*>(w); notice && notice->isVisible())
                return notice;
        return nullptr;
    }
};

TEST_F(Preferences, TheLastModuleCannotBeSwitchedOffAndASwitchedOffModuleIsNotScanned) {
    for (int m = 0; m <= sysmodule::LastSelectable; ++m)
        setModuleSwitch(defaults(), m, m == sysmodule::Trash || m == sysmodule::UserCache);
    SettingsWindowController window({});
    window.show();
    window.showPane(SettingsWindowController::Pane::Scanning);
    ScanSettingViewController* pane = window.scanSettingVC();
    ASSERT_NE(pane, nullptr);
    ASSERT_EQ(pane->list()->count(), sysmodule::LastSelectable + 1);
    QListWidgetItem* trash = row(pane->list(), "Trash");
    QListWidgetItem* cache = row(pane->list(), "User Cache");
    ASSERT_TRUE(trash && cache);
    EXPECT_EQ(trash->checkState(), Qt::Checked);
    EXPECT_EQ(row(pane->list(), "System Log")->checkState(), Qt::Unchecked);

    // Trash and User Cache are on: User Cache may go.
    cache->setCheckState(Qt::Unchecked);
    EXPECT_FALSE(moduleSwitchedOn(defaults(), sysmodule::UserCache));
    EXPECT_EQ(openNotice(), nullptr);

    // Trash is the last one on: it stays on, and the user is told why.
    trash->setCheckState(Qt::Unchecked);
    EXPECT_EQ(trash->checkState(), Qt::Checked);
    EXPECT_TRUE(moduleSwitchedOn(defaults(), sysmodule::Trash));
    NoticeSheet* notice = openNotice();
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(notice->title(), "Scanning Error");
    EXPECT_EQ(notice->text(), "You must select ont item to scan");
    notice->close();

    // tessaly-cli reads the same store: the cache switched off here is not scanned.
    const std::string home = paths::homePath();
    writeFile(home + "/.Trash/old.zip", 5000);
    writeFile(home + "/Library/Caches/com.maker.app/blob", 800);
    auto run = test::runCaptured(TESSALY_CLI_PATH, {"system", "scan", "--json"});
    test::removeTree(home + "/.Trash");
    test::removeTree(home + "/Library/Caches");
    ASSERT_EQ(run.exitCode, 0) << run.standardError;
    std::set<std::string> scanned;
    const nlohmann::json report = nlohmann::json::parse(run.standardOutput);
    for (const auto& module : report["modules"])
        scanned.insert(module["name"].get<std::string>());
    EXPECT_TRUE(scanned.count("Trash"));
    EXPECT_FALSE(scanned.count("User Cache"));
    EXPECT_FALSE(scanned.count("System Log"));
}

// On a Linux home the privacy modules are offered, off; the Kept pane stores
// the paths the window and tessaly-cli never list.
TEST_F(Preferences, TheKeptPaneStoresWhatNoScanListsAndThePrivacyModulesStartOff) {
    test::ScopedEnv chosen("TESSALY_LAYOUT", "linux");
    SettingsWindowController window({});
    window.show();
    window.showPane(SettingsWindowController::Pane::Scanning);
    ScanSettingViewController* scanning = window.scanSettingVC();
    ASSERT_NE(scanning, nullptr);
    for (const char* privacy : {"Recent Documents", "Shell History"}) {
        QListWidgetItem* item = row(scanning->list(), privacy);
        ASSERT_TRUE(item) << privacy;
        EXPECT_EQ(item->checkState(), Qt::Unchecked) << privacy;
    }
    row(scanning->list(), "Shell History")->setCheckState(Qt::Checked);
    EXPECT_TRUE(moduleSwitchedOn(defaults(), sysmodule::ShellHistory));
    EXPECT_EQ(row(scanning->list(), "Binary"), nullptr); // nothing of it on this home

    window.showPane(SettingsWindowController::Pane::Kept);
    KeptPathsPane* kept = window.keptPathsPane();
    ASSERT_NE(kept, nullptr);
    const std::string home = paths::homePath();
    EXPECT_TRUE(kept->addPath(QString::fromStdString(home + "/.cache/huggingface/")));
    EXPECT_TRUE(kept->addPath(QString::fromStdString(home + "/.cache/models")));
    EXPECT_TRUE(kept->addPath(QString::fromStdString(home + "/.cache/models"))); // not twice
    EXPECT_EQ(texts(kept->list()),
              (QStringList{QString::fromStdString(home + "/.cache/huggingface"),
                           QString::fromStdString(home + "/.cache/models")}));
    kept->list()->item(0)->setSelected(true);
    EXPECT_TRUE(kept->removeSelected());
    EXPECT_EQ(defaults().stringArrayForKey(keys::KeepPath),
              std::vector<std::string>{home + "/.cache/models"});

    // tessaly-cli reads the same list.
    writeFile(home + "/.cache/models/bert.bin", 3000);
    writeFile(home + "/.cache/thumbnails/a.png", 3000);
    auto run = test::runCaptured(
        TESSALY_CLI_PATH, {"--no-helper", "system", "clean", "--module", "user-cache", "--json"});
    test::removeTree(home + "/.cache");
    ASSERT_EQ(run.exitCode, 0) << run.standardError;
    std::vector<std::string> planned;
    const nlohmann::json plan = nlohmann::json::parse(run.standardOutput);
    for (const auto& step : plan["plan"])
        planned.push_back(step["path"]);
    EXPECT_EQ(planned, std::vector<std::string>{home + "/.cache/thumbnails"});
}

TEST_F(Preferences, KeptLanguagesAlwaysKeepEnglishAndTheSheetStoresOnlyOnOK) {
    settings().addKeepLanuage({"en", "fr", "de"});
    SettingsWindowController window({});
    window.show();
    GeneralSettingsPane* general = window.generalPane();
    QListWidget* list = general->languageList();
    ASSERT_EQ(list->count(), 3);
    EXPECT_FALSE(general->removeButton()->isEnabled());
    // The English row is greyed and cannot be chosen.
    QListWidgetItem* english = list->item(0);
    EXPECT_EQ(english->data(kLanguageCodeRole).toString(), "en");
    EXPECT_FALSE(english->flags() & Qt::ItemIsEnabled);

    list->selectAll();
    ASSERT_TRUE(general->removeButton()->isEnabled());
    general->removeButton()->click();
    EXPECT_EQ(settings().keepLanguages(), std::vector<std::string>{"en"});
    EXPECT_EQ(defaults().stringArrayForKey(keys::KeepLanguage), std::vector<std::string>{"en"});
    ASSERT_EQ(list->count(), 1);

    // The sheet: a tick changes nothing until OK; Cancel drops it.
    auto tick = [&](LanuageSheet* sheet, const char* code) {
        for (int i = 0; i < sheet->list()->count(); ++i)
            if (sheet->list()->item(i)->data(kLanguageCodeRole).toString() == code)
                sheet->list()->item(i)->setCheckState(Qt::Checked);
    };
    general->addButton()->click();
    LanuageSheet* sheet = general->sheet();
    ASSERT_NE(sheet, nullptr);
    tick(sheet, "fr");
    EXPECT_TRUE(sheet->boolDic().at("fr"));
    sheet->onCancel();
    settle();
    EXPECT_EQ(settings().keepLanguages(), std::vector<std::string>{"en"});

    general->addButton()->click();
    sheet = general->sheet();
    ASSERT_NE(sheet, nullptr);
    tick(sheet, "fr");
    sheet->onOK();
    settle();
    EXPECT_EQ(settings().keepLanguages(), (std::vector<std::string>{"en", "fr"}));
    EXPECT_EQ(defaults().stringArrayForKey(keys::KeepLanguage),
              (std::vector<std::string>{"en", "fr"}));
    EXPECT_EQ(list->count(), 2);
}

TEST_F(Preferences, TheToolMenuIsDetachedWhileTheLanguageSheetIsOpen) {
    AppDelegate app;
    app.setSwitchDuration(0);
    app.show();
    app.awakeFromNib();
    app.onSetting();
    SettingsWindowController* window = app.preferencesWindow();
    ASSERT_NE(window, nullptr);
    auto toolItemsOn = [&] {
        for (QAction* a : app.viewMenu()->actions())
            if (!a->isSeparator() && !a->menu() && a->isEnabled() && a->text().contains("Cleanup"))
                return true;
        return false;
    };
    ASSERT_TRUE(toolItemsOn());
    window->generalPane()->addButton()->click();
    EXPECT_FALSE(toolItemsOn());
    window->generalPane()->sheet()->onCancel();
    settle();
    EXPECT_TRUE(toolItemsOn());
}

TEST_F(Preferences, TheCookiePaneWaitsForTheBrowsersAndMovesSitesBothWays) {
    std::mutex mutex;
    std::condition_variable wake;
    bool release = false;
    settings().setKeepCookies({"bank.example"});
    SettingsWindowController window([&] {
        std::unique_lock<std::mutex> lock(mutex);
        wake.wait(lock, [&] { return release; });
        return std::vector<std::string>{"news.example", "shop.example", "bank.example",
                                        "ads.example"};
    });
    window.show();
    window.showPane(SettingsWindowController::Pane::Cookies);
    settle();
    EXPECT_TRUE(window.loadingCookies());
    EXPECT_EQ(window.cookieSettingVC(), nullptr);
    auto* waiting = window.findChild<QLabel*>("CookiesWaiting");
    ASSERT_NE(waiting, nullptr);
    EXPECT_TRUE(waiting->isVisible());
    {
        std::lock_guard<std::mutex> lock(mutex);
        release = true;
    }
    wake.notify_all();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.cookieSettingVC() != nullptr; }, 5000));
    CookiesViewController* pane = window.cookieSettingVC();
    EXPECT_TRUE(pane->isVisible());
    // The whole list at once; a kept site is offered only on the kept side.
    EXPECT_EQ(texts(pane->deleteList()),
              (QStringList{"news.example", "shop.example", "ads.example"}));
    EXPECT_EQ(texts(pane->keepList()), QStringList{"bank.example"});
    EXPECT_FALSE(pane->keepButton()->isEnabled());
    EXPECT_FALSE(pane->deleteButton()->isEnabled());

    row(pane->deleteList(), "news.example")->setSelected(true);
    row(pane->deleteList(), "ads.example")->setSelected(true);
    ASSERT_TRUE(pane->keepButton()->isEnabled());
    pane->keepButton()->click();
    EXPECT_EQ(texts(pane->deleteList()), QStringList{"shop.example"});
    EXPECT_EQ(texts(pane->keepList()),
              (QStringList{"bank.example", "news.example", "ads.example"}));
    EXPECT_EQ(defaults().stringArrayForKey(keys::KeepCookie),
              (std::vector<std::string>{"bank.example", "news.example", "ads.example"}));
    EXPECT_FALSE(pane->keepButton()->isEnabled());

    row(pane->keepList(), "bank.example")->setSelected(true);
    pane->deleteButton()->click();
    EXPECT_EQ(texts(pane->deleteList()), (QStringList{"shop.example", "bank.example"}));
    EXPECT_EQ(settings().keepCookiesRecord(),
              (std::vector<std::string>{"news.example", "ads.example"}));
    EXPECT_EQ(defaults().stringArrayForKey(keys::KeepCookie),
              (std::vector<std::string>{"news.example", "ads.example"}));
}

TEST_F(Preferences, SoundAndReportSwitchesAreStored) {
    SettingsWindowController window({});
    window.show();
    GeneralSettingsPane* general = window.generalPane();
    ASSERT_TRUE(general->playSoundBox()->isChecked());
    general->playSoundBox()->click();
    EXPECT_FALSE(settings().playSound);
    EXPECT_EQ(defaults().integerForKey(keys::PlaySound), 0);
    general->playSoundBox()->click();
    EXPECT_TRUE(settings().playSound);
    EXPECT_EQ(defaults().integerForKey(keys::PlaySound), 1);

    defaults().setString(keys::reportHost, "http://127.0.0.1:9");
    ASSERT_TRUE(general->reportsBox()->isChecked());
    ASSERT_TRUE(reports::destination(defaults()).has_value());
    general->reportsBox()->click();
    EXPECT_FALSE(reports::reportsAllowed(defaults()));
    EXPECT_FALSE(reports::destination(defaults()).has_value());
}

TEST_F(Preferences, SoundsPlayOnlyWhileOnAndAMissingFileIsSilence) {
    std::vector<std::string> played;
    bool on = true;
    SoundPlayer player([&](const std::string& path) { played.push_back(path); },
                       [&] { return on; });
    player.playRemoveSound();
    player.playLittleButtonSound();
    player.playClikSelectSound();
    player.playLeftSelectSound();
    player.playListSelectSound();
    ASSERT_EQ(played.size(), 5u);
    EXPECT_EQ(paths::lastComponent(played[0]), "remove.wav");
    EXPECT_EQ(paths::lastComponent(played[1]), "little button.wav");
    EXPECT_EQ(paths::lastComponent(played[4]), "clik list.wav");
    for (const std::string& path : played)
        EXPECT_TRUE(std::ifstream(path).good()) << path;

    on = false;
    player.playRemoveSound();
    EXPECT_EQ(played.size(), 5u);

    // Without the shipped sounds nothing is played and nothing fails.
    test::TempTree empty;
    test::ScopedEnv resources{"TESSALY_RESOURCES", empty.root()};
    SoundPlayer bare([&](const std::string& path) { played.push_back(path); }, [] { return true; });
    bare.playRemoveSound();
    EXPECT_EQ(played.size(), 5u);
}

} // namespace
