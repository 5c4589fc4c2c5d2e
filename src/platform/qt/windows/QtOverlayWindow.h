#pragma once

#include "platform/OverlaySurfaces.h"

#include <QRegion>
#include <QWidget>
#include <optional>

namespace larkspire::qt {

// How overlays meet an X11 window manager that knows nothing of them.
class OverlayStacking {
  public:
    virtual ~OverlayStacking() = default;
    // Directly above another program's window, by the overlay's native window.
    virtual bool stackAbove(std::uint32_t overlay, std::uint32_t windowNumber) = 0;
    // Whether a compositor blends translucent windows; without one their clear parts show black.
    virtual bool isCompositing() = 0;
};

// The part of an overlay that may cover the window below: its rounded rectangles. Without a
// compositor translucent ones become every other line, which washes out what lies below alike.
QRegion overlayShape(const DisplayList& content, bool translucent);

// A frameless, transparent window that every click passes through, with no shadow and no taskbar
// entry; it paints the display list the badge controller hands it.
class QtOverlayWindow : public QWidget, public OverlaySurface {
  public:
    // With a way to stack it, the window manager leaves the window alone and it is stacked by hand.
    explicit QtOverlayWindow(OverlayStacking* stacking = nullptr);
    Rect frame() const override { return currentFrame; }
    void setFrame(const Rect& frame) override;
    void orderAbove(std::uint32_t windowNumber) override;
    void orderOut() override;
    void display(DisplayList content) override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    OverlayStacking* stacking;
    bool translucent = true;
    Rect currentFrame;
    DisplayList content;
};

class QtOverlaySurfaces : public OverlaySurfaces {
  public:
    std::unique_ptr<OverlaySurface> create() override { return std::make_unique<QtOverlayWindow>(stacking); }
    OverlayColors colors() const override;

    OverlayStacking* stacking = nullptr;  // for the windows made from now on; outlives them

  private:
    mutable std::optional<OverlayColors> known;
    mutable qint64 knownPalette = 0;
};

// The appearance's colours for overlays, from a palette: light or dark alike.
OverlayColors overlayColors(const QPalette& palette);

}  // namespace larkspire::qt
