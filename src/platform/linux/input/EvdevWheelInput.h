#pragma once

#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/ScrollEventPoster.h"
#include "platform/WheelEventTap.h"
#include "platform/linux/input/EventDeviceIo.h"
#include "platform/linux/input/HeldModifiers.h"

#include <functional>
#include <memory>
#include <string_view>

namespace larkspire::linux_desktop {

// Wheel mice through evdev: each is grabbed and mirrored by a virtual clone that repeats every
// event the tap does not swallow; synthetic scrolls leave through a virtual wheel of their own.
// Modifier keys come from the display server where it tells them; otherwise from the keyboards,
// which are then only listened to. A clone keeps the name and ids of its mouse, so the desktop's
// settings for that mouse apply to it; its location marks it ours.
class EvdevWheelInput : public WheelEventHooks, public ScrollEventPoster {
  public:
    static constexpr std::string_view ownDevicePrefix = "Larkspire";
    static constexpr std::string_view ownDevicePhys = "larkspire/virtual";
    enum class Reading { ownThread, byPump };

    EvdevWheelInput(EventDeviceIo& io, MainQueue& main, Reading reading = Reading::ownThread,
                    Log* log = nullptr);
    ~EvdevWheelInput() override;

    // One tap at a time; nothing when the virtual devices cannot be made.
    std::unique_ptr<WheelEventTap> createWheelTap(Callback callback) override;
    // Only pixel deltas move a Linux wheel; phases and line counts have no counterpart there.
    bool postScrollEvent(const ScrollEventFields& event) override;
    // While this holds (game mode) wheel events pass at once without asking the tap, as they do
    // with Ctrl, Alt or Super held. Asked on the reading thread; set before the first tap.
    void passWheelWhile(std::function<bool()> condition) { passWheel = std::move(condition); }
    // Where the display server can tell the held modifier keys, the keyboards are not read at all.
    // Set before the first tap; the server must outlive this.
    void readModifiersFrom(HeldModifiers& server) { heldModifiers = &server; }

    // Handles all input waiting now, without blocking; the reading thread does this by itself.
    void pump();
    std::size_t grabbedMice() const;
    std::size_t watchedKeyboards() const;

    class Session;

  private:
    EventDeviceIo& io;
    MainQueue& main;
    Reading reading;
    Log* log;
    std::function<bool()> passWheel;
    HeldModifiers* heldModifiers = nullptr;
    bool toldModifiersUnknown = false;
    std::weak_ptr<Session> session;
};

}  // namespace larkspire::linux_desktop
