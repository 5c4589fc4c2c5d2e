// The desktop of a headless compositor, and a hand on its mouse. A surface on the background layer
// fills the output in one colour and records the clicks it gets; a virtual pointer moves and
// presses as told on standard input, one command a line:
//
//   layer_desktop WIDTH HEIGHT
//   bewege X Y | drücke | lasse
//
// Prints "Klick X Y" (output coordinates) for every left press that reaches the desktop, and "ok"
// once the compositor has taken each command.

#include "platform/wayland/LayerShellConnection.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <linux/input-event-codes.h>
#include <poll.h>
#include <sstream>
#include <string>
#include <string_view>
#include <unistd.h>
#include <wayland-client.h>

using namespace larkspire::wayland;

namespace {

struct Hand {
    wl_seat* seat = nullptr;
    zwlr_virtual_pointer_manager_v1* manager = nullptr;
};

void global(void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t) {
    auto& hand = *static_cast<Hand*>(data);
    std::string_view offered = interface;
    if (offered == wl_seat_interface.name && !hand.seat)
        hand.seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    if (offered == zwlr_virtual_pointer_manager_v1_interface.name)
        hand.manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
}

const wl_registry_listener registryListener{.global = &global,
                                            .global_remove = [](void*, wl_registry*, std::uint32_t) {}};

std::uint32_t now() {
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "Aufruf: layer_desktop BREITE HÖHE\n");
        return 2;
    }
    int width = std::atoi(argv[1]), height = std::atoi(argv[2]);
    auto opened = LayerShellConnection::open();
    if (!opened.connection) {
        std::fprintf(stderr, "keine Ebenen: %s\n", opened.reason.c_str());
        return 1;
    }
    auto& layers = *opened.connection;
    auto desktop =
        layers.createSurface(Layer::background, "larkspire-test-desktop", {.pressed = [](double x, double y) {
                                 std::printf("Klick %d %d\n", static_cast<int>(x), static_cast<int>(y));
                                 std::fflush(stdout);
                             }});
    desktop->setPlacement({.output = {}, .left = 0, .top = 0, .width = width, .height = height});
    desktop->setTakesPointer(true);
    desktop->show();
    desktop->draw([](const Canvas& canvas) {
        for (int y = 0; y < canvas.height; ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(canvas.pixels + y * canvas.stride);
            for (int x = 0; x < canvas.width; ++x) row[x] = 0xff304050;
        }
    });

    auto* display = wl_display_connect(nullptr);
    if (!display) {
        std::fprintf(stderr, "keine Verbindung für den Zeiger\n");
        return 1;
    }
    Hand hand;
    wl_registry_add_listener(wl_display_get_registry(display), &registryListener, &hand);
    wl_display_roundtrip(display);
    if (!hand.manager) {
        std::fprintf(stderr, "der Compositor bietet keinen virtuellen Zeiger\n");
        return 1;
    }
    auto* pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(hand.manager, hand.seat);
    wl_display_roundtrip(display);
    std::printf("bereit\n");
    std::fflush(stdout);

    std::string pending;
    for (;;) {
        layers.flush();
        pollfd watched[] = {{layers.fd(), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        if (::poll(watched, 2, -1) < 0) continue;
        if (watched[0].revents && !layers.dispatch()) {
            std::fprintf(stderr, "%s\n", layers.lostReason().c_str());
            return 1;
        }
        if (!watched[1].revents) continue;
        char buffer[256];
        auto got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) return 0;
        pending.append(buffer, static_cast<std::size_t>(got));
        for (auto end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
            std::istringstream line(pending.substr(0, end));
            pending.erase(0, end + 1);
            std::string command;
            line >> command;
            if (command == "bewege") {
                unsigned x = 0, y = 0;
                line >> x >> y;
                zwlr_virtual_pointer_v1_motion_absolute(pointer, now(), x, y, static_cast<unsigned>(width),
                                                        static_cast<unsigned>(height));
            } else if (command == "drücke" || command == "lasse") {
                zwlr_virtual_pointer_v1_button(pointer, now(), BTN_LEFT,
                                               command == "drücke" ? WL_POINTER_BUTTON_STATE_PRESSED
                                                                   : WL_POINTER_BUTTON_STATE_RELEASED);
            } else {
                std::fprintf(stderr, "unbekannt: %s\n", command.c_str());
                continue;
            }
            zwlr_virtual_pointer_v1_frame(pointer);
            wl_display_roundtrip(display);
            std::printf("ok\n");
            std::fflush(stdout);
        }
    }
}
