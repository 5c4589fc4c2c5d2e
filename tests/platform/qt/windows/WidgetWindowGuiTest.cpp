#include "platform/qt/QtApp.h"
#include "platform/qt/windows/QtWidgetWindow.h"

#include <QGuiApplication>
#include <QPaintEvent>
#include <QScreen>
#include <QWindow>
#include <gtest/gtest.h>
#include <memory>

using namespace larkspire;

namespace {

TEST(WidgetWindow, PlacesByTheBottomLeftOriginAndLetsClicksThroughUntilArranging) {
    qt::QtWidgetWindows windows;
    auto window = windows.create(Rect{100, 200, 300, 80}, {});
    auto& qtWindow = static_cast<qt::QtWidgetWindow&>(*window);
    int height = QGuiApplication::primaryScreen()->geometry().height();
    EXPECT_EQ(qtWindow.widget().geometry(), QRect(100, height - 280, 300, 80));
    EXPECT_EQ(window->frame(), (Rect{100, 200, 300, 80}));

    window->orderFront();
    ASSERT_TRUE(larkspire::testing::runUntil([&] { return window->isVisible(); }));
    auto* handle = qtWindow.widget().windowHandle();
    ASSERT_NE(handle, nullptr);
    EXPECT_TRUE(handle->flags().testFlag(Qt::WindowTransparentForInput));
    EXPECT_TRUE(handle->flags().testFlag(Qt::WindowStaysOnBottomHint));

    window->setLevel(WidgetLevel::floating);
    window->setIgnoresMouseEvents(false);
    EXPECT_TRUE(window->isVisible());  // changing the mode does not hide the window
    EXPECT_FALSE(handle->flags().testFlag(Qt::WindowTransparentForInput));
    EXPECT_TRUE(handle->flags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(handle->flags().testFlag(Qt::WindowStaysOnBottomHint));

    window->setFrame(Rect{std::nan(""), 1e300, -5, 40});  // garbage stays a small window on the plane
    EXPECT_GE(qtWindow.widget().width(), 1);
    window->orderOut();
    EXPECT_FALSE(window->isVisible());
}

DisplayList twoSquares(Color right) {
    auto square = [](double x, Color color) {
        return DisplayItem(RoundedRect{.rect = {x, 10, 20, 20}, .fill = color});
    };
    return {square(10, {1, 0, 0, 1}), square(230, right)};
}

// Remembers the region of each paint the window gets.
struct PaintRegions : QObject {
    std::vector<QRegion> painted;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) painted.push_back(static_cast<QPaintEvent*>(event)->region());
        return false;
    }
};

TEST(WidgetWindow, ANewFaceRedrawsOnlyWhereItChangedAndShowsItWhole) {
    qt::QtWidgetWindows windows;
    auto window = windows.create(Rect{0, 0, 300, 40}, {});
    auto& view = static_cast<qt::QtWidgetWindow&>(*window).widget();
    PaintRegions paints;
    view.installEventFilter(&paints);
    window->setContent(twoSquares({0, 0, 1, 1}));
    window->orderFront();
    ASSERT_TRUE(larkspire::testing::runUntil([&] { return !paints.painted.empty(); }));

    paints.painted.clear();
    window->setContent(twoSquares({0, 1, 0, 1}));
    ASSERT_TRUE(larkspire::testing::runUntil([&] { return !paints.painted.empty(); }));
    QRegion painted;
    for (const auto& region : paints.painted) painted += region;
    EXPECT_TRUE(painted.contains(QRect(230, 10, 20, 20)));
    EXPECT_FALSE(painted.intersects(QRect(10, 10, 20, 20)));  // the unchanged square is not drawn again

    // What the window shows is the whole new face, as if it had been drawn at once.
    auto shown = view.grab().toImage();
    EXPECT_EQ(shown.pixelColor(20, 20), QColor(255, 0, 0));
    EXPECT_EQ(shown.pixelColor(240, 20), QColor(0, 255, 0));
}

}  // namespace
