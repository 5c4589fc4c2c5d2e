#include "platform/qt/QtApp.h"
#include "platform/qt/process/QtMainQueue.h"
#include "platform/qt/process/QtWorkQueue.h"

#include <QMenu>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>
#include <thread>

using namespace larkspire;
using larkspire::testing::runUntil;

namespace {

TEST(QtMainQueue, RunsPostedWorkInOrderAndSkipsCancelledWork) {
    qt::QtMainQueue main;
    std::vector<std::string> ran;
    main.post([&] { ran.push_back("erst"); });
    auto cancelled = main.postAfter(0.01, [&] { ran.push_back("abgesagt"); });
    main.postAfter(0.02, [&] { ran.push_back("später"); });
    main.post([&] { ran.push_back("dann"); });
    cancelled.cancel();
    ASSERT_TRUE(runUntil([&] { return ran.size() >= 3; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(ran, (std::vector<std::string>{"erst", "dann", "später"}));
}

TEST(QtMainQueue, HandsWorkFromOtherThreadsToTheMainThreadInOrder) {
    qt::QtMainQueue main;
    std::vector<int> received;
    std::vector<bool> onMain;
    std::thread worker([&] {
        for (int i = 0; i < 50; ++i)
            main.postFromAnyThread([&, i] {
                received.push_back(i);
                onMain.push_back(QThread::currentThread() == qApp->thread());
            });
    });
    worker.join();
    ASSERT_TRUE(runUntil([&] { return received.size() == 50; }));
    for (int i = 0; i < 50; ++i) EXPECT_EQ(received[static_cast<std::size_t>(i)], i);
    EXPECT_EQ(std::count(onMain.begin(), onMain.end(), true), 50);
}

TEST(QtMainQueue, RepeatingTimersKeepFiringWhileAMenuIsOpenAndStopWhenDropped) {
    qt::QtMainQueue main;
    int ticks = 0;
    auto timer = std::make_unique<RepeatingTimer>(main.scheduleRepeating(0.01, [&] { ++ticks; }));
    QMenu menu;
    menu.addAction("Eintrag");
    // exec() runs the menu's own event loop, as an open status menu does.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, &menu, [&] {
        if (ticks >= 3) menu.close();
    });
    closer.start(5);
    menu.exec(QPoint(0, 0));
    EXPECT_GE(ticks, 3);

    timer.reset();
    int atDrop = ticks;
    bool later = false;
    main.postAfter(0.05, [&] { later = true; });
    ASSERT_TRUE(runUntil([&] { return later; }));
    EXPECT_EQ(ticks, atDrop);
}

TEST(QtWorkQueue, RunsEachLabelInOrderAndHandsResultsBack) {
    qt::QtMainQueue main;
    std::vector<int> order;
    {
        qt::QtWorkQueue work;
        std::mutex mutex;
        for (int i = 0; i < 200; ++i)
            work.runSerial("de.halvik.Quirefold.network", [&, i] {
                std::lock_guard lock(mutex);
                order.push_back(i);
            });
        auto owner = std::make_shared<int>(0);
        int result = 0;
        work.runConcurrent([] { return 6 * 7; },
                           main.bind(std::weak_ptr<int>(owner), [&](int&, int value) { result = value; }));
        ASSERT_TRUE(runUntil([&] { return result == 42; }));
    }  // waits for work in flight
    ASSERT_EQ(order.size(), 200u);
    for (int i = 0; i < 200; ++i) EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
}

}  // namespace
