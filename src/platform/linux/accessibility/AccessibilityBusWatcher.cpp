#include "platform/linux/accessibility/AccessibilityBusWatcher.h"

#include "platform/linux/accessibility/LiveAccessibleObject.h"

#include <algorithm>
#include <atomic>
#include <atspi/atspi.h>
#include <chrono>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace larkspire::linux_desktop {

namespace {

// Events are many while the user works; a burst costs one read of the program they came from, once it
// has been quiet for a moment, and at the latest a little after it began.
constexpr double quietAfterEvent = 0.1;
constexpr double longestBurst = 0.4;
// A read that was not whole (the program still building its window, or changing it meanwhile) is
// tried again soon, more slowly each time; after a few it is taken as the program shows it.
constexpr double unsettledRetry = 0.2;
constexpr int unsettledReadsAccepted = 5;
// What no event reports (scrolling, a window that moved) is looked for this often, with a few calls,
// but only while the badge or the greys may show it; otherwise the thread sleeps until an event.
constexpr double recheckInterval = 1.0;
// Programs that start or end are looked for this often while rechecking, and whenever the registry
// announces one.
constexpr double applicationScanInterval = 2.0;
constexpr double never = std::numeric_limits<double>::infinity();
constexpr const char* registryRoot = "/org/a11y/atspi/accessible/root";
constexpr double retryWithoutBus = 5.0;

constexpr const char* watchedEvents[] = {
    "object:state-changed:selected",
    "object:state-changed:active",
    "object:state-changed:checked",
    "object:selection-changed",
    "object:children-changed",
    "object:visible-data-changed",
    "object:text-changed",
    "object:property-change:accessible-name",
    "window:activate",
    "window:deactivate",
    "window:create",
    "window:destroy",
};

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// How much an event asks to read again, in growing cost.
enum class Need { nothing, selection, items, everything };

Need needOf(const std::string& type) {
    if (type == "object:state-changed:selected" || type == "object:selection-changed") return Need::selection;
    if (type == "object:children-changed" || type == "object:visible-data-changed" ||
        type.rfind("window:activate", 0) == 0 || type.rfind("window:deactivate", 0) == 0 ||
        type == "object:state-changed:active")
        return Need::items;
    return Need::everything;
}

struct Window {
    std::shared_ptr<LiveAccessibleObject> frame;
    std::unique_ptr<FileManagerReader> reader;
    std::optional<FileManagerView> view;  // the last whole read; nothing before the first
    int unsettled = 0;                    // reads in a row that were not whole
};

struct Application {
    std::shared_ptr<LiveAccessibleObject> root;
    FileManagerKind kind = FileManagerKind::thunar;
    std::int32_t processIdentifier = 0;
    std::map<std::string, Window> windows;  // by object path, in the order the program lists them
    int frameCount = -1;
    Need need = Need::everything;
    double readAt = -1e9;
    double pendingSince = -1e9;  // the first event not read yet
    double lastEventAt = -1e9;
    double retryAt = -1e9;     // a read that was not whole is tried again from then on
    std::uint64_t events = 0;  // every event from the program, so a read can tell it was overtaken
    bool answering = true;     // false from a call that timed out until a whole read of its frames
};

// When a program with events waiting is read: once they paused, or the burst ran long.
double readTime(const Application& application) {
    double due = std::min(application.lastEventAt + quietAfterEvent, application.pendingSince + longestBurst);
    return std::max({due, application.readAt + quietAfterEvent, application.retryAt});
}

// libatspi talks to a program on a connection of its own where the program offers one, and hands that
// connection to the default main context: the program's main thread would then take part in every
// answer this thread waits for. It is moved to the watcher's context, by whichever thread runs the
// default context at the time (this one, while none does): moved from here while the main thread
// dispatches one of its sources, libdbus would find the watch freed under it and abort.
void moveToContext(DBusConnection* bus, GMainContext* context) {
    struct Move {
        DBusConnection* bus;
        GMainContext* context;
    };
    g_main_context_invoke_full(
        g_main_context_default(), G_PRIORITY_DEFAULT,
        [](gpointer data) {
            auto* move = static_cast<Move*>(data);
            atspi_dbus_connection_setup_with_g_main(move->bus, move->context);
            return G_SOURCE_REMOVE;
        },
        new Move{dbus_connection_ref(bus), g_main_context_ref(context)},
        [](gpointer data) {
            auto* move = static_cast<Move*>(data);
            dbus_connection_unref(move->bus);
            g_main_context_unref(move->context);
            delete move;
        });
}

std::string pathOf(const LiveAccessibleObject& object) {
    auto* path = reinterpret_cast<AtspiObject*>(object.handle())->path;
    return path ? path : "";
}

}  // namespace

struct AccessibilityBusWatcher::State {
    ChangeHandler onChange;
    std::atomic<bool> wanted{true};
    std::atomic<bool> closely{false};
    std::atomic<bool> stopping{false};
    mutable std::mutex problemLock;
    std::string problemText;
    GMainContext* context = nullptr;  // made before the thread starts, so every thread may wake it
    std::thread thread;

    // Owned by the thread alone.
    bool connected = false;
    AtspiEventListener* listener = nullptr;
    bool listening = false;
    std::map<std::string, Application> applications;  // by bus name
    // Programs on the bus that named themselves and are no file manager: not asked again while they
    // stay, since each question wakes the program that answers it (Larkspire's own windows among them).
    std::set<std::string> others;
    std::vector<FileManagerWindow> reported;
    // The programs' own connections already handed to `context`, each held until its program goes.
    std::set<DBusConnection*> moved;
    double lastScan = -1e9;
    double lastRecheck = -1e9;
    double lastAttempt = -1e9;

    void setProblem(const std::string& text) {
        std::lock_guard<std::mutex> guard(problemLock);
        problemText = text;
    }

    void run();
    void step();
    bool connect();
    void listen(bool on);
    void scanApplications();
    void answerHere(const LiveAccessibleObject& object);
    void forgetMoved(const std::set<DBusConnection*>& present);
    void readDirty(double time);
    void recheck();
    void readWindows(Application& application, Need need);
    void settle(Application& application, Window& window, std::optional<FileManagerView> read,
                bool overtaken);
    void report();
    double nextWake(double time) const;
    bool rechecking() const;

    static void onEvent(AtspiEvent* event, void* data) {
        auto* self = static_cast<State*>(data);
        // Only remembered here: this may run inside another call's wait for its reply.
        if (event && event->source && event->type) {
            auto* object = reinterpret_cast<AtspiObject*>(event->source);
            std::string type = event->type;
            if (object->app && object->app->bus_name) {
                auto it = self->applications.find(object->app->bus_name);
                if (it == self->applications.end()) {
                    // Perhaps a program not seen yet, or one the registry just took in or let go.
                    bool registryChanged = type.rfind("object:children-changed", 0) == 0 && object->path &&
                                           std::string_view(object->path) == registryRoot;
                    if (type.rfind("window:", 0) == 0 || registryChanged) self->lastScan = -1e9;
                } else {
                    Need need = needOf(type);
                    // Reading a list makes some toolkits name its cells anew; only a window's title counts.
                    if (type == "object:property-change:accessible-name" &&
                        !(object->path && it->second.windows.count(object->path)))
                        need = Need::nothing;
                    auto& application = it->second;
                    if (need != Need::nothing) {
                        double time = now();
                        if (application.need == Need::nothing) application.pendingSince = time;
                        application.lastEventAt = time;
                        application.need = std::max(application.need, need);
                        ++application.events;
                    }
                }
            }
        }
        if (event) g_boxed_free(ATSPI_TYPE_EVENT, event);
    }
};

void AccessibilityBusWatcher::State::run() {
    g_main_context_push_thread_default(context);
    while (!stopping) {
        step();
        if (stopping) break;
        double time = now();
        double wake = nextWake(time);
        GSource* timeout = nullptr;
        // Nothing due: blocked until an event, a change of what is wanted, or the end wakes the context.
        if (wake != never) {
            double wait = std::max(0.0, wake - time);
            timeout = g_timeout_source_new(guint(wait * 1000) + 1);
            g_source_set_callback(
                timeout, [](gpointer) -> gboolean { return G_SOURCE_REMOVE; }, nullptr, nullptr);
            g_source_attach(timeout, context);
        }
        g_main_context_iteration(context, TRUE);
        if (timeout) {
            g_source_destroy(timeout);
            g_source_unref(timeout);
        }
        // Events that arrived together are taken in one pass.
        while (g_main_context_iteration(context, FALSE)) {
        }
    }
    listen(false);
    if (listener) g_object_unref(listener);
    listener = nullptr;
    applications.clear();
    g_main_context_pop_thread_default(context);
}

// Something is shown (a selection, cut files), or a window is known but could not be read whole (a
// program that stopped answering tells no one when it answers again).
bool AccessibilityBusWatcher::State::rechecking() const {
    if (closely) return true;
    for (const auto& [name, application] : applications)
        for (const auto& [path, window] : application.windows)
            if (!window.view || std::any_of(window.view->items.begin(), window.view->items.end(),
                                            [](const FileManagerItem& item) { return item.selected; }))
                return true;
    return std::any_of(applications.begin(), applications.end(),
                       [](const auto& entry) { return !entry.second.answering; });
}

double AccessibilityBusWatcher::State::nextWake(double time) const {
    if (!wanted) return never;
    if (!connected) return lastAttempt + retryWithoutBus;
    double next = never;
    if (lastScan < 0) next = time;  // a scan asked for by an event, or the first one
    if (rechecking())
        next = std::min({next, lastScan + applicationScanInterval, lastRecheck + recheckInterval});
    for (const auto& [name, application] : applications)
        if (application.need != Need::nothing) next = std::min(next, readTime(application));
    return std::max(next, time);
}

void AccessibilityBusWatcher::State::step() {
    double time = now();
    if (!wanted) {
        if (listening) listen(false);
        applications.clear();
        others.clear();
        lastScan = lastRecheck = -1e9;
        if (!reported.empty()) {
            reported.clear();
            onChange({});
        }
        return;
    }
    if (!connected) {
        if (time < lastAttempt + retryWithoutBus) return;
        lastAttempt = time;
        if (!connect()) return;
    }
    if (!listening) listen(true);
    bool looking = rechecking();
    if (lastScan < 0 || (looking && time >= lastScan + applicationScanInterval)) {
        lastScan = time;
        scanApplications();
    }
    if (looking && time >= lastRecheck + recheckInterval) {
        lastRecheck = time;
        recheck();
    }
    readDirty(time);
    // A program's own connection opens after the first question to it, its answer on the way.
    for (const auto& [name, application] : applications) answerHere(*application.root);
    report();
}

void AccessibilityBusWatcher::State::answerHere(const LiveAccessibleObject& object) {
    auto* app = reinterpret_cast<AtspiObject*>(object.handle())->app;
    if (!app || !app->bus || app->bus == atspi_get_a11y_bus() || moved.count(app->bus)) return;
    moved.insert(dbus_connection_ref(app->bus));
    moveToContext(app->bus, context);
}

void AccessibilityBusWatcher::State::forgetMoved(const std::set<DBusConnection*>& present) {
    for (auto it = moved.begin(); it != moved.end();) {
        if (present.count(*it)) {
            ++it;
            continue;
        }
        dbus_connection_unref(*it);
        it = moved.erase(it);
    }
}

bool AccessibilityBusWatcher::State::connect() {
    // libatspi answers events on the context that runs here, never on the program's main loop.
    if (auto problem = connectAccessibilityBus(context)) {
        setProblem(*problem);
        return false;
    }
    connected = true;
    setProblem("");
    return true;
}

void AccessibilityBusWatcher::State::listen(bool on) {
    if (!connected || on == listening) return;
    if (!listener) listener = atspi_event_listener_new(&State::onEvent, this, nullptr);
    for (const char* type : watchedEvents) {
        GError* error = nullptr;
        if (on)
            atspi_event_listener_register(listener, type, &error);
        else
            atspi_event_listener_deregister(listener, type, &error);
        if (error) g_error_free(error);
    }
    listening = on;
}

void AccessibilityBusWatcher::State::scanApplications() {
    // Events may arrive during every call below and look up `applications`, so it changes only at the
    // end, and its entries are never moved.
    LiveAccessibleObject::startPass();
    std::map<std::string, std::shared_ptr<LiveAccessibleObject>> present;
    std::set<DBusConnection*> buses;
    for (auto& root : accessibleApplications()) {
        answerHere(*root);
        auto* object = reinterpret_cast<AtspiObject*>(root->handle());
        if (object->app) buses.insert(object->app->bus);
        if (object->app && object->app->bus_name) present.emplace(object->app->bus_name, std::move(root));
    }
    forgetMoved(buses);
    std::vector<std::pair<std::string, Application>> arrived;
    std::erase_if(others, [&](const std::string& busName) { return !present.count(busName); });
    for (auto& [busName, root] : present) {
        if (applications.count(busName) || others.count(busName)) continue;
        auto name = root->name();
        auto kind = fileManagerKind(name);
        if (!kind) {
            // A program still starting may not have named itself yet.
            if (!name.empty()) others.insert(busName);
            continue;
        }
        Application application;
        application.kind = *kind;
        application.processIdentifier = root->processIdentifier();
        application.root = root;
        arrived.emplace_back(busName, std::move(application));
    }
    std::erase_if(applications, [&](const auto& entry) { return !present.count(entry.first); });
    for (auto& [busName, application] : arrived) applications.emplace(busName, std::move(application));
}

void AccessibilityBusWatcher::State::readDirty(double time) {
    for (auto& [name, application] : applications) {
        if (application.need == Need::nothing || time < readTime(application)) continue;
        if (!wanted || stopping) return;
        Need need = application.need;
        application.need = Need::nothing;
        application.readAt = time;
        LiveAccessibleObject::startPass();
        readWindows(application, need);
        if (LiveAccessibleObject::slowedInPass()) application.answering = false;
    }
}

// What events miss: a scrolled list, a moved window, a window that came or went, a lost selection event.
void AccessibilityBusWatcher::State::recheck() {
    for (auto& [name, application] : applications) {
        LiveAccessibleObject::startPass();
        if (application.root->childCount() != application.frameCount) {
            application.need = Need::everything;
            continue;
        }
        if (LiveAccessibleObject::slowedInPass()) application.answering = false;
        for (auto& [path, window] : application.windows) {
            std::uint64_t events = application.events;
            if (window.reader->moved()) {
                auto read = window.reader->readItems();
                settle(application, window, std::move(read), application.events != events);
            } else if (window.view && window.reader->selectionChanged()) {
                // A selection the events did not bring (once seen with Thunar on a busy machine).
                auto read = window.reader->readSelection();
                settle(application, window, std::move(read), application.events != events);
            }
        }
    }
}

void AccessibilityBusWatcher::State::readWindows(Application& application, Need need) {
    // Events that arrive during the calls below mean the program changed while it was read.
    std::uint64_t events = application.events;
    if (need == Need::everything) {
        std::map<std::string, Window> windows;
        application.frameCount = application.root->childCount();
        int count = std::min(application.frameCount, 64);
        bool unanswered = false;
        for (int i = 0; i < count; ++i) {
            auto frame = std::dynamic_pointer_cast<const LiveAccessibleObject>(application.root->child(i));
            if (!frame) {
                unanswered = true;
                continue;
            }
            std::string path = pathOf(*frame);
            auto known = application.windows.find(path);
            Window window;
            if (known != application.windows.end()) {
                window = std::move(known->second);
            } else {
                window.frame = std::const_pointer_cast<LiveAccessibleObject>(frame);
                window.reader = std::make_unique<FileManagerReader>(application.kind, frame);
            }
            auto read = window.reader->read();
            settle(application, window, std::move(read), application.events != events);
            windows.emplace(path, std::move(window));
        }
        application.answering = !unanswered && !LiveAccessibleObject::slowedInPass();
        if (unanswered || LiveAccessibleObject::stalled()) {
            // A program too busy to list its frames closed none of them: they stay until a whole list.
            windows.merge(application.windows);
            if (application.need == Need::nothing) application.pendingSince = now();
            application.need = Need::everything;
            application.retryAt = std::max(application.retryAt, now() + unsettledRetry);
        }
        application.windows = std::move(windows);
        return;
    }
    for (auto& [path, window] : application.windows) {
        // The selection alone is read against the rows read last; rows replaced or scrolled since
        // would give it to the wrong files, so those are read again.
        bool selectionOnly = need == Need::selection && window.view && !window.reader->moved();
        auto read = selectionOnly ? window.reader->readSelection() : window.reader->readItems();
        settle(application, window, std::move(read), application.events != events);
    }
}

// Only a whole read replaces what the window showed; a read that was not is tried again soon.
void AccessibilityBusWatcher::State::settle(Application& application, Window& window,
                                            std::optional<FileManagerView> read, bool overtaken) {
    // A frame that does not answer as one (a call timed out) is no proof the window closed: the list
    // of frames says that.
    bool whole = read && window.reader->complete() && !overtaken;
    if (whole || ++window.unsettled >= unsettledReadsAccepted) {
        window.view = std::move(read);
        window.unsettled = 0;
        return;
    }
    Need again = window.reader->complete() ? Need::items : Need::everything;
    double time = now();
    if (application.need == Need::nothing) application.pendingSince = time;
    application.need = std::max(application.need, again);
    // The program is still busy: wait a little longer each time.
    application.retryAt = std::max(application.retryAt, time + unsettledRetry * window.unsettled);
}

void AccessibilityBusWatcher::State::report() {
    std::vector<FileManagerWindow> windows;
    for (const auto& [name, application] : applications)
        for (const auto& [path, window] : application.windows)
            if (window.view)
                windows.push_back({application.processIdentifier, application.kind, *window.view});
    if (windows == reported) return;
    reported = windows;
    onChange(std::move(windows));
}

AccessibilityBusWatcher::AccessibilityBusWatcher(ChangeHandler onChange) : state(std::make_unique<State>()) {
    state->onChange = std::move(onChange);
    state->context = g_main_context_new();
    state->thread = std::thread([s = state.get()] { s->run(); });
}

AccessibilityBusWatcher::~AccessibilityBusWatcher() {
    state->stopping = true;
    g_main_context_wakeup(state->context);
    if (state->thread.joinable()) state->thread.join();
    state->forgetMoved({});
    // libatspi keeps its connection's sources on the context it was given and moves them from there
    // when a later watcher connects, so a context it was given stays alive.
    if (!state->connected) g_main_context_unref(state->context);
}

void AccessibilityBusWatcher::setWanted(bool wanted) {
    state->wanted = wanted;
    g_main_context_wakeup(state->context);
}

void AccessibilityBusWatcher::setWatchClosely(bool closely) {
    state->closely = closely;
    g_main_context_wakeup(state->context);
}

std::string AccessibilityBusWatcher::problem() const {
    std::lock_guard<std::mutex> guard(state->problemLock);
    return state->problemText;
}

}  // namespace larkspire::linux_desktop
