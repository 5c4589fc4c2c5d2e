#include "platform/linux/input/EvdevWheelInput.h"
#include "platform/sim/Desktop.h"
#include "scroll/SmoothScroller.h"
#include "support/FakeEventDevices.h"
#include "support/HandOverQueue.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstring>
#include <mutex>
#include <poll.h>
#include <thread>
#include <unistd.h>

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
    desktop.useWheel(hooks, poster);
    return SmoothScroller::create(SmoothScrollerPorts::from(desktop.ports()));
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

// A main thread that is busy for 50 ms at a time and runs what was handed to it in between.
class BusyMainThread : public testing::HandOverQueue {
  public:
    BusyMainThread() : worker([this] { run(); }) {}
    ~BusyMainThread() override {
        stopping = true;
        worker.join();
    }

  private:
    void run() {
        while (!stopping) {
            auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(50);
            while (!stopping && std::chrono::steady_clock::now() < until) {
            }
            runArrivedWithin(std::chrono::milliseconds(0));
        }
    }
    std::atomic<bool> stopping{false};
    std::thread worker;
};

// From a wheel notch written by the mouse to the same bytes on its clone, for a wheel event that
// passes (game mode), on the adapter's own reading thread while the main thread is busy. Argument 1:
// the reader knows of the game mode; 0: only the tap on the main thread does, for comparison.
void BM_LinuxPassedWheelEventToClone(benchmark::State& state) {
    BusyMainThread main;
    testing::FakeEventDevices io;
    auto mouse = io.plug(testing::wheelMouse());
    linux_desktop::EvdevWheelInput input(io, main);
    if (state.range(0) == 1) input.passWheelWhile([] { return true; });
    auto tap = input.createWheelTap([](TapEventType, const WheelEvent&) { return TapDecision::pass; });
    if (!tap) {
        state.SkipWithError("no tap");
        return;
    }
    tap->addToMainRunLoop();
    tap->setEnabled(true);
    int clone = io.virtuals[io.virtualNamed(testing::wheelMouse().name).value()].testEnd;
    const std::vector<input_event> notch = {testing::inputEvent(EV_REL, REL_WHEEL, -1, 7),
                                            testing::inputEvent(EV_REL, REL_WHEEL_HI_RES, -120, 7),
                                            testing::report(7)};
    const std::size_t bytes = notch.size() * sizeof(input_event);
    std::vector<char> got(bytes);
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        io.send(mouse, notch);
        std::size_t have = 0;
        while (have < bytes) {
            pollfd ready{clone, POLLIN, 0};
            if (poll(&ready, 1, 1000) <= 0) break;
            ssize_t n = read(clone, got.data() + have, bytes - have);
            if (n <= 0) break;
            have += static_cast<std::size_t>(n);
        }
        auto end = std::chrono::steady_clock::now();
        if (have != bytes || std::memcmp(got.data(), notch.data(), bytes) != 0) {
            state.SkipWithError("the clone did not get the notch unchanged");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
}
BENCHMARK(BM_LinuxPassedWheelEventToClone)->Arg(1)->Arg(0)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
