#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace larkspire {

struct QueryItem {
    std::string name;
    std::optional<std::string> value;  // nothing for an item without "="
    bool operator==(const QueryItem&) const = default;
};

// An absolute URL split into the parts this program reads. Parsing never throws.
class Url {
  public:
    // Nothing for text that is not a URL: no scheme, a malformed percent escape, spaces or control bytes.
    static std::optional<Url> parse(std::string_view text);
    static Url fileUrl(std::string_view absolutePath);  // "file://" + the path, percent-encoded

    const std::string& string() const { return text; }
    const std::string& scheme() const { return schemePart; }  // as written; compare case-sensitively
    const std::optional<std::string>& host() const {
        return hostPart;
    }                                                     // decoded; nothing when empty or absent
    const std::string& path() const { return pathPart; }  // decoded
    bool isFileUrl() const { return schemePart == "file"; }

    // Decoded items in their order. An item whose name or value does not decode to valid UTF-8
    // without NUL bytes loses that part: the name drops the item, the value reads as absent.
    std::vector<QueryItem> queryItems() const;
    // The value of the first item with this name that has a value.
    std::optional<std::string> firstValue(std::string_view name) const;
    // The same value decoded to its bytes, which need not be UTF-8 and may hold NUL: for paths,
    // which on Linux are bytes.
    std::optional<std::string> firstByteValue(std::string_view name) const;
    // Every value of items with this name decoded to its bytes, in order; malformed ones are left out.
    std::vector<std::string> byteValues(std::string_view name) const;

    bool operator==(const Url& other) const { return text == other.text; }

  private:
    std::string text;
    std::string schemePart;
    std::optional<std::string> hostPart;
    std::string pathPart;
    std::optional<std::string> query;  // still encoded
};

// Percent-decoding; nothing for a malformed escape.
std::optional<std::string> percentDecoded(std::string_view text);
std::string percentEncodedPath(std::string_view path);
bool isValidUtf8(std::string_view text);

}  // namespace larkspire
