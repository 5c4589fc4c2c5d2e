#include "platform/linux/EvdevWheelInput.h"
#include "platform/sim/Desktop.h"
#include "scroll/SmoothScroller.h"
#include "support/FakeEventDevices.h"

#include <benchmark/benchmark.h>

using namespace larkspire;

namespace {

class ManualClock : public Clock {
  public:
    double uptime() const override { return now; }
    double wallTime() const override { return now; }
    double now = 1000;
};

// A sink that only counts, so that the measurement is the engine's own work.
class CountingHost : public ScrollEngineHost, public ScrollEventPoster {
  public:
    double displayPixels(bool horizontal) override { return horizontal ? 1920 : 1080; }
    void postScroll(const SyntheticScroll& scroll) override { pixels += scroll.pointDelta; }
    bool frameClockRuns() const override { return running; }
    void startFrameClock() override { running = true; }
    void stopFrameClock() override { running = false; }
    bool postScrollEvent(const ScrollEventFields& event) override {
        pixels += event.pointDeltaAxis1;
        return true;
    }
    bool running = false;
    std::int64_t pixels = 0;
};

std::shared_ptr<SmoothScroller> makeScroller(sim::Desktop& desktop, WheelEventHooks& hooks,
                                             ScrollEventPoster& poster) {
    Ports p = desktop.ports();
    return SmoothScroller::create(SmoothScrollerPorts{
        .main = p.main,
        .clock = p.clock,
        .defaults = p.defaults,
        .accessibility = p.accessibility,
        .log = p.log,
        .wheelEvents = hooks,
        .scrollEvents = poster,
        .displayLinks = p.displayLinks,
        .mainDisplay = p.mainDisplay,
        .gameMode = p.gameMode,
    });
}

// The tap's whole decision for a plain wheel tick, the tick itself included.
void BM_TapDecisionForATakenWheelEvent(benchmark::State& state) {
    sim::Desktop desktop;
    desktop.accessibility.trusted = true;
    desktop.displayLinks.fails = true;  // frames only at ticks: nothing else runs
    CountingHost poster;
    auto scroller = makeScroller(desktop, desktop.wheel, poster);
    scroller->start();
    desktop.advance(100);
    const WheelEvent tick{.verticalDelta = -1};
    for (auto _ : state) {
        benchmark::DoNotOptimize(scroller->handle(TapEventType::scrollWheel, tick));
    }
}
BENCHMARK(BM_TapDecisionForATakenWheelEvent);

void BM_OneFrame(benchmark::State& state) {
    ManualClock clock;
    CountingHost host;
    ScrollEngine engine(clock, host);
    engine.tick(clock.now, 1, false, 1.0);
    for (auto _ : state) {
        clock.now += 0.0001;
        engine.frame();
        if (!engine.state().animation) engine.tick(clock.now += 1, 1, false, 1.0);
    }
    benchmark::DoNotOptimize(host.pixels);
}
BENCHMARK(BM_OneFrame);

// A tick and every frame of its animation at 120 Hz.
void BM_WholeUndisturbedAnimation(benchmark::State& state) {
    ManualClock clock;
    CountingHost host;
    ScrollEngine engine(clock, host);
    for (auto _ : state) {
        clock.now += 1;
        engine.tick(clock.now, 1, false, 1.0);
        while (engine.state().animation) {
            clock.now += 1.0 / 120;
            engine.frame();
        }
    }
    benchmark::DoNotOptimize(host.pixels);
}
BENCHMARK(BM_WholeUndisturbedAnimation);

// From a notch written by the mouse to the first synthetic scroll the virtual wheel receives. The
// tick's own frame moves nothing yet, so the next refresh is part of the road; its wait (at most one
// refresh period) passes on the virtual clock and is not in the figure, the work it does is.
void BM_LinuxWheelToFirstSyntheticEvent(benchmark::State& state) {
    sim::Desktop desktop;
    desktop.accessibility.trusted = true;
    testing::FakeEventDevices io;
    auto mouse = io.plug(testing::wheelMouse());
    linux_desktop::EvdevWheelInput input(io, desktop.loop, linux_desktop::EvdevWheelInput::Reading::byPump);
    auto scroller = makeScroller(desktop, input, input);
    scroller->start();
    auto scrollDevice = io.virtualNamed("Larkspire Scroll").value();
    const std::vector<input_event> notch = {testing::inputEvent(EV_REL, REL_WHEEL, -1),
                                            testing::inputEvent(EV_REL, REL_WHEEL_HI_RES, -120),
                                            testing::report()};
    std::size_t written = 0;
    for (auto _ : state) {
        state.PauseTiming();
        desktop.advance(0.5);  // every notch a fresh one, after a pause
        state.ResumeTiming();
        io.send(mouse, notch);
        input.pump();
        desktop.loop.runPending();
        desktop.advance(1.0 / 60);
        written += io.take(scrollDevice).size();
    }
    if (written == 0) state.SkipWithError("no synthetic event was written");
}
BENCHMARK(BM_LinuxWheelToFirstSyntheticEvent);

}  // namespace
