#include "platform/linux/EvdevWheelInput.h"

#include "platform/sim/SimMainLoop.h"
#include "support/FakeEventDevices.h"
#include "support/HandOverQueue.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace larkspire;
using namespace larkspire::testing;
using larkspire::testing::HandOverQueue;
using linux_desktop::EvdevWheelInput;

namespace {

bool sameBytes(const std::vector<input_event>& a, const std::vector<input_event>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(input_event)) == 0;
}

struct EvdevFixture : ::testing::Test {
    sim::SimMainLoop loop;
    FakeEventDevices io;
    EvdevWheelInput input{io, loop, EvdevWheelInput::Reading::byPump};
    std::unique_ptr<WheelEventTap> tap;
    std::vector<WheelEvent> seen;
    TapDecision decision = TapDecision::swallow;

    void install() {
        tap = input.createWheelTap([this](TapEventType type, const WheelEvent& event) {
            EXPECT_EQ(type, TapEventType::scrollWheel);
            seen.push_back(event);
            return decision;
        });
        ASSERT_NE(tap, nullptr);
        tap->addToMainRunLoop();
        tap->setEnabled(true);
    }
    // Lets the reader take what waits, then runs the main thread's share.
    void settle() {
        input.pump();
        loop.runPending();
    }
    std::size_t cloneOf(const std::string& name) { return io.virtualNamed("Larkspire: " + name).value(); }
};

TEST_F(EvdevFixture, GrabsWheelMiceOnlyAndListensToKeyboards) {
    auto mouse = io.plug(wheelMouse());
    auto pad = io.plug(touchpad());
    auto keys = io.plug(keyboard());
    auto plainMouse = wheelMouse("Trackball");
    plainMouse.relativeAxes = {REL_X, REL_Y};
    auto ball = io.plug(plainMouse);
    auto mine = io.plug(wheelMouse("Larkspire: Wheel Mouse"));  // a clone of an earlier run
    install();

    EXPECT_EQ(input.grabbedMice(), 1u);
    EXPECT_EQ(input.watchedKeyboards(), 1u);
    EXPECT_TRUE(io.plugged[mouse].grabbed);
    for (auto other : {pad, keys, ball, mine}) EXPECT_FALSE(io.plugged[other].grabbed) << other;
    // One virtual wheel for the synthetic scrolls and one clone with the mouse's abilities.
    ASSERT_EQ(io.virtuals.size(), 2u);
    auto clone = io.virtuals[cloneOf("Wheel Mouse")].caps;
    EXPECT_EQ(clone.relativeAxes, wheelMouse().relativeAxes);
    EXPECT_EQ(clone.keys, wheelMouse().keys);
    EXPECT_EQ(clone.vendor, wheelMouse().vendor);
    auto scroll = io.virtuals[io.virtualNamed("Larkspire Scroll").value()].caps;
    EXPECT_TRUE(scroll.hasRelative(REL_WHEEL_HI_RES));
    EXPECT_TRUE(scroll.hasRelative(REL_HWHEEL_HI_RES));
}

TEST_F(EvdevFixture, EverythingButTheWheelPassesByteForByte) {
    auto mouse = io.plug(wheelMouse());
    install();
    std::vector<input_event> motion = {inputEvent(EV_REL, REL_X, 7, 11), inputEvent(EV_REL, REL_Y, -3, 11),
                                       report(11)};
    std::vector<input_event> click = {inputEvent(EV_MSC, MSC_SCAN, 90001, 12),
                                      inputEvent(EV_KEY, BTN_LEFT, 1, 12), report(12)};
    io.send(mouse, motion);
    io.send(mouse, click);
    settle();
    auto out = io.take(cloneOf("Wheel Mouse"));
    std::vector<input_event> both = motion;
    both.insert(both.end(), click.begin(), click.end());
    EXPECT_TRUE(sameBytes(out, both));
    EXPECT_TRUE(seen.empty());
}

TEST_F(EvdevFixture, ANotchIsOneTickAndIsSwallowed) {
    auto mouse = io.plug(wheelMouse());
    install();
    io.send(mouse, {inputEvent(EV_REL, REL_WHEEL, -1), inputEvent(EV_REL, REL_WHEEL_HI_RES, -120), report()});
    settle();
    ASSERT_EQ(seen.size(), 1u);  // the high-resolution twin of the notch is not a second tick
    EXPECT_EQ(seen[0].verticalDelta, -1);
    EXPECT_EQ(seen[0].horizontalDelta, 0);
    EXPECT_EQ(seen[0].flags, 0u);
    EXPECT_EQ(seen[0].isContinuous, 0);
    EXPECT_TRUE(io.take(cloneOf("Wheel Mouse")).empty());
}

TEST_F(EvdevFixture, MotionInTheSameReportAsASwallowedNotchStillPasses) {
    auto mouse = io.plug(wheelMouse());
    install();
    io.send(mouse, {inputEvent(EV_REL, REL_X, 4, 5), inputEvent(EV_REL, REL_WHEEL, 1, 5),
                    inputEvent(EV_REL, REL_WHEEL_HI_RES, 120, 5), report(5)});
    settle();
    EXPECT_EQ(seen.size(), 1u);
    EXPECT_TRUE(sameBytes(io.take(cloneOf("Wheel Mouse")), {inputEvent(EV_REL, REL_X, 4, 5), report(5)}));
}

TEST_F(EvdevFixture, AWheelTheTapPassesIsRepeatedUnchanged) {
    auto mouse = io.plug(wheelMouse());
    install();
    decision = TapDecision::pass;
    std::vector<input_event> notch = {inputEvent(EV_REL, REL_HWHEEL, 1, 9),
                                      inputEvent(EV_REL, REL_HWHEEL_HI_RES, 120, 9), report(9)};
    io.send(mouse, notch);
    settle();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].horizontalDelta, -1);  // rightwards, the opposite of the positive (leftward) side
    EXPECT_TRUE(sameBytes(io.take(cloneOf("Wheel Mouse")), notch));
}

TEST_F(EvdevFixture, PartsOfAHighResolutionNotchMakeOneTick) {
    auto mouse = io.plug(wheelMouse());
    install();
    decision = TapDecision::pass;
    for (int i = 0; i < 3; ++i) io.send(mouse, {inputEvent(EV_REL, REL_WHEEL_HI_RES, 30), report()});
    settle();
    EXPECT_TRUE(seen.empty());
    io.send(mouse, {inputEvent(EV_REL, REL_WHEEL, 1), inputEvent(EV_REL, REL_WHEEL_HI_RES, 30), report()});
    settle();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].verticalDelta, 1);
    // Passed on, the whole notch arrives at once: the three parts, the last part and the notch.
    auto out = io.take(cloneOf("Wheel Mouse"));
    ASSERT_EQ(out.size(), 6u);
    int hiRes = 0;
    for (const auto& e : out)
        if (e.code == REL_WHEEL_HI_RES) hiRes += e.value;
    EXPECT_EQ(hiRes, 120);
}

TEST_F(EvdevFixture, AWheelWithoutClassicNotchesTicksEveryHundredTwentyUnits) {
    auto caps = wheelMouse("Precise Wheel");
    caps.relativeAxes = {REL_X, REL_Y, REL_WHEEL_HI_RES};
    auto mouse = io.plug(caps);
    install();
    io.send(mouse, {inputEvent(EV_REL, REL_WHEEL_HI_RES, -60), report()});
    settle();
    EXPECT_TRUE(seen.empty());
    io.send(mouse, {inputEvent(EV_REL, REL_WHEEL_HI_RES, -60), report()});
    settle();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].verticalDelta, -1);
}

TEST_F(EvdevFixture, ModifiersComeFromTheKeyboardsWithoutGrabbingThem) {
    auto mouse = io.plug(wheelMouse());
    auto keys = io.plug(keyboard(), {KEY_LEFTSHIFT});  // held since before the start
    install();
    auto tick = [&] {
        io.send(mouse, {inputEvent(EV_REL, REL_WHEEL, 1), report()});
        settle();
        return seen.back().flags;
    };
    EXPECT_EQ(tick(), WheelEvent::shiftMask);
    io.send(keys, {inputEvent(EV_KEY, KEY_LEFTSHIFT, 0), inputEvent(EV_KEY, KEY_LEFTCTRL, 1), report()});
    settle();
    EXPECT_EQ(tick(), WheelEvent::controlMask);
    io.send(keys, {inputEvent(EV_KEY, KEY_LEFTCTRL, 0), inputEvent(EV_KEY, KEY_LEFTMETA, 1),
                   inputEvent(EV_KEY, KEY_LEFTALT, 2), report()});
    settle();
    EXPECT_EQ(tick(), WheelEvent::commandMask | WheelEvent::alternateMask);
    EXPECT_FALSE(io.plugged[keys].grabbed);
}

TEST_F(EvdevFixture, MicePluggedInLaterAreTakenAndUnpluggedOnesReleased) {
    auto first = io.plug(wheelMouse("First"));
    install();
    auto second = io.plug(wheelMouse("Second"));
    settle();
    EXPECT_EQ(input.grabbedMice(), 2u);
    EXPECT_TRUE(io.plugged[second].grabbed);

    io.send(second, {inputEvent(EV_REL, REL_WHEEL, 1), report()});
    settle();
    EXPECT_EQ(seen.size(), 1u);

    io.unplug(second);
    settle();
    EXPECT_EQ(input.grabbedMice(), 1u);
    EXPECT_TRUE(io.virtuals[cloneOf("Second")].destroyed);
    EXPECT_FALSE(io.virtuals[cloneOf("First")].destroyed);

    io.send(first, {inputEvent(EV_REL, REL_WHEEL, -1), report()});
    settle();
    EXPECT_EQ(seen.size(), 2u);
}

TEST_F(EvdevFixture, AMouseThatVanishesBeforeItsTickIsHandledCausesNoHarm) {
    auto mouse = io.plug(wheelMouse());
    install();
    decision = TapDecision::pass;
    io.send(mouse, {inputEvent(EV_REL, REL_WHEEL, 1), report()});
    input.pump();  // the tick waits for the main thread
    io.unplug(mouse);
    input.pump();
    loop.runPending();
    EXPECT_EQ(seen.size(), 1u);
    EXPECT_EQ(input.grabbedMice(), 0u);
}

TEST_F(EvdevFixture, ADisabledTapLetsTheWheelThroughWithoutAsking) {
    auto mouse = io.plug(wheelMouse());
    install();
    tap->setEnabled(false);
    std::vector<input_event> notch = {inputEvent(EV_REL, REL_WHEEL, 1), report()};
    io.send(mouse, notch);
    settle();
    EXPECT_TRUE(seen.empty());
    EXPECT_TRUE(sameBytes(io.take(cloneOf("Wheel Mouse")), notch));
}

TEST_F(EvdevFixture, ReleasingTheTapUngrabsAndDestroysEveryVirtualDevice) {
    auto a = io.plug(wheelMouse("A"));
    auto b = io.plug(wheelMouse("B"));
    install();
    tap->setEnabled(false);
    tap->invalidate();
    tap.reset();
    EXPECT_FALSE(io.plugged[a].grabbed);
    EXPECT_FALSE(io.plugged[b].grabbed);
    for (const auto& v : io.virtuals) EXPECT_TRUE(v.destroyed) << v.caps.name;
    EXPECT_FALSE(input.postScrollEvent(ScrollEventFields{.pointDeltaAxis1 = 5}));

    install();  // and it can be switched on again
    EXPECT_EQ(input.grabbedMice(), 2u);
}

TEST_F(EvdevFixture, NoTapWithoutTheVirtualDevices) {
    io.plug(wheelMouse());
    io.virtualFails = true;
    EXPECT_EQ(input.createWheelTap([](TapEventType, const WheelEvent&) { return TapDecision::pass; }),
              nullptr);
    EXPECT_FALSE(io.plugged[0].grabbed);
}

TEST_F(EvdevFixture, AMouseSomeoneElseHoldsIsLeftAlone) {
    io.plug(wheelMouse());
    io.grabFails = true;
    install();
    EXPECT_EQ(input.grabbedMice(), 0u);
    EXPECT_EQ(io.virtuals.size(), 2u);
    EXPECT_TRUE(io.virtuals[cloneOf("Wheel Mouse")].destroyed);
}

TEST_F(EvdevFixture, BrokenInputIsSkippedWithoutLosingTheDevice) {
    auto mouse = io.plug(wheelMouse());
    install();
    // A kernel overflow drops the rest of the report; the next one counts again.
    io.send(mouse, {inputEvent(EV_REL, REL_X, 1), inputEvent(EV_SYN, SYN_DROPPED, 0),
                    inputEvent(EV_REL, REL_WHEEL, 1), report()});
    io.send(mouse, {inputEvent(EV_REL, REL_WHEEL, 1), report()});
    settle();
    EXPECT_EQ(seen.size(), 1u);
    // Half an event stays waiting for its other half.
    auto notch = std::vector<input_event>{inputEvent(EV_REL, REL_WHEEL, -1), report()};
    const char* bytes = reinterpret_cast<const char*>(notch.data());
    ssize_t ignored = write(io.plugged[mouse].testEnd, bytes, 10);
    settle();
    EXPECT_EQ(seen.size(), 1u);
    ignored = write(io.plugged[mouse].testEnd, bytes + 10, notch.size() * sizeof(input_event) - 10);
    (void)ignored;
    settle();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].verticalDelta, -1);
}

}  // namespace

namespace {

TEST(EvdevReadingThread, HandsTicksToTheMainThreadAndStopsCleanly) {
    HandOverQueue main;
    FakeEventDevices io;
    auto mouse = io.plug(wheelMouse());
    EvdevWheelInput input(io, main);
    std::vector<WheelEvent> seen;
    auto tap = input.createWheelTap([&](TapEventType, const WheelEvent& event) {
        seen.push_back(event);
        return TapDecision::swallow;
    });
    ASSERT_NE(tap, nullptr);
    tap->addToMainRunLoop();
    tap->setEnabled(true);

    io.send(mouse, {inputEvent(EV_REL, REL_WHEEL, 1), report()});
    ASSERT_TRUE(main.runArrived());
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].verticalDelta, 1);

    tap.reset();  // the reading thread ends and lets go of the mouse
    EXPECT_FALSE(io.plugged[mouse].grabbed);
    for (const auto& v : io.virtuals) EXPECT_TRUE(v.destroyed);
}

}  // namespace
