#include "app/Settings.h"
#include "platform/sim/MemoryDefaults.h"
#include "platform/sim/SimHost.h"
#include "platform/sim/SimShell.h"
#include "widgets/ClockView.h"
#include "widgets/ResizeHandle.h"
#include "widgets/SystemMonitorView.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace larkspire;

namespace {

void collect(const DisplayList& list, std::vector<Text>& texts, std::vector<RoundedRect>& rects) {
    for (const auto& item : list) {
        if (auto* text = std::get_if<Text>(&item.content)) texts.push_back(*text);
        if (auto* rect = std::get_if<RoundedRect>(&item.content)) rects.push_back(*rect);
        if (auto* group = std::get_if<DisplayGroup>(&item.content)) collect(group->items, texts, rects);
    }
}

struct Face {
    std::vector<Text> texts;
    std::vector<RoundedRect> rects;
    double width = 0;
    explicit Face(const RenderedView& view) : width(view.width) { collect(view.items, texts, rects); }
    std::vector<std::string> strings() const {
        std::vector<std::string> out;
        for (const auto& text : texts) out.push_back(text.text);
        return out;
    }
    const Text* find(const std::string& string) const {
        for (const auto& text : texts)
            if (text.text == string) return &text;
        return nullptr;
    }
};

struct Monitor {
    sim::SimHostStatistics host;
    sim::SimTemperatureSensors sensors;
    sim::MemoryDefaults defaults;
    sim::SimTextMetrics metrics;
    WidgetState state{1.0};
    std::unique_ptr<SystemStats> stats;
    explicit Monitor(int processors = 2) {
        defaults.registerDefaults(Settings::registeredDefaults());
        host.processors = processors;
        host.ticks = std::vector<CpuTicks>(static_cast<std::size_t>(processors));
        stats = std::make_unique<SystemStats>(SystemStatsPorts{host, sensors, defaults});
    }
    Face face() { return Face(SystemMonitorView(*stats, state, metrics).render()); }
    // Two samples, so the loads are real: each CPU's share of busy ticks in `loads`.
    void load(const std::vector<double>& loads) {
        stats->refresh();
        for (std::size_t cpu = 0; cpu < loads.size(); ++cpu) {
            auto busy = static_cast<std::uint32_t>(std::lround(loads[cpu] * 1000));
            (*host.ticks)[cpu].user += busy;
            (*host.ticks)[cpu].idle += 1000 - busy;
        }
        stats->refresh();
    }
};

TEST(SystemMonitorFace, ShowsLoadsMemoryAndTemperatureInGermanNumbers) {
    Monitor monitor;
    monitor.host.installed = 17179869184ULL;
    monitor.host.pages = MemoryPages{.internal = 6807355392ULL / 16384};
    monitor.sensors.readings = {59.6};
    monitor.load({0.126, 0.126});
    auto face = monitor.face();
    EXPECT_EQ(face.strings(),
              (std::vector<std::string>{"CPU", "13 %", "60 °C", "RAM 40 %", "6,3 GB", "von 16,0 GB"}));
    EXPECT_EQ(face.find("60 °C")->color, (Color{0.55, 0.9, 0.25, 1}));
    EXPECT_EQ(face.find("13 %")->alignment, TextAlignment::right);
    EXPECT_EQ(face.find("13 %")->font,
              (FontDescription{.size = 20, .weight = FontWeight::heavy, .monospacedDigits = true}));
}

struct TemperatureCase {
    double celsius;
    std::string text;
    Color color;
};

class TemperatureColour : public ::testing::TestWithParam<TemperatureCase> {};

TEST_P(TemperatureColour, IsDecidedOnTheUnroundedValue) {
    Monitor monitor;
    monitor.sensors.readings = {GetParam().celsius};
    monitor.stats->refresh();
    auto face = monitor.face();
    const auto* text = face.find(GetParam().text);
    ASSERT_NE(text, nullptr) << ::testing::PrintToString(face.strings());
    EXPECT_EQ(text->color, GetParam().color);
}

INSTANTIATE_TEST_SUITE_P(Thresholds, TemperatureColour,
                         ::testing::Values(TemperatureCase{59.6, "60 °C", {0.55, 0.9, 0.25, 1}},
                                           TemperatureCase{79.99, "80 °C", {1.0, 0.8, 0.0, 1}},
                                           TemperatureCase{80.0, "80 °C", {1.0, 0.35, 0.3, 1}},
                                           TemperatureCase{0.4, "0 °C", {0.55, 0.9, 0.25, 1}}));

TEST(SystemMonitorFace, WithoutTemperatureTheMemoryGroupMovesCloser) {
    Monitor monitor;
    monitor.host.pages = MemoryPages{};
    monitor.sensors.readings = {70.0};
    monitor.stats->refresh();
    auto hot = monitor.face();
    monitor.defaults.setBool(Settings::systemMonitorTemperatureKey, false);
    monitor.stats->refresh();
    auto none = monitor.face();
    EXPECT_EQ(none.strings(), (std::vector<std::string>{"CPU", "0 %", "RAM 0 %", "0,0 GB", "von 16,0 GB"}));
    ASSERT_NE(hot.find("70 °C"), nullptr);
    ASSERT_NE(hot.find("RAM 0 %"), nullptr);
    ASSERT_NE(none.find("RAM 0 %"), nullptr);
    double moved = hot.find("RAM 0 %")->origin.x - none.find("RAM 0 %")->origin.x;
    EXPECT_DOUBLE_EQ(moved, 18 + monitor.metrics.measure("70 °C", hot.find("70 °C")->font).width);
}

TEST(SystemMonitorFace, BarsFillByLoadWithAStubAndGroupLabelsOnlyWhereLabelled) {
    Monitor monitor(4);
    monitor.host.topology = {{CoreKind::performance, -1},
                             {CoreKind::performance, -1},
                             {CoreKind::efficiency, -1},
                             {CoreKind::efficiency, -1}};
    monitor.stats =
        std::make_unique<SystemStats>(SystemStatsPorts{monitor.host, monitor.sensors, monitor.defaults});
    monitor.state.setScale(2.0);
    monitor.load({1.0, 0.05, 0.5, 0.0});
    auto face = monitor.face();
    std::vector<double> fills;
    for (const auto& rect : face.rects)
        if (rect.fill && std::get<Color>(*rect.fill).alpha == 0.95) fills.push_back(rect.rect.height);
    EXPECT_EQ(fills, (std::vector<double>{60, 6, 30, 6}));  // 30·s full, 1.5·s raised to 3·s
    EXPECT_NE(face.find("P"), nullptr);
    EXPECT_NE(face.find("E"), nullptr);
    EXPECT_EQ(face.find("P")->font.size, 15);

    Monitor single(3);
    single.stats->refresh();
    auto plain = single.face();
    EXPECT_EQ(plain.find("P"), nullptr);
    EXPECT_EQ(plain.find("E"), nullptr);
}

TEST(SystemMonitorFace, MissingLoadsAndAnEmptyMemoryShowStubsAndZero) {
    Monitor monitor(4);
    monitor.host.installed = 0;
    auto face = monitor.face();  // before the first refresh
    int stubs = 0;
    for (const auto& rect : face.rects)
        if (rect.fill && std::get<Color>(*rect.fill).alpha == 0.95 && rect.rect.height == 3) ++stubs;
    EXPECT_EQ(stubs, 4);
    EXPECT_NE(face.find("RAM 0 %"), nullptr);
    for (const auto& rect : face.rects) {
        if (rect.fill && std::get<Color>(*rect.fill).alpha == 0.18) {
            EXPECT_EQ(rect.rect.width, 0);
        }
    }
}

struct FixedClock : Clock {
    double uptime() const override { return 0; }
    double wallTime() const override { return wall; }
    double wall = 0;
};

struct ClockFace {
    FixedClock clock;
    sim::SimTimeZone zone;
    sim::SimTextMetrics metrics;
    WidgetState state{1.0};
    ClockModel model{clock, zone};
    int published = 0;
    std::shared_ptr<void> observation = model.observe([this] { ++published; });
    Face face() { return Face(ClockView(model, state, metrics).render()); }
};

// 2026-12-06 00:00 UTC, a Sunday.
constexpr double sixthOfDecember = 1796515200;

TEST(Clock, ShowsDayMonthTimeAndWeekdayInGermanCapitals) {
    ClockFace clock;
    clock.clock.wall = sixthOfDecember + 13 * 3600 + 5 * 60;  // 14:05 in Central European Time
    clock.model.refresh();
    EXPECT_EQ(clock.face().strings(), (std::vector<std::string>{"06", "DEZEMBER", "14:05", "SONNTAG"}));

    clock.clock.wall = 1804118400 + 8 * 3600 + 5 * 60;  // 2027-03-04 09:05 CET, a Thursday
    clock.model.refresh();
    EXPECT_EQ(clock.face().strings(), (std::vector<std::string>{"04", "MÄRZ", "09:05", "DONNERSTAG"}));
}

TEST(Clock, PublishesOnlyWhenTheMinuteChanges) {
    ClockFace clock;
    clock.clock.wall = sixthOfDecember + 9 * 3600 + 59 * 60 + 30;
    clock.model.refresh();
    int before = clock.published;
    clock.clock.wall += 29;  // 09:59:59 local
    clock.model.refresh();
    EXPECT_EQ(clock.published, before);
    clock.clock.wall += 1;  // 10:00:00
    clock.model.refresh();
    EXPECT_EQ(clock.published, before + 1);
}

TEST(Clock, AChangedTimeZoneShowsAtTheNextTick) {
    ClockFace clock;
    clock.clock.wall = sixthOfDecember + 13 * 3600 + 5 * 60 + 10;
    clock.model.refresh();
    int before = clock.published;
    clock.zone.offset = 0;  // the user moves to UTC within the minute
    clock.clock.wall += 1;
    clock.model.refresh();
    EXPECT_EQ(clock.published, before + 1);
    EXPECT_EQ(clock.face().strings()[2], "13:05");
}

TEST(Clock, ScaleMultipliesEveryLength) {
    ClockFace clock;
    clock.state.setScale(0.5);
    auto face = clock.face();
    ASSERT_EQ(face.texts.size(), 4u);
    EXPECT_EQ(face.texts[0].font,
              (FontDescription{.size = 170, .weight = FontWeight::medium, .compressed = true}));
    EXPECT_EQ(face.texts[1].font.size, 52);
    EXPECT_EQ(face.texts[2].font.size, 17);
    EXPECT_EQ(face.texts[1].origin.x, 56);  // leading margin 112·s
    EXPECT_EQ(face.texts[2].origin.x, 58);  // and 4·s more for the row
    ASSERT_TRUE(face.texts[0].gradient);
    EXPECT_EQ(face.texts[0].gradient->stops.front().color.alpha, 0.55);
}

struct DragCase {
    double dx;
    double scale;
};

class HandleDrag : public ::testing::TestWithParam<DragCase> {};

TEST_P(HandleDrag, FollowsTheRightEdgeWithinTheRangeToTwoDecimals) {
    auto state = std::make_shared<WidgetState>(1.0);
    ResizeHandle handle{.state = state, .scaleRange = {0.4, 2.0}};
    handle.mouseDown({500, 200}, 300.0);
    handle.mouseDragged({500 + GetParam().dx, 260});
    EXPECT_DOUBLE_EQ(state->scale(), GetParam().scale);
}

INSTANTIATE_TEST_SUITE_P(Drags, HandleDrag,
                         ::testing::Values(DragCase{150, 1.5}, DragCase{600, 2.0}, DragCase{-250, 0.4},
                                           DragCase{-50, 0.83}, DragCase{-1e308, 0.4}));

TEST(HandleDrag, WithoutItsWidgetDoesNothing) {
    auto state = std::make_shared<WidgetState>(1.0);
    ResizeHandle handle{.state = state};
    handle.mouseDown({0, 0}, std::nullopt);
    EXPECT_EQ(handle.startWidth, 1.0);
    state.reset();
    handle.mouseDragged({50, 0});  // must not crash
    EXPECT_TRUE(handle.state.expired());
}

}  // namespace
