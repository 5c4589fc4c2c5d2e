#include "platform/linux/files/SettingsJson.h"

#include "platform/types/Url.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>

namespace larkspire::linux_desktop {

namespace {

using Json = nlohmann::json;

constexpr const char* dataTag = "$data";
constexpr const char* doubleTag = "$double";
constexpr const char* stringTag = "$string";
constexpr const char* dictionaryTag = "$dictionary";
// A key that is not UTF-8 (or that starts like this) is written as this prefix and its bytes in base64.
constexpr std::string_view bytesKeyPrefix = "$key:";
// Our values nest two or three levels; anything this deep did not come from us and would only
// exhaust the stack.
constexpr int maximumDepth = 200;

constexpr char base64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string base64(const std::uint8_t* bytes, std::size_t size) {
    std::string out;
    out.reserve((size + 2) / 3 * 4);
    for (std::size_t i = 0; i < size; i += 3) {
        std::uint32_t chunk = std::uint32_t{bytes[i]} << 16;
        if (i + 1 < size) chunk |= std::uint32_t{bytes[i + 1]} << 8;
        if (i + 2 < size) chunk |= bytes[i + 2];
        out.push_back(base64Alphabet[(chunk >> 18) & 63]);
        out.push_back(base64Alphabet[(chunk >> 12) & 63]);
        out.push_back(i + 1 < size ? base64Alphabet[(chunk >> 6) & 63] : '=');
        out.push_back(i + 2 < size ? base64Alphabet[chunk & 63] : '=');
    }
    return out;
}

int base64Digit(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

std::optional<std::vector<std::uint8_t>> fromBase64(const std::string& text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::vector<std::uint8_t> out;
    out.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        bool last = i + 4 == text.size();
        int padding = 0;
        std::uint32_t chunk = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            char c = text[i + k];
            if (c == '=' && last && k >= 2) {
                ++padding;
                chunk <<= 6;
                continue;
            }
            int digit = base64Digit(c);
            if (digit < 0 || padding > 0) return std::nullopt;
            chunk = (chunk << 6) | static_cast<std::uint32_t>(digit);
        }
        out.push_back(static_cast<std::uint8_t>(chunk >> 16));
        if (padding < 2) out.push_back(static_cast<std::uint8_t>(chunk >> 8));
        if (padding < 1) out.push_back(static_cast<std::uint8_t>(chunk));
    }
    return out;
}

bool isTag(const std::string& key) {
    return key == dataTag || key == doubleTag || key == stringTag || key == dictionaryTag;
}

std::string encodedKey(const std::string& key) {
    if (isValidUtf8(key) && !key.starts_with(bytesKeyPrefix)) return key;
    return std::string(bytesKeyPrefix) +
           base64(reinterpret_cast<const std::uint8_t*>(key.data()), key.size());
}

// A hand-edited file may hold bytes that are not UTF-8, such as one Latin-1 "ö". Each such byte is
// carried through the JSON parser as a private-use character and turned back into the byte after,
// so the value keeps its bytes instead of the whole file being refused.
constexpr std::uint32_t strayByteBase = 0x10FF00;

std::string withStrayBytesMarked(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 16);
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t length = 0;
        for (std::size_t n = 1; n <= 4 && i + n <= text.size() && length == 0; ++n)
            if (isValidUtf8(text.substr(i, n))) length = n;
        if (length > 0) {
            out.append(text.substr(i, length));
            i += length;
            continue;
        }
        std::uint32_t cp = strayByteBase + static_cast<unsigned char>(text[i++]);
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
    return out;
}

std::string withStrayBytesRestored(const std::string& text) {
    if (text.find('\xF4') == std::string::npos) return text;
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
        if (i + 3 < text.size() && at(0) == 0xF4 && at(1) == 0x8F && at(2) >= 0xBC && at(2) <= 0xBF) {
            out.push_back(static_cast<char>(((at(2) & 0x03) << 6) | (at(3) & 0x3F)));
            i += 3;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

struct Decoding {
    bool strayBytes = false;  // the text had bytes that are not UTF-8, marked as above

    std::string text(const std::string& parsed) const {
        return strayBytes ? withStrayBytesRestored(parsed) : parsed;
    }
    std::string key(const std::string& parsed) const {
        auto key = text(parsed);
        if (!key.starts_with(bytesKeyPrefix)) return key;
        if (auto bytes = fromBase64(key.substr(bytesKeyPrefix.size())))
            return std::string(bytes->begin(), bytes->end());
        return key;
    }
};

Json tagged(const char* tag, Json inner) {
    Json object = Json::object();
    object[tag] = std::move(inner);
    return object;
}

Json toJson(const Value& value);

Json dictionaryToJson(const Value::Dictionary& dictionary) {
    Json object = Json::object();
    for (const auto& [key, member] : dictionary) object[encodedKey(key)] = toJson(member);
    return object;
}

Json toJson(const Value& value) {
    if (auto b = value.get<bool>()) return *b;
    if (auto i = value.get<std::int64_t>()) return *i;
    if (auto d = value.get<double>()) {
        if (std::isfinite(*d)) return *d;
        return tagged(doubleTag, std::isnan(*d) ? "nan" : (*d > 0 ? "inf" : "-inf"));
    }
    if (auto s = value.get<std::string>()) {
        if (isValidUtf8(*s)) return *s;
        return tagged(stringTag, base64(reinterpret_cast<const std::uint8_t*>(s->data()), s->size()));
    }
    if (auto data = value.get<Data>()) return tagged(dataTag, base64(data->bytes.data(), data->bytes.size()));
    if (auto list = value.get<Value::List>()) {
        Json array = Json::array();
        for (const auto& element : *list) array.push_back(toJson(element));
        return array;
    }
    const auto& dictionary = *value.get<Value::Dictionary>();
    if (dictionary.size() == 1 && isTag(dictionary.begin()->first))
        return tagged(dictionaryTag, dictionaryToJson(dictionary));
    return dictionaryToJson(dictionary);
}

std::optional<Value> fromJson(const Json& json, int depth, const Decoding& decoding);

std::optional<Value::Dictionary> dictionaryFromJson(const Json& json, int depth, const Decoding& decoding) {
    Value::Dictionary dictionary;
    for (const auto& [key, member] : json.items()) {
        if (member.is_null()) continue;
        auto value = fromJson(member, depth + 1, decoding);
        if (!value) return std::nullopt;
        dictionary.emplace(decoding.key(key), std::move(*value));
    }
    return dictionary;
}

// The value a one-member tagged object stands for; nothing when it is an ordinary dictionary.
std::optional<Value> untagged(const Json& json, int depth, const Decoding& decoding) {
    if (json.size() != 1) return std::nullopt;
    auto member = json.begin();
    const std::string& tag = member.key();
    const Json& inner = member.value();
    if (tag == dictionaryTag && inner.is_object()) {
        auto dictionary = dictionaryFromJson(inner, depth + 1, decoding);
        if (dictionary) return Value(std::move(*dictionary));
        return std::nullopt;
    }
    if (!inner.is_string()) return std::nullopt;
    const auto& text = inner.get_ref<const std::string&>();
    if (tag == doubleTag) {
        if (text == "nan") return Value(std::numeric_limits<double>::quiet_NaN());
        if (text == "inf") return Value(std::numeric_limits<double>::infinity());
        if (text == "-inf") return Value(-std::numeric_limits<double>::infinity());
        return std::nullopt;
    }
    if (tag == dataTag) {
        if (auto bytes = fromBase64(text)) return Value(Data{std::move(*bytes)});
    }
    if (tag == stringTag) {
        if (auto bytes = fromBase64(text)) return Value(std::string(bytes->begin(), bytes->end()));
    }
    return std::nullopt;
}

std::optional<Value> fromJson(const Json& json, int depth, const Decoding& decoding) {
    if (depth > maximumDepth) return std::nullopt;
    switch (json.type()) {
    case Json::value_t::boolean:
        return Value(json.get<bool>());
    case Json::value_t::number_integer:
        return Value(json.get<std::int64_t>());
    case Json::value_t::number_unsigned: {
        auto n = json.get<std::uint64_t>();
        // Past the signed range only a double can hold it, roughly.
        if (n > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            return Value(static_cast<double>(n));
        return Value(static_cast<std::int64_t>(n));
    }
    case Json::value_t::number_float:
        return Value(json.get<double>());
    case Json::value_t::string:
        return Value(decoding.text(json.get_ref<const std::string&>()));
    case Json::value_t::array: {
        Value::List list;
        list.reserve(json.size());
        for (const auto& element : json) {
            if (element.is_null()) continue;
            auto value = fromJson(element, depth + 1, decoding);
            if (!value) return std::nullopt;
            list.push_back(std::move(*value));
        }
        return Value(std::move(list));
    }
    case Json::value_t::object: {
        if (auto value = untagged(json, depth, decoding)) return value;
        auto dictionary = dictionaryFromJson(json, depth, decoding);
        if (!dictionary) return std::nullopt;
        return Value(std::move(*dictionary));
    }
    default:
        return std::nullopt;
    }
}

// How deep arrays and objects nest, counted without recursion so a hostile file cannot exhaust the stack.
bool nestsTooDeep(std::string_view text) {
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > maximumDepth) return true;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return false;
}

}  // namespace

std::string encodeSettings(const StoredValues& values) {
    Json object = Json::object();
    for (const auto& [key, value] : values) object[encodedKey(key)] = toJson(value);
    return object.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::optional<StoredValues> decodeSettings(std::string_view text) {
    if (nestsTooDeep(text)) return std::nullopt;
    Decoding decoding{!isValidUtf8(text)};
    std::string marked = decoding.strayBytes ? withStrayBytesMarked(text) : std::string();
    if (decoding.strayBytes) text = marked;
    Json json = Json::parse(text.begin(), text.end(), nullptr, false);
    if (json.is_discarded() || !json.is_object()) return std::nullopt;
    StoredValues values;
    for (const auto& [key, member] : json.items()) {
        if (member.is_null()) continue;
        auto value = fromJson(member, 1, decoding);
        if (!value) return std::nullopt;
        values.emplace(decoding.key(key), std::move(*value));
    }
    return values;
}

}  // namespace larkspire::linux_desktop
