#include "scroll/ScrollEngine.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace larkspire {

namespace {

// The drag slows the speed v by dv/dt = −40·v^0.7 down to the stop speed of 30 pixels per second;
// these are its integrals, written out as fixed literals so that every build computes the same curve.
constexpr double stopSpeedPow13 = 83.22573344016544;    // 30^1.3
constexpr double stopSpeedPow03 = 2.7741911146721816;   // 30^0.3
constexpr double dragDistanceDivisor = 52;              // 40 × 1.3
constexpr double dragTimeDivisor = 12.000000000000002;  // 40 × 0.3
constexpr double exponent03 = 0.30000000000000004;
constexpr double stopSpeed = 30;
constexpr double constantSection = 0.22;

constexpr double slowTickInterval = 0.16;
constexpr double swipePause = 0.6;
constexpr double swipeRate = 12.0;
constexpr double shortestMean = 0.015;
constexpr double shortestInterval = 0.001;
constexpr double rateRange = 60.41666666666667;  // 1/0.015 − 1/0.16
constexpr double swipeWeight = 0.3161429072173152;

std::int64_t signOf(std::int64_t value) {
    return (value > 0) - (value < 0);
}

}  // namespace

std::optional<WheelTick> classifyWheel(std::int64_t verticalDelta, std::int64_t horizontalDelta, bool shift) {
    std::int64_t v = signOf(verticalDelta);
    std::int64_t h = signOf(horizontalDelta);
    if (v == 0 && h == 0) return std::nullopt;
    if (v == 0) return WheelTick{.direction = 2 * h, .horizontal = true, .sign = static_cast<double>(h)};
    // Shift turns a plain vertical wheel sideways, as a trackpad user would expect.
    if (shift && h == 0)
        return WheelTick{.direction = 2 * v, .horizontal = true, .sign = static_cast<double>(v)};
    return WheelTick{.direction = v, .horizontal = false, .sign = static_cast<double>(v)};
}

double baseStep(double rate, double displayPixels, bool horizontal) {
    if (rate <= 6.25) return 90;
    double reference = horizontal ? 1920 : 1080;
    // A display that reports no usable size scrolls like one of the reference size.
    if (!std::isfinite(displayPixels) || displayPixels <= 0) displayPixels = reference;
    return (rate - 6.25) * ((displayPixels / reference) * 18 + 162 - 90) / rateRange + 90;
}

double swipeMultiplier(std::int64_t consecutiveSwipes) {
    std::int64_t n = consecutiveSwipes + 1;
    if (n < 2) return 1;
    return std::min(100000.0,
                    std::pow(1.1, static_cast<double>(n - 2) * 7.5) * swipeWeight + 1 - swipeWeight);
}

Animation makeAnimation(double total) {
    double speed = total / constantSection;
    if (speed <= stopSpeed) {
        return Animation{.distance = total,
                         .baseSpeed = speed,
                         .baseDuration = constantSection,
                         .baseDistance = total,
                         .dragStartSpeed = 0,
                         .dragDuration = 0};
    }
    Animation curve{.distance = total};
    double dragDistance = (std::pow(speed, 1.3) - stopSpeedPow13) / dragDistanceDivisor;
    double startSpeed = speed;
    if (dragDistance > total) {
        // The drag alone would overshoot: start slower, so that the drag covers exactly the total.
        startSpeed = std::pow((40 * total) * 1.3 + stopSpeedPow13, 0.7692307692307692);
        curve.baseDistance = 0;
        curve.baseDuration = 0;
    } else {
        curve.baseDistance = total - dragDistance;
        curve.baseDuration = (total - dragDistance) / speed;
    }
    curve.baseSpeed = startSpeed;
    curve.dragStartSpeed = startSpeed;
    curve.dragDuration = (std::pow(startSpeed, exponent03) - stopSpeedPow03) / dragTimeDivisor;
    return curve;
}

void ScrollEngine::tick(double at, std::int64_t direction, bool horizontal, double sign) {
    double now = at;
    if (direction != s.previousDirection) {
        s.previousDirection = direction;
        s.previousTick = 0;
        s.consecutiveTicks = 0;
        s.consecutiveSwipes = 0;
        s.ticksInSwipeSequence = 0;
        s.swipeSequenceStart = now;
        // A reversal only stops the scroll under way; the next tick starts afresh.
        if (s.animation) {
            finishAnimation(true);
            return;
        }
    }

    s.ticksInSwipeSequence += 1;
    double interval = std::max(shortestInterval, now - s.previousTick);
    double meanInterval;
    if (interval > slowTickInterval) {
        bool continuesSwipe = s.consecutiveTicks >= 2 && interval <= swipePause &&
                              static_cast<double>(s.ticksInSwipeSequence) /
                                      std::max(shortestInterval, now - s.swipeSequenceStart) >=
                                  swipeRate;
        if (continuesSwipe) {
            s.consecutiveSwipes += 1;
        } else {
            s.consecutiveSwipes = 0;
            s.swipeSequenceStart = now;
            s.ticksInSwipeSequence = 0;
        }
        s.consecutiveTicks = 0;
        s.previousTick = now;
        s.tickIntervals = {slowTickInterval};
        meanInterval = slowTickInterval;
    } else {
        s.consecutiveTicks += 1;
        s.previousTick = now;
        s.tickIntervals.push_back(interval);
        if (s.tickIntervals.size() == 4) s.tickIntervals.erase(s.tickIntervals.begin());
        double sum = std::accumulate(s.tickIntervals.begin(), s.tickIntervals.end(), 0.0);
        meanInterval = std::max(shortestMean, sum / static_cast<double>(s.tickIntervals.size()));
    }
    double rate = 1 / meanInterval;

    double base = baseStep(rate, host.displayPixels(horizontal), horizontal);
    double multiplier = swipeMultiplier(s.consecutiveSwipes);

    double remaining = 0;
    if (s.animation) {
        if ((s.consecutiveSwipes != 0 || s.consecutiveTicks != 0) && horizontal == s.axisIsHorizontal) {
            remaining = std::max(0.0, s.animation->distance - s.emitted);
        } else {
            s.carry = 0;
            s.lineCarry = 0;
        }
    }

    double step = std::trunc(base * multiplier);

    if (s.phase == Phase::momentum) {
        post(0, 0, 3);
        s.phase = Phase::none;
    }

    s.axisIsHorizontal = horizontal;
    s.sign = sign;

    s.animation = makeAnimation(step + remaining);
    s.animationStart = now;
    s.emitted = 0;

    if (!host.frameClockRuns()) host.startFrameClock();
    frame();
}

void ScrollEngine::frame() {
    if (!s.animation) return;
    const Animation curve = *s.animation;
    double t = clock.uptime() - s.animationStart;
    double end = curve.dragDuration + curve.baseDuration;

    double position;
    if (t <= curve.baseDuration) {
        position = curve.baseSpeed * t;
    } else if (t >= end) {
        position = curve.distance;
    } else {
        double tau = t - curve.baseDuration;
        double h = tau * (-dragTimeDivisor) + std::pow(curve.dragStartSpeed, exponent03);
        double v = std::pow(h <= 0 ? 0 : h, 3.333333333333333);
        position = curve.baseDistance +
                   (std::pow(curve.dragStartSpeed, 1.3) - std::pow(v, 1.3)) / dragDistanceDivisor;
    }

    double delta = position - s.emitted;
    s.emitted = position;

    if (t > std::max(curve.baseDuration, slowTickInterval)) {
        Phase before = s.phase;
        std::int64_t momentum;
        if (before == Phase::none) {
            post(0, 1, 0);
            post(0, 4, 0);
            momentum = 1;
        } else if (before == Phase::gesture) {
            post(0, 4, 0);
            momentum = 1;
        } else {
            momentum = t >= end ? 3 : 2;
        }
        post(delta, 0, momentum);
        if (before == Phase::momentum) {
            if (t >= end) finishAnimation(false);
        } else if (t >= end) {
            post(0, 0, 3);
            s.phase = Phase::momentum;
            finishAnimation(false);
        } else {
            s.phase = Phase::momentum;
        }
        return;
    }

    post(delta, s.phase == Phase::gesture ? 2 : 1, 0);
    s.phase = Phase::gesture;
    if (t >= end) {
        post(0, 4, 0);
        finishAnimation(false);
    }
}

void ScrollEngine::post(double delta, std::int64_t phase, std::int64_t momentum) {
    double x = delta + s.carry;
    double pixels = std::trunc(x);
    s.carry = x - pixels;

    double lines = pixels / 10 + s.lineCarry;
    double whole = std::trunc(lines);
    s.lineCarry = lines - whole;

    // Any movement below one line still scrolls a full line for applications that count lines.
    double lineValue = whole;
    if (std::abs(lines) <= 1) lineValue = lines > 0 ? std::ceil(lines) : std::floor(lines);

    host.postScroll(SyntheticScroll{
        .scrollPhase = phase,
        .momentumPhase = momentum,
        .horizontal = s.axisIsHorizontal,
        .pointDelta = static_cast<std::int64_t>(pixels * s.sign),
        .lineDelta = static_cast<std::int64_t>(lineValue * s.sign),
        .fixedLineDelta = whole * s.sign,
    });
}

void ScrollEngine::finishAnimation(bool sendEnd) {
    if (sendEnd) {
        if (s.phase == Phase::gesture) post(0, 4, 0);
        if (s.phase == Phase::momentum) post(0, 0, 3);
    }
    host.stopFrameClock();
    s.animation.reset();
    s.phase = Phase::none;
    s.emitted = 0;
    s.carry = 0;
    s.lineCarry = 0;
}

}  // namespace larkspire
