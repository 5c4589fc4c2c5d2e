#include "platform/qt/x11/X11Windows.h"

#include "platform/types/Signal.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <string>

#ifdef LARKSPIRE_HAVE_XCB
#include <xcb/xcb.h>
#if QT_CONFIG(xcb)
#include <QtGui/qguiapplication_platform.h>
#endif
#endif

namespace larkspire::qt {

using linux_desktop::DesktopWindow;

#ifdef LARKSPIRE_HAVE_XCB

namespace {

template <class T> using Reply = std::unique_ptr<T, decltype(&std::free)>;
template <class T> Reply<T> owned(T* reply) {
    return Reply<T>(reply, &std::free);
}

// A session lists far fewer windows; the bound keeps one read small whatever the list claims.
constexpr std::size_t maximumWindows = 1024;
constexpr std::uint32_t everyDesktop = 0xFFFFFFFF;

std::vector<std::uint32_t> numbers(const xcb_get_property_reply_t* reply) {
    if (!reply || reply->format != 32) return {};
    auto count = static_cast<std::size_t>(xcb_get_property_value_length(reply)) / 4;
    const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
    return std::vector<std::uint32_t>(values, values + count);
}

std::optional<std::uint32_t> number(const xcb_get_property_reply_t* reply) {
    auto all = numbers(reply);
    if (all.empty()) return std::nullopt;
    return all.front();
}

std::string text(const xcb_get_property_reply_t* reply) {
    if (!reply || reply->format != 8) return {};
    const auto* bytes = static_cast<const char*>(xcb_get_property_value(reply));
    return std::string(bytes, static_cast<std::size_t>(xcb_get_property_value_length(reply)));
}

bool contains(const std::vector<std::uint32_t>& values, xcb_atom_t atom) {
    return atom != XCB_ATOM_NONE && std::find(values.begin(), values.end(), atom) != values.end();
}

}  // namespace

struct X11Windows::State {
    xcb_connection_t* connection = nullptr;
    xcb_window_t root = XCB_WINDOW_NONE;
    int screenNumber = 0;
    struct {
        xcb_atom_t stacking, active, currentDesktop, pid, name, utf8, state, hidden, desktop, frameExtents,
            type, typeDesktop, typeDock, compositor;
    } atoms{};
    std::unique_ptr<QSocketNotifier> notifier;
    Signal activations;

    // What was read, and the count of changes the server had reported when it was read.
    std::uint64_t changes = 1;
    std::uint64_t activeChanges = 0;
    std::optional<std::vector<DesktopWindow>> listed;
    std::uint64_t listedAt = 0;
    std::optional<std::optional<std::uint32_t>> active;
    std::set<xcb_window_t> followed;  // clients whose own changes the server reports to us
    struct Stacked {
        std::uint32_t client = 0;
        std::uint64_t at = 0;
    };
    std::map<xcb_window_t, Stacked> stacked;  // overlays and where they were last put
    int reads = 0;
    int restackings = 0;

    ~State() {
        notifier.reset();
        if (connection) xcb_disconnect(connection);
    }

    bool usable() const { return connection && !xcb_connection_has_error(connection); }

    bool connect(const char* display) {
        int number = 0;
        auto* candidate = xcb_connect(display, &number);
        if (!candidate || xcb_connection_has_error(candidate)) {
            if (candidate) xcb_disconnect(candidate);
            return false;
        }
        auto roots = xcb_setup_roots_iterator(xcb_get_setup(candidate));
        for (int i = 0; i < number && roots.rem > 0; ++i) xcb_screen_next(&roots);
        if (roots.rem <= 0 || !roots.data) {
            xcb_disconnect(candidate);
            return false;
        }
        connection = candidate;
        root = roots.data->root;
        screenNumber = number;
        internAtoms();
        // The root tells of its list properties and of every top-level window (frames) that moves,
        // is stacked, mapped or goes.
        std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(connection);
        notifier =
            std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection), QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(), [this] {
            if (!usable()) {
                notifier->setEnabled(false);
                return;
            }
            if (takeEvents(true)) activations.notify();
        });
        return true;
    }

    void internAtoms() {
        auto compositorSelection = "_NET_WM_CM_S" + std::to_string(screenNumber);
        const char* names[] = {"_NET_CLIENT_LIST_STACKING",
                               "_NET_ACTIVE_WINDOW",
                               "_NET_CURRENT_DESKTOP",
                               "_NET_WM_PID",
                               "_NET_WM_NAME",
                               "UTF8_STRING",
                               "_NET_WM_STATE",
                               "_NET_WM_STATE_HIDDEN",
                               "_NET_WM_DESKTOP",
                               "_NET_FRAME_EXTENTS",
                               "_NET_WM_WINDOW_TYPE",
                               "_NET_WM_WINDOW_TYPE_DESKTOP",
                               "_NET_WM_WINDOW_TYPE_DOCK",
                               compositorSelection.c_str()};
        xcb_atom_t* targets[] = {
            &atoms.stacking, &atoms.active,      &atoms.currentDesktop, &atoms.pid,       &atoms.name,
            &atoms.utf8,     &atoms.state,       &atoms.hidden,         &atoms.desktop,   &atoms.frameExtents,
            &atoms.type,     &atoms.typeDesktop, &atoms.typeDock,       &atoms.compositor};
        constexpr std::size_t count = std::size(names);
        static_assert(std::size(targets) == count);
        xcb_intern_atom_cookie_t cookies[count];
        for (std::size_t i = 0; i < count; ++i)
            cookies[i] =
                xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(names[i])), names[i]);
        for (std::size_t i = 0; i < count; ++i) {
            auto reply = owned(xcb_intern_atom_reply(connection, cookies[i], nullptr));
            *targets[i] = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
        }
    }

    // The properties of a client that the list shows.
    bool listsProperty(xcb_atom_t atom) const {
        return atom == atoms.pid || atom == atoms.name || atom == XCB_ATOM_WM_NAME || atom == atoms.state ||
               atom == atoms.desktop || atom == atoms.frameExtents || atom == atoms.type;
    }

    void changed() {
        ++changes;
        listed.reset();
    }

    // Takes the events xcb has already read; true when the active window changed among them.
    bool takeEvents(bool fromSocket) {
        bool activated = false;
        while (auto* event =
                   fromSocket ? xcb_poll_for_event(connection) : xcb_poll_for_queued_event(connection)) {
            // Errors for windows that vanished between two reads land here too and mean nothing.
            switch (event->response_type & 0x7F) {
            case XCB_PROPERTY_NOTIFY: {
                auto* e = reinterpret_cast<xcb_property_notify_event_t*>(event);
                if (e->window == root && e->atom == atoms.active) {
                    active.reset();
                    ++activeChanges;
                    activated = true;
                } else if (e->window == root ? e->atom == atoms.stacking || e->atom == atoms.currentDesktop
                                             : listsProperty(e->atom)) {
                    changed();
                }
                break;
            }
            // Windows the window manager leaves alone (menus, tooltips, these overlays) are in no list.
            case XCB_CONFIGURE_NOTIFY:
                if (!reinterpret_cast<xcb_configure_notify_event_t*>(event)->override_redirect) changed();
                break;
            case XCB_MAP_NOTIFY: {
                auto* e = reinterpret_cast<xcb_map_notify_event_t*>(event);
                stacked.erase(e->window);  // shown again: on top, wherever it was put before
                if (!e->override_redirect) changed();
                break;
            }
            case XCB_CREATE_NOTIFY:
                if (!reinterpret_cast<xcb_create_notify_event_t*>(event)->override_redirect) changed();
                break;
            case XCB_UNMAP_NOTIFY:
            case XCB_DESTROY_NOTIFY:
            case XCB_REPARENT_NOTIFY:
            case XCB_GRAVITY_NOTIFY:
            case XCB_CIRCULATE_NOTIFY:
                changed();
                break;
            default:
                break;
            }
            std::free(event);
        }
        return activated;
    }

    // Replies can carry events past the socket notifier; they are handled after the current work.
    void takeQueuedLater() {
        if (takeEvents(false)) QTimer::singleShot(0, notifier.get(), [this] { activations.notify(); });
    }

    // From now on the server tells when these clients change what the list shows of them.
    void follow(const std::vector<std::uint32_t>& clients) {
        std::set<xcb_window_t> now(clients.begin(), clients.end());
        std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        for (auto client : now)
            if (!followed.contains(client))
                xcb_change_window_attributes(connection, client, XCB_CW_EVENT_MASK, &mask);
        followed = std::move(now);
    }

    std::vector<DesktopWindow> read();
};

X11Windows::X11Windows() : state(std::make_unique<State>()) {
    if (QGuiApplication::platformName() != "xcb") return;
    state->connect(nullptr);
}

X11Windows::X11Windows(const std::string& display) : state(std::make_unique<State>()) {
    state->connect(display.c_str());
}

X11Windows::~X11Windows() = default;

bool X11Windows::isConnected() const {
    return state->usable();
}

std::vector<DesktopWindow> X11Windows::windows() {
    if (!state->usable()) return {};
    // Events already read along with earlier answers count before the list does.
    state->takeQueuedLater();
    if (!state->listed || state->listedAt != state->changes) {
        state->listedAt = state->changes;
        state->listed = state->read();
    }
    return *state->listed;
}

std::vector<DesktopWindow> X11Windows::State::read() {
    ++reads;
    auto* c = connection;
    auto stackingCookie =
        xcb_get_property(c, 0, root, atoms.stacking, XCB_ATOM_WINDOW, 0, 16 * maximumWindows);
    auto desktopCookie = xcb_get_property(c, 0, root, atoms.currentDesktop, XCB_ATOM_CARDINAL, 0, 1);
    auto clients = numbers(owned(xcb_get_property_reply(c, stackingCookie, nullptr)).get());
    // Bottom to top: past the bound, the windows in front are the ones kept.
    if (clients.size() > maximumWindows)
        clients.erase(clients.begin(), clients.end() - static_cast<std::ptrdiff_t>(maximumWindows));
    auto currentDesktop = number(owned(xcb_get_property_reply(c, desktopCookie, nullptr)).get());
    // Before their properties are asked, so no change between the two goes unreported.
    follow(clients);

    // Every question about every window goes out before the first answer is awaited.
    struct Questions {
        xcb_get_geometry_cookie_t geometry;
        xcb_translate_coordinates_cookie_t origin;
        xcb_get_window_attributes_cookie_t attributes;
        xcb_get_property_cookie_t pid, name, legacyName, state, desktop, extents, type;
    };
    std::vector<Questions> questions;
    questions.reserve(clients.size());
    for (auto client : clients) {
        auto property = [&](xcb_atom_t atom, xcb_atom_t type, std::uint32_t length) {
            return xcb_get_property(c, 0, client, atom, type, 0, length);
        };
        questions.push_back(Questions{
            .geometry = xcb_get_geometry(c, client),
            .origin = xcb_translate_coordinates(c, client, root, 0, 0),
            .attributes = xcb_get_window_attributes(c, client),
            .pid = property(atoms.pid, XCB_ATOM_CARDINAL, 1),
            .name = property(atoms.name, atoms.utf8, 256),
            .legacyName = property(XCB_ATOM_WM_NAME, XCB_ATOM_ANY, 256),
            .state = property(atoms.state, XCB_ATOM_ATOM, 32),
            .desktop = property(atoms.desktop, XCB_ATOM_CARDINAL, 1),
            .extents = property(atoms.frameExtents, XCB_ATOM_CARDINAL, 4),
            .type = property(atoms.type, XCB_ATOM_ATOM, 16),
        });
    }

    std::vector<DesktopWindow> listed;
    for (std::size_t i = 0; i < clients.size(); ++i) {
        const auto& q = questions[i];
        auto geometry = owned(xcb_get_geometry_reply(c, q.geometry, nullptr));
        auto origin = owned(xcb_translate_coordinates_reply(c, q.origin, nullptr));
        auto attributes = owned(xcb_get_window_attributes_reply(c, q.attributes, nullptr));
        auto property = [c](xcb_get_property_cookie_t cookie) {
            return owned(xcb_get_property_reply(c, cookie, nullptr));
        };
        auto pid = property(q.pid), name = property(q.name), legacyName = property(q.legacyName);
        auto windowState = property(q.state), desktop = property(q.desktop), extents = property(q.extents);
        auto type = property(q.type);
        // A window that went away meanwhile answers nothing and is left out.
        if (!geometry || !origin || !attributes) continue;

        DesktopWindow window{.number = clients[i]};
        if (auto value = number(pid.get()); value && *value > 0 && *value <= 0x7FFFFFFF)
            window.processIdentifier = static_cast<std::int32_t>(*value);
        window.title = text(name.get());
        if (window.title.empty()) window.title = text(legacyName.get());
        window.client = Rect{static_cast<double>(origin->dst_x), static_cast<double>(origin->dst_y),
                             static_cast<double>(geometry->width), static_cast<double>(geometry->height)};
        window.frame = window.client;
        if (auto sides = numbers(extents.get()); sides.size() == 4) {
            // Left, right, top and bottom, as the window manager draws them.
            window.frame.x -= sides[0];
            window.frame.y -= sides[2];
            window.frame.width += sides[0] + sides[1];
            window.frame.height += sides[2] + sides[3];
        }
        auto types = numbers(type.get());
        bool isDesktop = contains(types, atoms.typeDesktop), isDock = contains(types, atoms.typeDock);
        window.desktopElement = isDesktop || isDock;
        window.layer = isDock ? 20 : isDesktop ? -1 : 0;
        auto onDesktop = number(desktop.get());
        bool onCurrentDesktop =
            !onDesktop || !currentDesktop || *onDesktop == *currentDesktop || *onDesktop == everyDesktop;
        window.onScreen = attributes->map_state == XCB_MAP_STATE_VIEWABLE &&
                          !contains(numbers(windowState.get()), atoms.hidden) && onCurrentDesktop;
        listed.push_back(std::move(window));
    }
    std::reverse(listed.begin(), listed.end());  // the window manager lists bottom to top
    takeQueuedLater();
    return listed;
}

std::optional<std::uint32_t> X11Windows::activeWindow() {
    if (!state->usable()) return std::nullopt;
    state->takeQueuedLater();
    if (!state->active) {
        auto* c = state->connection;
        auto cookie = xcb_get_property(c, 0, state->root, state->atoms.active, XCB_ATOM_WINDOW, 0, 1);
        // Known from here on: a change after the request is reported after its answer.
        state->active.emplace();
        auto active = number(owned(xcb_get_property_reply(c, cookie, nullptr)).get());
        if (active && *active != XCB_WINDOW_NONE) *state->active = active;
        state->takeQueuedLater();
    }
    return *state->active;
}

bool X11Windows::stackAbove(std::uint32_t window, std::uint32_t client) {
    if (!state->usable()) return false;
    state->takeQueuedLater();
    // Nothing was raised, lowered, mapped or moved since it was put there: it is still there.
    auto known = state->stacked.find(window);
    if (known != state->stacked.end() && known->second.client == client && known->second.at == state->changes)
        return true;
    auto* c = state->connection;
    // The client sits inside the window manager's frame, a child of the root.
    xcb_window_t frame = client;
    for (int depth = 0; depth < 16; ++depth) {
        auto tree = owned(xcb_query_tree_reply(c, xcb_query_tree(c, frame), nullptr));
        if (!tree) return false;
        if (tree->parent == tree->root || tree->parent == XCB_WINDOW_NONE) break;
        frame = tree->parent;
    }
    if (frame == window) return false;
#if QT_CONFIG(xcb)
    // The overlay is Qt's window: Qt's requests for it must reach the server before ours.
    if (auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>(); x11 && x11->connection())
        xcb_flush(x11->connection());
#endif
    std::uint32_t values[] = {frame, XCB_STACK_MODE_ABOVE};
    xcb_configure_window(c, window, XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, values);
    xcb_flush(c);
    ++state->restackings;
    state->takeQueuedLater();
    state->stacked[window] = State::Stacked{.client = client, .at = state->changes};
    return true;
}

bool X11Windows::isCompositing() {
    if (!state->usable() || state->atoms.compositor == XCB_ATOM_NONE) return false;
    auto* c = state->connection;
    auto owner =
        owned(xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, state->atoms.compositor), nullptr));
    state->takeQueuedLater();
    return owner && owner->owner != XCB_WINDOW_NONE;
}

std::shared_ptr<void> X11Windows::observeActivations(std::function<void()> handler) {
    return state->activations.observe(std::move(handler));
}

std::optional<std::uint64_t> X11Windows::changes() {
    if (!state->usable()) return std::nullopt;
    state->takeQueuedLater();
    return state->changes + state->activeChanges;
}

int X11Windows::listReads() const {
    return state->reads;
}

int X11Windows::restacks() const {
    return state->restackings;
}

#else

struct X11Windows::State {};

X11Windows::X11Windows() : state(std::make_unique<State>()) {}
X11Windows::X11Windows(const std::string&) : state(std::make_unique<State>()) {}
X11Windows::~X11Windows() = default;
bool X11Windows::isConnected() const {
    return false;
}
std::vector<DesktopWindow> X11Windows::windows() {
    return {};
}
std::optional<std::uint32_t> X11Windows::activeWindow() {
    return std::nullopt;
}
bool X11Windows::stackAbove(std::uint32_t, std::uint32_t) {
    return false;
}
bool X11Windows::isCompositing() {
    return true;
}
std::shared_ptr<void> X11Windows::observeActivations(std::function<void()>) {
    return nullptr;
}
std::optional<std::uint64_t> X11Windows::changes() {
    return std::nullopt;
}
int X11Windows::listReads() const {
    return 0;
}
int X11Windows::restacks() const {
    return 0;
}

#endif

double X11Windows::primaryScreenHeight() const {
    // The same height the overlay windows convert their frames with.
    auto* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().height() : 0;
}

}  // namespace larkspire::qt
