#include "app/MainQueueBinding.h"
#include "platform/Dispatch.h"
#include "platform/NotificationCenter.h"

#include <QCoreApplication>
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>

using namespace tessaly;

TEST(MainQueueBinding, WorkPostedFromAWorkerRunsOnTheEventLoop) {
    int argc = 1;
    char name[] = "app_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    bindMainQueueToEventLoop(app);

    std::atomic<bool> onMain{false};
    auto& center = NotificationCenter::defaultCenter();
    ObserverToken token(center, center.addObserver("PathUpdate", [&](const Notification& n) {
        onMain = MainQueue::isMainThread() && std::any_cast<std::string>(n.object) == "/x";
        QCoreApplication::quit();
    }));
    GlobalQueue::async([&] { center.postOnMainQueue("PathUpdate", std::string("/x")); });
    QTimer::singleShot(10000, &app, [] { QCoreApplication::exit(1); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_TRUE(onMain.load());
    MainQueue::setWakeHandler(nullptr);
}
