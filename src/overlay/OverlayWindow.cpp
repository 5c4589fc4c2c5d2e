#include "overlay/OverlayWindow.h"

#include <cmath>

namespace larkspire {

namespace {

Color withAlpha(Color color, double alpha) {
    color.alpha = alpha;
    return color;
}

bool isDrawable(const Rect& rect) {
    return rect.isFinite() && rect.width > 0 && rect.height > 0;
}

// Bytes of the UTF-8 character starting at `text[at]`.
std::size_t characterLength(const std::string& text, std::size_t at) {
    std::size_t length = 1;
    while (at + length < text.size() && (static_cast<unsigned char>(text[at + length]) & 0xC0) == 0x80)
        ++length;
    return length;
}

}  // namespace

std::string truncatedToWidth(const std::string& text, double width, const FontDescription& font,
                             const TextMetrics& metrics) {
    if (metrics.measure(text, font).width <= width) return text;
    static const std::string ellipsis = "…";
    std::vector<std::size_t> ends;  // byte offsets after each character
    for (std::size_t at = 0; at < text.size(); at += characterLength(text, at))
        ends.push_back(at + characterLength(text, at));
    // The longest prefix that fits with the ellipsis.
    std::size_t low = 0, high = ends.size();
    while (low < high) {
        std::size_t middle = (low + high + 1) / 2;
        if (metrics.measure(text.substr(0, ends[middle - 1]) + ellipsis, font).width <= width)
            low = middle;
        else
            high = middle - 1;
    }
    return (low == 0 ? std::string() : text.substr(0, ends[low - 1])) + ellipsis;
}

DisplayList OverlayView::displayList(double height, const OverlayColors& colors,
                                     const TextMetrics& metrics) const {
    DisplayList list;
    // The view's origin is bottom-left, the display list's top-left.
    auto flipped = [height](const Rect& r) { return Rect{r.x, height - r.y - r.height, r.width, r.height}; };
    for (const auto& rect : rects) {
        if (!isDrawable(rect)) continue;
        list.push_back(RoundedRect{.rect = flipped(rect),
                                   .cornerRadius = greyCornerRadius,
                                   .continuousCorners = false,
                                   .fill = withAlpha(colors.windowBackground, greyAlpha)});
    }
    if (!label) return list;
    const auto& rect = label->rect;
    if (!rect.isFinite()) return list;
    if (label->isPill && isDrawable(rect)) {
        list.push_back(RoundedRect{.rect = flipped(rect),
                                   .cornerRadius = rect.height / 2,
                                   .continuousCorners = false,
                                   .fill = withAlpha(colors.windowBackground, pillAlpha),
                                   .stroke = colors.separator,
                                   .strokeWidth = 1});
    }
    auto measured = metrics.measure("Ag", OverlayLabel::font);
    double textHeight = std::ceil(measured.ascent + measured.descent);
    double inset = label->isPill ? textInset : 0;
    Rect textRect{rect.x + inset, rect.y + rect.height / 2 - textHeight * 0.5, rect.width - 2 * inset,
                  textHeight};
    if (textRect.width <= 0) return list;
    auto shown = truncatedToWidth(label->text, textRect.width, OverlayLabel::font, metrics);
    auto top = flipped(textRect).y;
    list.push_back(Text{.text = shown,
                        .origin = Point{textRect.x, top + measured.ascent},
                        .font = OverlayLabel::font,
                        .color = colors.secondaryLabel});
    return list;
}

void OverlayWindow::displayIfNeeded(const OverlayColors& colors, const TextMetrics& metrics) {
    if (!overlayView.needsDisplay) return;
    overlayView.needsDisplay = false;
    surface->display(overlayView.displayList(surface->frame().height, colors, metrics));
}

}  // namespace larkspire
