#include "platform/linux/GameModeDaemon.h"

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
    sd_bus_slot* match = nullptr;
    std::atomic<bool> changed{false};
    ~Bus() {
        sd_bus_slot_unref(match);
        sd_bus_flush_close_unref(connection);
    }
};

namespace {

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

int onPropertiesChanged(sd_bus_message*, void* userdata, sd_bus_error*) {
    static_cast<GameModeDaemon::Bus*>(userdata)->changed = true;
    return 0;
}

}  // namespace

std::uint32_t GameModeDaemon::registerDispatch(std::int32_t& token, std::function<void()> handler) {
    if (!bus) {
        auto opened = std::make_unique<Bus>();
        int r = sd_bus_open_user(&opened->connection);
        std::uint64_t count = 0;
        if (r >= 0) r = readClientCount(opened->connection, count);
        if (r >= 0) {
            r = sd_bus_match_signal(opened->connection, &opened->match, service, objectPath,
                                    "org.freedesktop.DBus.Properties", "PropertiesChanged",
                                    onPropertiesChanged, opened.get());
        }
        if (r >= 0) {
            wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
            if (wake < 0) r = -errno;
        }
        if (r < 0) return static_cast<std::uint32_t>(-r);
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
    sd_bus* connection = bus->connection;
    while (true) {
        int r;
        while ((r = sd_bus_process(connection, nullptr)) > 0) {
        }
        if (r < 0) return;  // the bus went away: the last state stays
        if (bus->changed.exchange(false)) {
            std::uint64_t count = 0;
            if (readClientCount(connection, count) < 0) count = 0;
            clientCount = count;
            announce();
        }
        pollfd fds[2] = {{sd_bus_get_fd(connection), static_cast<short>(sd_bus_get_events(connection)), 0},
                         {wake, POLLIN, 0}};
        std::uint64_t timeout = 0;
        int waitMs = -1;
        if (sd_bus_get_timeout(connection, &timeout) > 0 && timeout != UINT64_MAX) waitMs = 100;
        if (poll(fds, 2, waitMs) < 0 && errno != EINTR) return;
        if (fds[1].revents & POLLIN) return;
    }
}

#else

struct GameModeDaemon::Bus {};

std::uint32_t GameModeDaemon::registerDispatch(std::int32_t&, std::function<void()>) {
    return ENOTSUP;
}
void GameModeDaemon::listen() {}

#endif

GameModeDaemon::GameModeDaemon(MainQueue& main) : main(main) {}

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
