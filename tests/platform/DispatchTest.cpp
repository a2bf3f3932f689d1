#include "platform/Dispatch.h"
#include "platform/NotificationCenter.h"
#include "platform/OperationQueue.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace tessaly;
using namespace std::chrono_literals;

TEST(Dispatch, GroupWaitsForEveryTaskEvenWhenTasksBlockOnEachOther) {
    // More tasks than cores, each waiting for the last one to start: the pool must
    // grow, or this would never finish.
    DispatchGroup group;
    std::atomic<int> started{0};
    const int n = 12;
    for (int i = 0; i < n; ++i)
        group.async([&] {
            ++started;
            while (started.load() < n)
                std::this_thread::sleep_for(1ms);
        });
    ASSERT_TRUE(group.waitFor(20s));
    EXPECT_EQ(started.load(), n);
    EXPECT_EQ(group.pending(), 0u);
}

TEST(Dispatch, SerialQueueKeepsOrder) {
    SerialQueue q;
    std::vector<int> seen;
    for (int i = 0; i < 50; ++i)
        q.async([&seen, i] { seen.push_back(i); });
    q.sync([] {});
    ASSERT_EQ(seen.size(), 50u);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(seen[i], i);
}

TEST(Dispatch, MainQueueRunsOnTheDrainingThread) {
    MainQueue::bindToCurrentThread();
    std::atomic<bool> onMain{false};
    GlobalQueue::async([&] { MainQueue::async([&] { onMain = MainQueue::isMainThread(); }); });
    EXPECT_TRUE(MainQueue::runUntil([&] { return onMain.load(); }, 10s));
    EXPECT_FALSE(MainQueue::runUntil([] { return false; }, 20ms));
}

TEST(NotificationCenter, DeliversByNameAndStopsAfterRemoval) {
    NotificationCenter center;
    std::vector<std::string> got;
    auto t1 = center.addObserver("scanModuleFinish", [&](const Notification& n) {
        got.push_back(n.name + ":" + std::to_string(std::any_cast<int>(n.object)));
    });
    auto all = center.addObserver("", [&](const Notification& n) { got.push_back("*" + n.name); });
    center.post("scanModuleFinish", 3);
    center.post("PathUpdate", std::string("/x"), {{"module", PlistValue(2)}});
    center.removeObserver(t1);
    center.post("scanModuleFinish", 4);
    EXPECT_EQ(got, (std::vector<std::string>{"scanModuleFinish:3", "*scanModuleFinish",
                                             "*PathUpdate", "*scanModuleFinish"}));
    center.removeObserver(all);
}

TEST(NotificationCenter, ObserverMayRemoveItselfWhileBeingCalled) {
    NotificationCenter center;
    int calls = 0;
    NotificationCenter::Token t = 0;
    t = center.addObserver("x", [&](const Notification&) {
        ++calls;
        center.removeObserver(t);
    });
    center.post("x");
    center.post("x");
    EXPECT_EQ(calls, 1);
}

TEST(NotificationCenter, MainQueuePostsArriveOnTheMainThread) {
    MainQueue::bindToCurrentThread();
    auto& center = NotificationCenter::defaultCenter();
    std::atomic<int> onMain{0};
    ObserverToken token(center,
                        center.addObserver("cleanFinishNotification", [&](const Notification& n) {
                            if (MainQueue::isMainThread() && n.userInfo.at("tool").toInteger() == 8)
                                ++onMain;
                        }));
    GlobalQueue::async([&] {
        center.postOnMainQueue("cleanFinishNotification", {}, {{"tool", PlistValue(8)}});
    });
    EXPECT_TRUE(MainQueue::runUntil([&] { return onMain.load() == 1; }, 10s));
}

TEST(OperationQueue, LimitsConcurrencyAndHonoursCancel) {
    OperationQueue q(2);
    std::atomic<int> running{0}, peak{0}, ran{0};
    for (int i = 0; i < 8; ++i)
        q.addOperation([&](const Operation&) {
            int now = ++running;
            int p = peak.load();
            while (now > p && !peak.compare_exchange_weak(p, now)) {
            }
            std::this_thread::sleep_for(5ms);
            --running;
            ++ran;
        });
    q.waitUntilAllOperationsAreFinished();
    EXPECT_EQ(ran.load(), 8);
    EXPECT_LE(peak.load(), 2);

    // A running operation sees the cancel; waiting ones never start.
    OperationQueue one(1);
    std::atomic<bool> sawCancel{false}, entered{false};
    std::atomic<int> later{0};
    auto first = one.addOperation([&](const Operation& op) {
        entered = true;
        while (!op.isCancelled())
            std::this_thread::sleep_for(1ms);
        sawCancel = true;
    });
    for (int i = 0; i < 3; ++i)
        one.addOperation([&](const Operation&) { ++later; });
    while (!entered)
        std::this_thread::sleep_for(1ms);
    one.cancelAllOperations();
    one.waitUntilAllOperationsAreFinished();
    EXPECT_TRUE(sawCancel.load());
    EXPECT_TRUE(first->isFinished());
    EXPECT_EQ(later.load(), 0);
    EXPECT_EQ(one.operationCount(), 0u);
}
