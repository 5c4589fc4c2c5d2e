// Arbitrary bytes as the settings file: reading never crashes, and what was read is written back
// so that it reads the same again.
#include "platform/linux/files/SettingsJson.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace larkspire::linux_desktop;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto values = decodeSettings(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!values) return 0;
    auto written = encodeSettings(*values);
    auto reread = decodeSettings(written);
    if (!reread) std::abort();
    // Compared as text, since a NaN never equals itself.
    if (encodeSettings(*reread) != written) std::abort();
    return 0;
}
