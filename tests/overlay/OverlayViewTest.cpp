#include "overlay/OverlayWindow.h"
#include "platform/sim/SimShell.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace larkspire;

namespace {

const OverlayColors colors{
    .windowBackground = {0.9, 0.9, 0.9, 1}, .separator = {0, 0, 0, 0.1}, .secondaryLabel = {0, 0, 0, 0.5}};
const sim::SimTextMetrics metrics;

template <class T> std::vector<T> itemsOf(const DisplayList& list) {
    std::vector<T> found;
    for (const auto& item : list)
        if (auto* typed = std::get_if<T>(&item.content)) found.push_back(*typed);
    return found;
}

TEST(OverlayView, GreysEachCutItemWithTheWindowColourAndNoLabel) {
    OverlayView view;
    view.rects = {Rect{10, 400, 200, 20}, Rect{10, 380, 200, 20}};
    auto list = view.displayList(500, colors, metrics);

    auto rects = itemsOf<RoundedRect>(list);
    ASSERT_EQ(rects.size(), 2u);
    EXPECT_TRUE(itemsOf<Text>(list).empty());
    // Bottom-left view coordinates become top-left ones.
    EXPECT_EQ(rects[0].rect, (Rect{10, 80, 200, 20}));
    EXPECT_EQ(rects[1].rect, (Rect{10, 100, 200, 20}));
    EXPECT_EQ(rects[0].cornerRadius, 4);
    EXPECT_EQ(std::get<Color>(*rects[0].fill), (Color{0.9, 0.9, 0.9, 0.6}));
    EXPECT_FALSE(rects[0].stroke);
}

TEST(OverlayView, ALabelBecomesAPillWithItsTextInsetAndCentred) {
    OverlayView view;
    view.label = OverlayLabel{.text = "Auswahl: 2,2 MB", .rect = Rect{10, 10, 150, 22}, .isPill = true};
    auto list = view.displayList(500, colors, metrics);

    auto pills = itemsOf<RoundedRect>(list);
    ASSERT_EQ(pills.size(), 1u);
    EXPECT_EQ(pills[0].rect, (Rect{10, 468, 150, 22}));
    EXPECT_EQ(pills[0].cornerRadius, 11);
    EXPECT_EQ(std::get<Color>(*pills[0].fill).alpha, 0.95);
    EXPECT_EQ(pills[0].stroke, colors.separator);

    auto texts = itemsOf<Text>(list);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, "Auswahl: 2,2 MB");
    EXPECT_EQ(texts[0].origin.x, 20);
    // Text height ceil(8.8 + 2.2) = 11, centred on the pill's middle at 479; the baseline lies an
    // ascent below its top.
    EXPECT_DOUBLE_EQ(texts[0].origin.y, 479 - 5.5 + 8.8);
    EXPECT_EQ(texts[0].color, colors.secondaryLabel);
}

TEST(OverlayView, ATextTooLongForThePillIsCutAtItsEnd) {
    OverlayView view;
    view.label =
        OverlayLabel{.text = "Auswahl: wird berechnet …", .rect = Rect{10, 10, 80, 22}, .isPill = true};
    auto texts = itemsOf<Text>(view.displayList(500, colors, metrics));

    ASSERT_EQ(texts.size(), 1u);
    EXPECT_TRUE(texts[0].text.starts_with("Auswa"));
    EXPECT_TRUE(texts[0].text.ends_with("…"));
    EXPECT_LE(metrics.measure(texts[0].text, OverlayLabel::font).width, 60);
    EXPECT_GT(metrics.measure(texts[0].text + "x", OverlayLabel::font).width, 60);
}

TEST(OverlayView, RectanglesThatAreNotNumbersOrEmptyAreLeftOut) {
    OverlayView view;
    view.rects = {Rect{NAN, 0, 10, 10}, Rect{0, 0, 0, 10}, Rect{0, 0, 1e300, 1e300}};
    view.label = OverlayLabel{.text = "Auswahl: 1 kB", .rect = Rect{10, 10, -10, 22}, .isPill = true};
    auto list = view.displayList(0, colors, metrics);
    EXPECT_EQ(itemsOf<RoundedRect>(list).size(), 1u);
    EXPECT_TRUE(itemsOf<Text>(list).empty());
}

}  // namespace
