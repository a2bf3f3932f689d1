// One QApplication for the GUI tests of a process, on the offscreen platform.
#include "tests/app/QtEnvironment.h"

#include "app/SoundPlayer.h"

#include <QApplication>
#include <QWidget>
#include <memory>

namespace {

class QtEnvironment : public testing::Environment {
public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "shell_tests";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
        // The screens play their sounds into nothing here.
        tessaly::SoundPlayer::player().setOutput([](const std::string&) {});
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] testing::Environment* const kQtEnvironment =
    testing::AddGlobalTestEnvironment(new QtEnvironment);

} // namespace

namespace tessaly::test {

void GuiTest::SetUp() {
    for (const auto& [key, value] : defaults().dictionaryRepresentation())
        defaults().removeObjectForKey(key);
    settings().needClean = false;
    settings().needCleanMemory = false;
    settings().firstRun = false;
    settings().isRetina = false;
    settings().blockSize = 0;
}

void GuiTest::TearDown() {
    for (QWidget* w : QApplication::topLevelWidgets())
        w->close();
    settle();
}

void settle() {
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}

} // namespace tessaly::test
