#pragma once

#include "platform/Clock.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace larkspire {

// The curve of one animation: a constant-speed section, then a drag section down to the stop speed.
struct Animation {
    double distance = 0;        // pixels
    double baseSpeed = 0;       // pixels per second
    double baseDuration = 0;    // seconds
    double baseDistance = 0;    // pixels
    double dragStartSpeed = 0;  // pixels per second
    double dragDuration = 0;    // seconds
    bool operator==(const Animation&) const = default;
};

enum class Phase { none, gesture, momentum };

// One synthetic scroll event as the engine asks for it.
struct SyntheticScroll {
    std::int64_t scrollPhase = 0;    // 0 none, 1 began, 2 changed, 4 ended
    std::int64_t momentumPhase = 0;  // 0 none, 1 begin, 2 continue, 3 end
    bool horizontal = false;
    std::int64_t pointDelta = 0;  // pixels
    std::int64_t lineDelta = 0;
    double fixedLineDelta = 0;
    bool operator==(const SyntheticScroll&) const = default;
};

// The result of classifying a wheel event that is taken.
struct WheelTick {
    std::int64_t direction = 0;  // ±1 vertical, ±2 horizontal
    bool horizontal = false;
    double sign = 1.0;
    bool operator==(const WheelTick&) const = default;
};

// Only the signs of the deltas count; nothing when the event is not taken.
std::optional<WheelTick> classifyWheel(std::int64_t verticalDelta, std::int64_t horizontalDelta, bool shift);
// Pixels of one tick at `rate` ticks per second, before the swipe multiplier.
double baseStep(double rate, double displayPixels, bool horizontal);
double swipeMultiplier(std::int64_t consecutiveSwipes);
Animation makeAnimation(double total);

// What the engine needs of its surroundings besides the clock.
class ScrollEngineHost {
  public:
    virtual ~ScrollEngineHost() = default;
    virtual double displayPixels(bool horizontal) = 0;  // width for horizontal, height for vertical
    virtual void postScroll(const SyntheticScroll& scroll) = 0;
    virtual bool frameClockRuns() const = 0;
    virtual void startFrameClock() = 0;  // may fail silently; then frames come only with ticks
    virtual void stopFrameClock() = 0;
};

// The engine's state; all of it is read and written on the main thread.
struct ScrollEngineState {
    double previousTick = 0;  // 0 after a direction change
    std::int64_t previousDirection = 0;
    std::int64_t consecutiveTicks = 0;  // fast ticks since the last slow one
    std::int64_t consecutiveSwipes = 0;
    std::int64_t ticksInSwipeSequence = 0;
    double swipeSequenceStart = 0;
    std::vector<double> tickIntervals;   // at most 3
    std::optional<Animation> animation;  // absent while idle
    bool axisIsHorizontal = false;
    double sign = 1.0;
    double emitted = 0;    // pixels of the running animation already handed to post
    double carry = 0;      // pixels not yet posted
    double lineCarry = 0;  // lines not yet posted
    Phase phase = Phase::none;
    double animationStart = 0;
};

// Turns wheel ticks into timed series of synthetic scroll events. Every position is computed from
// the clock, so the outcome does not depend on how often frame() is called.
class ScrollEngine {
  public:
    ScrollEngine(const Clock& clock, ScrollEngineHost& host) : clock(clock), host(host) {}

    void tick(double at, std::int64_t direction, bool horizontal, double sign);
    void frame();
    void finishAnimation(bool sendEnd);
    void post(double delta, std::int64_t phase, std::int64_t momentum);

    const ScrollEngineState& state() const { return s; }

  private:
    const Clock& clock;
    ScrollEngineHost& host;
    ScrollEngineState s;
};

}  // namespace larkspire
