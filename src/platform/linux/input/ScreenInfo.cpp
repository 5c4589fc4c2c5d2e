#include "platform/linux/input/ScreenInfo.h"

#include <cmath>

namespace larkspire::linux_desktop {

void ScreenInfo::setPixelSize(double newWidth, double newHeight) {
    if (!std::isfinite(newWidth) || !std::isfinite(newHeight) || newWidth <= 0 || newHeight <= 0) return;
    width = newWidth;
    height = newHeight;
}

void ScreenInfo::setRefreshRate(double perSecond) {
    if (!std::isfinite(perSecond) || perSecond < 1 || perSecond > 1000) return;
    rate = perSecond;
}

}  // namespace larkspire::linux_desktop
