#pragma once

#include <cstdint>
#include <functional>

namespace larkspire {

// The system's game mode, announced as a notification with a 64-bit state (non-zero: on).
class GameModeNotifications {
  public:
    virtual ~GameModeNotifications() = default;
    // 0 on success, with the token filled in; `handler` then runs on the main queue after every change.
    virtual std::uint32_t registerDispatch(std::int32_t& token, std::function<void()> handler) = 0;
    virtual std::uint64_t state(std::int32_t token) const = 0;  // 0 when it cannot be read
    virtual void cancel(std::int32_t token) = 0;                // no handler call after this
};

}  // namespace larkspire
