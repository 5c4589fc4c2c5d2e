#pragma once

#include "platform/types/DisplayList.h"

#include <cstdint>
#include <memory>

namespace larkspire {

// The colours of the current appearance that overlays draw with.
struct OverlayColors {
    Color windowBackground;
    Color separator;
    Color secondaryLabel;
};

// A transparent, borderless window that lets every click through to the window below it.
class OverlaySurface {
  public:
    virtual ~OverlaySurface() = default;
    virtual Rect frame() const = 0;                // global, origin bottom-left of the primary screen
    virtual void setFrame(const Rect& frame) = 0;  // moves it without redrawing
    virtual void orderAbove(std::uint32_t windowNumber) = 0;  // directly above that window, shown
    virtual void orderOut() = 0;                              // hidden, kept for later
    virtual void display(DisplayList content) = 0;            // redraws with this content, origin top-left
};

class OverlaySurfaces {
  public:
    virtual ~OverlaySurfaces() = default;
    virtual std::unique_ptr<OverlaySurface> create() = 0;  // not yet on screen
    virtual OverlayColors colors() const = 0;
};

}  // namespace larkspire
