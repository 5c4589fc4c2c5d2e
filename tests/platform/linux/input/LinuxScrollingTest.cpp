#include "platform/linux/input/EvdevWheelInput.h"
#include "platform/linux/input/FrameTimer.h"
#include "platform/linux/input/HiResWheel.h"
#include "platform/linux/input/ScreenInfo.h"
#include "platform/sim/Desktop.h"
#include "scroll/SmoothScroller.h"
#include "support/FakeEventDevices.h"

#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <gtest/gtest.h>
#include <mutex>

using namespace larkspire;
using namespace larkspire::testing;
using linux_desktop::HiResWheel;

namespace {

// --- Pixels to wheel units -------------------------------------------------------------------

TEST(HiResWheel, NinetyPixelsAreOneNotch) {
    HiResWheel wheel;
    auto step = wheel.add(90);
    EXPECT_EQ(step.hiRes, 120);
    EXPECT_EQ(step.notches, 1);
}

TEST(HiResWheel, SmallStepsAddUpWithoutLosingUnits) {
    HiResWheel wheel;
    int hiRes = 0;
    int notches = 0;
    for (int i = 0; i < 90; ++i) {  // 90 single pixels
        auto step = wheel.add(1);
        hiRes += step.hiRes;
        notches += step.notches;
        EXPECT_EQ(notches, hiRes / 120) << i;  // a notch comes exactly when 120 units are complete
    }
    EXPECT_EQ(hiRes, 120);
    EXPECT_EQ(notches, 1);
}

TEST(HiResWheel, DirectionIsKeptAndAReversalRestartsTheNotchCount) {
    HiResWheel wheel;
    EXPECT_EQ(wheel.add(-45).hiRes, -60);
    auto second = wheel.add(-45);
    EXPECT_EQ(second.hiRes, -60);
    EXPECT_EQ(second.notches, -1);

    EXPECT_EQ(wheel.add(60).notches, 0);   // 80 units up
    EXPECT_EQ(wheel.add(-60).notches, 0);  // 80 down: the 80 up do not count against them
    EXPECT_EQ(wheel.add(-30).notches, -1);
}

// --- The whole road on Linux: evdev in, engine, uinput out -----------------------------------

struct LinuxRoad : ::testing::Test {
    sim::Desktop desktop;
    FakeEventDevices io;
    linux_desktop::EvdevWheelInput input{io, desktop.loop, linux_desktop::EvdevWheelInput::Reading::byPump};
    std::shared_ptr<SmoothScroller> scroller;
    std::size_t mouse = 0;

    void SetUp() override {
        mouse = io.plug(wheelMouse());
        desktop.accessibility.trusted = true;
        desktop.advance(100);
        desktop.useWheel(input, input);
        scroller = SmoothScroller::create(SmoothScrollerPorts::from(desktop.ports()));
        scroller->start();
        ASSERT_TRUE(scroller->isOn());
    }
    void notch(std::uint16_t code, std::int32_t value) {
        io.send(mouse, {inputEvent(EV_REL, code, value), report()});
        input.pump();
        desktop.advance(1.0);
    }
    std::map<std::uint16_t, int> scrolled() {
        std::map<std::uint16_t, int> sums;
        for (const auto& e : io.take(io.virtualNamed("Larkspire Scroll").value())) {
            if (e.type == EV_REL) sums[e.code] += e.value;
        }
        return sums;
    }
};

TEST_F(LinuxRoad, ANotchDownScrollsItsNinetyPixelsDownInHighResolutionSteps) {
    notch(REL_WHEEL, -1);
    auto sums = scrolled();
    // 89 or 90 pixels reach the engine's sink; a notch is 120 units for 90 pixels.
    EXPECT_GE(sums[REL_WHEEL_HI_RES], -120);
    EXPECT_LE(sums[REL_WHEEL_HI_RES], -118);
    EXPECT_EQ(sums[REL_WHEEL], sums[REL_WHEEL_HI_RES] <= -120 ? -1 : 0);
    EXPECT_EQ(sums[REL_HWHEEL_HI_RES], 0);
    auto events = io.take(io.virtualNamed("Wheel Mouse").value());
    EXPECT_TRUE(events.empty());  // the physical notch itself went nowhere
}

TEST_F(LinuxRoad, EachDirectionOfTheWheelIsKept) {
    notch(REL_WHEEL, 1);
    EXPECT_GT(scrolled()[REL_WHEEL_HI_RES], 100);
    notch(REL_HWHEEL, 1);
    auto right = scrolled();
    EXPECT_GT(right[REL_HWHEEL_HI_RES], 100);
    EXPECT_EQ(right[REL_WHEEL_HI_RES], 0);
    notch(REL_HWHEEL, -1);
    EXPECT_LT(scrolled()[REL_HWHEEL_HI_RES], -100);
}

// The seat holds the modifiers, so synthetic scrolls would carry a Ctrl pressed mid-animation.
TEST_F(LinuxRoad, AModifierPressedDuringAnAnimationEndsIt) {
    auto keys = io.plug(keyboard());
    input.pump();
    io.send(mouse, {inputEvent(EV_REL, REL_WHEEL, 1), report()});
    input.pump();
    desktop.advance(0.05);
    int early = scrolled()[REL_WHEEL_HI_RES];
    EXPECT_GT(early, 0);
    EXPECT_LT(early, 100);
    io.send(keys, {inputEvent(EV_KEY, KEY_LEFTCTRL, 1), report()});
    input.pump();
    desktop.advance(1.0);
    EXPECT_EQ(scrolled()[REL_WHEEL_HI_RES], 0);

    io.send(keys, {inputEvent(EV_KEY, KEY_LEFTCTRL, 0), report()});
    input.pump();
    notch(REL_WHEEL, 1);
    EXPECT_GT(scrolled()[REL_WHEEL_HI_RES], 100);
}

TEST_F(LinuxRoad, StoppingReleasesTheMouseAndTheVirtualDevices) {
    notch(REL_WHEEL, 1);
    scroller->stop();
    EXPECT_FALSE(io.plugged[mouse].grabbed);
    for (const auto& v : io.virtuals) EXPECT_TRUE(v.destroyed);
}

// --- Screen and frame timer ----------------------------------------------

TEST(ScreenInfo, IgnoresValuesThatCannotDescribeAScreen) {
    linux_desktop::ScreenInfo screen;
    screen.setPixelSize(2560, 1440);
    screen.setPixelSize(0, 1440);
    screen.setPixelSize(std::nan(""), 5);
    screen.setRefreshRate(144);
    screen.setRefreshRate(-1);
    screen.setRefreshRate(INFINITY);
    EXPECT_EQ(screen.pixelsWide(), 2560);
    EXPECT_EQ(screen.pixelsHigh(), 1440);
    EXPECT_EQ(screen.refreshRate(), 144);
}

TEST(FrameTimer, CallsBackRepeatedlyAndNeverAfterStop) {
    linux_desktop::FrameTimers timers([] { return 500.0; });
    auto link = timers.createWithActiveDisplays();
    ASSERT_NE(link, nullptr);
    std::mutex mutex;
    std::condition_variable changed;
    int calls = 0;
    link->setOutputHandler([&] {
        std::lock_guard lock(mutex);
        ++calls;
        changed.notify_all();
    });
    link->start();
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] { return calls >= 3; }));
    }
    link->stop();
    int atStop;
    {
        std::lock_guard lock(mutex);
        atStop = calls;
    }
    link.reset();
    EXPECT_EQ(calls, atStop);
}

}  // namespace
