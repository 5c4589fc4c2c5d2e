#include "platform/qt/x11/X11ProgramWindows.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>

#ifdef LARKSPIRE_HAVE_XCB
#include "platform/qt/x11/X11Connection.h"
#endif

namespace larkspire::qt {

#ifdef LARKSPIRE_HAVE_XCB

namespace {

using Clock = std::chrono::steady_clock;

// A scroll asks once per notch; a server slower than this is stuck, and the wheel goes on smoothly.
constexpr std::chrono::milliseconds answerTime{100};
// A window keeps its class, so the class of the window under the pointer is asked again only now and
// then: a new window may take an old one's number.
constexpr std::chrono::seconds classKept{2};
constexpr std::size_t classesKept = 64;
// Window managers put the program's window a level or two below their frame.
constexpr int frameDepth = 3;
constexpr std::size_t maximumClients = 1024;

// "instance\0Class\0": the class names the program.
std::optional<std::string> className(const xcb_get_property_reply_t* reply) {
    if (!reply || reply->format != 8 || reply->type == XCB_ATOM_NONE) return std::nullopt;
    const auto* bytes = static_cast<const char*>(xcb_get_property_value(reply));
    auto length = static_cast<std::size_t>(xcb_get_property_value_length(reply));
    const auto* end = bytes + length;
    const auto* split = std::find(bytes, end, '\0');
    if (split == end) return std::string(bytes, end);  // only an instance name
    std::string name(split + 1, std::find(split + 1, end, '\0'));
    return name.empty() ? std::string(bytes, split) : name;
}

}  // namespace

struct X11ProgramWindows::State {
    xcb_connection_t* connection = nullptr;
    xcb_window_t root = XCB_WINDOW_NONE;
    xcb_atom_t clientList = XCB_ATOM_NONE;
    struct Known {
        std::string program;
        Clock::time_point readAt;
    };
    std::map<xcb_window_t, Known> classes;  // by the window under the pointer, a frame or a client

    ~State() {
        if (connection) xcb_disconnect(connection);
    }

    void connect(const char* display) {
        auto screen = connectToScreen(display);
        if (!screen.connection) return;
        connection = screen.connection;
        root = screen.root;
        const char* name = "_NET_CLIENT_LIST";
        auto atom = answer<xcb_intern_atom_reply_t>(
            xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name).sequence);
        if (atom) clientList = atom->atom;
    }

    bool usable() const { return connection && !xcb_connection_has_error(connection); }

    template <class T> Reply<T> answer(unsigned int sequence) {
        return answerWithin<T>(connection, sequence, answerTime);
    }

    std::optional<std::string> classOf(xcb_window_t window) {
        auto reply = answer<xcb_get_property_reply_t>(
            xcb_get_property(connection, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256).sequence);
        return className(reply.get());
    }

    // The class of the program inside a top-level window: its own, or that of the first window below
    // it that has one, level by level.
    std::optional<std::string> programIn(xcb_window_t window) {
        std::vector<xcb_window_t> level{window};
        for (int depth = 0; depth <= frameDepth && !level.empty(); ++depth) {
            std::vector<xcb_get_property_cookie_t> asked;
            for (auto w : level)
                asked.push_back(
                    xcb_get_property(connection, 0, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256));
            std::optional<std::string> found;
            for (auto cookie : asked) {
                auto reply = answer<xcb_get_property_reply_t>(cookie.sequence);
                if (!found) found = className(reply.get());
            }
            if (found) return found;
            std::vector<xcb_window_t> below;
            for (auto w : level) {
                auto tree = answer<xcb_query_tree_reply_t>(xcb_query_tree(connection, w).sequence);
                if (!tree) continue;
                const auto* children = xcb_query_tree_children(tree.get());
                below.insert(below.end(), children, children + xcb_query_tree_children_length(tree.get()));
            }
            level = std::move(below);
        }
        return std::nullopt;
    }
};

X11ProgramWindows::X11ProgramWindows() : state(std::make_unique<State>()) {
    if (!inWaylandSession()) state->connect(nullptr);
}

X11ProgramWindows::X11ProgramWindows(const std::string& display) : state(std::make_unique<State>()) {
    state->connect(display.c_str());
}

X11ProgramWindows::~X11ProgramWindows() = default;

bool X11ProgramWindows::isConnected() const {
    return state->usable();
}

std::optional<std::string> X11ProgramWindows::programUnderPointer() {
    if (!state->usable()) return std::nullopt;
    auto pointer =
        state->answer<xcb_query_pointer_reply_t>(xcb_query_pointer(state->connection, state->root).sequence);
    if (!pointer) return std::nullopt;
    if (!pointer->same_screen || pointer->child == XCB_WINDOW_NONE) return std::string();  // the bare desktop
    auto now = Clock::now();
    auto known = state->classes.find(pointer->child);
    if (known != state->classes.end() && now - known->second.readAt < classKept) return known->second.program;
    auto program = state->programIn(pointer->child).value_or("");
    if (state->classes.size() >= classesKept) state->classes.clear();
    state->classes[pointer->child] = State::Known{program, now};
    return program;
}

std::vector<std::string> X11ProgramWindows::runningPrograms() {
    if (!state->usable()) return {};
    auto* c = state->connection;
    std::vector<xcb_window_t> clients;
    if (state->clientList != XCB_ATOM_NONE) {
        auto list = state->answer<xcb_get_property_reply_t>(
            xcb_get_property(c, 0, state->root, state->clientList, XCB_ATOM_WINDOW, 0, maximumClients)
                .sequence);
        if (list && list->format == 32) {
            const auto* values = static_cast<const xcb_window_t*>(xcb_get_property_value(list.get()));
            clients.assign(values, values + xcb_get_property_value_length(list.get()) / 4);
        }
    }
    if (clients.empty()) {
        // Without a window manager that lists its clients, the root's own children are the windows.
        auto tree = state->answer<xcb_query_tree_reply_t>(xcb_query_tree(c, state->root).sequence);
        if (tree) {
            const auto* children = xcb_query_tree_children(tree.get());
            clients.assign(children, children + std::min<int>(xcb_query_tree_children_length(tree.get()),
                                                              static_cast<int>(maximumClients)));
        }
    }
    std::vector<xcb_get_property_cookie_t> asked;
    for (auto client : clients)
        asked.push_back(xcb_get_property(c, 0, client, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256));
    std::vector<std::string> programs;
    for (auto cookie : asked)
        if (auto program = className(state->answer<xcb_get_property_reply_t>(cookie.sequence).get());
            program && !program->empty())
            programs.push_back(*program);
    std::sort(programs.begin(), programs.end());
    programs.erase(std::unique(programs.begin(), programs.end()), programs.end());
    return programs;
}

#else

struct X11ProgramWindows::State {};

X11ProgramWindows::X11ProgramWindows() : state(std::make_unique<State>()) {}
X11ProgramWindows::X11ProgramWindows(const std::string&) : state(std::make_unique<State>()) {}
X11ProgramWindows::~X11ProgramWindows() = default;

bool X11ProgramWindows::isConnected() const {
    return false;
}

std::optional<std::string> X11ProgramWindows::programUnderPointer() {
    return std::nullopt;
}

std::vector<std::string> X11ProgramWindows::runningPrograms() {
    return {};
}

#endif

}  // namespace larkspire::qt
