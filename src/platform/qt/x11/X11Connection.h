#pragma once

#include <chrono>
#include <cstdlib>
#include <memory>
#include <poll.h>
#include <string_view>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>  // waiting for one reply without blocking

namespace larkspire::qt {

template <class T> using Reply = std::unique_ptr<T, decltype(&std::free)>;
template <class T> Reply<T> owned(T* reply) {
    return Reply<T>(reply, &std::free);
}

// The answer to one request, or nothing when it does not come within `patience`: a server that is
// stuck or grabbed must not hold up the caller.
template <class T>
Reply<T> answerWithin(xcb_connection_t* connection, unsigned int sequence,
                      std::chrono::milliseconds patience) {
    auto deadline = std::chrono::steady_clock::now() + patience;
    xcb_flush(connection);
    while (true) {
        void* reply = nullptr;
        xcb_generic_error_t* error = nullptr;
        if (xcb_poll_for_reply(connection, sequence, &reply, &error)) {
            std::free(error);
            return owned(static_cast<T*>(reply));
        }
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            xcb_discard_reply(connection, sequence);
            return owned<T>(nullptr);
        }
        pollfd readable{xcb_get_file_descriptor(connection), POLLIN, 0};
        ::poll(&readable, 1, static_cast<int>(left.count()));
    }
}

// A connection of its own to the display's screen, with that screen's root window; nothing where the
// server cannot be reached.
struct ScreenConnection {
    xcb_connection_t* connection = nullptr;
    xcb_window_t root = XCB_WINDOW_NONE;
};
inline ScreenConnection connectToScreen(const char* display) {
    int screenNumber = 0;
    auto* candidate = xcb_connect(display, &screenNumber);
    if (!candidate || xcb_connection_has_error(candidate)) {
        if (candidate) xcb_disconnect(candidate);
        return {};
    }
    auto roots = xcb_setup_roots_iterator(xcb_get_setup(candidate));
    for (int i = 0; i < screenNumber && roots.rem > 0; ++i) xcb_screen_next(&roots);
    if (roots.rem <= 0 || !roots.data) {
        xcb_disconnect(candidate);
        return {};
    }
    return {candidate, roots.data->root};
}

// XWayland hears of keys and the pointer only while one of its own windows has them, so in a Wayland
// session an X11 connection would tell the wrong things.
inline bool inWaylandSession() {
    const char* display = std::getenv("WAYLAND_DISPLAY");
    const char* type = std::getenv("XDG_SESSION_TYPE");
    return (display && *display) || (type && std::string_view(type) == "wayland");
}

}  // namespace larkspire::qt
