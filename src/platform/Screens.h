#pragma once

#include "platform/types/DisplayList.h"

#include <vector>

namespace larkspire {

// Rectangles here are global: origin at the lower-left corner of the primary screen, y growing upward.
struct Screen {
    Rect frame;
    Rect visibleFrame;  // without panels and docks
};

// The screens attached now, each with the part that panels and docks leave free.
class Screens {
  public:
    virtual ~Screens() = default;
    virtual std::vector<Screen> screens() const = 0;  // the primary first; empty without any
};

}  // namespace larkspire
