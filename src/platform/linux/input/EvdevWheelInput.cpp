#include "platform/linux/input/EvdevWheelInput.h"

#include "platform/linux/input/HiResWheel.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <linux/input.h>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace larkspire::linux_desktop {

namespace {

constexpr std::array<std::pair<std::uint16_t, std::uint64_t>, 8> modifierKeys = {{
    {KEY_LEFTSHIFT, WheelEvent::shiftMask},
    {KEY_RIGHTSHIFT, WheelEvent::shiftMask},
    {KEY_LEFTCTRL, WheelEvent::controlMask},
    {KEY_RIGHTCTRL, WheelEvent::controlMask},
    {KEY_LEFTALT, WheelEvent::alternateMask},
    {KEY_RIGHTALT, WheelEvent::alternateMask},
    {KEY_LEFTMETA, WheelEvent::commandMask},
    {KEY_RIGHTMETA, WheelEvent::commandMask},
}};

int modifierIndex(std::uint16_t code) {
    for (std::size_t i = 0; i < modifierKeys.size(); ++i)
        if (modifierKeys[i].first == code) return static_cast<int>(i);
    return -1;
}

constexpr std::uint64_t modifiersThatPass =
    WheelEvent::controlMask | WheelEvent::alternateMask | WheelEvent::commandMask;

bool isWheelCode(const input_event& e) {
    return e.type == EV_REL && (e.code == REL_WHEEL || e.code == REL_HWHEEL || e.code == REL_WHEEL_HI_RES ||
                                e.code == REL_HWHEEL_HI_RES);
}

bool isVerticalWheel(const input_event& e) {
    return e.type == EV_REL && (e.code == REL_WHEEL || e.code == REL_WHEEL_HI_RES);
}

bool isOwnDevice(const DeviceCapabilities& caps) {
    return caps.phys == EvdevWheelInput::ownDevicePhys ||
           std::string_view(caps.name).substr(0, EvdevWheelInput::ownDevicePrefix.size()) ==
               EvdevWheelInput::ownDevicePrefix;
}

// Wheel mice only: anything with absolute axes (touchpads, tablets, touch screens) scrolls on its own.
bool isWheelMouse(const DeviceCapabilities& caps) {
    return caps.hasEventType(EV_REL) && !caps.hasEventType(EV_ABS) &&
           (caps.hasRelative(REL_WHEEL) || caps.hasRelative(REL_HWHEEL) ||
            caps.hasRelative(REL_WHEEL_HI_RES) || caps.hasRelative(REL_HWHEEL_HI_RES));
}

bool isKeyboard(const DeviceCapabilities& caps) {
    return caps.hasEventType(EV_KEY) && std::any_of(modifierKeys.begin(), modifierKeys.end(),
                                                    [&](const auto& key) { return caps.hasKey(key.first); });
}

// Programs pick a device up as a mouse only when it looks like one, so the scroll wheel gets
// pointer axes and buttons it never uses.
DeviceCapabilities scrollDeviceCapabilities() {
    DeviceCapabilities caps;
    caps.name = std::string(EvdevWheelInput::ownDevicePrefix) + " Scroll";
    caps.phys = EvdevWheelInput::ownDevicePhys;
    caps.bustype = BUS_VIRTUAL;
    caps.vendor = 0x4C4B;
    caps.product = 0x5343;
    caps.version = 1;
    caps.eventTypes = {EV_SYN, EV_KEY, EV_REL};
    caps.keys = {BTN_LEFT, BTN_RIGHT, BTN_MIDDLE};
    caps.relativeAxes = {REL_X, REL_Y, REL_HWHEEL, REL_WHEEL, REL_WHEEL_HI_RES, REL_HWHEEL_HI_RES};
    return caps;
}

input_event makeEvent(std::uint16_t type, std::uint16_t code, std::int32_t value) {
    input_event e{};
    e.type = type;
    e.code = code;
    e.value = value;
    return e;
}

bool writeAll(int fd, const std::vector<input_event>& events) {
    if (fd < 0 || events.empty()) return fd >= 0;
    const char* data = reinterpret_cast<const char*>(events.data());
    std::size_t left = events.size() * sizeof(input_event);
    while (left > 0) {
        ssize_t written = write(fd, data, left);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

int signOf(std::int64_t value) {
    return (value > 0) - (value < 0);
}

}  // namespace

// One wheel axis of a mouse, as far as it is on the way to a notch.
struct WheelAxis {
    std::int64_t parts = 0;     // high-resolution units since the last notch
    bool sendsNotches = false;  // the mouse has reported whole notches on this axis itself
};

struct Device {
    std::string path;
    int fd = -1;
    bool mouse = false;
    bool keyboard = false;
    std::vector<std::uint16_t> buttons;  // the mouse's keys, for setting the clone right after a loss
    std::uint8_t modifiersDown = 0;      // one bit per entry of modifierKeys

    std::mutex cloneMutex;  // the reader passes events through while the main thread passes wheels
    int cloneFd = -1;
    std::set<std::uint16_t> cloneKeysDown;  // as the clone has been told

    std::vector<char> partial;           // bytes of an event not yet complete
    std::vector<input_event> frame;      // events since the last report
    std::vector<input_event> heldWheel;  // high-resolution parts of a notch not yet complete
    WheelAxis vertical;
    WheelAxis horizontal;
    bool dropping = false;  // the kernel dropped events: skip to the next report, then read the state

    bool writeClone(const std::vector<input_event>& events) {
        std::lock_guard lock(cloneMutex);
        for (const auto& e : events) {
            if (e.type != EV_KEY) continue;
            if (e.value == 0) {
                cloneKeysDown.erase(e.code);
            } else {
                cloneKeysDown.insert(e.code);
            }
        }
        return writeAll(cloneFd, events);
    }
    // Tells the clone which keys are down now, after events were lost.
    void resyncClone(const std::vector<std::uint16_t>& held) {
        std::vector<input_event> changes;
        {
            std::lock_guard lock(cloneMutex);
            for (auto code : cloneKeysDown)
                if (std::find(held.begin(), held.end(), code) == held.end())
                    changes.push_back(makeEvent(EV_KEY, code, 0));
            for (auto code : held)
                if (!cloneKeysDown.contains(code) &&
                    std::find(buttons.begin(), buttons.end(), code) != buttons.end())
                    changes.push_back(makeEvent(EV_KEY, code, 1));
        }
        if (changes.empty()) return;
        changes.push_back(makeEvent(EV_SYN, SYN_REPORT, 0));
        writeClone(changes);
    }
    void forgetWheel() {
        heldWheel.clear();
        vertical.parts = horizontal.parts = 0;
    }
};

class EvdevWheelInput::Session : public std::enable_shared_from_this<Session> {
  public:
    Session(EventDeviceIo& io, MainQueue& main, Callback callback, Log* log, std::function<bool()> passWheel,
            HeldModifiers* server, int retryMs)
        : io(io), main(main), callback(std::move(callback)), log(log), passWheel(std::move(passWheel)),
          server(server), retryMs(retryMs) {}
    ~Session() { shutdown(); }

    bool open();
    void startThread() {
        reader = std::thread([this] {
            while (readOnce(-1)) {
            }
        });
    }
    bool readOnce(int timeoutMs);
    void shutdown();
    bool post(const ScrollEventFields& event);

    bool isOpen() const { return !closed; }
    std::atomic<bool> enabled{false};
    std::atomic<bool> inRunLoop{false};
    std::size_t mice() const;
    std::size_t keyboards() const;
    bool knowsModifiers() const { return modifiersFromServer || keyboards() > 0; }

  private:
    bool tapActive() const { return enabled.load() && inRunLoop.load(); }
    bool passesAtOnce(std::uint64_t flags) const;
    void logError(const std::string& message);
    void releaseAll(const std::string& reason);
    bool waitForRetry();
    void scan();
    void addDevice(const std::string& path);
    void removeDevice(int fd);
    void removePath(const std::string& path);
    void readDevice(const std::shared_ptr<Device>& device);
    void handleEvent(const std::shared_ptr<Device>& device, const input_event& event);
    void finishFrame(const std::shared_ptr<Device>& device);
    void resync(const std::shared_ptr<Device>& device);
    void readDirectoryChanges();
    std::uint64_t modifierFlags() const;
    void deliver(const std::shared_ptr<Device>& device, const WheelEvent& event,
                 const std::vector<input_event>& raw);

    EventDeviceIo& io;
    MainQueue& main;
    Callback callback;
    Log* log;
    std::function<bool()> passWheel;
    HeldModifiers* server;
    bool modifiersFromServer = false;  // decided at the start; the keyboards are then left closed
    std::uint64_t flagsAtTick = 0;     // held at the last taken tick; main thread only
    int retryMs;
    bool released = false;  // a failed wait let go of every device; they are taken again after a pause
    bool failing = false;   // said once per run of failures
    std::optional<std::chrono::steady_clock::time_point> rescanAt;  // a device failed but may still be there
    std::atomic<bool> quiet{false};  // a modifier went down: the running animation ends
    int scrollFd = -1;
    int directoryWatch = -1;
    int wake = -1;
    std::thread reader;
    bool closed = false;
    mutable std::mutex devicesMutex;  // only for the counts read from other threads
    std::map<int, std::shared_ptr<Device>> devices;
    HiResWheel verticalWheel;
    HiResWheel horizontalWheel;
};

bool EvdevWheelInput::Session::open() {
    scrollFd = io.createVirtualDevice(scrollDeviceCapabilities());
    if (scrollFd < 0) return false;
    wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    directoryWatch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (directoryWatch >= 0 &&
        inotify_add_watch(directoryWatch, io.directory().c_str(),
                          IN_CREATE | IN_ATTRIB | IN_DELETE | IN_MOVED_TO | IN_MOVED_FROM) < 0) {
        // Without a watch mice plugged in later go unnoticed; the ones there now still work.
        close(directoryWatch);
        directoryWatch = -1;
    }
    modifiersFromServer = server && server->held().has_value();
    scan();
    return true;
}

void EvdevWheelInput::Session::scan() {
    for (const auto& path : io.eventDevices()) addDevice(path);
}

void EvdevWheelInput::Session::addDevice(const std::string& path) {
    for (const auto& [fd, device] : devices)
        if (device->path == path) return;
    int fd = io.openDevice(path);
    if (fd < 0) return;  // not ready yet or not ours to read: a later change of its attributes retries
    auto caps = io.capabilities(fd);
    bool keyboard = caps && !modifiersFromServer && isKeyboard(*caps);
    if (!caps || isOwnDevice(*caps) || (!isWheelMouse(*caps) && !keyboard)) {
        io.closeDevice(fd);
        return;
    }
    auto device = std::make_shared<Device>();
    device->path = path;
    device->fd = fd;
    device->keyboard = keyboard;
    device->buttons = caps->keys;
    if (device->keyboard) {
        for (auto code : io.heldKeys(fd)) {
            int index = modifierIndex(code);
            if (index >= 0) device->modifiersDown |= static_cast<std::uint8_t>(1u << index);
        }
    }
    if (isWheelMouse(*caps)) {
        DeviceCapabilities clone = *caps;
        clone.phys = EvdevWheelInput::ownDevicePhys;
        int cloneFd = io.createVirtualDevice(clone);
        if (cloneFd >= 0 && io.grab(fd, true)) {
            device->mouse = true;
            device->cloneFd = cloneFd;
        } else if (cloneFd >= 0) {
            io.destroyVirtualDevice(cloneFd);  // someone else holds it; leave it to them
        }
    }
    if (!device->mouse && !device->keyboard) {
        io.closeDevice(fd);
        return;
    }
    std::lock_guard lock(devicesMutex);
    devices[fd] = device;
}

void EvdevWheelInput::Session::removeDevice(int fd) {
    std::shared_ptr<Device> device;
    {
        std::lock_guard lock(devicesMutex);
        auto it = devices.find(fd);
        if (it == devices.end()) return;
        device = it->second;
        devices.erase(it);
    }
    if (device->mouse) {
        io.grab(fd, false);  // fails harmlessly for a device that is already gone
        std::lock_guard lock(device->cloneMutex);
        io.destroyVirtualDevice(device->cloneFd);
        device->cloneFd = -1;
    }
    io.closeDevice(fd);
}

void EvdevWheelInput::Session::removePath(const std::string& path) {
    for (const auto& [fd, device] : devices) {
        if (device->path == path) {
            removeDevice(fd);
            return;
        }
    }
}

bool EvdevWheelInput::Session::readOnce(int timeoutMs) {
    if (released) {
        if (timeoutMs != 0 && !waitForRetry()) return false;
        released = false;
        scan();
    }
    if (rescanAt && std::chrono::steady_clock::now() >= *rescanAt) {
        rescanAt.reset();
        scan();
    }
    if (rescanAt && timeoutMs != 0) timeoutMs = retryMs;
    std::vector<pollfd> fds;
    std::vector<std::shared_ptr<Device>> polled;
    if (wake >= 0) fds.push_back({wake, POLLIN, 0});
    if (directoryWatch >= 0) fds.push_back({directoryWatch, POLLIN, 0});
    std::size_t firstDevice = fds.size();
    for (const auto& [fd, device] : devices) {
        fds.push_back({fd, POLLIN, 0});
        polled.push_back(device);
    }
    int ready = io.poll(fds.data(), fds.size(), timeoutMs);
    if (ready < 0) {
        if (errno == EINTR) return true;
        // Grabbed mice that nobody reads are dead mice: let them go until reading works again.
        releaseAll(std::strerror(errno));
        return true;
    }
    failing = false;
    if (wake >= 0 && (fds[0].revents & POLLIN)) return false;
    for (std::size_t i = firstDevice; i < fds.size(); ++i) {
        if (fds[i].revents & POLLNVAL) {
            removeDevice(fds[i].fd);
        } else if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) {
            readDevice(polled[i - firstDevice]);
        }
    }
    if (directoryWatch >= 0 && (fds[firstDevice - 1].revents & POLLIN)) readDirectoryChanges();
    return true;
}

void EvdevWheelInput::Session::logError(const std::string& message) {
    if (log) log->write("scroll", LogLevel::error, message);
}

void EvdevWheelInput::Session::releaseAll(const std::string& reason) {
    if (!failing) logError("Mauseingaben nicht lesbar (" + reason + "), Mäuse freigegeben");
    failing = true;
    std::vector<int> fds;
    for (const auto& [fd, device] : devices) fds.push_back(fd);
    for (int fd : fds) removeDevice(fd);
    released = true;
}

// False when the session ends during the pause.
bool EvdevWheelInput::Session::waitForRetry() {
    pollfd woken{wake, POLLIN, 0};
    int got = ::poll(&woken, wake >= 0 ? 1 : 0, retryMs);
    return !(got > 0 && (woken.revents & POLLIN));
}

void EvdevWheelInput::Session::readDevice(const std::shared_ptr<Device>& device) {
    char buffer[64 * sizeof(input_event)];
    while (true) {
        ssize_t got = read(device->fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        if (got <= 0) {
            // Unplugged: the kernel reports ENODEV, a closed stand-in reports the end. Any other
            // failure lets the device go too; if it is still there it is taken again shortly.
            if (got < 0 && errno != ENODEV) {
                logError(device->path + " nicht lesbar (" + std::strerror(errno) + ")");
                rescanAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(retryMs);
            }
            removeDevice(device->fd);
            return;
        }
        device->partial.insert(device->partial.end(), buffer, buffer + got);
        std::size_t whole = device->partial.size() / sizeof(input_event);
        for (std::size_t i = 0; i < whole; ++i) {
            input_event event;
            std::memcpy(&event, device->partial.data() + i * sizeof(input_event), sizeof event);
            handleEvent(device, event);
        }
        device->partial.erase(device->partial.begin(),
                              device->partial.begin() +
                                  static_cast<std::ptrdiff_t>(whole * sizeof(input_event)));
    }
}

void EvdevWheelInput::Session::handleEvent(const std::shared_ptr<Device>& device, const input_event& event) {
    if (event.type == EV_SYN && event.code == SYN_DROPPED) {
        device->dropping = true;
        device->frame.clear();
        return;
    }
    if (device->dropping) {
        if (event.type == EV_SYN && event.code == SYN_REPORT) {
            device->dropping = false;
            resync(device);
        }
        return;
    }
    if (event.type == EV_KEY) {
        int index = modifierIndex(event.code);
        if (index >= 0) {
            auto bit = static_cast<std::uint8_t>(1u << index);
            device->modifiersDown =
                event.value == 0 ? (device->modifiersDown & ~bit) : (device->modifiersDown | bit);
            // Synthetic scrolls cannot shed a modifier the seat holds: Ctrl would turn the rest of an
            // animation into zooming. A fresh press ends it instead.
            if (event.value == 1) quiet = true;
        }
    }
    if (!device->mouse) return;  // keyboards are only listened to
    device->frame.push_back(event);
    if (event.type == EV_SYN && event.code == SYN_REPORT) finishFrame(device);
}

// What was lost is read back from the kernel: the keys down now, for the modifiers and the clone.
void EvdevWheelInput::Session::resync(const std::shared_ptr<Device>& device) {
    auto held = io.heldKeys(device->fd);
    if (device->keyboard) {
        device->modifiersDown = 0;
        for (auto code : held) {
            int index = modifierIndex(code);
            if (index >= 0) device->modifiersDown |= static_cast<std::uint8_t>(1u << index);
        }
    }
    if (device->mouse) {
        device->forgetWheel();
        device->resyncClone(held);
    }
}

bool EvdevWheelInput::Session::passesAtOnce(std::uint64_t flags) const {
    return (flags & modifiersThatPass) != 0 || (passWheel && passWheel());
}

void EvdevWheelInput::Session::finishFrame(const std::shared_ptr<Device>& device) {
    std::vector<input_event> frame;
    frame.swap(device->frame);
    if (!std::any_of(frame.begin(), frame.end(), isWheelCode)) {
        device->writeClone(frame);  // parts of a notch stay held: the notch may yet be taken
        return;
    }
    bool active = tapActive();
    std::uint64_t flags = active ? modifierFlags() : 0;  // one question to the server per report
    if (!active || passesAtOnce(flags)) {
        // Passed wheel events leave at once and unchanged, in order with everything around them.
        if (!device->heldWheel.empty())
            frame.insert(frame.begin(), device->heldWheel.begin(), device->heldWheel.end());
        device->forgetWheel();
        device->writeClone(frame);
        return;
    }

    std::vector<input_event> wheel;
    std::vector<input_event> rest;
    for (std::size_t i = 0; i + 1 < frame.size(); ++i)
        (isWheelCode(frame[i]) ? wheel : rest).push_back(frame[i]);
    const input_event report = frame.back();
    if (!rest.empty()) {
        // Motion and buttons of the same report go on at once, unchanged.
        rest.push_back(report);
        device->writeClone(rest);
    }

    std::int64_t notches[2] = {0, 0};
    std::int64_t parts[2] = {0, 0};
    for (const auto& e : wheel) {
        std::size_t axis = isVerticalWheel(e) ? 0 : 1;
        (e.code == REL_WHEEL || e.code == REL_HWHEEL ? notches : parts)[axis] += e.value;
    }
    // A high-resolution wheel reports a notch in parts; only the notch itself is a tick. A mouse that
    // reports notches itself may do so before 120 units are complete, so its own notches count; one
    // that sends only parts, whatever it advertises, ticks every 120 units, the rest kept.
    auto tickOf = [&](WheelAxis& axis, std::int64_t notch, std::int64_t part, bool vertical) -> std::int64_t {
        if (notch != 0) {
            axis.sendsNotches = true;
            axis.parts = 0;
            return signOf(notch);
        }
        if (part == 0) return 0;
        if (axis.parts != 0 && signOf(part) != signOf(axis.parts)) {
            // Reversed: the parts held so far on this axis will never make a notch.
            axis.parts = 0;
            std::erase_if(device->heldWheel,
                          [&](const input_event& e) { return isVerticalWheel(e) == vertical; });
        }
        axis.parts += part;
        // Two notches' worth without a notch of its own: this mouse no longer sends them.
        std::int64_t needed = (axis.sendsNotches ? 2 : 1) * HiResWheel::unitsPerNotch;
        if (axis.parts < needed && axis.parts > -needed) return 0;
        axis.sendsNotches = false;
        std::int64_t tick = signOf(axis.parts);
        axis.parts %= HiResWheel::unitsPerNotch;
        return tick;
    };
    std::int64_t vertical = tickOf(device->vertical, notches[0], parts[0], true);
    std::int64_t horizontal = tickOf(device->horizontal, notches[1], parts[1], false);

    if (vertical == 0 && horizontal == 0) {
        device->heldWheel.insert(device->heldWheel.end(), wheel.begin(), wheel.end());
        return;
    }
    std::vector<input_event> raw;
    raw.swap(device->heldWheel);
    raw.insert(raw.end(), wheel.begin(), wheel.end());
    raw.push_back(report);

    // Up and left count as positive, as on the other axis of the program's events.
    WheelEvent event{
        .verticalDelta = signOf(vertical), .horizontalDelta = -signOf(horizontal), .flags = flags};
    main.postFromAnyThread([weak = weak_from_this(), device, event, raw] {
        if (auto self = weak.lock()) self->deliver(device, event, raw);
    });
}

void EvdevWheelInput::Session::deliver(const std::shared_ptr<Device>& device, const WheelEvent& event,
                                       const std::vector<input_event>& raw) {
    if (tapActive()) {
        bool wasQuiet = quiet.exchange(false);  // a taken tick starts a new animation
        if (callback(TapEventType::scrollWheel, event) == TapDecision::swallow) {
            flagsAtTick = event.flags;
            return;
        }
        if (wasQuiet) quiet = true;
    }
    device->writeClone(raw);
}

std::uint64_t EvdevWheelInput::Session::modifierFlags() const {
    if (modifiersFromServer) return server->held().value_or(0);
    std::uint64_t flags = 0;
    for (const auto& [fd, device] : devices) {
        for (std::size_t i = 0; i < modifierKeys.size(); ++i)
            if (device->modifiersDown & (1u << i)) flags |= modifierKeys[i].second;
    }
    return flags;
}

void EvdevWheelInput::Session::readDirectoryChanges() {
    alignas(inotify_event) char buffer[4096];
    while (true) {
        ssize_t got = read(directoryWatch, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return;
        for (ssize_t offset = 0; offset < got;) {
            auto* change = reinterpret_cast<const inotify_event*>(buffer + offset);
            offset += static_cast<ssize_t>(sizeof(inotify_event) + change->len);
            if (change->len == 0 || std::strncmp(change->name, "event", 5) != 0) continue;
            std::string path = io.directory() + "/" + change->name;
            if (change->mask & (IN_DELETE | IN_MOVED_FROM)) {
                removePath(path);
            } else {
                addDevice(path);
            }
        }
    }
}

bool EvdevWheelInput::Session::post(const ScrollEventFields& fields) {
    if (scrollFd < 0) return false;
    // The server tells no presses, so a modifier held now that was up at the tick counts as one.
    if (modifiersFromServer && !quiet && (server->held().value_or(0) & ~flagsAtTick) != 0) quiet = true;
    if (quiet) {
        verticalWheel = HiResWheel();  // the next animation starts on a whole notch
        horizontalWheel = HiResWheel();
        return true;
    }
    std::vector<input_event> events;
    if (fields.pointDeltaAxis1 != 0) {
        auto step = verticalWheel.add(fields.pointDeltaAxis1);
        if (step.hiRes != 0) events.push_back(makeEvent(EV_REL, REL_WHEEL_HI_RES, step.hiRes));
        if (step.notches != 0) events.push_back(makeEvent(EV_REL, REL_WHEEL, step.notches));
    }
    if (fields.pointDeltaAxis2 != 0) {
        auto step = horizontalWheel.add(-fields.pointDeltaAxis2);
        if (step.hiRes != 0) events.push_back(makeEvent(EV_REL, REL_HWHEEL_HI_RES, step.hiRes));
        if (step.notches != 0) events.push_back(makeEvent(EV_REL, REL_HWHEEL, step.notches));
    }
    if (events.empty()) return true;
    events.push_back(makeEvent(EV_SYN, SYN_REPORT, 0));
    return writeAll(scrollFd, events);
}

void EvdevWheelInput::Session::shutdown() {
    if (closed) return;
    closed = true;
    enabled = false;
    if (reader.joinable()) {
        std::uint64_t one = 1;
        ssize_t ignored = write(wake, &one, sizeof one);
        (void)ignored;
        reader.join();
    }
    std::vector<int> fds;
    for (const auto& [fd, device] : devices) fds.push_back(fd);
    for (int fd : fds) removeDevice(fd);
    io.destroyVirtualDevice(scrollFd);
    scrollFd = -1;
    if (directoryWatch >= 0) close(directoryWatch);
    if (wake >= 0) close(wake);
    directoryWatch = wake = -1;
}

std::size_t EvdevWheelInput::Session::mice() const {
    std::lock_guard lock(devicesMutex);
    return static_cast<std::size_t>(
        std::count_if(devices.begin(), devices.end(), [](const auto& entry) { return entry.second->mouse; }));
}

std::size_t EvdevWheelInput::Session::keyboards() const {
    std::lock_guard lock(devicesMutex);
    return static_cast<std::size_t>(std::count_if(devices.begin(), devices.end(),
                                                  [](const auto& entry) { return entry.second->keyboard; }));
}

namespace {

class EvdevTap : public WheelEventTap {
  public:
    explicit EvdevTap(std::shared_ptr<EvdevWheelInput::Session> session) : session(std::move(session)) {}
    ~EvdevTap() override { session->shutdown(); }
    void addToMainRunLoop() override { session->inRunLoop = true; }
    void removeFromMainRunLoop() override { session->inRunLoop = false; }
    void setEnabled(bool enabled) override { session->enabled = enabled; }
    bool isEnabled() const override { return session->enabled; }
    void invalidate() override { session->shutdown(); }

  private:
    std::shared_ptr<EvdevWheelInput::Session> session;
};

}  // namespace

EvdevWheelInput::EvdevWheelInput(EventDeviceIo& io, MainQueue& main, Reading reading, Log* log)
    : io(io), main(main), reading(reading), log(log) {}

EvdevWheelInput::~EvdevWheelInput() {
    if (auto current = session.lock()) current->shutdown();
}

std::unique_ptr<WheelEventTap> EvdevWheelInput::createWheelTap(Callback callback) {
    if (auto current = session.lock(); current && current->isOpen()) return nullptr;
    // Read by hand, a retry waits for the next round instead of a pause.
    auto created = std::make_shared<Session>(io, main, std::move(callback), log, passWheel, heldModifiers,
                                             reading == Reading::ownThread ? 1000 : 0);
    if (!created->open()) return nullptr;
    if (!created->knowsModifiers() && !toldModifiersUnknown && log) {
        log->write("scroll", LogLevel::info,
                   "Sondertasten unbekannt (kein X11, keine Tastatur lesbar): das Mausrad wird auch mit "
                   "Strg, Alt oder Super geglättet");
        toldModifiersUnknown = true;
    }
    session = created;
    if (reading == Reading::ownThread) created->startThread();
    return std::make_unique<EvdevTap>(created);
}

bool EvdevWheelInput::postScrollEvent(const ScrollEventFields& event) {
    auto current = session.lock();
    return current && current->post(event);
}

void EvdevWheelInput::pump() {
    if (auto current = session.lock(); current && reading == Reading::byPump) current->readOnce(0);
}

std::size_t EvdevWheelInput::grabbedMice() const {
    auto current = session.lock();
    return current ? current->mice() : 0;
}

std::size_t EvdevWheelInput::watchedKeyboards() const {
    auto current = session.lock();
    return current ? current->keyboards() : 0;
}

}  // namespace larkspire::linux_desktop
