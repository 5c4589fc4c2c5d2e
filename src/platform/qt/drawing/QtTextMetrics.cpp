#include "platform/qt/drawing/QtTextMetrics.h"

#include "platform/qt/drawing/QtFonts.h"

namespace larkspire::qt {

TextSize QtTextMetrics::measure(std::string_view text, const FontDescription& font) const {
    auto layout = layoutText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), font);
    return TextSize{.width = layout.width, .ascent = layout.ascent, .descent = layout.descent};
}

}  // namespace larkspire::qt
