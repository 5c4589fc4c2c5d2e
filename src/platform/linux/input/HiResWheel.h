#pragma once

#include <cstdint>

namespace larkspire::linux_desktop {

// Turns scrolled pixels into the kernel's wheel units for one axis: 120ths of a notch for programs
// that read the high-resolution axis, and whole notches for those that read only the classic one.
// One notch is the 90 pixels of a single slow tick, so a lone tick scrolls as far as the wheel did.
class HiResWheel {
  public:
    static constexpr std::int64_t pixelsPerNotch = 90;
    static constexpr std::int64_t unitsPerNotch = 120;

    struct Step {
        std::int32_t hiRes = 0;    // 120ths of a notch
        std::int32_t notches = 0;  // whole notches completed by this step
    };
    Step add(std::int64_t pixels);

  private:
    std::int64_t remainder = 0;    // pixels × 120 not yet sent, in 90ths of a unit
    std::int64_t unsentUnits = 0;  // units not yet a whole notch
};

}  // namespace larkspire::linux_desktop
