#pragma once

#include "platform/types/DisplayList.h"

#include <string>

namespace larkspire::faces {

inline Color white(double alpha) {
    return Color{1, 1, 1, alpha};
}

// A gradient from the top edge of an element to its bottom edge.
inline LinearGradient topToBottom(double top, double bottom, Color from, Color to) {
    return LinearGradient{.start = {0, top}, .end = {0, bottom}, .stops = {{0, from}, {1, to}}};
}

// Capitals for the German month and weekday names, umlauts included.
std::string uppercased(const std::string& text);

// The whole number nearest to `value`, halves away from zero, printed plainly.
std::string wholeNumber(double value);

}  // namespace larkspire::faces
