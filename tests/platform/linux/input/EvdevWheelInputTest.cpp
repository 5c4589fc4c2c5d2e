#include "platform/linux/input/EvdevWheelInput.h"

#include "platform/sim/Recorders.h"
#include "platform/sim/SimMainLoop.h"
#include "support/FakeEventDevices.h"
#include "support/HandOverQueue.h"

#include <atomic>
#include <cstring>
#include <gtest/gtest.h>
#include <optional>

using namespace larkspire;
using namespace larkspire::testing;
using larkspire::testing::HandOverQueue;
using linux_desktop::EvdevWheelInput;

namespace {

bool sameBytes(const std::vector<input_event>& a, const std::vector<input_event>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(input_event)) == 0;
}

// The display server as far as the wheel asks it; one that does not answer stands for Wayland.
struct FakeDisplayServer : linux_desktop::HeldModifiers {
    std::atomic<std::uint64_t> flags{0};
    std::atomic<bool> answers{true};
    std::optional<std::uint64_t> held() override {
        return answers ? std::optional<std::uint64_t>(flags.load()) : std::nullopt;
    }
};

struct EvdevFixture : ::testing::Test {
    sim::SimMainLoop loop;
    sim::RecordingLog log;
    FakeEventDevices io;
    FakeDisplayServer server;
    EvdevWheelInput input{io, loop, EvdevWheelInput::Reading::byPump, &log};
    std::unique_ptr<WheelEventTap> tap;
    std::vector<WheelEvent> seen;
    TapDecision decision = TapDecision::swallow;
    std::atomic<bool> gameMode{false};

    void install() {
        input.passWheelWhile([this] { return gameMode.load(); });
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
    std::size_t cloneOf(const std::string& name) { return io.virtualNamed(name).value(); }
    // The flags the tap saw for one notch, or nothing when the notch passed without asking it.
    std::optional<std::uint64_t> flagsOfTick(std::size_t mouse) {
        std::size_t before = seen.size();
        io.send(mouse, {inputEvent(EV_REL, REL_WHEEL, 1), report()});
        settle();
        if (seen.size() == before) return std::nullopt;
        return seen.back().flags;
    }
    // Sends reports one by one and counts the ticks after each.
    std::vector<std::size_t> ticksAfterEach(std::size_t mouse,
                                            const std::vector<std::vector<input_event>>& reports) {
        std::vector<std::size_t> counts;
        for (const auto& r : reports) {
            io.send(mouse, r);
            settle();
            counts.push_back(seen.size());
        }
        return counts;
    }
};

std::vector<input_event> joined(const std::vector<std::vector<input_event>>& reports) {
    std::vector<input_event> all;
    for (const auto& r : reports) all.insert(all.end(), r.begin(), r.end());
    return all;
}

// Type, code and value of each event, for what the adapter makes up itself.
std::vector<std::tuple<int, int, int>> contentOf(const std::vector<input_event>& events) {
    std::vector<std::tuple<int, int, int>> content;
    for (const auto& e : events) content.emplace_back(e.type, e.code, e.value);
    return content;
}

TEST_F(EvdevFixture, GrabsWheelMiceOnlyAndListensToKeyboards) {
    auto mouse = io.plug(wheelMouse());
    auto pad = io.plug(touchpad());
    auto keys = io.plug(keyboard());
    auto plainMouse = wheelMouse("Trackball");
    plainMouse.relativeAxes = {REL_X, REL_Y};
    auto ball = io.plug(plainMouse);
    auto cloned = wheelMouse();  // a clone made by another run
    cloned.phys = EvdevWheelInput::ownDevicePhys;
    auto mine = io.plug(cloned);
    install();

    EXPECT_EQ(input.grabbedMice(), 1u);
    EXPECT_EQ(input.watchedKeyboards(), 1u);
    EXPECT_TRUE(io.plugged[mouse].grabbed);
    for (auto other : {pad, keys, ball, mine}) EXPECT_FALSE(io.plugged[other].grabbed) << other;
    // One virtual wheel for the synthetic scrolls and one clone with the mouse's abilities.
    ASSERT_EQ(io.virtuals.size(), 2u);
    // The desktop keeps its settings for a mouse by name and ids: the clone carries them all.
    auto clone = io.virtuals[cloneOf("Wheel Mouse")].caps;
    EXPECT_EQ(clone.relativeAxes, wheelMouse().relativeAxes);
    EXPECT_EQ(clone.keys, wheelMouse().keys);
    EXPECT_EQ(clone.vendor, wheelMouse().vendor);
    EXPECT_EQ(clone.product, wheelMouse().product);
    EXPECT_EQ(clone.bustype, wheelMouse().bustype);
    EXPECT_EQ(clone.phys, EvdevWheelInput::ownDevicePhys);
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
    // The flags the tap saw, or nothing when the notch passed without asking it.
    auto tick = [&]() -> std::optional<std::uint64_t> {
        std::size_t before = seen.size();
        io.send(mouse, {inputEvent(EV_REL, REL_WHEEL, 1), report()});
        settle();
        if (seen.size() == before) return std::nullopt;
        return seen.back().flags;
    };
    EXPECT_EQ(tick(), WheelEvent::shiftMask);
    // Ctrl, Alt and Super leave the wheel to the programs: it passes at once.
    io.send(keys, {inputEvent(EV_KEY, KEY_LEFTSHIFT, 0), inputEvent(EV_KEY, KEY_LEFTCTRL, 1), report()});
    settle();
    EXPECT_EQ(tick(), std::nullopt);
    io.send(keys, {inputEvent(EV_KEY, KEY_LEFTCTRL, 0), inputEvent(EV_KEY, KEY_LEFTALT, 2), report()});
    settle();
    EXPECT_EQ(tick(), std::nullopt);  // a repeating key is held too
    EXPECT_EQ(io.take(cloneOf("Wheel Mouse")).size(), 4u);
    io.send(keys, {inputEvent(EV_KEY, KEY_LEFTALT, 0), report()});
    settle();
    EXPECT_EQ(tick(), 0u);
    EXPECT_FALSE(io.plugged[keys].grabbed);
    EXPECT_TRUE(log.lines.empty());  // the modifiers are known
}

TEST_F(EvdevFixture, WhereTheDisplayServerTellsTheModifiersTheKeyboardsStayClosed) {
    auto mouse = io.plug(wheelMouse());
    io.plug(keyboard(), {KEY_LEFTCTRL});  // what the keyboard holds is not asked
    input.readModifiersFrom(server);
    install();
    EXPECT_EQ(input.watchedKeyboards(), 0u);
    EXPECT_EQ(flagsOfTick(mouse), 0u);
    server.flags = WheelEvent::shiftMask;
    EXPECT_EQ(flagsOfTick(mouse), WheelEvent::shiftMask);
    for (auto held : {WheelEvent::controlMask, WheelEvent::alternateMask, WheelEvent::commandMask}) {
        server.flags = held | WheelEvent::shiftMask;
        EXPECT_EQ(flagsOfTick(mouse), std::nullopt) << held;
    }
    EXPECT_EQ(io.take(cloneOf("Wheel Mouse")).size(), 6u);  // the three notches passed unchanged
    EXPECT_TRUE(log.lines.empty());
}

TEST_F(EvdevFixture, AModifierPressedOnTheServerDuringAnAnimationEndsIt) {
    auto mouse = io.plug(wheelMouse());
    input.readModifiersFrom(server);
    install();
    auto scroll = io.virtualNamed("Larkspire Scroll").value();
    auto scrolled = [&] {
        EXPECT_TRUE(input.postScrollEvent(ScrollEventFields{.pointDeltaAxis1 = 45}));
        return !io.take(scroll).empty();
    };
    server.flags = WheelEvent::shiftMask;  // a sideways tick
    ASSERT_EQ(flagsOfTick(mouse), WheelEvent::shiftMask);
    EXPECT_TRUE(scrolled());  // Shift, held since the tick, was not pressed during the animation
    server.flags = WheelEvent::shiftMask | WheelEvent::controlMask;
    EXPECT_FALSE(scrolled());  // the rest would zoom
    server.flags = 0;
    EXPECT_FALSE(scrolled());  // ended until the next tick
    ASSERT_EQ(flagsOfTick(mouse), 0u);
    EXPECT_TRUE(scrolled());
}

TEST_F(EvdevFixture, WithoutDisplayServerOrReadableKeyboardTheLogSaysSoOnce) {
    auto mouse = io.plug(wheelMouse());
    auto keys = io.plug(keyboard(), {KEY_LEFTCTRL});
    io.plugged[keys].refused = true;
    server.answers = false;
    input.readModifiersFrom(server);
    install();
    EXPECT_EQ(input.watchedKeyboards(), 0u);
    EXPECT_EQ(flagsOfTick(mouse), 0u);  // Ctrl is down, but nothing can tell
    tap.reset();
    install();  // switched off and on again
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0].level, LogLevel::info);
    EXPECT_NE(log.lines[0].message.find("Sondertasten unbekannt"), std::string::npos);
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

TEST_F(EvdevFixture, PartsOfATakenNotchNeverReachTheCloneWithOtherReports) {
    auto mouse = io.plug(wheelMouse());
    install();
    std::vector<std::vector<input_event>> motions;
    for (int i = 0; i < 3; ++i) {
        io.send(mouse, {inputEvent(EV_REL, REL_WHEEL_HI_RES, 30, i), report(i)});
        motions.push_back({inputEvent(EV_REL, REL_X, 2, 10 + i), report(10 + i)});
        io.send(mouse, motions.back());
    }
    io.send(mouse,
            {inputEvent(EV_REL, REL_WHEEL, 1, 20), inputEvent(EV_REL, REL_WHEEL_HI_RES, 30, 20), report(20)});
    settle();
    ASSERT_EQ(seen.size(), 1u);  // the notch is animated, so none of it may scroll natively
    EXPECT_TRUE(sameBytes(io.take(cloneOf("Wheel Mouse")), joined(motions)));
}

// Nothing of a passed wheel waits for the main thread: only the reader runs here.
TEST_F(EvdevFixture, WithAModifierHeldOrInGameModeTheWheelPassesAtOnceInOrder) {
    auto mouse = io.plug(wheelMouse());
    auto keys = io.plug(keyboard(), {KEY_LEFTCTRL});
    install();
    const std::vector<std::vector<input_event>> reports = {
        {inputEvent(EV_REL, REL_WHEEL_HI_RES, 30, 1), report(1)},
        {inputEvent(EV_REL, REL_X, 3, 2), report(2)},
        {inputEvent(EV_REL, REL_WHEEL_HI_RES, -30, 3), report(3)},  // reversed half way
        {inputEvent(EV_KEY, BTN_LEFT, 1, 4), report(4)},
        {inputEvent(EV_REL, REL_HWHEEL_HI_RES, 60, 5), report(5)},
        {inputEvent(EV_REL, REL_WHEEL, 1, 6), inputEvent(EV_REL, REL_WHEEL_HI_RES, 120, 6), report(6)},
        {inputEvent(EV_KEY, BTN_LEFT, 0, 7), report(7)},
    };
    for (const auto& r : reports) io.send(mouse, r);
    input.pump();
    EXPECT_TRUE(sameBytes(io.take(cloneOf("Wheel Mouse")), joined(reports)));

    io.send(keys, {inputEvent(EV_KEY, KEY_LEFTCTRL, 0), report()});
    gameMode = true;
    for (const auto& r : reports) io.send(mouse, r);
    input.pump();
    EXPECT_TRUE(sameBytes(io.take(cloneOf("Wheel Mouse")), joined(reports)));
    loop.runPending();
    EXPECT_TRUE(seen.empty());
}

TEST_F(EvdevFixture, AMouseThatSendsOnlyPartsTicksWhateverItAdvertises) {
    auto mouse = io.plug(wheelMouse());  // advertises whole notches but never sends one
    install();
    std::vector<std::vector<input_event>> quarters(400,
                                                   {inputEvent(EV_REL, REL_WHEEL_HI_RES, -30), report()});
    auto counts = ticksAfterEach(mouse, quarters);
    EXPECT_EQ(counts[2], 0u);
    EXPECT_EQ(counts[3], 1u);
    ASSERT_EQ(counts.back(), 100u);
    EXPECT_EQ(seen.back().verticalDelta, -1);
}

TEST_F(EvdevFixture, AMouseThatSendsItsOwnNotchesTicksOnThemOnly) {
    auto mouse = io.plug(wheelMouse());
    install();
    // Such a mouse counts its 120 units its own way: early, half way through, or late.
    auto part = [](std::int32_t units) {
        return std::vector<input_event>{inputEvent(EV_REL, REL_WHEEL_HI_RES, units), report()};
    };
    auto notch = [](std::int32_t units) {
        return std::vector<input_event>{inputEvent(EV_REL, REL_WHEEL, 1),
                                        inputEvent(EV_REL, REL_WHEEL_HI_RES, units), report()};
    };
    auto counts = ticksAfterEach(
        mouse, {part(30), notch(30), part(50), part(50), part(50), part(50), notch(50), notch(30)});
    EXPECT_EQ(counts, (std::vector<std::size_t>{0, 1, 1, 1, 1, 1, 2, 3}));
}

TEST_F(EvdevFixture, AStepThatDoesNotDivideANotchKeepsItsRemainder) {
    auto caps = wheelMouse("Precise Wheel");
    caps.relativeAxes = {REL_X, REL_Y, REL_WHEEL_HI_RES};
    auto mouse = io.plug(caps);
    install();
    std::vector<input_event> step = {inputEvent(EV_REL, REL_WHEEL_HI_RES, 90), report()};
    // 90, 180, 270, 360 units: notches complete at 120, 240 and 360.
    EXPECT_EQ(ticksAfterEach(mouse, {step, step, step, step}), (std::vector<std::size_t>{0, 1, 2, 3}));
}

TEST_F(EvdevFixture, BothWheelsKeepTheirPartsWhenTheEventPasses) {
    auto mouse = io.plug(wheelMouse());
    install();
    decision = TapDecision::pass;
    const std::vector<std::vector<input_event>> reports = {
        {inputEvent(EV_REL, REL_WHEEL_HI_RES, 60), report()},
        {inputEvent(EV_REL, REL_HWHEEL_HI_RES, -30), report()},  // the tilt, the other way
        {inputEvent(EV_REL, REL_WHEEL, 1), inputEvent(EV_REL, REL_WHEEL_HI_RES, 60), report()},
    };
    for (const auto& r : reports) io.send(mouse, r);
    settle();
    ASSERT_EQ(seen.size(), 1u);
    auto out = io.take(cloneOf("Wheel Mouse"));
    int vertical = 0;
    int horizontal = 0;
    for (const auto& e : out) {
        if (e.code == REL_WHEEL_HI_RES) vertical += e.value;
        if (e.code == REL_HWHEEL_HI_RES) horizontal += e.value;
    }
    EXPECT_EQ(vertical, 120);
    EXPECT_EQ(horizontal, -30);

    // Both notches in one report: one tick with both deltas, passed whole.
    std::vector<input_event> both = {inputEvent(EV_REL, REL_WHEEL, -1), inputEvent(EV_REL, REL_HWHEEL, 1),
                                     report()};
    io.send(mouse, both);
    settle();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].verticalDelta, -1);
    EXPECT_EQ(seen[1].horizontalDelta, -1);
    EXPECT_TRUE(sameBytes(io.take(cloneOf("Wheel Mouse")), both));
}

TEST_F(EvdevFixture, AfterLostEventsKeysAreReadAgain) {
    auto mouse = io.plug(wheelMouse());
    auto keys = io.plug(keyboard());
    install();
    io.send(keys, {inputEvent(EV_KEY, KEY_LEFTCTRL, 1), report()});
    io.send(mouse, {inputEvent(EV_KEY, BTN_LEFT, 1), report()});
    settle();
    io.take(cloneOf("Wheel Mouse"));

    // The releases are lost; meanwhile the right button went down.
    io.plugged[mouse].held = {BTN_RIGHT};
    io.send(keys, {inputEvent(EV_SYN, SYN_DROPPED, 0), report()});
    io.send(mouse, {inputEvent(EV_SYN, SYN_DROPPED, 0), inputEvent(EV_KEY, BTN_RIGHT, 1), report()});
    settle();
    EXPECT_EQ(contentOf(io.take(cloneOf("Wheel Mouse"))),
              contentOf({inputEvent(EV_KEY, BTN_LEFT, 0), inputEvent(EV_KEY, BTN_RIGHT, 1), report()}));

    io.send(mouse, {inputEvent(EV_REL, REL_WHEEL, 1), report()});
    settle();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].flags, 0u);  // Ctrl is up again
}

TEST_F(EvdevFixture, AFailedWaitReleasesTheMiceAndTakesThemBackLater) {
    auto mouse = io.plug(wheelMouse());
    io.plug(keyboard());  // the modifiers are known, so the failure is all there is to say
    install();
    io.pollError = ENOMEM;
    input.pump();
    input.pump();
    EXPECT_FALSE(io.plugged[mouse].grabbed);
    EXPECT_EQ(input.grabbedMice(), 0u);
    EXPECT_TRUE(io.virtuals[cloneOf("Wheel Mouse")].destroyed);
    ASSERT_EQ(log.lines.size(), 1u);  // said once, not on every failed wait
    EXPECT_EQ(log.lines[0].level, LogLevel::error);

    io.pollError = 0;
    input.pump();
    input.pump();
    EXPECT_TRUE(io.plugged[mouse].grabbed);
    io.send(mouse, {inputEvent(EV_REL, REL_WHEEL, 1), report()});
    settle();
    EXPECT_EQ(seen.size(), 1u);
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
