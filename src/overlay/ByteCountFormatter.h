#pragma once

#include "platform/Wording.h"

#include <cstdint>
#include <string>

namespace larkspire {

// Byte counts as a file manager shows them: decimal units (1 kB = 1000 bytes), the language's decimal
// mark (a German comma), no digits after it for kB, one for MB, two from GB on, trailing zeros dropped.
std::string stringFromByteCount(std::int64_t bytes, const Wording& words = sourceWording());

}  // namespace larkspire
