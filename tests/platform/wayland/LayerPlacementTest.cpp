#include "platform/wayland/LayerPlacement.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace larkspire;
using namespace larkspire::wayland;

namespace {

// A laptop screen, a larger one to its right with a lower top, and one left of the primary.
const std::vector<OutputArea> outputs{
    {"eDP-1", Rect{0, 0, 1440, 900}},
    {"DP-2", Rect{1440, -200, 2560, 1440}},
    {"HDMI-A-1", Rect{-1920, 0, 1920, 1080}},
};

}  // namespace

TEST(LayerPlacement, MarginsCountFromTheCornerOfTheOutputThatHoldsTheTopLeftCorner) {
    struct Case {
        Rect rect;
        std::string output;
        int left, top;
    };
    for (const auto& c : {
             Case{{40, 20, 300, 120}, "eDP-1", 40, 20},
             // Exactly on the shared edge: the output to the right has it.
             Case{{1440, 0, 300, 120}, "DP-2", 0, 200},
             Case{{2000, -150, 300, 120}, "DP-2", 560, 50},
             Case{{-100, 500, 300, 120}, "HDMI-A-1", 1820, 500},
             // Off every output: placed from the primary one, where the compositor may clip it.
             Case{{5000, 5000, 300, 120}, "eDP-1", 5000, 5000},
         }) {
        auto placed = placeOnOutputs(c.rect, outputs);
        EXPECT_EQ(placed.placement.output, c.output) << c.rect.x << "," << c.rect.y;
        EXPECT_EQ(placed.placement.left, c.left) << c.rect.x << "," << c.rect.y;
        EXPECT_EQ(placed.placement.top, c.top) << c.rect.x << "," << c.rect.y;
        EXPECT_EQ(placed.placement.width, 300);
        // The way back: a position on the surface's output plus the origin is the desktop's.
        EXPECT_EQ(placed.outputOrigin.x + placed.placement.left, c.rect.x);
        EXPECT_EQ(placed.outputOrigin.y + placed.placement.top, c.rect.y);
    }
}

TEST(LayerPlacement, ValuesNoCompositorWouldTakeStillGiveASurfaceOfAtLeastOnePoint) {
    double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    for (const auto& rect : {Rect{nan, nan, nan, nan}, Rect{inf, -inf, inf, -inf}, Rect{1e300, -1e300, 0, -5},
                             Rect{10.4, 10.6, 0.2, 0.4}}) {
        auto placed = placeOnOutputs(rect, outputs);
        EXPECT_GE(placed.placement.width, 1);
        EXPECT_GE(placed.placement.height, 1);
        EXPECT_LE(std::abs(placed.placement.left), 2'000'000);
        EXPECT_LE(std::abs(placed.placement.top), 2'000'000);
    }
    auto rounded = placeOnOutputs(Rect{10.4, 10.6, 99.5, 20.2}, outputs).placement;
    EXPECT_EQ(rounded, (LayerPlacement{"eDP-1", 10, 11, 100, 20}));
    // Without any output known the compositor chooses, and the margins are the position itself.
    auto alone = placeOnOutputs(Rect{40, 20, 300, 120}, {});
    EXPECT_EQ(alone.placement, (LayerPlacement{"", 40, 20, 300, 120}));
}
