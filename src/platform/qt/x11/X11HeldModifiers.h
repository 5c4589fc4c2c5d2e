#pragma once

#include "platform/linux/input/HeldModifiers.h"

#include <memory>
#include <string>

namespace larkspire::qt {

// The modifier keys as the X11 server knows them, on a connection of its own that is asked only
// when a wheel turns or an animation runs. In a Wayland session it does not connect: XWayland
// hears of keys only while one of its own windows has the focus, so it would report none held.
class X11HeldModifiers : public linux_desktop::HeldModifiers {
  public:
    X11HeldModifiers();  // the session's display, unless the session is Wayland
    explicit X11HeldModifiers(const std::string& display);  // that display, whatever the session
    ~X11HeldModifiers() override;
    X11HeldModifiers(const X11HeldModifiers&) = delete;
    X11HeldModifiers& operator=(const X11HeldModifiers&) = delete;

    bool isConnected() const;
    // Nothing when there is no connection or the server does not answer within a moment.
    std::optional<std::uint64_t> held() override;

  private:
    struct State;
    std::unique_ptr<State> state;
};

}  // namespace larkspire::qt
