#pragma once

#include "platform/DisplayLink.h"
#include "platform/MainDisplay.h"
#include "platform/sim/SimMainLoop.h"

#include <memory>

namespace larkspire::sim {

class SimMainDisplay : public MainDisplay {
  public:
    double pixelsWide() const override { return width; }
    double pixelsHigh() const override { return height; }
    double width = 1920;
    double height = 1080;
};

// Display links that refresh on the virtual clock at `refreshRate` per second.
class SimDisplayLinks : public DisplayLinks {
  public:
    explicit SimDisplayLinks(SimMainLoop& loop) : loop(loop) {}
    std::unique_ptr<DisplayLink> createWithActiveDisplays() override;

    double refreshRate = 60;
    bool fails = false;
    int created = 0;
    int running = 0;  // started and not yet stopped

  private:
    SimMainLoop& loop;
};

}  // namespace larkspire::sim
