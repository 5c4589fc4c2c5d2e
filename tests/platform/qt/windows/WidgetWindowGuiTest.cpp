#include "platform/qt/QtApp.h"
#include "platform/qt/windows/QtWidgetWindow.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <gtest/gtest.h>

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

}  // namespace
