#include "platform/qt/drawing/QtTextMetrics.h"

#include "platform/qt/drawing/QtFonts.h"

#include <QGuiApplication>

namespace larkspire::qt {

TextSize QtTextMetrics::measure(std::string_view text, const FontDescription& font) const {
    if (auto current = QGuiApplication::font(); !(current == measuredWith)) {
        measured.clear();
        measuredWith = current;
    }
    Key key{std::string(text), font.size, font.weight, font.compressed, font.monospacedDigits};
    if (auto known = measured.find(key); known != measured.end()) return known->second;
    auto layout = layoutText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), font);
    TextSize size{.width = layout.width, .ascent = layout.ascent, .descent = layout.descent};
    if (measured.size() >= textsKept) measured.clear();
    measured.emplace(std::move(key), size);
    return size;
}

}  // namespace larkspire::qt
