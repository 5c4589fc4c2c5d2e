#include "platform/types/PermissionWait.h"

#include "platform/sim/Desktop.h"

#include <gtest/gtest.h>

using namespace larkspire;

namespace {

TEST(PermissionWait, CallsBackOnceWithinTwoSecondsOfTheGrant) {
    sim::Desktop desktop;
    PermissionWait wait;
    int granted = 0;
    wait.start(desktop.loop, desktop.accessibility, [&] { ++granted; });
    wait.start(desktop.loop, desktop.accessibility, [&] { granted += 100; });  // already waiting: ignored
    desktop.advance(10);
    EXPECT_EQ(granted, 0);
    EXPECT_TRUE(wait.isWaiting());

    desktop.advance(0.5);
    desktop.accessibility.trusted = true;
    desktop.advance(2.0);
    EXPECT_EQ(granted, 1);
    EXPECT_FALSE(wait.isWaiting());
    desktop.advance(10);
    EXPECT_EQ(granted, 1);
    EXPECT_EQ(desktop.loop.pendingTaskCount(), 0u);
}

TEST(PermissionWait, StopEndsTheWait) {
    sim::Desktop desktop;
    PermissionWait wait;
    int granted = 0;
    wait.start(desktop.loop, desktop.accessibility, [&] { ++granted; });
    wait.stop();
    desktop.accessibility.trusted = true;
    desktop.advance(5);
    EXPECT_EQ(granted, 0);
}

}  // namespace
