#include "platform/types/Words.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace larkspire {

std::string filled(const std::string& text, std::initializer_list<std::string> arguments) {
    std::vector<std::string> given(arguments);
    std::string result;
    result.reserve(text.size());
    for (std::size_t index = 0; index < text.size(); ++index) {
        char next = index + 1 < text.size() ? text[index + 1] : '\0';
        if (text[index] == '%' && next >= '1' && next <= '9' &&
            static_cast<std::size_t>(next - '1') < given.size()) {
            // Arguments are inserted, never scanned again, so a "%2" inside a file name stays as it is.
            result += given[static_cast<std::size_t>(next - '1')];
            ++index;
        } else {
            result += text[index];
        }
    }
    return result;
}

std::string decimalNumber(double value, int digits, NumberMarks marks) {
    if (!std::isfinite(value)) value = 0;
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", digits, value);
    std::string out = text;
    for (auto& character : out)
        if (character == '.') character = marks.decimal;
    return out;
}

}  // namespace larkspire
