#include "widgets/ResizeHandle.h"

#include <algorithm>
#include <cmath>

namespace larkspire {

void ResizeHandle::mouseDown(Point mouse, std::optional<double> windowWidth) {
    startPoint = mouse;
    auto widget = state.lock();
    startScale = widget ? widget->scale() : 1.0;
    startWidth = std::max(1.0, windowWidth.value_or(1.0));
}

void ResizeHandle::mouseDragged(Point mouse) {
    auto widget = state.lock();
    if (!widget) return;
    // The scale follows the width the window would have if its right edge followed the mouse.
    double scale = startScale * (mouse.x - startPoint.x + startWidth) / startWidth;
    if (!std::isfinite(scale)) return;
    scale = std::clamp(scale, scaleRange.lower, scaleRange.upper);
    widget->setScale(std::round(scale * 100) / 100);
}

DisplayList ResizeHandle::draw(const Rect& bounds, Color accent) {
    DisplayList strokes;
    double right = bounds.x + bounds.width, bottom = bounds.y + bounds.height;
    for (double d = 4; d <= 14; d += 5) {
        strokes.push_back(Line{.from = {right - 2, bottom - d},
                               .to = {right - d, bottom - 2},
                               .width = 2,
                               .color = accent,
                               .cap = LineCap::round});
    }
    return strokes;
}

}  // namespace larkspire
