#include "platform/sim/SimDisplay.h"

#include <functional>
#include <optional>

namespace larkspire::sim {

namespace {

class SimDisplayLink : public DisplayLink {
  public:
    SimDisplayLink(SimMainLoop& loop, SimDisplayLinks& owner) : loop(loop), owner(owner) {}
    ~SimDisplayLink() override { stop(); }
    void setOutputHandler(std::function<void()> newHandler) override { handler = std::move(newHandler); }
    void start() override {
        if (timer) return;
        ++owner.running;
        // The handler stands in for the link's own thread: whatever it hands to the main queue
        // must go through postFromAnyThread, as with a real link.
        timer = loop.scheduleRepeating(1.0 / owner.refreshRate, [this] {
            if (handler) handler();
        });
    }
    void stop() override {
        if (!timer) return;
        timer.reset();
        --owner.running;
    }

  private:
    SimMainLoop& loop;
    SimDisplayLinks& owner;
    std::function<void()> handler;
    std::optional<RepeatingTimer> timer;
};

}  // namespace

std::unique_ptr<DisplayLink> SimDisplayLinks::createWithActiveDisplays() {
    if (fails) return nullptr;
    ++created;
    return std::make_unique<SimDisplayLink>(loop, *this);
}

}  // namespace larkspire::sim
