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

// XWayland hears of keys and the pointer only while one of its own windows has them, so in a Wayland
// session an X11 connection would tell the wrong things.
inline bool inWaylandSession() {
    const char* display = std::getenv("WAYLAND_DISPLAY");
    const char* type = std::getenv("XDG_SESSION_TYPE");
    return (display && *display) || (type && std::string_view(type) == "wayland");
}

}  // namespace larkspire::qt
