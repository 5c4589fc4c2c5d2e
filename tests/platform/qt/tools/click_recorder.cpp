// A window of another program that records the clicks it receives, for checking what a click on a
// desktop widget reaches. As "desktop" it stands in for the desktop behind every window (the type a
// file manager's desktop has); as "normal" it is an ordinary framed window.
//
//   click_recorder desktop|normal X Y WIDTH HEIGHT
//
// Prints "Fenster 0xID" once mapped, then "Klick X Y" (root coordinates) for every button press.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <xcb/xcb.h>

namespace {

xcb_atom_t atom(xcb_connection_t* connection, const char* name) {
    auto cookie = xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    auto* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    xcb_atom_t value = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(reply);
    return value;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6 || (std::string(argv[1]) != "desktop" && std::string(argv[1]) != "normal")) {
        std::fprintf(stderr, "Aufruf: click_recorder desktop|normal X Y BREITE HÖHE\n");
        return 2;
    }
    bool desktop = std::string(argv[1]) == "desktop";
    auto number = [&](int i) { return static_cast<std::int16_t>(std::atoi(argv[i])); };
    auto* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "keine Verbindung zum X-Server\n");
        return 1;
    }
    auto* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    auto window = xcb_generate_id(connection);
    std::uint32_t values[] = {desktop ? 0x304050u : 0xc0c0c0u,
                              XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, number(2), number(3),
                      static_cast<std::uint16_t>(number(4)), static_cast<std::uint16_t>(number(5)), 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    const char* title = desktop ? "Klick-Schreibtisch" : "Klick-Fenster";
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        static_cast<std::uint32_t>(std::strlen(title)), title);
    // Instance and class, as a program names itself to the window manager.
    const char programClass[] = "click_recorder\0ClickRecorder";
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                        sizeof programClass, programClass);
    if (desktop) {
        auto type = atom(connection, "_NET_WM_WINDOW_TYPE_DESKTOP");
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window,
                            atom(connection, "_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32, 1, &type);
    }
    // The window manager places windows by itself unless the program says it chose the position.
    std::uint32_t hints[18] = {1 | 8};  // USPosition | PSize
    hints[1] = static_cast<std::uint32_t>(number(2));
    hints[2] = static_cast<std::uint32_t>(number(3));
    hints[3] = static_cast<std::uint32_t>(number(4));
    hints[4] = static_cast<std::uint32_t>(number(5));
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NORMAL_HINTS,
                        XCB_ATOM_WM_SIZE_HINTS, 32, 18, hints);
    xcb_map_window(connection, window);
    xcb_flush(connection);

    // A window manager that is still starting may drop the request to map; it is asked again.
    bool announced = false;
    pollfd descriptor{xcb_get_file_descriptor(connection), POLLIN, 0};
    while (true) {
        auto* event = xcb_poll_for_event(connection);
        if (!event) {
            if (xcb_connection_has_error(connection)) return 1;
            if (poll(&descriptor, 1, announced ? -1 : 1000) == 0) {
                xcb_map_window(connection, window);
                xcb_flush(connection);
            }
            continue;
        }
        auto type = event->response_type & 0x7f;
        if (type == XCB_MAP_NOTIFY && !announced) {
            std::printf("Fenster 0x%x\n", window);
            announced = true;
        } else if (type == XCB_BUTTON_PRESS) {
            auto* press = reinterpret_cast<xcb_button_press_event_t*>(event);
            std::printf("Klick %d %d\n", press->root_x, press->root_y);
        }
        std::fflush(stdout);
        std::free(event);
    }
}
