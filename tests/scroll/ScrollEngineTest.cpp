#include "scroll/ScrollEngine.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <numeric>
#include <ostream>
#include <vector>

using namespace larkspire;

namespace {

class ManualClock : public Clock {
  public:
    double uptime() const override { return now; }
    double wallTime() const override { return now; }
    double now = 100;
};

// Records what the engine asks for; the frame clock is only a flag, frames are called by hand.
class RecordingHost : public ScrollEngineHost {
  public:
    double displayPixels(bool horizontal) override { return horizontal ? width : height; }
    void postScroll(const SyntheticScroll& scroll) override { posted.push_back(scroll); }
    bool frameClockRuns() const override { return frameClock; }
    void startFrameClock() override {
        frameClock = true;
        ++frameClockStarts;
    }
    void stopFrameClock() override { frameClock = false; }

    double width = 1920;
    double height = 1080;
    bool frameClock = false;
    int frameClockStarts = 0;
    std::vector<SyntheticScroll> posted;
};

struct EngineFixture : ::testing::Test {
    ManualClock clock;
    RecordingHost host;
    ScrollEngine engine{clock, host};

    // A downward wheel tick at the clock's time.
    void tickAt(double at, std::int64_t direction = 1, bool horizontal = false, double sign = 1.0) {
        clock.now = at;
        engine.tick(at, direction, horizontal, sign);
    }
    void frameAt(double at) {
        clock.now = at;
        engine.frame();
    }
    // Distance still to go of the running animation at `at`, as the next tick would take it over.
    double undeliveredAt(double at) {
        frameAt(at);
        return engine.state().animation->distance - engine.state().emitted;
    }
    // Runs frames every `period` seconds until the animation ends.
    void runToEnd(double period) {
        double t = clock.now;
        for (int i = 0; engine.state().animation && i < 100000; ++i) frameAt(t += period);
    }
    std::int64_t postedPixels() const {
        return std::accumulate(host.posted.begin(), host.posted.end(), std::int64_t{0},
                               [](std::int64_t sum, const SyntheticScroll& s) { return sum + s.pointDelta; });
    }
};

// --- Classification --------------------------------------------------------------------------

struct WheelCase {
    std::int64_t vertical;
    std::int64_t horizontal;
    bool shift;
    std::optional<WheelTick> expected;
};

void PrintTo(const WheelCase& w, std::ostream* out) {
    *out << "vertical " << w.vertical << ", horizontal " << w.horizontal << (w.shift ? ", shift" : "");
}

class WheelClassification : public ::testing::TestWithParam<WheelCase> {};

TEST_P(WheelClassification, FollowsTheTableOfSignsAndShift) {
    auto c = GetParam();
    EXPECT_EQ(classifyWheel(c.vertical, c.horizontal, c.shift), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Engine, WheelClassification,
    ::testing::Values(WheelCase{0, 0, false, std::nullopt}, WheelCase{0, 0, true, std::nullopt},
                      WheelCase{-1, 0, false, WheelTick{-1, false, -1.0}},
                      WheelCase{3, -7, false, WheelTick{1, false, 1.0}},  // magnitudes do not count
                      WheelCase{0, -2, false, WheelTick{-2, true, -1.0}},
                      WheelCase{5, 0, true, WheelTick{2, true, 1.0}},
                      WheelCase{-1, 0, true, WheelTick{-2, true, -1.0}},
                      WheelCase{-1, 1, true, WheelTick{-1, false, -1.0}},
                      WheelCase{0, 1, true, WheelTick{2, true, 1.0}}));

// --- Curve -----------------------------------------------------------------------------------

TEST_F(EngineFixture, FirstTickOnAnyDisplayIsNinetyPixelsOnTheKnownCurve) {
    for (double height : {1080.0, 2160.0, 600.0}) {
        host.height = height;
        ScrollEngine fresh{clock, host};
        clock.now = 500;
        fresh.tick(500, 1, false, 1.0);
        const auto& a = *fresh.state().animation;
        EXPECT_EQ(a.distance, 90);  // rate 6.25, base 90, multiplier 1
        EXPECT_NEAR(a.baseSpeed, 409.0909, 1e-4);
        EXPECT_NEAR(a.distance - a.baseDistance, 46.192, 1e-3);  // the drag section
        EXPECT_NEAR(a.baseDistance, 43.8077, 1e-4);
        EXPECT_NEAR(a.baseDuration, 0.10709, 1e-5);
        EXPECT_NEAR(a.dragDuration, 0.27507, 1e-5);
        EXPECT_NEAR(a.baseDuration + a.dragDuration, 0.38215, 1e-5);
    }
}

TEST(Curve, SmallTotalsMoveAtConstantSpeedAndLargeOnesOnlyCoast) {
    auto six = makeAnimation(6);
    EXPECT_EQ(six.baseDuration, 0.22);
    EXPECT_EQ(six.dragDuration, 0);
    EXPECT_EQ(six.baseDistance, 6);

    auto seven = makeAnimation(7);
    EXPECT_NEAR(seven.dragDuration, 0.004, 0.0002);
    EXPECT_GT(seven.baseDistance, 0);

    auto nine100 = makeAnimation(900);
    EXPECT_EQ(nine100.baseDistance, 0);
    EXPECT_EQ(nine100.baseDuration, 0);
    EXPECT_NEAR(nine100.dragStartSpeed, 3918, 1);
    EXPECT_NEAR(nine100.dragDuration, 0.766, 0.001);
}

// --- Rate ------------------------------------------------------------------------------------

TEST_F(EngineFixture, TickIntervalsAfterAPauseAndTheBaseTheyGive) {
    tickAt(100);
    EXPECT_EQ(engine.state().tickIntervals, std::vector<double>{0.16});

    double rest = undeliveredAt(100.05);
    tickAt(100.05);
    EXPECT_EQ(engine.state().tickIntervals.size(), 2u);
    EXPECT_NEAR(engine.state().tickIntervals[1], 0.05, 1e-9);
    // Mean 0.105 s is 9.52 ticks per second: 94.88 pixels, truncated.
    EXPECT_NEAR(engine.state().animation->distance - rest, 94, 1e-9);

    tickAt(100.10);
    EXPECT_EQ(engine.state().tickIntervals.size(), 3u);
    EXPECT_EQ(engine.state().tickIntervals[0], 0.16);

    rest = undeliveredAt(100.15);
    tickAt(100.15);
    ASSERT_EQ(engine.state().tickIntervals.size(), 3u);
    for (double interval : engine.state().tickIntervals) EXPECT_NEAR(interval, 0.05, 1e-9);
    // 20 ticks per second on a display of the reference size: 110.48 pixels.
    EXPECT_NEAR(engine.state().animation->distance - rest, 110, 1e-9);
    EXPECT_NEAR(baseStep(20, 1080, false), 110.48, 0.005);
}

TEST_F(EngineFixture, VeryFastTicksReachTheTopBaseOfTheDisplay) {
    host.height = 2160;
    tickAt(100);
    for (double at : {100.0004, 100.0008, 100.0012}) tickAt(at);
    // Intervals under a millisecond count as one.
    for (double interval : engine.state().tickIntervals) EXPECT_EQ(interval, 0.001);
    double rest = undeliveredAt(100.0016);
    tickAt(100.0016);
    EXPECT_NEAR(engine.state().animation->distance - rest, 198, 1e-9);  // 162 + 18 × 2160 / 1080
    EXPECT_NEAR(baseStep(1 / 0.015, 1080, false), 180, 1e-9);
    EXPECT_NEAR(baseStep(1 / 0.015, 1920, true), 180, 1e-9);
    EXPECT_EQ(baseStep(6.25, 5000, true), 90);
}

TEST(BaseStep, ADisplayWithoutAUsableSizeScrollsLikeOneOfTheReferenceSize) {
    double reference = baseStep(20, 1080, false);
    for (double pixels : {0.0, -1080.0, std::nan(""), std::numeric_limits<double>::infinity()})
        EXPECT_EQ(baseStep(20, pixels, false), reference) << pixels;
    EXPECT_EQ(baseStep(20, 0, true), baseStep(20, 1920, true));
}

// --- Swipes ----------------------------------------------------------------------------------

TEST(SwipeMultiplier, GrowsSteeplyAndIsCapped) {
    const std::vector<double> expected = {1,      1.0,    1.33,   2.0045, 3.3830, 6.2004,
                                          11.959, 23.728, 47.782, 96.944, 197.42};
    for (std::size_t swipes = 0; swipes < expected.size(); ++swipes)
        EXPECT_NEAR(swipeMultiplier(static_cast<std::int64_t>(swipes)), expected[swipes],
                    expected[swipes] * 1e-4)
            << swipes;
    EXPECT_LT(swipeMultiplier(18), 100000);
    EXPECT_EQ(swipeMultiplier(19), 100000);
    EXPECT_EQ(swipeMultiplier(60), 100000);
}

TEST_F(EngineFixture, BurstsOfQuickTicksCountAsSwipesBurstByBurst) {
    double t = 100;
    for (std::int64_t burst = 0; burst < 4; ++burst) {
        for (int i = 0; i < 5; ++i) {
            if (i == 0) {
                double rest = burst == 0 ? 0 : undeliveredAt(t);
                tickAt(t);
                // The first tick of a burst is slow: base 90 times the multiplier of its swipe count.
                EXPECT_NEAR(engine.state().animation->distance - rest,
                            std::trunc(90 * swipeMultiplier(burst)), 1e-9);
            } else {
                tickAt(t);
            }
            EXPECT_EQ(engine.state().consecutiveSwipes, burst) << "burst " << burst << " tick " << i;
            t += 0.02;
        }
        t += 0.17 - 0.02;
    }
}

TEST_F(EngineFixture, BurstsThatAreTooSlowTooShortOrTooFarApartAreNoSwipes) {
    // Three ticks 0.03 s apart with 0.2 s pauses stay under 12 ticks per second.
    double t = 100;
    for (int burst = 0; burst < 4; ++burst) {
        for (int i = 0; i < 3; ++i, t += 0.03) tickAt(t);
        t += 0.2 - 0.03;
        EXPECT_EQ(engine.state().consecutiveSwipes, 0);
    }

    auto fiveQuick = [&](double start) {
        for (int i = 0; i < 5; ++i) tickAt(start + 0.02 * i);
        return start + 0.08;
    };
    t = fiveQuick(200);
    t = fiveQuick(t + 0.17);
    EXPECT_EQ(engine.state().consecutiveSwipes, 1);
    t = fiveQuick(t + 0.61);  // too long a pause
    EXPECT_EQ(engine.state().consecutiveSwipes, 0);

    t = fiveQuick(300);
    t = fiveQuick(t + 0.17);
    ASSERT_EQ(engine.state().consecutiveSwipes, 1);
    tickAt(t + 0.17);
    tickAt(t + 0.19);  // a burst of two ticks
    tickAt(t + 0.36);
    EXPECT_EQ(engine.state().consecutiveSwipes, 0);
}

TEST_F(EngineFixture, ThreeTicksAtTwelvePerSecondAreTheShortestSwipe) {
    // Three ticks, then the next burst at `gap` after the first: 3 / gap ticks per second.
    auto swipesAfter = [&](double start, double gap, int ticks) {
        for (int i = 0; i < ticks; ++i) tickAt(start + 0.02 * i);
        tickAt(start + gap);
        return engine.state().consecutiveSwipes;
    };
    EXPECT_EQ(swipesAfter(100, 0.25, 3), 1);  // exactly 12 per second
    EXPECT_EQ(swipesAfter(200, 0.26, 3), 0);  // just under
    EXPECT_EQ(swipesAfter(300, 0.2, 2), 0);   // two ticks are no burst, however fast
    EXPECT_EQ(swipesAfter(400, 0.21, 3), 1);
}

// --- Ticks against a running animation --------------------------------------------------------

TEST_F(EngineFixture, ReversalEndsTheScrollAndTheNextTickStartsAfresh) {
    tickAt(100);
    frameAt(100.05);
    host.posted.clear();

    tickAt(100.1, -1, false, -1.0);
    ASSERT_EQ(host.posted.size(), 1u);
    EXPECT_EQ(host.posted[0].scrollPhase, 4);  // gesture ended
    EXPECT_FALSE(engine.state().animation);
    EXPECT_FALSE(host.frameClock);

    tickAt(100.12, -1, false, -1.0);
    ASSERT_TRUE(engine.state().animation);
    EXPECT_EQ(engine.state().animation->distance, 90);
    EXPECT_EQ(host.posted.back().scrollPhase, 1);
}

TEST_F(EngineFixture, ReversalDuringMomentumPostsTheMomentumEnd) {
    tickAt(100);
    frameAt(100.2);
    ASSERT_EQ(engine.state().phase, Phase::momentum);
    host.posted.clear();
    tickAt(100.21, -1, false, -1.0);
    ASSERT_EQ(host.posted.size(), 1u);
    EXPECT_EQ(host.posted[0].momentumPhase, 3);
    EXPECT_EQ(host.posted[0].scrollPhase, 0);
}

TEST_F(EngineFixture, TickDuringMomentumEndsItAndBeginsANewGesture) {
    tickAt(100);
    frameAt(100.2);
    ASSERT_EQ(engine.state().phase, Phase::momentum);
    host.posted.clear();

    tickAt(100.25);
    ASSERT_GE(host.posted.size(), 2u);
    EXPECT_EQ(host.posted[0].momentumPhase, 3);
    EXPECT_EQ(host.posted[0].scrollPhase, 0);
    EXPECT_EQ(host.posted[1].scrollPhase, 1);
    EXPECT_EQ(host.posted[1].momentumPhase, 0);
    EXPECT_EQ(engine.state().phase, Phase::gesture);
}

TEST_F(EngineFixture, TickDuringTheGestureContinuesIt) {
    tickAt(100);
    frameAt(100.05);
    host.posted.clear();
    tickAt(100.1);
    ASSERT_EQ(host.posted.size(), 1u);
    EXPECT_EQ(host.posted[0].scrollPhase, 2);  // changed, not a second began
}

TEST_F(EngineFixture, SlowTickThatIsNoSwipeDropsTheUndeliveredRestAndTheCarries) {
    tickAt(100);
    frameAt(100.1);
    ASSERT_LT(engine.state().emitted, 89);
    tickAt(100.3);
    EXPECT_EQ(engine.state().animation->distance, 90);
    EXPECT_EQ(engine.state().carry, 0);
    EXPECT_EQ(engine.state().lineCarry, 0);
}

TEST_F(EngineFixture, FastTickCarriesTheUndeliveredRestOver) {
    tickAt(100);
    double rest = undeliveredAt(100.05);
    ASSERT_GT(rest, 1);
    tickAt(100.05);
    EXPECT_NEAR(engine.state().animation->distance, rest + 94, 1e-9);
}

TEST_F(EngineFixture, ChangingTheAxisEndsTheScrollAndStartsAfresh) {
    tickAt(100, 1, false, 1.0);
    frameAt(100.03);
    tickAt(100.05, 2, true, 1.0);  // direction change: ends the scroll
    tickAt(100.07, 2, true, 1.0);
    EXPECT_EQ(engine.state().animation->distance, 90);
    EXPECT_TRUE(engine.state().axisIsHorizontal);
}

// --- Frames ----------------------------------------------------------------------------------

TEST_F(EngineFixture, UndisturbedAnimationPostsGestureThenMomentumAndStops) {
    tickAt(100);
    EXPECT_TRUE(host.frameClock);
    runToEnd(1.0 / 60);
    EXPECT_FALSE(host.frameClock);
    EXPECT_EQ(host.frameClockStarts, 1);
    EXPECT_EQ(engine.state().phase, Phase::none);

    const auto& p = host.posted;
    ASSERT_GE(p.size(), 6u);
    EXPECT_EQ(p.front().scrollPhase, 1);
    EXPECT_EQ(p.front().pointDelta, 0);  // the tick's own frame comes at t = 0
    std::size_t i = 1;
    while (i < p.size() && p[i].scrollPhase == 2) ++i;
    ASSERT_LT(i + 2, p.size());
    EXPECT_EQ(p[i].scrollPhase, 4);
    EXPECT_EQ(p[i].pointDelta, 0);
    EXPECT_EQ(p[i + 1].momentumPhase, 1);
    for (std::size_t j = i + 2; j + 1 < p.size(); ++j) EXPECT_EQ(p[j].momentumPhase, 2) << j;
    EXPECT_EQ(p.back().momentumPhase, 3);
    EXPECT_GT(p.back().pointDelta, 0);  // the last delta comes with the end
    for (const auto& s : p) EXPECT_EQ(s.scrollPhase != 0 && s.momentumPhase != 0, false);

    EXPECT_GE(postedPixels(), 89);  // less a dropped fraction under one pixel
    EXPECT_LE(postedPixels(), 90);
}

TEST_F(EngineFixture, PositionsComeFromTheClockNotFromTheNumberOfFrames) {
    ManualClock otherClock;
    RecordingHost otherHost;
    ScrollEngine other{otherClock, otherHost};
    tickAt(100);
    otherClock.now = 100;
    other.tick(100, 1, false, 1.0);
    for (int i = 1; i <= 30; ++i) frameAt(100 + i * 0.01);
    otherClock.now = 100.3;
    other.frame();
    EXPECT_DOUBLE_EQ(engine.state().emitted, other.state().emitted);
}

TEST_F(EngineFixture, FinishWithEndSendsTheEndOfThePhase) {
    tickAt(100);
    host.posted.clear();
    engine.finishAnimation(true);
    ASSERT_EQ(host.posted.size(), 1u);
    EXPECT_EQ(host.posted[0].scrollPhase, 4);

    tickAt(101);
    frameAt(101.2);
    host.posted.clear();
    engine.finishAnimation(true);
    ASSERT_EQ(host.posted.size(), 1u);
    EXPECT_EQ(host.posted[0].momentumPhase, 3);

    host.posted.clear();
    engine.finishAnimation(true);  // idle: nothing to end
    EXPECT_TRUE(host.posted.empty());
}

// --- Posting ---------------------------------------------------------------------------------

TEST_F(EngineFixture, PostTurnsPixelsIntoLinesWithBothCarries) {
    engine.post(3, 2, 0);
    ASSERT_EQ(host.posted.size(), 1u);
    EXPECT_EQ(host.posted[0],
              (SyntheticScroll{.scrollPhase = 2, .pointDelta = 3, .lineDelta = 1, .fixedLineDelta = 0}));
    EXPECT_NEAR(engine.state().lineCarry, 0.3, 1e-12);

    // An empty event still carries a full line while a line fraction is pending.
    engine.post(0, 4, 0);
    EXPECT_EQ(host.posted[1].pointDelta, 0);
    EXPECT_EQ(host.posted[1].lineDelta, 1);

    engine.finishAnimation(false);
    engine.post(25, 2, 0);
    EXPECT_EQ(host.posted.back().pointDelta, 25);
    EXPECT_EQ(host.posted.back().lineDelta, 2);
    EXPECT_EQ(host.posted.back().fixedLineDelta, 2);
    EXPECT_NEAR(engine.state().lineCarry, 0.5, 1e-12);

    engine.finishAnimation(false);
    engine.post(2.75, 2, 0);
    EXPECT_EQ(host.posted.back().pointDelta, 2);
    EXPECT_NEAR(engine.state().carry, 0.75, 1e-12);
    engine.post(0.5, 2, 0);
    EXPECT_EQ(host.posted.back().pointDelta, 1);  // 0.75 + 0.5 makes a whole pixel
    EXPECT_NEAR(engine.state().carry, 0.25, 1e-12);

    engine.finishAnimation(false);
    engine.post(0, 4, 0);
    EXPECT_EQ(host.posted.back().lineDelta, 0);  // nothing at all stays nothing
}

TEST_F(EngineFixture, NegativeSignNegatesAllThreeDeltasAndTheAxisIsKept) {
    tickAt(100, -2, true, -1.0);
    engine.finishAnimation(false);
    host.posted.clear();
    engine.post(25, 2, 0);
    ASSERT_EQ(host.posted.size(), 1u);
    EXPECT_EQ(host.posted[0].pointDelta, -25);
    EXPECT_EQ(host.posted[0].lineDelta, -2);
    EXPECT_EQ(host.posted[0].fixedLineDelta, -2);
    EXPECT_TRUE(host.posted[0].horizontal);
    engine.post(3, 2, 0);
    EXPECT_EQ(host.posted[1].lineDelta, -1);
}

}  // namespace
