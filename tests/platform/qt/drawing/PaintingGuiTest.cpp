#include "platform/qt/QtApp.h"
#include "platform/qt/drawing/DisplayListPainter.h"
#include "platform/qt/drawing/QtTextMetrics.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>
#include <limits>

using namespace larkspire;

namespace {

QImage paint(const DisplayList& list, int width = 100, int height = 60) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    qt::paintDisplayList(painter, list);
    return image;
}

const Color red{1, 0, 0, 1};
const Color blue{0, 0, 1, 1};

TEST(DisplayListPainter, FillsRoundedRectanglesInsideTheirCornersOnly) {
    auto image = paint({RoundedRect{.rect = {10, 10, 80, 40}, .cornerRadius = 12, .fill = Fill(red)}});
    EXPECT_EQ(image.pixelColor(50, 30), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(11, 11).alpha(), 0);  // cut off by the corner
    EXPECT_EQ(image.pixelColor(5, 30).alpha(), 0);   // outside
    EXPECT_EQ(image.pixelColor(11, 30), QColor(Qt::red));
}

TEST(DisplayListPainter, ContinuousCornersCutDeeperThanCircularOnes) {
    auto alphaNearCorner = [](bool continuous) {
        auto image = paint({RoundedRect{.rect = {0, 0, 100, 60},
                                        .cornerRadius = 20,
                                        .continuousCorners = continuous,
                                        .fill = Fill(red)}});
        return image.pixelColor(6, 6).alpha();
    };
    EXPECT_LT(alphaNearCorner(true), alphaNearCorner(false) + 1);
}

TEST(DisplayListPainter, GradientsRunFromStartToEnd) {
    auto image = paint({RoundedRect{
        .rect = {0, 0, 100, 60},
        .fill = Fill(LinearGradient{.start = {0, 0}, .end = {100, 0}, .stops = {{0, red}, {1, blue}}})}});
    EXPECT_GT(image.pixelColor(2, 30).red(), 230);
    EXPECT_GT(image.pixelColor(97, 30).blue(), 230);
}

TEST(DisplayListPainter, GroupsClipAndFadeTheirItems) {
    auto image = paint({DisplayGroup{.items = {RoundedRect{.rect = {0, 0, 100, 60}, .fill = Fill(red)}},
                                     .clip = Rect{0, 0, 50, 60},
                                     .opacity = 0.5}});
    EXPECT_NEAR(image.pixelColor(25, 30).alpha(), 128, 2);
    EXPECT_EQ(image.pixelColor(75, 30).alpha(), 0);
}

TEST(DisplayListPainter, LinesHonourTheirCaps) {
    auto capped = [](LineCap cap) {
        return paint({Line{.from = {20, 30}, .to = {80, 30}, .width = 10, .color = red, .cap = cap}})
            .pixelColor(17, 30)
            .alpha();
    };
    EXPECT_EQ(capped(LineCap::butt), 0);
    EXPECT_GT(capped(LineCap::round), 200);
    EXPECT_GT(capped(LineCap::square), 200);
}

TEST(DisplayListPainter, DrawsTextAndSurvivesNonsenseNumbers) {
    double nan = std::numeric_limits<double>::quiet_NaN();
    double inf = std::numeric_limits<double>::infinity();
    auto image = paint({Text{.text = "Mär 12:05", .origin = {5, 40}, .font = {.size = 20}, .color = blue},
                        RoundedRect{.rect = {nan, 0, inf, -5}, .cornerRadius = nan, .fill = Fill(red)},
                        Line{.from = {nan, nan}, .to = {inf, 0}, .width = nan, .color = red},
                        Text{.text = "x", .origin = {nan, inf}, .font = {.size = nan}, .color = red}});
    int inked = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) inked += image.pixelColor(x, y).blue() > 100;
    EXPECT_GT(inked, 30);
}

TEST(QtTextMetrics, MonospacedDigitsGiveEveryDigitTheSameWidth) {
    qt::QtTextMetrics metrics;
    FontDescription tabular{.size = 24, .monospacedDigits = true};
    EXPECT_DOUBLE_EQ(metrics.measure("11:11", tabular).width, metrics.measure("88:88", tabular).width);
    FontDescription proportional{.size = 24};
    EXPECT_GT(metrics.measure("Mittwoch", proportional).width, 0);
    auto size = metrics.measure("Ü", proportional);
    EXPECT_GT(size.ascent, 0);
    EXPECT_GT(size.descent, 0);
}

TEST(QtTextMetrics, CompressedTextIsNarrowerAndHeavyTextWider) {
    qt::QtTextMetrics metrics;
    std::string text = "Arbeitsspeicher";
    double regular = metrics.measure(text, {.size = 20}).width;
    EXPECT_LT(metrics.measure(text, {.size = 20, .compressed = true}).width, regular);
    EXPECT_GT(metrics.measure(text, {.size = 20, .weight = FontWeight::bold}).width, regular);
    EXPECT_GT(metrics.measure(text, {.size = 40}).width, regular * 1.8);
}

}  // namespace
