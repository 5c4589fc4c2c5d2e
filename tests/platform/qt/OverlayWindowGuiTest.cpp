#include "platform/qt/QtOverlayWindow.h"

#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <cmath>
#include <gtest/gtest.h>

using namespace larkspire;

namespace {

TEST(QtOverlayWindow, LetsClicksThroughAndStaysOutOfTheTaskbar) {
    qt::QtOverlayWindow window;
    auto flags = window.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowTransparentForInput));
    EXPECT_TRUE(flags.testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(flags.testFlag(Qt::NoDropShadowWindowHint));
    EXPECT_TRUE(flags.testFlag(Qt::Tool));
    EXPECT_TRUE(window.testAttribute(Qt::WA_TranslucentBackground));
}

TEST(QtOverlayWindow, ItsFrameCountsFromTheBottomOfThePrimaryScreen) {
    auto* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    int height = screen->geometry().height();
    qt::QtOverlayWindow window;
    window.setFrame(Rect{100, 50, 300, 200});
    EXPECT_EQ(window.geometry(), QRect(100, height - 250, 300, 200));
    // A frame that is not a number is kept as given but never reaches the window system.
    window.setFrame(Rect{NAN, 0, INFINITY, 10});
    EXPECT_EQ(window.geometry(), QRect(100, height - 250, 300, 200));
}

TEST(QtOverlayWindow, PaintsOnlyWhatItWasHandedOnATransparentGround) {
    qt::QtOverlayWindow window;
    window.setFrame(Rect{0, 0, 100, 60});
    window.display({RoundedRect{.rect = Rect{10, 10, 40, 20}, .cornerRadius = 4, .fill = Color{1, 0, 0, 1}}});
    auto image = window.grab().toImage();
    EXPECT_EQ(image.pixelColor(30, 20).red(), 255);
    EXPECT_EQ(image.pixelColor(80, 50).alpha(), 0);
}

}  // namespace
