#pragma once

#include "platform/HostStatistics.h"
#include "platform/Screens.h"
#include "platform/TemperatureSensors.h"
#include "platform/TimeZone.h"
#include "platform/WidgetWindow.h"

#include <cmath>
#include <memory>
#include <optional>
#include <vector>

namespace larkspire::sim {

// A machine whose counters a test sets; `ticks` are handed out as they stand at each sample.
class SimHostStatistics : public HostStatistics {
  public:
    int processorCount() const override { return processors; }
    std::uint64_t physicalMemory() const override { return installed; }
    std::vector<LogicalCpu> processorTopology() const override { return topology; }
    std::optional<std::vector<CpuTicks>> processorTicks() override {
        ++tickReads;
        return ticks;
    }
    std::optional<MemoryPages> memoryPages() override { return pages; }
    double pageSize() const override { return bytesPerPage; }

    // Every CPU spends `busy` of the next `ticksPerCpu` ticks working.
    void run(double busy, std::uint32_t ticksPerCpu = 100) {
        if (!ticks) ticks.emplace();
        ticks->resize(static_cast<std::size_t>(processors));
        auto work = static_cast<std::uint32_t>(std::lround(busy * ticksPerCpu));
        for (auto& cpu : *ticks) {
            cpu.user += work;
            cpu.idle += ticksPerCpu - work;
        }
    }

    int processors = 8;
    std::uint64_t installed = 16ULL << 30;
    std::vector<LogicalCpu> topology;
    std::optional<std::vector<CpuTicks>> ticks = std::vector<CpuTicks>(8);
    std::optional<MemoryPages> pages = MemoryPages{.internal = 262144, .wired = 131072};
    double bytesPerPage = 16384;
    int tickReads = 0;
};

class SimTemperatureSensors : public TemperatureSensors {
  public:
    std::size_t count() const override { return readings.size(); }
    std::optional<double> readCelsius(std::size_t sensor) override {
        return sensor < readings.size() ? readings[sensor] : std::nullopt;
    }
    std::vector<std::optional<double>> readings;
};

class SimScreens : public Screens {
  public:
    std::vector<Screen> screens() const override { return attached; }
    std::vector<Screen> attached{Screen{.frame = {0, 0, 1440, 900}, .visibleFrame = {0, 0, 1440, 875}}};
};

// A widget window as the window server would keep it; tests move it and press its handle.
class SimWidgetWindow : public WidgetWindow {
  public:
    explicit SimWidgetWindow(const Rect& rect, WidgetWindowEvents events)
        : rect(rect), events(std::move(events)) {}
    Rect frame() const override { return rect; }
    void setFrame(const Rect& frame) override { rect = frame; }
    void setContent(DisplayList list) override {
        content = std::move(list);
        ++draws;
    }
    void setLevel(WidgetLevel value) override { level = value; }
    void setIgnoresMouseEvents(bool value) override { ignoresMouse = value; }
    void setMovableByWindowBackground(bool value) override { movable = value; }
    void setHandleFrame(std::optional<Rect> frame) override { handle = frame; }
    void orderFront() override { visible = true; }
    void orderFrontRegardless() override { visible = true; }
    void orderOut() override { visible = false; }
    bool isVisible() const override { return visible; }

    // The user drags the window by its background to a new top-left corner.
    void dragTo(Point topLeft) {
        rect.x = topLeft.x;
        rect.y = topLeft.y - rect.height;
        if (events.moved) events.moved();
    }
    // The user drags the handle horizontally by `dx` points.
    void dragHandle(double dx) {
        Point start{rect.x + rect.width - 10, rect.y + 10};
        if (events.handleDown) events.handleDown(start);
        if (events.handleDragged) events.handleDragged(Point{start.x + dx, start.y});
    }

    Rect rect;
    DisplayList content;
    int draws = 0;
    WidgetLevel level = WidgetLevel::desktop;
    bool ignoresMouse = false;
    bool movable = false;
    bool visible = false;
    std::optional<Rect> handle;

  private:
    WidgetWindowEvents events;
};

class SimWidgetWindows : public WidgetWindows {
  public:
    std::unique_ptr<WidgetWindow> create(const Rect& contentRect, WidgetWindowEvents events) override {
        auto window = std::make_unique<SimWidgetWindow>(contentRect, std::move(events));
        created.push_back(window.get());
        return window;
    }
    Color accentColor() const override { return Color{0.0, 0.48, 1.0, 1.0}; }
    std::vector<SimWidgetWindow*> created;  // owned by the widgets, which live as long as the application
};

class SimTimeZone : public TimeZone {
  public:
    double secondsFromGmt(double) const override { return offset; }
    double offset = 3600;  // Central European Time
};

}  // namespace larkspire::sim
