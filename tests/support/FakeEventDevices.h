#pragma once

#include "platform/linux/input/EventDeviceIo.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <linux/input.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace larkspire::testing {

// Input devices made of socket pairs: each device is a file in a temporary directory (so the
// directory watch sees it come and go) whose events the test writes into its end of a pair.
// Virtual devices are pairs too; the test reads what the adapter wrote to them.
class FakeEventDevices : public linux_desktop::EventDeviceIo {
  public:
    struct Plugged {
        std::string path;
        linux_desktop::DeviceCapabilities caps;
        std::vector<std::uint16_t> held;
        int testEnd = -1;
        int deviceEnd = -1;
        bool grabbed = false;
        bool refused = false;  // not ours to read, as a keyboard the rule leaves closed
    };
    struct Virtual {
        linux_desktop::DeviceCapabilities caps;
        int testEnd = -1;
        int fd = -1;
        bool destroyed = false;
    };

    FakeEventDevices() {
        char pattern[] = "/tmp/larkspire-input-XXXXXX";
        dir = mkdtemp(pattern);
    }
    ~FakeEventDevices() override {
        for (auto& d : plugged) closeBoth(d.testEnd, d.deviceEnd);
        for (auto& v : virtuals) closeBoth(v.testEnd, v.destroyed ? -1 : v.fd);
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }

    // Plugs a device in; the index names it in the other calls.
    std::size_t plug(linux_desktop::DeviceCapabilities caps, std::vector<std::uint16_t> held = {}) {
        int ends[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) std::abort();
        fcntl(ends[1], F_SETFL, O_NONBLOCK);
        std::string path = dir + "/event" + std::to_string(plugged.size());
        plugged.push_back(Plugged{path, std::move(caps), std::move(held), ends[0], ends[1], false});
        std::ofstream(path).put('\n');
        return plugged.size() - 1;
    }
    // Pulls a device out: its file goes and its stream ends.
    void unplug(std::size_t index) {
        std::filesystem::remove(plugged[index].path);
        closeBoth(plugged[index].testEnd, -1);
        plugged[index].testEnd = -1;
    }
    void send(std::size_t index, const std::vector<input_event>& events) {
        ssize_t ignored = write(plugged[index].testEnd, events.data(), events.size() * sizeof(input_event));
        (void)ignored;
    }
    // Everything written to a virtual device so far and not yet taken.
    std::vector<input_event> take(std::size_t virtualIndex) {
        std::vector<input_event> events;
        input_event e;
        int fd = virtuals[virtualIndex].testEnd;
        fcntl(fd, F_SETFL, O_NONBLOCK);
        while (read(fd, &e, sizeof e) == static_cast<ssize_t>(sizeof e)) events.push_back(e);
        return events;
    }
    std::optional<std::size_t> virtualNamed(const std::string& name) const {
        for (std::size_t i = 0; i < virtuals.size(); ++i)
            if (virtuals[i].caps.name == name) return i;
        return std::nullopt;
    }

    std::string directory() const override { return dir; }
    std::vector<std::string> eventDevices() const override {
        std::vector<std::string> paths;
        for (const auto& entry : std::filesystem::directory_iterator(dir))
            paths.push_back(entry.path().string());
        std::sort(paths.begin(), paths.end());
        return paths;
    }
    int openDevice(const std::string& path) override {
        for (auto& d : plugged)
            if (d.path == path && d.testEnd >= 0) {
                if (!d.refused) return dup(d.deviceEnd);
                errno = EACCES;
                return -1;
            }
        return -1;
    }
    void closeDevice(int fd) override { close(fd); }
    std::optional<linux_desktop::DeviceCapabilities> capabilities(int fd) override {
        auto* d = byFd(fd);
        return d ? std::optional(d->caps) : std::nullopt;
    }
    bool grab(int fd, bool exclusive) override {
        auto* d = byFd(fd);
        if (!d || (exclusive && grabFails)) return false;
        d->grabbed = exclusive;
        return true;
    }
    std::vector<std::uint16_t> heldKeys(int fd) override {
        auto* d = byFd(fd);
        return d ? d->held : std::vector<std::uint16_t>{};
    }
    int createVirtualDevice(const linux_desktop::DeviceCapabilities& caps) override {
        if (virtualFails) return -1;
        int ends[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return -1;
        virtuals.push_back(Virtual{caps, ends[0], ends[1], false});
        return ends[1];
    }
    int poll(pollfd* fds, std::size_t count, int timeoutMs) override {
        if (pollError != 0) {
            errno = pollError;
            return -1;
        }
        return ::poll(fds, count, timeoutMs);
    }
    void destroyVirtualDevice(int fd) override {
        for (auto& v : virtuals) {
            if (v.fd == fd && !v.destroyed) {
                v.destroyed = true;
                close(fd);
            }
        }
    }

    std::vector<Plugged> plugged;
    std::vector<Virtual> virtuals;
    bool grabFails = false;
    bool virtualFails = false;
    int pollError = 0;  // every wait fails with this while it is not 0

  private:
    // The adapter holds a duplicate of the device end; both name the same socket.
    Plugged* byFd(int fd) {
        struct stat mine {};
        if (fstat(fd, &mine) != 0) return nullptr;
        for (auto& d : plugged) {
            struct stat theirs {};
            if (fstat(d.deviceEnd, &theirs) == 0 && theirs.st_ino == mine.st_ino &&
                theirs.st_dev == mine.st_dev)
                return &d;
        }
        return nullptr;
    }
    static void closeBoth(int a, int b) {
        if (a >= 0) close(a);
        if (b >= 0) close(b);
    }
    std::string dir;
};

inline input_event inputEvent(std::uint16_t type, std::uint16_t code, std::int32_t value, long usec = 0) {
    input_event e{};
    e.input_event_sec = 1700000000;
    e.input_event_usec = usec;
    e.type = type;
    e.code = code;
    e.value = value;
    return e;
}

inline input_event report(long usec = 0) {
    return inputEvent(EV_SYN, SYN_REPORT, 0, usec);
}

// Typical devices.
inline linux_desktop::DeviceCapabilities wheelMouse(std::string name = "Wheel Mouse") {
    linux_desktop::DeviceCapabilities caps;
    caps.name = std::move(name);
    caps.bustype = BUS_USB;
    caps.vendor = 0x046d;
    caps.product = 0xc077;
    caps.eventTypes = {EV_SYN, EV_KEY, EV_REL, EV_MSC};
    caps.keys = {BTN_LEFT, BTN_RIGHT, BTN_MIDDLE};
    caps.relativeAxes = {REL_X, REL_Y, REL_HWHEEL, REL_WHEEL, REL_WHEEL_HI_RES, REL_HWHEEL_HI_RES};
    caps.miscEvents = {MSC_SCAN};
    return caps;
}

inline linux_desktop::DeviceCapabilities keyboard(std::string name = "Keyboard") {
    linux_desktop::DeviceCapabilities caps;
    caps.name = std::move(name);
    caps.eventTypes = {EV_SYN, EV_KEY, EV_MSC, EV_LED};
    caps.keys = {KEY_A, KEY_LEFTSHIFT, KEY_RIGHTSHIFT, KEY_LEFTCTRL, KEY_LEFTALT, KEY_LEFTMETA};
    return caps;
}

inline linux_desktop::DeviceCapabilities touchpad() {
    linux_desktop::DeviceCapabilities caps;
    caps.name = "Touchpad";
    caps.eventTypes = {EV_SYN, EV_KEY, EV_ABS, EV_REL};
    caps.keys = {BTN_LEFT, BTN_TOUCH, BTN_TOOL_FINGER};
    caps.absoluteAxes = {ABS_X, ABS_Y, ABS_MT_POSITION_X, ABS_MT_POSITION_Y};
    caps.relativeAxes = {REL_WHEEL};
    return caps;
}

}  // namespace larkspire::testing
