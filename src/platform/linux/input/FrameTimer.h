#pragma once

#include "platform/DisplayLink.h"

#include <functional>

namespace larkspire::linux_desktop {

// Display links as a thread that wakes at every frame deadline of the primary screen's refresh rate.
class FrameTimers : public DisplayLinks {
  public:
    explicit FrameTimers(std::function<double()> refreshRate) : refreshRate(std::move(refreshRate)) {}
    std::unique_ptr<DisplayLink> createWithActiveDisplays() override;

  private:
    std::function<double()> refreshRate;
};

}  // namespace larkspire::linux_desktop
