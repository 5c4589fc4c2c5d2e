#pragma once

#include <cstdint>
#include <optional>

namespace larkspire::linux_desktop {

// The modifier keys the seat holds, as the display server tells them, so that the keyboards
// themselves need not be readable. Asked on the input reading thread and on the main thread.
class HeldModifiers {
  public:
    virtual ~HeldModifiers() = default;
    // WheelEvent's modifier masks held right now; nothing when the server cannot be asked.
    virtual std::optional<std::uint64_t> held() = 0;
};

}  // namespace larkspire::linux_desktop
