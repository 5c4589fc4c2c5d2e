#pragma once

#include "platform/MainDisplay.h"

#include <atomic>

namespace larkspire::linux_desktop {

// The primary screen as the shell last reported it; until then a common full-HD screen at 60 Hz.
class ScreenInfo : public MainDisplay {
  public:
    double pixelsWide() const override { return width.load(); }
    double pixelsHigh() const override { return height.load(); }
    double refreshRate() const { return rate.load(); }

    // Values that cannot describe a screen are ignored.
    void setPixelSize(double newWidth, double newHeight);
    void setRefreshRate(double perSecond);

  private:
    std::atomic<double> width{1920};
    std::atomic<double> height{1080};
    std::atomic<double> rate{60};
};

}  // namespace larkspire::linux_desktop
