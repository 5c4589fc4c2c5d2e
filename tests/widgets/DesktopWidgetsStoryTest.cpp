#include "app/Settings.h"
#include "support/SimApp.h"
#include "widgets/SystemMonitorView.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace larkspire;
using larkspire::testing::SimApp;

namespace {

struct Widgets : SimApp {
    Widgets() { desktop.finderExtension.enabled = true; }
    DesktopWidgets& manager() { return app->desktopWidgets(); }
    sim::SimWidgetWindow& window(DesktopWidget& widget) {
        return static_cast<sim::SimWidgetWindow&>(*widget.window());
    }
    bool choose(const std::string& title) { return statusItem().choose(title); }
    std::vector<std::string> menuTitles() {
        std::vector<std::string> titles;
        for (const auto& item : statusItem().openMenu())
            titles.push_back(item.isSeparator ? "—" : item.title);
        return titles;
    }
    bool hasOutline(const sim::SimWidgetWindow& window) {
        for (const auto& item : window.content)
            if (auto* rect = std::get_if<RoundedRect>(&item.content); rect && !rect->dashPattern.empty())
                return true;
        return false;
    }
};

TEST(DesktopWidgets, SwitchedOnFromTheMenuTheyRestOnTheDesktopAtTheirDefaultPlaces) {
    Widgets sim;
    sim.launch();
    EXPECT_TRUE(sim.desktop.widgetWindows.created.empty());
    ASSERT_TRUE(sim.choose("CPU & Arbeitsspeicher"));
    ASSERT_TRUE(sim.choose("Uhr & Datum"));
    sim.desktop.advance(0.1);

    auto& monitor = sim.window(sim.manager().system());
    auto& clock = sim.window(sim.manager().clockWidget());
    for (auto* window : {&monitor, &clock}) {
        EXPECT_TRUE(window->visible);
        EXPECT_EQ(window->level, WidgetLevel::desktop);
        EXPECT_TRUE(window->ignoresMouse);
        EXPECT_FALSE(sim.hasOutline(*window));
    }
    // Visible area (0, 0, 1440, 875): the monitor 40 from its left and bottom, the clock's top 20 below its
    // top.
    EXPECT_EQ(monitor.rect.x, 40);
    EXPECT_EQ(monitor.rect.y, 40);
    EXPECT_EQ(clock.rect.x, 40);
    EXPECT_EQ(clock.rect.y + clock.rect.height, 855);
    auto menu = sim.statusItem().openMenu();
    EXPECT_TRUE(menu[5].checked);
    EXPECT_EQ(menu[5].representedObject, "systemMonitor");
    EXPECT_EQ(menu[7].title, "Widgets anordnen");
    EXPECT_EQ(menu[7].image, "arrow.up.and.down.and.arrow.left.and.right");
}

TEST(DesktopWidgets, SampleOncePerSecondOnlyWhileTheMonitorIsOn) {
    Widgets sim;
    sim.desktop.defaults.setBool(Settings::systemMonitorKey, true);
    sim.launch();
    EXPECT_EQ(sim.desktop.host.tickReads, 1);
    sim.desktop.advance(3.0);
    EXPECT_EQ(sim.desktop.host.tickReads, 4);
    sim.desktop.host.run(0.5);
    sim.desktop.advance(1.0);
    EXPECT_EQ(sim.manager().systemStats().totalLoad(), 0.5);

    ASSERT_TRUE(sim.choose("CPU & Arbeitsspeicher"));
    EXPECT_FALSE(sim.window(sim.manager().system()).visible);
    sim.desktop.advance(5.0);
    EXPECT_EQ(sim.desktop.host.tickReads, 5);
    ASSERT_TRUE(sim.choose("CPU & Arbeitsspeicher"));
    EXPECT_EQ(sim.desktop.host.tickReads, 6);
    EXPECT_EQ(sim.desktop.widgetWindows.created.size(), 1u);  // the window is kept for the next show
}

struct PositionCase {
    std::string name;
    std::optional<Value> stored;
    bool kept;
};

class StoredPosition : public ::testing::TestWithParam<PositionCase> {};

TEST_P(StoredPosition, IsUsedOnlyWhenItIsTwoNumbersOnAnAttachedScreen) {
    Widgets sim;
    sim.desktop.defaults.setBool(Settings::clockWidgetKey, true);
    if (GetParam().stored) sim.desktop.defaults.set("LarkspireClock.topLeft", *GetParam().stored);
    sim.launch();
    auto& clock = sim.window(sim.manager().clockWidget());
    Point topLeft{clock.rect.x, clock.rect.y + clock.rect.height};
    if (GetParam().kept) {
        EXPECT_EQ(topLeft, (Point{100, 900}));
    } else {
        EXPECT_EQ(topLeft, (Point{40, 855}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, StoredPosition,
    ::testing::Values(
        PositionCase{"OnTheTopEdge", Value(Value::List{Value(100.0), Value(900.0)}), true},
        PositionCase{"WholeNumbers", Value(Value::List{Value(100), Value(900)}), true},
        PositionCase{"OnADetachedScreen", Value(Value::List{Value(3000.0), Value(500.0)}), false},
        PositionCase{"ThreeNumbers", Value(Value::List{Value(100.0), Value(900.0), Value(1.0)}), false},
        PositionCase{"NotANumber", Value(Value::List{Value(std::nan("")), Value(500.0)}), false},
        PositionCase{"Strings", Value(Value::List{Value("100"), Value("900")}), false},
        PositionCase{"AString", Value("100,900"), false}, PositionCase{"Nothing", std::nullopt, false}),
    [](const auto& info) { return info.param.name; });

TEST(DesktopWidgets, ArrangingLiftsThemAndLeavingStoresPositionAndScaleAtOnce) {
    Widgets sim;
    sim.desktop.defaults.setBool(Settings::systemMonitorKey, true);
    sim.desktop.defaults.setBool(Settings::clockWidgetKey, true);
    sim.launch();
    ASSERT_TRUE(sim.choose("Widgets anordnen"));
    sim.desktop.advance(0.1);
    auto& monitor = sim.window(sim.manager().system());
    EXPECT_TRUE(sim.manager().isEditing());
    EXPECT_EQ(monitor.level, WidgetLevel::floating);
    EXPECT_FALSE(monitor.ignoresMouse);
    EXPECT_TRUE(monitor.movable);
    EXPECT_TRUE(sim.hasOutline(monitor));
    ASSERT_TRUE(monitor.handle);
    EXPECT_EQ(monitor.handle->x, monitor.rect.width - 20);
    EXPECT_EQ(sim.desktop.application.activations, 2);  // once for each widget that starts arranging
    EXPECT_EQ(sim.menuTitles()[7], "Anordnen beenden");

    monitor.dragTo({700, 600});
    EXPECT_EQ(*sim.desktop.defaults.object("LarkspireSystemMonitor.topLeft"),
              Value(Value::List{Value(700.0), Value(600.0)}));

    double width = monitor.rect.width;
    monitor.dragHandle(width * 0.5);
    EXPECT_EQ(sim.manager().system().state().scale(), 1.5);
    sim.desktop.advance(0.1);
    EXPECT_NEAR(monitor.rect.width, width * 1.5, 6);       // the margin does not scale
    EXPECT_EQ(monitor.rect.y + monitor.rect.height, 600);  // the top-left corner stays
    EXPECT_EQ(sim.desktop.defaults.doubleForKey(Settings::systemMonitorScaleKey), 1.0);
    sim.desktop.advance(0.3);
    EXPECT_EQ(sim.desktop.defaults.doubleForKey(Settings::systemMonitorScaleKey), 1.5);

    sim.window(sim.manager().clockWidget()).dragHandle(-5000);
    ASSERT_TRUE(sim.choose("Anordnen beenden"));
    EXPECT_FALSE(sim.manager().isEditing());
    EXPECT_EQ(monitor.level, WidgetLevel::desktop);
    EXPECT_TRUE(monitor.ignoresMouse);
    EXPECT_FALSE(monitor.handle);
    EXPECT_EQ(sim.desktop.defaults.doubleForKey(Settings::clockWidgetScaleKey), 0.2);  // not debounced
    sim.desktop.advance(0.1);
    EXPECT_FALSE(sim.hasOutline(monitor));
}

TEST(DesktopWidgets, SwitchingOneOffWhileArrangingLeavesTheOtherArranging) {
    Widgets sim;
    sim.desktop.defaults.setBool(Settings::systemMonitorKey, true);
    sim.desktop.defaults.setBool(Settings::clockWidgetKey, true);
    sim.launch();
    sim.manager().setEditing(true);
    ASSERT_TRUE(sim.choose("CPU & Arbeitsspeicher"));
    auto& monitor = sim.window(sim.manager().system());
    auto& clock = sim.window(sim.manager().clockWidget());
    EXPECT_FALSE(monitor.visible);
    EXPECT_EQ(monitor.level, WidgetLevel::desktop);
    EXPECT_TRUE(sim.desktop.defaults.object("LarkspireSystemMonitor.topLeft"));
    EXPECT_EQ(clock.level, WidgetLevel::floating);
    EXPECT_TRUE(sim.manager().isEditing());

    ASSERT_TRUE(sim.choose("Uhr & Datum"));
    EXPECT_FALSE(sim.manager().isEditing());
    EXPECT_EQ(sim.menuTitles()[7], "—");  // no arrangement entry with no widget on
}

TEST(DesktopWidgets, CannotArrangeWithNoWidgetOn) {
    Widgets sim;
    sim.launch();
    sim.manager().setEditing(true);
    EXPECT_FALSE(sim.manager().isEditing());
    EXPECT_TRUE(sim.desktop.widgetWindows.created.empty());
}

struct ScaleCase {
    std::string name;
    Value stored;
    double scale;
};

class StoredScale : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(StoredScale, FallsBackToOneWhenItIsNoPositiveNumber) {
    Widgets sim;
    sim.desktop.defaults.set(Settings::clockWidgetScaleKey, GetParam().stored);
    sim.desktop.defaults.setBool(Settings::clockWidgetKey, true);
    sim.launch();
    EXPECT_EQ(sim.manager().clockWidget().state().scale(), GetParam().scale);
    EXPECT_GT(sim.window(sim.manager().clockWidget()).rect.width, 0);
}

INSTANTIATE_TEST_SUITE_P(Values, StoredScale,
                         ::testing::Values(ScaleCase{"InRange", Value(0.6), 0.6},
                                           ScaleCase{"Zero", Value(0.0), 1.0},
                                           ScaleCase{"Negative", Value(-2.0), 1.0},
                                           ScaleCase{"AString", Value("groß"), 1.0},
                                           ScaleCase{"NotANumber", Value(std::nan("")), 1.0},
                                           ScaleCase{"AboveTheRangeIsKept", Value(3.0), 3.0},
                                           ScaleCase{"AbsurdlyLargeComesBackIntoRange", Value(1e9), 1.5}),
                         [](const auto& info) { return info.param.name; });

TEST(DesktopWidgets, TheClockFaceIsRedrawnOnlyWhenTheMinuteChanges) {
    Widgets sim;
    sim.desktop.defaults.setBool(Settings::clockWidgetKey, true);
    sim.launch();
    sim.desktop.advance(0.5);
    auto& clock = sim.window(sim.manager().clockWidget());
    int draws = clock.draws;
    double toNextMinute = 60 - std::fmod(sim.desktop.loop.wallTime(), 60);
    sim.desktop.advance(toNextMinute - 1.2);
    EXPECT_EQ(clock.draws, draws);
    sim.desktop.advance(2.0);
    EXPECT_EQ(clock.draws, draws + 1);
}

TEST(DesktopWidgets, ATickLaysOutTheMonitorOnceAndTheClockNotAtAllWithinAMinute) {
    Widgets sim;
    sim.desktop.defaults.setBool(Settings::systemMonitorKey, true);
    sim.desktop.defaults.setBool(Settings::clockWidgetKey, true);
    sim.launch();
    double intoMinute = std::fmod(sim.desktop.loop.wallTime(), 60);
    sim.desktop.advance(intoMinute < 30 ? 30.5 - intoMinute : 90.5 - intoMinute);
    auto& metrics = sim.desktop.textMetrics;
    int before = metrics.measurements;
    (void)SystemMonitorView(sim.manager().systemStats(), sim.manager().system().state(), metrics).render();
    int oneLayout = metrics.measurements - before;
    ASSERT_GT(oneLayout, 0);

    before = metrics.measurements;
    sim.desktop.advance(1.0);
    EXPECT_EQ(metrics.measurements - before, oneLayout);
}

}  // namespace
