#pragma once

#include "platform/KeyboardTap.h"

#include <memory>
#include <vector>

namespace larkspire::sim {

// The session's keyboard hook: key-downs go to the installed taps, newest first, until one swallows it.
class SimEventTaps : public EventTaps {
  public:
    std::unique_ptr<KeyboardTap> createKeyDownTap(KeyTapCallback callback) override;

    // Hands a key-down to the taps; true when one of them swallowed it.
    bool deliver(const KeyEvent& event);
    // The system switches every tap off, as after a slow callback or secure input, and tells them.
    void disableTaps(std::uint32_t reason);

    int liveTapCount() const;       // created and not invalidated
    int listeningTapCount() const;  // enabled and on the run loop
    bool createFails = false;
    int createAttempts = 0;

    struct State {
        KeyTapCallback callback;
        bool enabled = false;
        bool onRunLoop = false;
        bool invalidated = false;
    };

  private:
    std::vector<std::shared_ptr<State>> taps;  // head first
};

}  // namespace larkspire::sim
