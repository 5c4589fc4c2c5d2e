#pragma once

#include "platform/types/DisplayList.h"

#include <string_view>

namespace larkspire {

struct TextSize {
    double width = 0;
    double ascent = 0;   // above the baseline
    double descent = 0;  // below the baseline, positive
};

// Measures single lines of text as the shell will draw them.
class TextMetrics {
  public:
    virtual ~TextMetrics() = default;
    virtual TextSize measure(std::string_view text, const FontDescription& font) const = 0;
};

}  // namespace larkspire
