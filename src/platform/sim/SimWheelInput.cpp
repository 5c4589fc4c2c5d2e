#include "platform/sim/SimWheelInput.h"

#include <algorithm>
#include <limits>

namespace larkspire::sim {

namespace {

constexpr std::size_t deviceEvent = std::numeric_limits<std::size_t>::max();

class SimWheelTap : public WheelEventTap {
  public:
    explicit SimWheelTap(std::shared_ptr<SimWheelInput::TapState> state) : state(std::move(state)) {}
    ~SimWheelTap() override { state->valid = false; }
    void addToMainRunLoop() override { state->inRunLoop = true; }
    void removeFromMainRunLoop() override { state->inRunLoop = false; }
    void setEnabled(bool enabled) override { state->enabled = enabled; }
    bool isEnabled() const override { return state->enabled; }
    void invalidate() override { state->valid = false; }

  private:
    std::shared_ptr<SimWheelInput::TapState> state;
};

WheelEvent asWheelEvent(const ScrollEventFields& fields) {
    return WheelEvent{.verticalDelta = fields.deltaAxis1,
                      .horizontalDelta = fields.deltaAxis2,
                      .flags = fields.flags,
                      .isContinuous = fields.isContinuous,
                      .userData = fields.userData};
}

}  // namespace

std::unique_ptr<WheelEventTap> SimWheelInput::createWheelTap(Callback callback) {
    if (refusesTaps) return nullptr;
    ++tapsCreated;
    auto state = std::make_shared<TapState>();
    state->callback = std::move(callback);
    taps.insert(taps.begin(), state);
    return std::make_unique<SimWheelTap>(state);
}

bool SimWheelInput::postScrollEvent(const ScrollEventFields& event) {
    if (failsEventCreation) return false;
    posted.push_back(PostedScroll{event, false});
    queue.push_back(Pending{TapEventType::scrollWheel, asWheelEvent(event), posted.size() - 1});
    drain();
    return true;
}

bool SimWheelInput::deliver(TapEventType type, const WheelEvent& event) {
    // Events are handled one at a time, as in a real session; what a tap posts waits its turn.
    Pending pending{type, event, deviceEvent};
    if (dispatching) {
        queue.push_back(pending);
        return false;  // decided later; only a tap itself can get here
    }
    dispatching = true;
    bool swallowed = !dispatch(pending);
    dispatching = false;
    drain();
    return swallowed;
}

void SimWheelInput::drain() {
    if (dispatching) return;
    dispatching = true;
    while (!queue.empty()) {
        Pending next = queue.front();
        queue.pop_front();
        dispatch(next);
    }
    dispatching = false;
}

bool SimWheelInput::dispatch(const Pending& pending) {
    std::erase_if(taps, [](const std::weak_ptr<TapState>& tap) { return tap.expired(); });
    auto current = taps;  // a callback may install or release taps
    for (const auto& weak : current) {
        auto tap = weak.lock();
        if (!tap || !tap->valid || !tap->enabled || !tap->inRunLoop) continue;
        if (tap->callback(pending.type, pending.event) == TapDecision::swallow) return false;
    }
    if (pending.postedIndex != deviceEvent) posted[pending.postedIndex].passedTaps = true;
    if (pending.type == TapEventType::scrollWheel) reachedApplications.push_back(pending.event);
    return true;
}

void SimWheelInput::disableTaps(TapEventType reason) {
    auto current = taps;
    for (const auto& weak : current) {
        auto tap = weak.lock();
        if (!tap || !tap->valid) continue;
        tap->enabled = false;
        if (tap->inRunLoop) tap->callback(reason, WheelEvent{});
    }
}

int SimWheelInput::liveTaps() const {
    return static_cast<int>(std::count_if(taps.begin(), taps.end(), [](const auto& weak) {
        auto tap = weak.lock();
        return tap && tap->valid;
    }));
}

int SimWheelInput::enabledTaps() const {
    return static_cast<int>(std::count_if(taps.begin(), taps.end(), [](const auto& weak) {
        auto tap = weak.lock();
        return tap && tap->valid && tap->enabled && tap->inRunLoop;
    }));
}

}  // namespace larkspire::sim
