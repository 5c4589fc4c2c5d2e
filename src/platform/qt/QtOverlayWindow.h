#pragma once

#include "platform/OverlaySurfaces.h"

#include <QWidget>

namespace larkspire::qt {

// A frameless, transparent window that every click passes through, with no shadow and no taskbar
// entry; it paints the display list the badge controller hands it.
class QtOverlayWindow : public QWidget, public OverlaySurface {
  public:
    QtOverlayWindow();
    Rect frame() const override { return currentFrame; }
    void setFrame(const Rect& frame) override;
    void orderAbove(std::uint32_t windowNumber) override;
    void orderOut() override;
    void display(DisplayList content) override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    Rect currentFrame;
    DisplayList content;
};

class QtOverlaySurfaces : public OverlaySurfaces {
  public:
    std::unique_ptr<OverlaySurface> create() override { return std::make_unique<QtOverlayWindow>(); }
    OverlayColors colors() const override;
};

// The appearance's colours for overlays, from a palette: light or dark alike.
OverlayColors overlayColors(const QPalette& palette);

}  // namespace larkspire::qt
