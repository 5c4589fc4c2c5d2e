#include "platform/types/Url.h"

#include <cctype>

namespace larkspire {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool isSchemeChar(char c, bool first) {
    if (std::isalpha(static_cast<unsigned char>(c))) return true;
    return !first && (std::isdigit(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.');
}

// Decoded text that a path or a name may safely carry.
std::optional<std::string> decodedText(std::string_view part) {
    auto decoded = percentDecoded(part);
    if (!decoded || !isValidUtf8(*decoded) || decoded->find('\0') != std::string::npos) return std::nullopt;
    return decoded;
}

}  // namespace

bool isValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        auto c = static_cast<unsigned char>(text[i]);
        std::size_t extra = 0;
        std::uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= text.size()) return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            auto cc = static_cast<unsigned char>(text[i + k]);
            if ((cc & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not text.
        if ((extra == 1 && cp < 0x80) || (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000) ||
            (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
            return false;
        i += extra + 1;
    }
    return true;
}

std::optional<std::string> percentDecoded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out.push_back(text[i]);
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        int high = hexValue(text[i + 1]);
        int low = hexValue(text[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        out.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    return out;
}

std::string percentEncodedPath(std::string_view path) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(path.size());
    for (char ch : path) {
        auto c = static_cast<unsigned char>(ch);
        if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
            out.push_back(ch);
        } else {
            out.push_back('%');
            out.push_back(digits[c >> 4]);
            out.push_back(digits[c & 0xF]);
        }
    }
    return out;
}

std::optional<Url> Url::parse(std::string_view input) {
    for (char ch : input) {
        auto c = static_cast<unsigned char>(ch);
        if (c <= 0x20 || c == 0x7F) return std::nullopt;
    }
    auto colon = input.find(':');
    if (colon == std::string_view::npos || colon == 0) return std::nullopt;
    for (std::size_t i = 0; i < colon; ++i)
        if (!isSchemeChar(input[i], i == 0)) return std::nullopt;

    Url url;
    url.text = std::string(input);
    url.schemePart = std::string(input.substr(0, colon));
    std::string_view rest = input.substr(colon + 1);

    auto hash = rest.find('#');
    if (hash != std::string_view::npos) {
        if (!percentDecoded(rest.substr(hash + 1))) return std::nullopt;
        rest = rest.substr(0, hash);
    }
    auto question = rest.find('?');
    if (question != std::string_view::npos) {
        auto query = rest.substr(question + 1);
        if (!percentDecoded(query)) return std::nullopt;
        url.query = std::string(query);
        rest = rest.substr(0, question);
    }
    if (rest.starts_with("//")) {
        rest.remove_prefix(2);
        auto slash = rest.find('/');
        auto authority = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash);
        auto at = authority.rfind('@');
        if (at != std::string_view::npos) authority = authority.substr(at + 1);
        if (!authority.starts_with('[')) {
            auto portColon = authority.rfind(':');
            if (portColon != std::string_view::npos) authority = authority.substr(0, portColon);
        } else if (auto close = authority.find(']'); close != std::string_view::npos) {
            authority = authority.substr(0, close + 1);  // an IPv6 address keeps its brackets, not its port
        }
        auto host = percentDecoded(authority);
        if (!host) return std::nullopt;
        if (!host->empty() && isValidUtf8(*host) && host->find('\0') == std::string::npos)
            url.hostPart = *host;
    }
    auto path = percentDecoded(rest);
    if (!path) return std::nullopt;
    url.pathPart = *path;
    return url;
}

Url Url::fileUrl(std::string_view absolutePath) {
    // Built from parts we control, so parsing cannot fail.
    return *parse("file://" + percentEncodedPath(absolutePath));
}

std::vector<QueryItem> Url::queryItems() const {
    std::vector<QueryItem> items;
    if (!query) return items;
    std::string_view rest = *query;
    while (true) {
        auto amp = rest.find('&');
        auto piece = rest.substr(0, amp);
        auto equals = piece.find('=');
        auto name = decodedText(piece.substr(0, equals));
        if (name) {
            QueryItem item{*name, std::nullopt};
            if (equals != std::string_view::npos) item.value = decodedText(piece.substr(equals + 1));
            items.push_back(std::move(item));
        }
        if (amp == std::string_view::npos) break;
        rest = rest.substr(amp + 1);
    }
    return items;
}

std::optional<std::string> Url::firstByteValue(std::string_view name) const {
    if (!query) return std::nullopt;
    std::string_view rest = *query;
    while (true) {
        auto amp = rest.find('&');
        auto piece = rest.substr(0, amp);
        auto equals = piece.find('=');
        if (equals != std::string_view::npos && decodedText(piece.substr(0, equals)) == name)
            return percentDecoded(piece.substr(equals + 1));
        if (amp == std::string_view::npos) return std::nullopt;
        rest = rest.substr(amp + 1);
    }
}

std::vector<std::string> Url::byteValues(std::string_view name) const {
    std::vector<std::string> values;
    if (!query) return values;
    std::string_view rest = *query;
    while (true) {
        auto amp = rest.find('&');
        auto piece = rest.substr(0, amp);
        auto equals = piece.find('=');
        if (equals != std::string_view::npos && decodedText(piece.substr(0, equals)) == name)
            if (auto value = percentDecoded(piece.substr(equals + 1))) values.push_back(std::move(*value));
        if (amp == std::string_view::npos) return values;
        rest = rest.substr(amp + 1);
    }
}

std::optional<std::string> Url::firstValue(std::string_view name) const {
    for (auto& item : queryItems())
        if (item.name == name && item.value) return item.value;
    return std::nullopt;
}

}  // namespace larkspire
