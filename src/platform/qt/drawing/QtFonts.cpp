#include "platform/qt/drawing/QtFonts.h"

#include <QFontMetricsF>
#include <algorithm>
#include <cmath>

namespace larkspire::qt {

QFont qFont(const FontDescription& font) {
    QFont result;
    double size = std::isfinite(font.size) ? std::clamp(font.size, 1.0, 2000.0) : 13.0;
    result.setPixelSize(std::max(1, static_cast<int>(std::lround(size))));
    result.setWeight(static_cast<QFont::Weight>(static_cast<int>(font.weight)));
    if (font.compressed) result.setStretch(QFont::Condensed);
    return result;
}

TextLayout layoutText(const QString& text, const FontDescription& font) {
    QFontMetricsF metrics(qFont(font));
    TextLayout layout{.ascent = metrics.ascent(), .descent = metrics.descent()};
    if (!font.monospacedDigits) {
        layout.width = metrics.horizontalAdvance(text);
        layout.pieces.push_back({text, 0, layout.width});
        return layout;
    }
    double digitWidth = 0;
    for (QChar digit = u'0'; digit <= u'9'; digit = QChar(digit.unicode() + 1))
        digitWidth = std::max(digitWidth, metrics.horizontalAdvance(digit));
    double x = 0;
    QString run;
    auto flush = [&] {
        if (run.isEmpty()) return;
        double width = metrics.horizontalAdvance(run);
        layout.pieces.push_back({run, x, width});
        x += width;
        run.clear();
    };
    for (QChar c : text) {
        if (c >= u'0' && c <= u'9') {
            flush();
            double width = metrics.horizontalAdvance(c);
            layout.pieces.push_back({QString(c), x + (digitWidth - width) / 2, width});
            x += digitWidth;
        } else {
            run += c;
        }
    }
    flush();
    layout.width = x;
    return layout;
}

}  // namespace larkspire::qt
