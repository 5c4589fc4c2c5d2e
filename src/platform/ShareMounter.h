#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace larkspire {

// Mounts a network share at the desktop's default place, with the credentials the desktop keeps.
class ShareMounter {
  public:
    // Status 0 for success; the mount paths, or nothing when the desktop gave none.
    using Result = std::function<void(int status, std::optional<std::vector<std::string>> mountPaths)>;
    virtual ~ShareMounter() = default;
    // 0 when the request started; `result` then runs once on the main queue, never before this returns.
    // Without `allowUI` nothing is ever shown to the user. Non-zero: not started, `result` never runs.
    virtual int mountAsync(const std::string& shareUrl, bool allowUI, Result result) = 0;
};

}  // namespace larkspire
