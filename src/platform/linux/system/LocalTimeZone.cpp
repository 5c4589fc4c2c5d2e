#include "platform/linux/system/LocalTimeZone.h"

#include <cmath>
#include <ctime>

namespace larkspire::linux_desktop {

double LocalTimeZone::secondsFromGmt(double wallTime) const {
    if (!std::isfinite(wallTime)) return 0;
    auto seconds = static_cast<std::time_t>(std::floor(wallTime));
    std::tm local{};
    if (!::localtime_r(&seconds, &local)) return 0;
    return static_cast<double>(local.tm_gmtoff);
}

}  // namespace larkspire::linux_desktop
