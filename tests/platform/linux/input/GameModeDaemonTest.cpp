#include "platform/linux/input/GameModeDaemon.h"

#include "platform/linux/input/ScrollingDevices.h"
#include "platform/sim/Recorders.h"
#include "support/HandOverQueue.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace larkspire;
using larkspire::testing::HandOverQueue;

namespace {

#if __has_include(<systemd/sd-bus.h>)
#include <systemd/sd-bus.h>

// A private session bus with a stand-in GameMode daemon whose client count the test sets.
class FakeGameModeBus {
  public:
    explicit FakeGameModeBus(bool withDaemon = true) {
        char pattern[] = "/tmp/larkspire-bus-XXXXXX";
        dir = mkdtemp(pattern);
        address = "unix:path=" + (dir / "bus").string();
        int ready[2];
        if (pipe(ready) != 0) return;
        daemon = fork();
        if (daemon == 0) {
            dup2(ready[1], 1);
            execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=1",
                   ("--address=" + address).c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(ready[1]);
        char line[512];
        started = read(ready[0], line, sizeof line) > 0;  // the address is printed once it listens
        close(ready[0]);
        if (!started) return;

        if (withDaemon) started = startDaemon();
    }
    // The stand-in daemon takes its name on the bus.
    bool startDaemon() {
        bool ok = sd_bus_new(&service) >= 0 && sd_bus_set_address(service, address.c_str()) >= 0 &&
                  sd_bus_set_bus_client(service, 1) >= 0 && sd_bus_start(service) >= 0 &&
                  sd_bus_add_object_vtable(service, nullptr, GameModeDaemon::objectPath,
                                           GameModeDaemon::service, vtable, this) >= 0 &&
                  sd_bus_request_name(service, GameModeDaemon::service, 0) >= 0;
        if (ok) worker = std::thread([this] { serve(); });
        return ok;
    }
    // The bus itself goes away.
    void stopBus() {
        if (daemon > 0) {
            kill(daemon, SIGTERM);
            waitpid(daemon, nullptr, 0);
            daemon = -1;
        }
    }
    ~FakeGameModeBus() {
        stopping = true;
        if (worker.joinable()) worker.join();
        sd_bus_flush_close_unref(service);
        if (daemon > 0) {
            kill(daemon, SIGTERM);
            waitpid(daemon, nullptr, 0);
        }
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    void setClients(int count) {
        clients = count;
        announce = true;
    }

    bool started = false;
    std::string address;

  private:
    using GameModeDaemon = linux_desktop::GameModeDaemon;

    static int clientCount(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void* self,
                           sd_bus_error*) {
        return sd_bus_message_append(reply, "i", static_cast<FakeGameModeBus*>(self)->clients.load());
    }
    static constexpr sd_bus_vtable vtable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_PROPERTY("ClientCount", "i", clientCount, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
        SD_BUS_VTABLE_END,
    };

    void serve() {
        while (!stopping) {
            if (announce.exchange(false)) {
                sd_bus_emit_properties_changed(service, GameModeDaemon::objectPath, GameModeDaemon::service,
                                               "ClientCount", nullptr);
            }
            int r;
            while ((r = sd_bus_process(service, nullptr)) > 0) {
            }
            if (r < 0) return;             // the bus is gone
            sd_bus_wait(service, 20'000);  // wakes now and then to look at `announce`
        }
    }

    std::filesystem::path dir;
    pid_t daemon = -1;
    sd_bus* service = nullptr;
    std::thread worker;
    std::atomic<bool> stopping{false};
    std::atomic<bool> announce{false};
    std::atomic<int> clients{0};
};

#endif

// Points the session bus at another address for the life of the object.
class SessionBusAddress {
  public:
    explicit SessionBusAddress(const std::string& address) {
        if (const char* old = std::getenv("DBUS_SESSION_BUS_ADDRESS")) previous = old;
        setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    }
    ~SessionBusAddress() {
        if (previous) {
            setenv("DBUS_SESSION_BUS_ADDRESS", previous->c_str(), 1);
        } else {
            unsetenv("DBUS_SESSION_BUS_ADDRESS");
        }
    }

  private:
    std::optional<std::string> previous;
};

TEST(GameModeDaemon, WithoutASessionBusRegistrationFailsWithAStatus) {
    SessionBusAddress nowhere("unix:path=/nonexistent/larkspire-bus");
    HandOverQueue main;
    linux_desktop::GameModeDaemon daemon(main);
    std::int32_t token = 0;
    EXPECT_NE(daemon.registerDispatch(token, [] {}), 0u);
    EXPECT_EQ(daemon.state(token), 0u);
}

#if __has_include(<systemd/sd-bus.h>)
// Runs what the daemon object hands to the main thread, at least once, until its state is `wanted`.
bool stateBecomes(HandOverQueue& main, linux_desktop::GameModeDaemon& daemon, std::uint64_t wanted) {
    for (int round = 0; round < 20; ++round) {
        if (!main.runArrived()) return false;
        if (daemon.state(0) == wanted) return true;
    }
    return false;
}

TEST(GameModeDaemon, FollowsTheClientCountOfTheDaemon) {
    FakeGameModeBus bus;
    if (!bus.started) GTEST_SKIP() << "dbus-daemon is not available";
    SessionBusAddress session(bus.address);
    bus.setClients(0);
    HandOverQueue main;
    linux_desktop::GameModeDaemon daemon(main);
    std::int32_t token = 0;
    int calls = 0;
    ASSERT_EQ(daemon.registerDispatch(token, [&] { ++calls; }), 0u);
    EXPECT_EQ(daemon.state(token), 0u);

    bus.setClients(2);
    EXPECT_TRUE(stateBecomes(main, daemon, 2));
    EXPECT_GE(calls, 1);

    bus.setClients(0);
    EXPECT_TRUE(stateBecomes(main, daemon, 0));
}

TEST(GameModeDaemon, ADaemonThatStartsLaterIsNoticedAndItsAbsenceSaidOnce) {
    FakeGameModeBus bus(false);
    if (!bus.started) GTEST_SKIP() << "dbus-daemon is not available";
    SessionBusAddress session(bus.address);
    HandOverQueue main;
    sim::RecordingLog log;
    linux_desktop::GameModeDaemon daemon(main, &log);
    std::int32_t token = 0;
    ASSERT_EQ(daemon.registerDispatch(token, [] {}), 0u);
    EXPECT_EQ(daemon.state(token), 0u);
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0].level, LogLevel::info);

    bus.setClients(1);
    ASSERT_TRUE(bus.startDaemon());
    EXPECT_TRUE(stateBecomes(main, daemon, 1));
    EXPECT_EQ(log.lines.size(), 1u);
}

TEST(GameModeDaemon, ALostBusEndsTheGameMode) {
    FakeGameModeBus bus;
    if (!bus.started) GTEST_SKIP() << "dbus-daemon is not available";
    SessionBusAddress session(bus.address);
    HandOverQueue main;
    linux_desktop::GameModeDaemon daemon(main);
    std::int32_t token = 0;
    ASSERT_EQ(daemon.registerDispatch(token, [] {}), 0u);
    bus.setClients(2);
    ASSERT_TRUE(stateBecomes(main, daemon, 2));
    bus.stopBus();
    EXPECT_TRUE(stateBecomes(main, daemon, 0));  // and the scroller hears of it
}

#endif

TEST(ScrollingDevices, TouchNoDeviceBeforeATapIsAskedFor) {
    SessionBusAddress nowhere("unix:path=/nonexistent/larkspire-bus");
    HandOverQueue main;
    linux_desktop::ScrollingDevices devices(main);
    EXPECT_EQ(devices.input.grabbedMice(), 0u);
    EXPECT_FALSE(devices.input.postScrollEvent(ScrollEventFields{.pointDeltaAxis1 = 10}));
    EXPECT_EQ(devices.screen.refreshRate(), 60);
}

}  // namespace
