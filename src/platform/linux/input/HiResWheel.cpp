#include "platform/linux/input/HiResWheel.h"

#include <algorithm>
#include <limits>

namespace larkspire::linux_desktop {

namespace {

std::int32_t clamped(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

HiResWheel::Step HiResWheel::add(std::int64_t pixels) {
    // Absurd amounts would overflow the arithmetic below; no animation comes near them.
    pixels = std::clamp<std::int64_t>(pixels, -(std::int64_t{1} << 40), std::int64_t{1} << 40);
    std::int64_t scaled = pixels * unitsPerNotch + remainder;
    std::int64_t units = scaled / pixelsPerNotch;
    remainder = scaled - units * pixelsPerNotch;

    // A change of direction starts the count of whole notches afresh, as the kernel does for a wheel.
    if ((units > 0 && unsentUnits < 0) || (units < 0 && unsentUnits > 0)) unsentUnits = 0;
    unsentUnits += units;
    std::int64_t notches = unsentUnits / unitsPerNotch;
    unsentUnits -= notches * unitsPerNotch;
    return Step{clamped(units), clamped(notches)};
}

}  // namespace larkspire::linux_desktop
