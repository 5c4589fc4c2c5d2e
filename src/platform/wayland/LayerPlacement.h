#pragma once

#include "platform/types/DisplayList.h"

#include <string>
#include <vector>

namespace larkspire::wayland {

// Where a layer surface sits: a distance from the top-left corner of an output, in its logical
// pixels. An empty output name leaves the choice of output to the compositor.
struct LayerPlacement {
    std::string output;
    int left = 0;
    int top = 0;
    int width = 1;
    int height = 1;
    bool operator==(const LayerPlacement&) const = default;
};

// An output as the toolkit sees it: its name and where it lies on the desktop, origin top-left.
struct OutputArea {
    std::string name;
    Rect geometry;
};

struct PlacedSurface {
    LayerPlacement placement;
    Point outputOrigin;  // add to a position on the surface's output for one on the desktop
};

// Places a rectangle of the desktop (origin top-left, y downward) on the output that holds its
// top-left corner, else on the first output (the primary one). Values far off any screen or not
// numbers at all still give a placement a compositor accepts.
PlacedSurface placeOnOutputs(const Rect& rect, const std::vector<OutputArea>& outputs);

}  // namespace larkspire::wayland
