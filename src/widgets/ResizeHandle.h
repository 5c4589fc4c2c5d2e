#pragma once

#include "platform/types/DisplayList.h"
#include "widgets/WidgetState.h"

#include <memory>

namespace larkspire {

struct ScaleRange {
    double lower = 0.4;
    double upper = 2.0;
};

// The triangle in a widget's lower-right corner: dragging it right or left scales the widget.
class ResizeHandle {
  public:
    static constexpr double size = 20;

    std::weak_ptr<WidgetState> state;
    ScaleRange scaleRange;
    Point startPoint;
    double startScale = 1.0;
    double startWidth = 1.0;

    void mouseDown(Point mouse, std::optional<double> windowWidth);
    void mouseDragged(Point mouse);
    // Three parallel strokes in `bounds` (top-left coordinates).
    static DisplayList draw(const Rect& bounds, Color accent);
};

}  // namespace larkspire
