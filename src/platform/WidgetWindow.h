#pragma once

#include "platform/types/DisplayList.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace larkspire {

// Rectangles here are global: origin at the lower-left corner of the primary screen, y growing upward.

enum class WidgetLevel { desktop, floating };  // just above the desktop, or above every ordinary window

// What the window reports; mouse locations are global.
struct WidgetWindowEvents {
    std::function<void()> moved;
    std::function<void(Point mouse)> handleDown;
    std::function<void(Point mouse)> handleDragged;
};

// A borderless window on the desktop that draws what the core decided.
class WidgetWindow {
  public:
    virtual ~WidgetWindow() = default;
    virtual Rect frame() const = 0;
    virtual void setFrame(const Rect& frame) = 0;      // moves and resizes at once
    virtual void setContent(DisplayList content) = 0;  // top-left origin, y downward
    virtual void setLevel(WidgetLevel level) = 0;
    virtual void setIgnoresMouseEvents(bool ignores) = 0;         // clicks fall through to the desktop
    virtual void setMovableByWindowBackground(bool movable) = 0;  // dragging anywhere moves it
    virtual void setHandleFrame(std::optional<Rect> frame) = 0;   // presses there scale; nothing: no handle
    virtual void orderFront() = 0;
    virtual void orderFrontRegardless() = 0;
    virtual void orderOut() = 0;
    virtual bool isVisible() const = 0;
};

class WidgetWindows {
  public:
    virtual ~WidgetWindows() = default;
    virtual std::unique_ptr<WidgetWindow> create(const Rect& contentRect, WidgetWindowEvents events) = 0;
    virtual Color accentColor() const = 0;  // the user's accent for outlines and handles
};

}  // namespace larkspire
