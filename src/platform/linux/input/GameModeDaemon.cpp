#include "platform/linux/input/GameModeDaemon.h"

#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

#ifdef LARKSPIRE_HAVE_SYSTEMD
#include <systemd/sd-bus.h>
#endif

namespace larkspire::linux_desktop {

#ifdef LARKSPIRE_HAVE_SYSTEMD

struct GameModeDaemon::Bus {
    sd_bus* connection = nullptr;
    sd_bus_slot* properties = nullptr;
    sd_bus_slot* owner = nullptr;
    std::atomic<bool> changed{false};
    ~Bus() {
        sd_bus_slot_unref(properties);
        sd_bus_slot_unref(owner);
        sd_bus_flush_close_unref(connection);
    }
};

namespace {

constexpr const char* propertiesRule =
    "type='signal',path='/com/feralinteractive/GameMode',interface='org.freedesktop.DBus.Properties',"
    "member='PropertiesChanged'";
constexpr const char* ownerRule = "type='signal',sender='org.freedesktop.DBus',path='/org/freedesktop/"
                                  "DBus',interface='org.freedesktop.DBus',"
                                  "member='NameOwnerChanged',arg0='com.feralinteractive.GameMode'";

// The daemon's client count, or a negative errno.
int readClientCount(sd_bus* connection, std::uint64_t& count) {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    std::int32_t value = 0;
    int r = sd_bus_get_property_trivial(connection, GameModeDaemon::service, GameModeDaemon::objectPath,
                                        GameModeDaemon::service, "ClientCount", &error, 'i', &value);
    sd_bus_error_free(&error);
    if (r < 0) return r;
    count = value > 0 ? static_cast<std::uint64_t>(value) : 0;
    return 0;
}

int onChange(sd_bus_message*, void* userdata, sd_bus_error*) {
    static_cast<GameModeDaemon::Bus*>(userdata)->changed = true;
    return 0;
}

// A connection that hears of every change from before the state is first read; a negative errno
// when there is no session bus.
int connect(std::unique_ptr<GameModeDaemon::Bus>& connected) {
    auto opened = std::make_unique<GameModeDaemon::Bus>();
    int r = sd_bus_open_user(&opened->connection);
    if (r >= 0)
        r = sd_bus_add_match(opened->connection, &opened->properties, propertiesRule, onChange, opened.get());
    if (r >= 0) r = sd_bus_add_match(opened->connection, &opened->owner, ownerRule, onChange, opened.get());
    if (r < 0) return r;
    connected = std::move(opened);
    return 0;
}

// False when woken to stop.
bool waitUnlessWoken(int wake, int ms) {
    pollfd woken{wake, POLLIN, 0};
    return !(poll(&woken, 1, ms) > 0 && (woken.revents & POLLIN));
}

}  // namespace

std::uint32_t GameModeDaemon::registerDispatch(std::int32_t& token, std::function<void()> handler) {
    if (!listener.joinable()) {
        std::unique_ptr<Bus> opened;
        int r = connect(opened);
        if (r < 0) return static_cast<std::uint32_t>(-r);
        if (wake < 0) wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (wake < 0) return static_cast<std::uint32_t>(errno);
        std::uint64_t count = 0;
        if (readClientCount(opened->connection, count) < 0 && log) {
            log->write("scroll", LogLevel::info,
                       "Kein GameMode-Dienst gefunden – der Spielemodus zählt, sobald er startet");
        }
        clientCount = count;
        bus = std::move(opened);
        listener = std::thread([this] { listen(); });
    }
    std::lock_guard lock(handlersMutex);
    token = nextToken++;
    handlers[token] = std::move(handler);
    return 0;
}

void GameModeDaemon::listen() {
    while (true) {
        if (!bus) {
            // The bus went away: look for a new one now and then.
            if (!waitUnlessWoken(wake, 2000)) return;
            if (connect(bus) < 0) continue;
            refresh();
        }
        if (!serve()) return;
        bus.reset();
        // Without a bus nobody can hold the game mode on: pausing for good would be worse.
        if (clientCount.exchange(0) != 0) announce();
    }
}

// Handles the bus until it is lost (true) or the daemon object goes (false).
bool GameModeDaemon::serve() {
    sd_bus* connection = bus->connection;
    while (true) {
        int r;
        while ((r = sd_bus_process(connection, nullptr)) > 0) {
        }
        if (r < 0) return true;
        if (bus->changed.exchange(false)) refresh();
        pollfd fds[2] = {{sd_bus_get_fd(connection), static_cast<short>(sd_bus_get_events(connection)), 0},
                         {wake, POLLIN, 0}};
        std::uint64_t timeout = 0;
        int waitMs = -1;
        if (sd_bus_get_timeout(connection, &timeout) > 0 && timeout != UINT64_MAX) waitMs = 100;
        if (poll(fds, 2, waitMs) < 0 && errno != EINTR) return true;
        if (fds[1].revents & POLLIN) return false;
        if (fds[0].revents & (POLLHUP | POLLERR)) return true;
    }
}

void GameModeDaemon::refresh() {
    std::uint64_t count = 0;
    if (readClientCount(bus->connection, count) < 0) count = 0;  // no daemon: no game mode
    clientCount = count;
    announce();
}

#else

struct GameModeDaemon::Bus {};

std::uint32_t GameModeDaemon::registerDispatch(std::int32_t&, std::function<void()>) {
    return ENOTSUP;
}
void GameModeDaemon::listen() {}

#endif

GameModeDaemon::GameModeDaemon(MainQueue& main, Log* log) : main(main), log(log) {}

GameModeDaemon::~GameModeDaemon() {
    if (listener.joinable()) {
        std::uint64_t one = 1;
        ssize_t ignored = write(wake, &one, sizeof one);
        (void)ignored;
        listener.join();
    }
    if (wake >= 0) close(wake);
}

std::uint64_t GameModeDaemon::state(std::int32_t) const {
    return clientCount.load();
}

void GameModeDaemon::cancel(std::int32_t token) {
    std::lock_guard lock(handlersMutex);
    handlers.erase(token);
}

void GameModeDaemon::announce() {
    std::vector<std::function<void()>> current;
    {
        std::lock_guard lock(handlersMutex);
        for (const auto& [token, handler] : handlers) current.push_back(handler);
    }
    for (auto& handler : current) main.postFromAnyThread(handler);
}

}  // namespace larkspire::linux_desktop
