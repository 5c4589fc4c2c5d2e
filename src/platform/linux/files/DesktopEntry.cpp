#include "platform/linux/files/DesktopEntry.h"

#include "platform/types/Url.h"

namespace larkspire::linux_desktop {

namespace {

bool needsNoQuotes(const std::string& text) {
    if (text.empty()) return false;
    for (unsigned char c : text) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' ||
                     c == '.' || c == '_' || c == '-' || c == '+' || c == ',' || c == ':' || c == '@';
        if (!plain) return false;
    }
    return true;
}

}  // namespace

std::optional<std::string> desktopExecArgument(const std::string& argument) {
    if (argument.empty() || !isValidUtf8(argument)) return std::nullopt;
    if (needsNoQuotes(argument)) return argument;
    std::string value = "\"";
    for (char c : argument) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return std::nullopt;
        // Inside double quotes these need a backslash, and every backslash is doubled once more
        // because the value is an escaped string too; a lone percent sign would start a field code.
        if (c == '"' || c == '`' || c == '$') {
            value += "\\\\";
        } else if (c == '\\') {
            value += "\\\\\\\\";
            continue;
        } else if (c == '%') {
            value += '%';
        }
        value += c;
    }
    return value + "\"";
}

std::string shellWord(const std::string& text) {
    std::string word = "'";
    for (char c : text) {
        if (c == '\'')
            word += "'\\''";
        else
            word += c;
    }
    return word + "'";
}

}  // namespace larkspire::linux_desktop
