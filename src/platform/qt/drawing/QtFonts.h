#pragma once

#include "platform/types/DisplayList.h"

#include <QFont>
#include <QString>
#include <vector>

namespace larkspire::qt {

QFont qFont(const FontDescription& font);

// A line cut into pieces placed along the baseline. With monospaced digits every digit gets a cell as
// wide as the widest digit, centred in it, because Qt offers no tabular-figure switch of its own.
struct TextPiece {
    QString text;
    double x = 0;
    double width = 0;
};
struct TextLayout {
    std::vector<TextPiece> pieces;
    double width = 0;
    double ascent = 0;
    double descent = 0;
};
TextLayout layoutText(const QString& text, const FontDescription& font);

}  // namespace larkspire::qt
