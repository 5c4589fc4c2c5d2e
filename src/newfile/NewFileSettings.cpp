#include "newfile/NewFileSettings.h"

namespace larkspire::Settings {

namespace {

// Length in bytes of a Unicode white-space or line-break character at the start of `s`, or 0.
std::size_t whitespaceLength(std::string_view s) {
    static constexpr std::string_view multiByte[] = {
        "\u0085", "\u00A0", "\u1680", "\u2000", "\u2001", "\u2002", "\u2003", "\u2004", "\u2005", "\u2006",
        "\u2007", "\u2008", "\u2009", "\u200A", "\u2028", "\u2029", "\u202F", "\u205F", "\u3000",
    };
    if (s.empty()) return 0;
    char c = s.front();
    if (c == ' ' || (c >= '\t' && c <= '\r')) return 1;
    for (auto ws : multiByte)
        if (s.starts_with(ws)) return ws.size();
    return 0;
}

std::size_t trailingWhitespaceLength(std::string_view s) {
    // Characters are at most three bytes here; try each length from the end.
    for (std::size_t n = 1; n <= 3 && n <= s.size(); ++n) {
        auto tail = s.substr(s.size() - n);
        if (whitespaceLength(tail) == n) return n;
    }
    return 0;
}

}  // namespace

std::optional<std::string> sanitized(const std::optional<std::string>& name) {
    std::string_view s = name ? std::string_view(*name) : std::string_view{};
    while (auto n = whitespaceLength(s)) s.remove_prefix(n);
    while (auto n = trailingWhitespaceLength(s)) s.remove_suffix(n);
    if (s.empty() || s == "." || s == ".." || s.find('/') != std::string_view::npos ||
        s.find(':') != std::string_view::npos || s.find('\0') != std::string_view::npos)
        return std::nullopt;  // a NUL byte would silently cut the name short at the system call
    return std::string(s);
}

std::string fileName(const DefaultsStore& defaults) {
    return sanitized(defaults.stringForKey(fileNameKey)).value_or(defaultFileName);
}

}  // namespace larkspire::Settings
