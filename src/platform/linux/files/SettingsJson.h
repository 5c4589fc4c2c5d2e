#pragma once

#include "platform/types/Value.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace larkspire::linux_desktop {

using StoredValues = std::map<std::string, Value>;

// The settings file: one JSON object, key → value, indented for people to read. Booleans, integers,
// finite doubles (always with a fraction or exponent, so they read back as doubles), text, lists and
// dictionaries are plain JSON, so other programs read "cutPaths" as an array of strings. What JSON
// cannot say is a one-member object with a tag: {"$data": base64} for bytes, {"$double": "nan" |
// "inf" | "-inf"}, {"$string": base64} for text that is not UTF-8, and {"$dictionary": {…}} for a
// dictionary that would itself look like a tag. A key that is not UTF-8 is written as "$key:" and its
// bytes in base64.
std::string encodeSettings(const StoredValues& values);

// Nothing when the text is no settings file: not JSON, not an object, nested too deep. Bytes that are
// not UTF-8 inside a text (a hand edit in Latin-1) are kept as they are. JSON null, which no value of
// ours becomes, is skipped.
std::optional<StoredValues> decodeSettings(std::string_view text);

}  // namespace larkspire::linux_desktop
