// What one second of the system monitor widget costs on Qt: laying out its face from fresh figures
// and painting it into an image of the window's size, as its window does every second.
#include <benchmark/benchmark.h>

#ifdef LARKSPIRE_HAVE_QT

#include "OffscreenQt.h"
#include "app/Settings.h"
#include "platform/qt/drawing/DisplayListPainter.h"
#include "platform/qt/drawing/QtTextMetrics.h"
#include "platform/sim/MemoryDefaults.h"
#include "platform/sim/SimHost.h"
#include "stats/SystemStats.h"
#include "widgets/SystemMonitorView.h"
#include "widgets/WidgetChrome.h"

#include <QImage>
#include <QPainter>
#include <QSemaphore>
#include <QThreadPool>
#include <cmath>

namespace {

using namespace larkspire;

using larkspire::bench::needQt;

void SystemMonitorSecond(benchmark::State& state) {
    needQt();
    sim::SimHostStatistics host;
    sim::SimTemperatureSensors sensors;
    sim::MemoryDefaults defaults;
    defaults.registerDefaults(Settings::registeredDefaults());
    host.processors = 8;
    host.ticks = std::vector<CpuTicks>(8);
    host.installed = 16ULL << 30;
    host.pages = MemoryPages{.internal = 400000};
    sensors.readings = {52.0};
    SystemStats stats({.host = host, .sensors = sensors, .defaults = defaults});
    stats.refresh();
    qt::QtTextMetrics metrics;
    WidgetState widgetState(1.0);
    WidgetChrome face(std::make_unique<SystemMonitorView>(stats, widgetState, metrics), widgetState,
                      Color{0.0, 0.48, 1.0, 1});
    std::uint32_t second = 0;
    for (auto _ : state) {
        // Every second other loads and another amount of memory, as on a working machine.
        ++second;
        for (std::size_t cpu = 0; cpu < 8; ++cpu) {
            auto busy = static_cast<std::uint32_t>((second * 37 + cpu * 11) % 100);
            (*host.ticks)[cpu].user += busy;
            (*host.ticks)[cpu].idle += 100 - busy;
        }
        host.pages->internal = 400000 + (second * 977) % 50000;
        stats.refresh();
        auto view = face.render();
        QImage image(static_cast<int>(std::ceil(view.width)), static_cast<int>(std::ceil(view.height)),
                     QImage::Format_ARGB32_Premultiplied);
        auto paint = [&] {
            image.fill(Qt::transparent);
            QPainter painter(&image);
            qt::paintDisplayList(painter, view.items);
        };
        if (state.range(0)) {
            QSemaphore done;
            QThreadPool::globalInstance()->start([&] {
                paint();
                done.release();
            });
            done.acquire();
        } else {
            paint();
        }
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(SystemMonitorSecond)->Arg(0)->Arg(1)->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);

}  // namespace

#endif
