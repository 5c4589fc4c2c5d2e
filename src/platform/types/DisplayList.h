#pragma once

#include <cmath>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace larkspire {

// Lengths are points in the view's own coordinates, origin top-left, y growing downward.
struct Point {
    double x = 0;
    double y = 0;
    bool operator==(const Point&) const = default;
};

struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    bool operator==(const Rect&) const = default;
    // Values read from other programs can be NaN or infinite; such a rectangle places nothing.
    bool isFinite() const {
        return std::isfinite(x) && std::isfinite(y) && std::isfinite(width) && std::isfinite(height);
    }
};

struct Color {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;
    bool operator==(const Color&) const = default;
};

struct GradientStop {
    double location = 0;  // 0 … 1 along the gradient
    Color color;
    bool operator==(const GradientStop&) const = default;
};

struct LinearGradient {
    Point start;
    Point end;
    std::vector<GradientStop> stops;
    bool operator==(const LinearGradient&) const = default;
};

using Fill = std::variant<Color, LinearGradient>;

struct Shadow {
    Color color;
    double blur = 0;
    Point offset;
    bool operator==(const Shadow&) const = default;
};

enum class FontWeight { light = 300, regular = 400, medium = 500, semibold = 600, bold = 700, heavy = 800 };

struct FontDescription {
    double size = 13;
    FontWeight weight = FontWeight::regular;
    bool compressed = false;        // a narrower width of the same face
    bool monospacedDigits = false;  // every digit takes the width of the widest one
    bool operator==(const FontDescription&) const = default;
};

// A rounded rectangle; continuous corners blend into the straight edges without a kink.
struct RoundedRect {
    Rect rect;
    double cornerRadius = 0;
    bool continuousCorners = true;
    std::optional<Fill> fill;
    std::optional<Color> stroke;
    double strokeWidth = 1;
    std::vector<double> dashPattern;  // stroke lengths on, off, on …; empty for a solid stroke
    std::optional<Shadow> shadow;
    bool operator==(const RoundedRect&) const = default;
};

enum class LineCap { butt, round, square };

struct Line {
    Point from;
    Point to;
    double width = 1;
    Color color;
    LineCap cap = LineCap::butt;
    bool operator==(const Line&) const = default;
};

enum class TextAlignment { left, center, right };

// A single line of text; `origin` is the left end of its baseline for left alignment, the middle
// or the right end for the other alignments.
struct Text {
    std::string text;
    Point origin;
    FontDescription font;
    Color color;
    TextAlignment alignment = TextAlignment::left;
    std::optional<Shadow> shadow;
    std::optional<LinearGradient> gradient;  // fills the glyphs instead of `color`
    bool operator==(const Text&) const = default;
};

struct DisplayItem;

// Items drawn together: clipped to a (rounded) rectangle and faded as one.
struct DisplayGroup {
    std::vector<DisplayItem> items;
    std::optional<Rect> clip;
    double clipCornerRadius = 0;
    double opacity = 1;
    Point offset;  // moves the items and the clip
    bool operator==(const DisplayGroup&) const = default;
};

struct DisplayItem {
    using Content = std::variant<RoundedRect, Line, Text, DisplayGroup>;
    template <class T> DisplayItem(T item) : content(std::move(item)) {}
    Content content;
    bool operator==(const DisplayItem&) const = default;
};

// What a view shows, in painting order.
using DisplayList = std::vector<DisplayItem>;

}  // namespace larkspire
