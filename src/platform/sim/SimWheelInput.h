#pragma once

#include "platform/ScrollEventPoster.h"
#include "platform/WheelEventTap.h"

#include <deque>
#include <memory>
#include <vector>

namespace larkspire::sim {

// A synthetic event as it was posted, and whether it got past the taps to the applications.
struct PostedScroll {
    ScrollEventFields fields;
    bool passedTaps = false;
};

// The session's wheel events: device events and posted synthetic ones go through the installed taps,
// newest first, and what passes reaches the applications.
class SimWheelInput : public WheelEventHooks, public ScrollEventPoster {
  public:
    std::unique_ptr<WheelEventTap> createWheelTap(Callback callback) override;
    bool postScrollEvent(const ScrollEventFields& event) override;

    // A device's wheel event; true when a tap swallowed it.
    bool scroll(const WheelEvent& event) { return deliver(TapEventType::scrollWheel, event); }
    bool deliver(TapEventType type, const WheelEvent& event);
    // The system switches every tap off and tells it so, as after a slow callback.
    void disableTaps(TapEventType reason);

    int liveTaps() const;     // created and not yet released
    int enabledTaps() const;  // those that also see events

    std::vector<PostedScroll> posted;
    std::vector<WheelEvent> reachedApplications;
    bool refusesTaps = false;
    bool failsEventCreation = false;
    int tapsCreated = 0;

    struct TapState {
        Callback callback;
        bool enabled = false;
        bool inRunLoop = false;
        bool valid = true;
    };

  private:
    struct Pending {
        TapEventType type;
        WheelEvent event;
        std::size_t postedIndex;  // into `posted`, or npos for device events
    };
    bool dispatch(const Pending& pending);
    void drain();

    std::vector<std::weak_ptr<TapState>> taps;  // newest first
    std::deque<Pending> queue;
    bool dispatching = false;
};

}  // namespace larkspire::sim
