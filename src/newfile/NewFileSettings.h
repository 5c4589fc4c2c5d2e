#pragma once

#include "platform/DefaultsStore.h"

#include <optional>
#include <string>

namespace larkspire::Settings {

inline constexpr const char* fileNameKey = "fileName";
inline constexpr const char* openAfterCreateKey = "openAfterCreate";

inline constexpr const char* defaultFileName = "Neu.txt";

// A user-typed file name trimmed of white space, or nothing when it cannot name a file in a folder.
std::optional<std::string> sanitized(const std::optional<std::string>& name);

// The effective new-file name, read afresh from the store; never empty.
std::string fileName(const DefaultsStore& defaults);

}  // namespace larkspire::Settings
