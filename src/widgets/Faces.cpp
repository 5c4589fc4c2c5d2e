#include "widgets/Faces.h"

#include <cmath>
#include <cstdio>

namespace larkspire::faces {

std::string uppercased(const std::string& text) {
    std::string out = text;
    for (std::size_t i = 0; i < out.size(); ++i) {
        auto c = static_cast<unsigned char>(out[i]);
        if (c >= 'a' && c <= 'z') {
            out[i] = static_cast<char>(c - 'a' + 'A');
        } else if (c == 0xC3 && i + 1 < out.size()) {
            // ä ö ü are C3 A4, C3 B6, C3 BC; their capitals lie 0x20 lower.
            auto next = static_cast<unsigned char>(out[i + 1]);
            if (next == 0xA4 || next == 0xB6 || next == 0xBC) out[i + 1] = static_cast<char>(next - 0x20);
            ++i;
        }
    }
    return out;
}

std::string wholeNumber(double value) {
    // Beyond these bounds a reading is garbage anyway; they keep the conversion defined.
    if (!std::isfinite(value)) value = 0;
    value = std::fmax(-1e15, std::fmin(1e15, value));
    char text[32];
    std::snprintf(text, sizeof text, "%lld", static_cast<long long>(std::llround(value)));
    return text;
}

}  // namespace larkspire::faces
