#pragma once

#include "platform/Url.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace larkspire {

// The general clipboard, read only: features never write to it.
class Clipboard {
  public:
    virtual ~Clipboard() = default;
    virtual std::int64_t changeCount() const = 0;  // grows on every change by anyone
    virtual std::optional<std::vector<Url>>
    fileUrls() const = 0;  // file URLs only; nothing when reading fails
    virtual std::optional<std::string> filePath(
        const Url& fileUrl) const = 0;  // its path; a file-reference URL resolved; nothing when it cannot be
};

}  // namespace larkspire
