#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

namespace larkspire {

// How a language writes numbers: German "1.234,5", English "1,234.5".
struct NumberMarks {
    char decimal = ',';
    char group = '.';
};

// `text` with %1 … %9 replaced by the arguments in order; a placeholder without an argument stays.
// A translation may move the placeholders, so the arguments are never spliced in by position.
std::string filled(const std::string& text, std::initializer_list<std::string> arguments);

// `value` with `digits` digits after the decimal mark, as printf rounds it.
std::string decimalNumber(double value, int digits, NumberMarks marks);

}  // namespace larkspire
