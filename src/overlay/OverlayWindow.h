#pragma once

#include "platform/OverlaySurfaces.h"
#include "platform/TextMetrics.h"
#include "platform/types/DisplayList.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace larkspire {

// A text over the overlay, normally the selection-size pill.
struct OverlayLabel {
    // The small system font, with which the controller also measures.
    static constexpr FontDescription font{.size = 11};

    std::string text;
    Rect rect;  // in the view's coordinates, origin bottom-left
    bool isPill = true;
    bool operator==(const OverlayLabel&) const = default;
};

// Greyed rectangles over cut items and at most one label; rectangles are in the view's own
// coordinates with the origin at the bottom left.
class OverlayView {
  public:
    static constexpr double greyCornerRadius = 4;
    static constexpr double greyAlpha = 0.6;
    static constexpr double pillAlpha = 0.95;
    static constexpr double textInset = 10;

    std::vector<Rect> rects;
    std::optional<OverlayLabel> label;
    bool needsDisplay = false;

    // What the view shows in a view `height` points high, as a display list with the origin top-left.
    DisplayList displayList(double height, const OverlayColors& colors, const TextMetrics& metrics) const;
};

// The click-through window laid over one file-manager window; it decides nothing itself.
class OverlayWindow {
  public:
    explicit OverlayWindow(std::unique_ptr<OverlaySurface> surface) : surface(std::move(surface)) {}

    Rect frame() const { return surface->frame(); }
    void setFrame(const Rect& frame) { surface->setFrame(frame); }
    void orderAbove(std::uint32_t windowNumber) { surface->orderAbove(windowNumber); }
    void orderOut() { surface->orderOut(); }
    // Draws the view again if it was marked.
    void displayIfNeeded(const OverlayColors& colors, const TextMetrics& metrics);

    OverlayView overlayView;

  private:
    std::unique_ptr<OverlaySurface> surface;
};

// `text` cut at its end, with an ellipsis, so that it fits into `width`.
std::string truncatedToWidth(const std::string& text, double width, const FontDescription& font,
                             const TextMetrics& metrics);

}  // namespace larkspire
