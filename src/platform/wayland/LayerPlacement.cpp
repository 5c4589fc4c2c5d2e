#include "platform/wayland/LayerPlacement.h"

#include <algorithm>
#include <cmath>

namespace larkspire::wayland {

namespace {

int whole(double value) {
    // Margins are 32-bit on the wire; a million is far beyond any desktop and safe to add to.
    return std::isfinite(value) ? static_cast<int>(std::lround(std::clamp(value, -1e6, 1e6))) : 0;
}

bool holds(const Rect& area, double x, double y) {
    return x >= area.x && x < area.x + area.width && y >= area.y && y < area.y + area.height;
}

}  // namespace

PlacedSurface placeOnOutputs(const Rect& rect, const std::vector<OutputArea>& outputs) {
    PlacedSurface placed;
    const OutputArea* chosen = outputs.empty() ? nullptr : &outputs.front();
    for (const auto& output : outputs) {
        if (holds(output.geometry, rect.x, rect.y)) {
            chosen = &output;
            break;
        }
    }
    int originX = chosen ? whole(chosen->geometry.x) : 0, originY = chosen ? whole(chosen->geometry.y) : 0;
    if (chosen) placed.placement.output = chosen->name;
    placed.outputOrigin = Point{static_cast<double>(originX), static_cast<double>(originY)};
    placed.placement.left = whole(rect.x) - originX;
    placed.placement.top = whole(rect.y) - originY;
    placed.placement.width = std::max(1, whole(rect.width));
    placed.placement.height = std::max(1, whole(rect.height));
    return placed;
}

}  // namespace larkspire::wayland
