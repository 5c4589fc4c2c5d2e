#include "platform/linux/system/SessionBusNotifications.h"

#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <systemd/sd-bus.h>
#include <unistd.h>

using larkspire::linux_desktop::SessionBusNotifications;

namespace {

TEST(SessionBusNotifications, NamesBecomePathInterfaceAndMember) {
    auto signal = SessionBusNotifications::signalName("de.halvik.Quirefold.cutChanged");
    ASSERT_TRUE(signal.has_value());
    EXPECT_EQ(signal->path, "/de/halvik/Quirefold");
    EXPECT_EQ(signal->interface, "de.halvik.Quirefold");
    EXPECT_EQ(signal->member, "cutChanged");
    EXPECT_FALSE(SessionBusNotifications::signalName("ohnePunkt").has_value());
    EXPECT_FALSE(SessionBusNotifications::signalName("endet.").has_value());
}

// A private session bus for one test, ended with it.
struct PrivateBus {
    explicit PrivateBus(const std::string& listenAt = "") {
        std::string command = "dbus-daemon --session --fork --print-address=1 --print-pid=1";
        if (!listenAt.empty()) command += " --address=" + listenAt;
        FILE* started = ::popen((command + " 2>/dev/null").c_str(), "r");
        if (!started) return;
        char line[512];
        if (std::fgets(line, sizeof line, started)) address = line;
        if (std::fgets(line, sizeof line, started)) pid = std::atoi(line);
        ::pclose(started);
        while (!address.empty() && (address.back() == '\n' || address.back() == '\r')) address.pop_back();
    }
    ~PrivateBus() {
        if (pid > 0) ::kill(pid, SIGTERM);
    }
    std::string address;
    int pid = 0;
};

int onSignal(sd_bus_message*, void* userdata, sd_bus_error*) {
    ++*static_cast<int*>(userdata);
    return 0;
}

// Listens on a bus for the cut-change signal.
struct Listener {
    explicit Listener(const std::string& address) {
        connected = sd_bus_new(&bus) >= 0 && sd_bus_set_address(bus, address.c_str()) >= 0 &&
                    sd_bus_set_bus_client(bus, 1) >= 0 && sd_bus_start(bus) >= 0;
        const std::string rule = "type='signal',path='/de/halvik/Quirefold',interface='de.halvik.Quirefold',"
                                 "member='cutChanged'";
        connected = connected && sd_bus_add_match(bus, nullptr, rule.c_str(), onSignal, &received) >= 0;
        // A match on a first argument only fires for signals that carry one, so this one must stay silent.
        connected = connected && sd_bus_add_match(bus, nullptr, (rule + ",arg0=''").c_str(), onSignal,
                                                  &receivedWithArgument) >= 0;
    }
    ~Listener() {
        if (bus) sd_bus_flush_close_unref(bus);
    }
    // Waits, bounded to about five seconds, until `count` signals arrived.
    void waitFor(int count) {
        for (int round = 0; round < 50 && received < count; ++round) {
            while (sd_bus_process(bus, nullptr) > 0) {
            }
            if (received < count) sd_bus_wait(bus, 100'000);
        }
    }
    sd_bus* bus = nullptr;
    bool connected = false;
    int received = 0;
    int receivedWithArgument = 0;
};

TEST(SessionBusNotifications, ACutChangeArrivesAsASignalWithoutArguments) {
    PrivateBus daemon;
    ASSERT_FALSE(daemon.address.empty()) << "dbus-daemon is needed (scripts/setup.sh installs it)";
    Listener listener(daemon.address);
    ASSERT_TRUE(listener.connected);

    SessionBusNotifications notifications(daemon.address);
    notifications.post("de.halvik.Quirefold.cutChanged");
    notifications.post("de.halvik.Quirefold.cutChanged");
    listener.waitFor(2);
    EXPECT_EQ(listener.received, 2);
    EXPECT_EQ(listener.receivedWithArgument, 0);
}

TEST(SessionBusNotifications, WithoutABusPostsAreDroppedUntilOneComes) {
    char folder[] = "/tmp/larkspire-bus-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    std::string address = std::string("unix:path=") + folder + "/bus";
    SessionBusNotifications notifications(address);
    notifications.post("de.halvik.Quirefold.cutChanged");  // nobody there: quietly nothing

    {
        PrivateBus daemon(address);
        ASSERT_FALSE(daemon.address.empty());
        Listener listener(address);
        ASSERT_TRUE(listener.connected);
        notifications.post("de.halvik.Quirefold.cutChanged");
        listener.waitFor(1);
        EXPECT_EQ(listener.received, 1);
    }
    std::remove((std::string(folder) + "/bus").c_str());
    ::rmdir(folder);
}

}  // namespace
