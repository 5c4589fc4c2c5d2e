#include "platform/sim/SimEventTaps.h"

#include <algorithm>

namespace larkspire::sim {

namespace {

class SimRunLoopSource : public RunLoopSource {
  public:
    explicit SimRunLoopSource(std::shared_ptr<SimEventTaps::State> state) : state(std::move(state)) {}
    void addToMainRunLoop() override { state->onRunLoop = true; }
    void removeFromMainRunLoop() override { state->onRunLoop = false; }

  private:
    std::shared_ptr<SimEventTaps::State> state;
};

class SimKeyboardTap : public KeyboardTap {
  public:
    explicit SimKeyboardTap(std::shared_ptr<SimEventTaps::State> state) : state(std::move(state)) {}
    ~SimKeyboardTap() override { state->invalidated = true; }  // releasing the port ends the tap
    std::unique_ptr<RunLoopSource> createRunLoopSource() override {
        return std::make_unique<SimRunLoopSource>(state);
    }
    void setEnabled(bool enabled) override { state->enabled = enabled && !state->invalidated; }
    void invalidate() override {
        state->invalidated = true;
        state->enabled = false;
    }

  private:
    std::shared_ptr<SimEventTaps::State> state;
};

bool listening(const SimEventTaps::State& state) {
    return state.enabled && state.onRunLoop && !state.invalidated;
}

}  // namespace

std::unique_ptr<KeyboardTap> SimEventTaps::createKeyDownTap(KeyTapCallback callback) {
    ++createAttempts;
    if (createFails) return nullptr;
    auto state = std::make_shared<State>();
    state->callback = std::move(callback);
    taps.insert(taps.begin(), state);
    return std::make_unique<SimKeyboardTap>(state);
}

bool SimEventTaps::deliver(const KeyEvent& event) {
    auto current = taps;  // a callback may create or end taps
    for (const auto& tap : current) {
        if (!listening(*tap)) continue;
        if (!tap->callback(EventType::keyDown, event)) return true;
    }
    return false;
}

void SimEventTaps::disableTaps(std::uint32_t reason) {
    auto current = taps;
    for (const auto& tap : current) {
        if (!listening(*tap)) continue;
        tap->enabled = false;
        tap->callback(reason, KeyEvent{});
    }
}

int SimEventTaps::liveTapCount() const {
    return static_cast<int>(
        std::count_if(taps.begin(), taps.end(), [](auto& tap) { return !tap->invalidated; }));
}

int SimEventTaps::listeningTapCount() const {
    return static_cast<int>(
        std::count_if(taps.begin(), taps.end(), [](auto& tap) { return listening(*tap); }));
}

}  // namespace larkspire::sim
