#include "scroll/SmoothScroller.h"

#include "app/Settings.h"
#include "platform/sim/Desktop.h"

#include <gtest/gtest.h>
#include <numeric>
#include <ostream>

using namespace larkspire;

namespace {

constexpr const char* activeMessage = "Flüssiges Scrollen aktiv";

struct ScrollerFixture : ::testing::Test {
    sim::Desktop desktop;
    std::shared_ptr<SmoothScroller> scroller;

    void SetUp() override {
        desktop.accessibility.trusted = true;
        desktop.advance(100);  // a session that has been up for a while
    }
    SmoothScroller& make() {
        scroller = SmoothScroller::create(SmoothScrollerPorts::from(desktop.ports()));
        return *scroller;
    }
    SmoothScroller& started() {
        make().start();
        return *scroller;
    }
    static WheelEvent wheelDown() { return WheelEvent{.verticalDelta = -1}; }
    std::int64_t postedPixels(bool horizontal = false) const {
        std::int64_t sum = 0;
        for (const auto& p : desktop.wheel.posted)
            sum += horizontal ? p.fields.pointDeltaAxis2 : p.fields.pointDeltaAxis1;
        return sum;
    }
    int logged(const std::string& message) const { return desktop.log.count("scroll", message); }
};

// --- Switching -------------------------------------------------------------------------------

TEST_F(ScrollerFixture, StartTwiceInstallsOneTapAndStopReleasesIt) {
    auto& s = started();
    s.start();
    EXPECT_EQ(desktop.wheel.tapsCreated, 1);
    EXPECT_EQ(desktop.wheel.enabledTaps(), 1);
    EXPECT_EQ(logged(activeMessage), 1);
    EXPECT_TRUE(s.isOn());

    s.stop();
    EXPECT_FALSE(s.isOn());
    EXPECT_EQ(desktop.wheel.liveTaps(), 0);
    EXPECT_FALSE(desktop.wheel.scroll(wheelDown()));
    s.stop();  // when off: harmless
    EXPECT_TRUE(desktop.wheel.posted.empty());
}

TEST_F(ScrollerFixture, UpdateFollowsTheSetting) {
    auto& s = make();
    s.update();
    EXPECT_FALSE(s.isOn());
    desktop.defaults.setBool(Settings::smoothScrollKey, true);
    s.update();
    EXPECT_TRUE(s.isOn());
    s.update();
    EXPECT_EQ(desktop.wheel.tapsCreated, 1);
    desktop.defaults.setBool(Settings::smoothScrollKey, false);
    s.update();
    EXPECT_FALSE(s.isOn());
}

TEST_F(ScrollerFixture, WithoutPermissionOneSilentWaitStartsOnceGranted) {
    desktop.accessibility.trusted = false;
    desktop.defaults.setBool(Settings::smoothScrollKey, true);
    auto& s = make();
    s.start();
    s.start();
    EXPECT_TRUE(s.isWaitingForPermission());
    EXPECT_EQ(desktop.loop.pendingTaskCount(), 1u);  // one 2-second timer
    desktop.advance(30);
    EXPECT_FALSE(s.isOn());
    EXPECT_TRUE(desktop.log.lines.empty());
    EXPECT_EQ(desktop.wheel.tapsCreated, 0);

    desktop.accessibility.trusted = true;
    desktop.advance(2.0);
    EXPECT_TRUE(s.isOn());
    EXPECT_FALSE(s.isWaitingForPermission());
    EXPECT_EQ(desktop.loop.pendingTaskCount(), 0u);
}

TEST_F(ScrollerFixture, ThePermissionIsLookedForEveryTwoSeconds) {
    desktop.accessibility.trusted = false;
    desktop.defaults.setBool(Settings::smoothScrollKey, true);
    auto& s = make();
    s.start();
    desktop.advance(0.1);
    desktop.accessibility.trusted = true;
    desktop.advance(1.8);
    EXPECT_FALSE(s.isOn());
    desktop.advance(0.2);
    EXPECT_TRUE(s.isOn());
}

TEST_F(ScrollerFixture, PermissionArrivingAfterTheSettingWasSwitchedOffStartsNothing) {
    desktop.accessibility.trusted = false;
    desktop.defaults.setBool(Settings::smoothScrollKey, true);
    auto& s = make();
    s.update();
    desktop.defaults.setBool(Settings::smoothScrollKey, false);
    desktop.accessibility.trusted = true;
    desktop.advance(2.0);
    EXPECT_FALSE(s.isOn());
    EXPECT_FALSE(s.isWaitingForPermission());
}

TEST_F(ScrollerFixture, StopEndsThePermissionWait) {
    desktop.accessibility.trusted = false;
    auto& s = make();
    s.start();
    s.stop();
    EXPECT_FALSE(s.isWaitingForPermission());
    desktop.accessibility.trusted = true;
    desktop.advance(5);
    EXPECT_FALSE(s.isOn());
}

TEST_F(ScrollerFixture, RefusedTapIsLoggedAndLeavesTheFeatureOff) {
    desktop.wheel.refusesTaps = true;
    auto& s = started();
    EXPECT_FALSE(s.isOn());
    EXPECT_EQ(logged("Scroll-Tap konnte nicht angelegt werden"), 1);
    EXPECT_EQ(logged(activeMessage), 0);

    desktop.wheel.refusesTaps = false;
    s.start();  // the next attempt may succeed
    EXPECT_TRUE(s.isOn());
}

// --- The tap's decisions ---------------------------------------------------------------------

TEST_F(ScrollerFixture, OrdinaryWheelTicksAreSwallowedAndReplacedBySmoothEvents) {
    started();
    EXPECT_TRUE(desktop.wheel.scroll(wheelDown()));
    desktop.advance(1.0);
    ASSERT_FALSE(desktop.wheel.posted.empty());
    EXPECT_EQ(postedPixels(), -90);
    for (const auto& p : desktop.wheel.posted) {
        EXPECT_EQ(p.fields.userData, 0x4C4B5343);
        EXPECT_EQ(p.fields.isContinuous, 1);
        EXPECT_EQ(p.fields.invertedFromDevice, 1);
        EXPECT_EQ(p.fields.flags, 0u);
        EXPECT_EQ(p.fields.pointDeltaAxis2, 0);
        EXPECT_EQ(p.fields.deltaAxis2, 0);
        EXPECT_TRUE(p.passedTaps);  // the own events come back through the tap and pass
    }
    EXPECT_EQ(desktop.wheel.posted.front().fields.scrollPhase, 1);
    EXPECT_EQ(desktop.wheel.posted.back().fields.momentumPhase, 3);
    // Ten pixels make a line: the whole lines add up to the pixels, the line deltas never fall short.
    double wholeLines = 0;
    for (const auto& p : desktop.wheel.posted) {
        wholeLines += p.fields.fixedPtDeltaAxis1;
        EXPECT_LE(p.fields.deltaAxis1, p.fields.fixedPtDeltaAxis1);
        EXPECT_LE(p.fields.deltaAxis1, 0);
    }
    // Tenths do not add up exactly in binary, so the ninth line may stay in the carry that ends with the
    // scroll.
    EXPECT_GE(wholeLines, -9);
    EXPECT_LE(wholeLines, -8);
    // What applications saw: only the synthetic events, the physical tick was swallowed.
    EXPECT_EQ(desktop.wheel.reachedApplications.size(), desktop.wheel.posted.size());
}

struct PassCase {
    const char* name;
    TapEventType type;
    WheelEvent event;
};

void PrintTo(const PassCase& p, std::ostream* out) {
    *out << p.name;
}

class TapPasses : public ScrollerFixture, public ::testing::WithParamInterface<PassCase> {};

TEST_P(TapPasses, AndLeavesTheEventAlone) {
    started();
    EXPECT_FALSE(desktop.wheel.deliver(GetParam().type, GetParam().event));
    EXPECT_TRUE(desktop.wheel.posted.empty());
    EXPECT_FALSE(scroller->engine().state().animation);
}

INSTANTIATE_TEST_SUITE_P(
    Interception, TapPasses,
    ::testing::Values(
        PassCase{"OtherEventType", TapEventType::other, WheelEvent{.verticalDelta = 1}},
        PassCase{"OwnMarker", TapEventType::scrollWheel,
                 WheelEvent{.verticalDelta = 1, .userData = 0x4C4B5343}},
        PassCase{"Trackpad", TapEventType::scrollWheel, WheelEvent{.verticalDelta = 1, .isContinuous = 1}},
        PassCase{"Command", TapEventType::scrollWheel, WheelEvent{.verticalDelta = 1, .flags = 0x100000}},
        PassCase{"Option", TapEventType::scrollWheel, WheelEvent{.verticalDelta = 1, .flags = 0x80000}},
        PassCase{"Control", TapEventType::scrollWheel, WheelEvent{.verticalDelta = 1, .flags = 0x40000}},
        PassCase{"ShiftAndControl", TapEventType::scrollWheel,
                 WheelEvent{.verticalDelta = 1, .flags = 0x60000}},
        PassCase{"NoDelta", TapEventType::scrollWheel, WheelEvent{.flags = 0x20000}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScrollerFixture, ShiftTurnsAVerticalWheelIntoHorizontalScrolling) {
    started();
    EXPECT_TRUE(desktop.wheel.scroll(WheelEvent{.verticalDelta = 1, .flags = WheelEvent::shiftMask}));
    desktop.advance(1.0);
    EXPECT_EQ(postedPixels(true), 90);
    EXPECT_EQ(postedPixels(false), 0);
    for (const auto& p : desktop.wheel.posted) EXPECT_EQ(p.fields.flags, 0u);  // Shift is not passed on
}

TEST_F(ScrollerFixture, TapDisabledByTheSystemIsSilentlyEnabledAgain) {
    started();
    for (auto reason : {TapEventType::tapDisabledByTimeout, TapEventType::tapDisabledByUserInput}) {
        desktop.wheel.disableTaps(reason);
        EXPECT_EQ(desktop.wheel.enabledTaps(), 1);
        EXPECT_TRUE(desktop.wheel.scroll(wheelDown()));
    }
    EXPECT_EQ(desktop.log.lines.size(), 1u);  // only the start
}

TEST_F(ScrollerFixture, EventThatCannotBeMadeIsSkipped) {
    started();
    desktop.wheel.failsEventCreation = true;
    EXPECT_TRUE(desktop.wheel.scroll(wheelDown()));
    desktop.advance(0.1);
    desktop.wheel.failsEventCreation = false;
    desktop.advance(1.0);
    EXPECT_FALSE(scroller->engine().state().animation);
    EXPECT_GT(postedPixels(), -90);  // the pixels of the skipped events are gone, nothing else broke
}

// --- Frames and refresh rates ----------------------------------------------------------------

class RefreshRates : public ScrollerFixture, public ::testing::WithParamInterface<double> {};

TEST_P(RefreshRates, PostedPixelsAddUpToTheTick) {
    desktop.displayLinks.refreshRate = GetParam();
    started();
    desktop.wheel.scroll(WheelEvent{.verticalDelta = 1});
    EXPECT_EQ(desktop.displayLinks.running, 1);
    desktop.advance(0.2);
    EXPECT_EQ(desktop.displayLinks.running, 1);
    desktop.advance(0.3);
    EXPECT_EQ(desktop.displayLinks.running, 0);  // the link only runs with an animation
    EXPECT_GE(postedPixels(), 89);
    EXPECT_LE(postedPixels(), 90);
    // Roughly one event per refresh over the 0.382 s of the curve.
    EXPECT_GT(static_cast<double>(desktop.wheel.posted.size()), 0.3 * GetParam());
}

INSTANTIATE_TEST_SUITE_P(Frames, RefreshRates, ::testing::Values(60.0, 120.0, 144.0));

TEST_F(ScrollerFixture, WithoutDisplayLinkFramesComeOnlyWithTicks) {
    desktop.displayLinks.fails = true;
    started();
    desktop.wheel.scroll(wheelDown());
    EXPECT_EQ(desktop.wheel.posted.size(), 1u);
    desktop.advance(1.0);
    EXPECT_EQ(desktop.wheel.posted.size(), 1u);
    desktop.wheel.scroll(wheelDown());
    EXPECT_GT(desktop.wheel.posted.size(), 1u);
    EXPECT_TRUE(desktop.log.lines.size() == 1u);  // nothing reported
}

TEST_F(ScrollerFixture, StopDuringAnAnimationPostsItsEndAndStopsTheLink) {
    auto& s = started();
    desktop.wheel.scroll(wheelDown());
    desktop.advance(0.05);
    s.stop();
    ASSERT_FALSE(desktop.wheel.posted.empty());
    EXPECT_EQ(desktop.wheel.posted.back().fields.scrollPhase, 4);
    EXPECT_EQ(desktop.displayLinks.running, 0);
    auto count = desktop.wheel.posted.size();
    desktop.advance(1.0);
    EXPECT_EQ(desktop.wheel.posted.size(), count);
}

// --- Game mode -------------------------------------------------------------------------------

TEST_F(ScrollerFixture, GameModePausesAndResumesWithoutRestart) {
    auto& s = started();
    desktop.wheel.scroll(wheelDown());
    desktop.advance(0.25);  // in the momentum section
    ASSERT_EQ(s.engine().state().phase, Phase::momentum);

    desktop.gameMode.setState(1);
    desktop.advance(0);
    EXPECT_TRUE(s.gameModeActive());
    EXPECT_EQ(desktop.wheel.posted.back().fields.momentumPhase, 3);
    EXPECT_FALSE(s.engine().state().animation);
    EXPECT_EQ(desktop.displayLinks.running, 0);
    EXPECT_EQ(logged("Spielemodus an (1) – flüssiges Scrollen pausiert"), 1);

    auto count = desktop.wheel.posted.size();
    EXPECT_FALSE(desktop.wheel.scroll(wheelDown()));
    desktop.advance(1);
    EXPECT_EQ(desktop.wheel.posted.size(), count);
    EXPECT_EQ(desktop.wheel.liveTaps(), 1);  // nothing is torn down

    desktop.gameMode.setState(0);
    desktop.advance(0);
    EXPECT_FALSE(s.gameModeActive());
    EXPECT_EQ(logged("Spielemodus aus (0) – flüssiges Scrollen wieder aktiv"), 1);
    EXPECT_TRUE(desktop.wheel.scroll(wheelDown()));
    EXPECT_EQ(desktop.wheel.tapsCreated, 1);
}

TEST_F(ScrollerFixture, GameModeDuringTheGestureEndsTheGesture) {
    started();
    desktop.wheel.scroll(wheelDown());
    desktop.advance(0.05);
    desktop.gameMode.setState(7);
    desktop.advance(0);
    EXPECT_EQ(desktop.wheel.posted.back().fields.scrollPhase, 4);
    EXPECT_EQ(logged("Spielemodus an (7) – flüssiges Scrollen pausiert"), 1);
    desktop.gameMode.setState(3);  // still on: nothing new to say
    desktop.advance(0);
    EXPECT_EQ(desktop.log.lines.size(), 2u);
}

TEST_F(ScrollerFixture, GameModeAlreadyOnAtConstructionIsReadAtOnce) {
    desktop.gameMode.setState(1);
    auto& s = started();
    EXPECT_TRUE(s.gameModeActive());
    EXPECT_FALSE(desktop.wheel.scroll(wheelDown()));
}

TEST_F(ScrollerFixture, UnavailableGameModeIsLoggedAndScrollingWorks) {
    desktop.gameMode.registrationStatus = 5;
    auto& s = started();
    EXPECT_EQ(logged("Spielemodus-Benachrichtigung nicht verfügbar (5)"), 1);
    EXPECT_EQ(desktop.log.lines.front().level, LogLevel::error);
    EXPECT_FALSE(s.gameModeActive());
    EXPECT_TRUE(desktop.wheel.scroll(wheelDown()));
}

TEST_F(ScrollerFixture, AScrollerThatIsGoneHearsNothingMore) {
    started();
    desktop.wheel.scroll(wheelDown());
    scroller.reset();
    EXPECT_EQ(desktop.gameMode.registrations(), 0u);
    EXPECT_EQ(desktop.wheel.liveTaps(), 0);
    desktop.gameMode.setState(1);
    desktop.advance(1);
    EXPECT_FALSE(desktop.wheel.scroll(wheelDown()));
}

}  // namespace
