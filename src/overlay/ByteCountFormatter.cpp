#include "overlay/ByteCountFormatter.h"

#include <array>
#include <cstdio>

namespace larkspire {

std::string stringFromByteCount(std::int64_t bytes, const Wording& words) {
    if (bytes < 1000) return filled(words.shown("%1 Byte"), {std::to_string(bytes < 0 ? 0 : bytes)});
    static constexpr std::array<const char*, 6> units{"kB", "MB", "GB", "TB", "PB", "EB"};
    static constexpr std::array<int, 6> digits{0, 1, 2, 2, 2, 2};
    // Integer arithmetic keeps the rounding exact for every count, up to exabytes.
    std::uint64_t value = static_cast<std::uint64_t>(bytes);
    std::uint64_t divisor = 1000;
    std::size_t unit = 0;
    for (;;) {
        std::uint64_t scale = 1;
        for (int i = 0; i < digits[unit]; ++i) scale *= 10;
        // Rounded half up to the unit's digits: value / divisor * scale.
        std::uint64_t step = divisor / scale;
        std::uint64_t rounded = value / step + (value % step >= step - step / 2 ? 1 : 0);
        if (rounded >= 1000 * scale && unit + 1 < units.size()) {
            // 999.999 bytes round up to the next unit, not to "1000 kB".
            ++unit;
            divisor *= 1000;
            continue;
        }
        std::uint64_t whole = rounded / scale;
        std::uint64_t fraction = rounded % scale;
        std::string text = std::to_string(whole);
        if (fraction != 0) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "%0*llu", digits[unit],
                          static_cast<unsigned long long>(fraction));
            std::string decimals = buffer;
            while (!decimals.empty() && decimals.back() == '0') decimals.pop_back();
            text += words.numberMarks().decimal + decimals;
        }
        return text + " " + units[unit];
    }
}

}  // namespace larkspire
