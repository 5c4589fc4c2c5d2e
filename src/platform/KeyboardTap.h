#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace larkspire {

// One key-down as the system's keyboard hook reports it.
struct KeyEvent {
    std::int64_t keyCode = 0;  // the key's position, not the character it produces
    std::uint64_t flags = 0;   // modifier bits, below
    bool autoRepeat = false;
    bool operator==(const KeyEvent&) const = default;
};

namespace KeyFlags {
inline constexpr std::uint64_t capsLock = 0x10000;
inline constexpr std::uint64_t shift = 0x20000;
inline constexpr std::uint64_t control = 0x40000;
inline constexpr std::uint64_t option = 0x80000;
inline constexpr std::uint64_t command = 0x100000;
inline constexpr std::uint64_t function = 0x800000;
}  // namespace KeyFlags

// Event types a keyboard tap receives; the two highest values say the system switched the tap off.
namespace EventType {
inline constexpr std::uint32_t keyDown = 10;
inline constexpr std::uint32_t tapDisabledByTimeout = 0xFFFFFFFE;
inline constexpr std::uint32_t tapDisabledByUserInput = 0xFFFFFFFF;
}  // namespace EventType

// The tap's callback: the event to let it pass, nothing to swallow it.
using KeyTapCallback = std::function<std::optional<KeyEvent>(std::uint32_t type, const KeyEvent& event)>;

// Where a tap's events are delivered: on the main run loop once added.
class RunLoopSource {
  public:
    virtual ~RunLoopSource() = default;
    virtual void addToMainRunLoop() = 0;       // the callback then runs on the main thread
    virtual void removeFromMainRunLoop() = 0;  // no more callbacks
};

// A desktop-wide keyboard hook that sees key-downs before any application and may swallow them.
class KeyboardTap {
  public:
    virtual ~KeyboardTap() = default;
    virtual std::unique_ptr<RunLoopSource> createRunLoopSource() = 0;
    virtual void setEnabled(bool enabled) = 0;  // also turns a tap back on that the system disabled
    virtual void invalidate() = 0;              // the tap is dead from here on
};

// Creates keyboard taps.
class EventTaps {
  public:
    virtual ~EventTaps() = default;
    virtual std::unique_ptr<KeyboardTap>
    createKeyDownTap(KeyTapCallback callback) = 0;  // inserted at the head; nothing when the system refuses
};

}  // namespace larkspire
