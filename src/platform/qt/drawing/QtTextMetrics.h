#pragma once

#include "platform/TextMetrics.h"

namespace larkspire::qt {

class QtTextMetrics : public TextMetrics {
  public:
    TextSize measure(std::string_view text, const FontDescription& font) const override;
};

}  // namespace larkspire::qt
