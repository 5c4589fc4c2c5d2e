#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace larkspire {

// The fields of a wheel event that a tap reads.
struct WheelEvent {
    static constexpr std::uint64_t shiftMask = 0x20000;
    static constexpr std::uint64_t controlMask = 0x40000;
    static constexpr std::uint64_t alternateMask = 0x80000;
    static constexpr std::uint64_t commandMask = 0x100000;

    std::int64_t verticalDelta = 0;    // whole lines, positive away from the user
    std::int64_t horizontalDelta = 0;  // whole lines
    std::uint64_t flags = 0;           // modifier masks above
    std::int64_t isContinuous = 0;     // non-zero for trackpads and other continuous scrollers
    std::int64_t userData = 0;         // the poster's mark; 0 for events of a device
    bool operator==(const WheelEvent&) const = default;
};

// What the tap callback is called for.
enum class TapEventType : std::uint32_t {
    scrollWheel = 22,
    other = 0,
    tapDisabledByTimeout = 0xFFFFFFFE,
    tapDisabledByUserInput = 0xFFFFFFFF,
};

enum class TapDecision { pass, swallow };

// An installed wheel-event tap; destroying it removes it.
class WheelEventTap {
  public:
    virtual ~WheelEventTap() = default;
    virtual void addToMainRunLoop() = 0;        // from now on its callback runs on the main thread
    virtual void removeFromMainRunLoop() = 0;   // the callback is no longer called
    virtual void setEnabled(bool enabled) = 0;  // a disabled tap lets every event pass untouched
    virtual bool isEnabled() const = 0;
    virtual void invalidate() = 0;  // releases the hook for good
};

// The session-wide hook that sees every wheel event first.
class WheelEventHooks {
  public:
    using Callback = std::function<TapDecision(TapEventType type, const WheelEvent& event)>;
    virtual ~WheelEventHooks() = default;
    // An active tap at the head of the session; nothing when the system refuses one.
    virtual std::unique_ptr<WheelEventTap> createWheelTap(Callback callback) = 0;
};

}  // namespace larkspire
