#include "platform/linux/system/SystemClock.h"

#include <chrono>

namespace larkspire::linux_desktop {

double SystemClock::uptime() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double SystemClock::wallTime() const {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

}  // namespace larkspire::linux_desktop
