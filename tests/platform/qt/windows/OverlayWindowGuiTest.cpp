#include "platform/qt/windows/QtOverlayWindow.h"

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

namespace {

// Records what an X11 session would be asked to do with the overlay.
struct RecordingStacking : qt::OverlayStacking {
    bool stackAbove(std::uint32_t overlay, std::uint32_t windowNumber) override {
        stacked.emplace_back(overlay, windowNumber);
        return true;
    }
    bool isCompositing() override { return compositing; }
    bool compositing = false;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> stacked;
};

const Color grey{0.9, 0.9, 0.9, 0.6};

TEST(QtOverlayWindow, WithoutACompositorGreysAreEveryOtherLineAndThePillKeepsItsRoundEnds) {
    DisplayList content{
        RoundedRect{.rect = Rect{0, 10, 100, 4}, .cornerRadius = 4, .fill = grey},
        RoundedRect{.rect = Rect{10, 50, 80, 22}, .cornerRadius = 11, .fill = Color{1, 1, 1, 0.95}}};
    auto shape = qt::overlayShape(content, false);
    EXPECT_TRUE(shape.contains(QPoint(50, 10)));
    EXPECT_FALSE(shape.contains(QPoint(50, 11)));
    EXPECT_TRUE(shape.contains(QPoint(50, 12)));
    EXPECT_FALSE(shape.contains(QPoint(50, 14)));
    EXPECT_TRUE(shape.contains(QPoint(50, 60)));
    EXPECT_FALSE(shape.contains(QPoint(10, 50)));  // the pill's rounded corner
    EXPECT_FALSE(shape.contains(QPoint(50, 30)));  // nothing drawn, nothing covered

    // A compositor blends the grey, so all of it is covered.
    auto blended = qt::overlayShape(content, true);
    EXPECT_TRUE(blended.contains(QPoint(50, 11)));
    EXPECT_FALSE(blended.contains(QPoint(50, 30)));
    // Rectangles that are not numbers cover nothing.
    EXPECT_TRUE(qt::overlayShape({RoundedRect{.rect = Rect{NAN, 0, 10, 10}, .fill = grey}}, false).isEmpty());
}

TEST(QtOverlayWindow, StackedByHandItIsShownOnlyWithSomethingToDrawAndNeverRaisedOverEverything) {
    RecordingStacking stacking;
    qt::QtOverlayWindow window(&stacking);
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::X11BypassWindowManagerHint));
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowTransparentForInput));
    window.setFrame(Rect{0, 0, 100, 60});

    window.display({});
    window.orderAbove(0x1200003);
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(stacking.stacked.empty());

    window.display({RoundedRect{.rect = Rect{0, 10, 100, 20}, .cornerRadius = 4, .fill = grey}});
    window.orderAbove(0x1200003);
    EXPECT_TRUE(window.isVisible());
    ASSERT_EQ(stacking.stacked.size(), 1u);
    EXPECT_EQ(stacking.stacked[0], std::make_pair(static_cast<std::uint32_t>(window.winId()), 0x1200003u));
    EXPECT_FALSE(window.mask().contains(QPoint(50, 11)));
}

}  // namespace
