#include "platform/qt/x11/X11HeldModifiers.h"

#include "platform/WheelEventTap.h"

#include <chrono>
#include <cstdlib>
#include <mutex>

#ifdef LARKSPIRE_HAVE_XCB
#include "platform/qt/x11/X11Connection.h"
#endif

namespace larkspire::qt {

#ifdef LARKSPIRE_HAVE_XCB

namespace {

// A server that takes longer is stuck or grabbed; the mice must not wait for it.
constexpr std::chrono::milliseconds answerTime{100};

bool isAlt(xcb_keysym_t symbol) {
    return symbol == 0xffe9 || symbol == 0xffea || symbol == 0xffe7 || symbol == 0xffe8;  // Alt, Meta
}

bool isSuper(xcb_keysym_t symbol) {
    return symbol == 0xffeb || symbol == 0xffec || symbol == 0xffed || symbol == 0xffee;  // Super, Hyper
}

}  // namespace

struct X11HeldModifiers::State {
    std::mutex mutex;  // the input reading thread and the main thread share the connection
    xcb_connection_t* connection = nullptr;
    xcb_window_t root = XCB_WINDOW_NONE;
    // Which of Mod1 to Mod5 carry Alt and Super; the usual ones until the keyboard map says.
    std::uint16_t alternate = XCB_MOD_MASK_1;
    std::uint16_t command = XCB_MOD_MASK_4;

    ~State() {
        if (connection) xcb_disconnect(connection);
    }

    void connect(const char* display) {
        auto screen = connectToScreen(display);
        if (!screen.connection) return;
        connection = screen.connection;
        root = screen.root;
        readKeyboardMap();
    }

    bool usable() const { return connection && !xcb_connection_has_error(connection); }

    template <class T> Reply<T> answer(unsigned int sequence) {
        return answerWithin<T>(connection, sequence, answerTime);
    }

    void readKeyboardMap() {
        const auto* setup = xcb_get_setup(connection);
        auto modifiersCookie = xcb_get_modifier_mapping(connection);
        auto keysCookie =
            xcb_get_keyboard_mapping(connection, setup->min_keycode,
                                     static_cast<std::uint8_t>(setup->max_keycode - setup->min_keycode + 1));
        auto modifiers = answer<xcb_get_modifier_mapping_reply_t>(modifiersCookie.sequence);
        auto keys = answer<xcb_get_keyboard_mapping_reply_t>(keysCookie.sequence);
        if (!modifiers || !keys) return;
        const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(modifiers.get());
        int codesLength = xcb_get_modifier_mapping_keycodes_length(modifiers.get());
        const xcb_keysym_t* symbols = xcb_get_keyboard_mapping_keysyms(keys.get());
        int symbolsLength = xcb_get_keyboard_mapping_keysyms_length(keys.get());
        int perModifier = modifiers->keycodes_per_modifier;
        int perKey = keys->keysyms_per_keycode;
        std::uint16_t alt = 0;
        std::uint16_t super = 0;
        for (int index = 3; index < 8; ++index) {  // Mod1 to Mod5, after Shift, Lock and Control
            for (int k = 0; k < perModifier && index * perModifier + k < codesLength; ++k) {
                xcb_keycode_t code = codes[index * perModifier + k];
                if (code < setup->min_keycode) continue;  // an empty place
                int first = (code - setup->min_keycode) * perKey;
                for (int s = 0; s < perKey && first + s < symbolsLength; ++s) {
                    if (isAlt(symbols[first + s])) alt |= static_cast<std::uint16_t>(1u << index);
                    if (isSuper(symbols[first + s])) super |= static_cast<std::uint16_t>(1u << index);
                }
            }
        }
        alternate = alt;
        command = super;
    }

    // A new keyboard layout moves Alt and Super; the server tells every client so.
    void followKeyboardMap() {
        bool changed = false;
        while (auto* event = xcb_poll_for_event(connection)) {
            if ((event->response_type & 0x7F) == XCB_MAPPING_NOTIFY) changed = true;
            std::free(event);
        }
        if (changed) readKeyboardMap();
    }
};

X11HeldModifiers::X11HeldModifiers() : state(std::make_unique<State>()) {
    if (!inWaylandSession()) state->connect(nullptr);
}

X11HeldModifiers::X11HeldModifiers(const std::string& display) : state(std::make_unique<State>()) {
    state->connect(display.c_str());
}

X11HeldModifiers::~X11HeldModifiers() = default;

bool X11HeldModifiers::isConnected() const {
    std::lock_guard lock(state->mutex);
    return state->usable();
}

std::optional<std::uint64_t> X11HeldModifiers::held() {
    std::lock_guard lock(state->mutex);
    if (!state->usable()) return std::nullopt;
    state->followKeyboardMap();
    auto pointer =
        state->answer<xcb_query_pointer_reply_t>(xcb_query_pointer(state->connection, state->root).sequence);
    if (!pointer) return std::nullopt;
    std::uint64_t flags = 0;
    if (pointer->mask & XCB_MOD_MASK_SHIFT) flags |= WheelEvent::shiftMask;
    if (pointer->mask & XCB_MOD_MASK_CONTROL) flags |= WheelEvent::controlMask;
    if (pointer->mask & state->alternate) flags |= WheelEvent::alternateMask;
    if (pointer->mask & state->command) flags |= WheelEvent::commandMask;
    return flags;
}

#else

struct X11HeldModifiers::State {};

X11HeldModifiers::X11HeldModifiers() : state(std::make_unique<State>()) {}
X11HeldModifiers::X11HeldModifiers(const std::string&) : state(std::make_unique<State>()) {}
X11HeldModifiers::~X11HeldModifiers() = default;

bool X11HeldModifiers::isConnected() const {
    return false;
}

std::optional<std::uint64_t> X11HeldModifiers::held() {
    return std::nullopt;
}

#endif

}  // namespace larkspire::qt
