#pragma once

#include "platform/TextMetrics.h"

#include <QFont>
#include <map>
#include <string>
#include <tuple>

namespace larkspire::qt {

// Measures with the application's font. The badge and the widget faces ask for the same few texts
// over and over, and shaping a text costs more than looking it up, so answers are kept until the
// application's font changes. Main thread only.
class QtTextMetrics : public TextMetrics {
  public:
    static constexpr std::size_t textsKept = 256;
    TextSize measure(std::string_view text, const FontDescription& font) const override;

  private:
    using Key = std::tuple<std::string, double, FontWeight, bool, bool>;
    mutable std::map<Key, TextSize> measured;
    mutable QFont measuredWith;
};

}  // namespace larkspire::qt
