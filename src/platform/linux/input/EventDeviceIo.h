#pragma once

#include <cstdint>
#include <optional>
#include <poll.h>
#include <string>
#include <vector>

namespace larkspire::linux_desktop {

// What an input device can report, as the kernel lists it.
struct DeviceCapabilities {
    std::string name;
    std::string phys;  // where it sits; our own virtual devices say so here
    std::uint16_t bustype = 0;
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    std::uint16_t version = 0;
    std::vector<std::uint16_t> eventTypes;  // EV_*
    std::vector<std::uint16_t> keys;        // KEY_* and BTN_*
    std::vector<std::uint16_t> relativeAxes;
    std::vector<std::uint16_t> absoluteAxes;
    std::vector<std::uint16_t> miscEvents;
    std::vector<std::uint16_t> properties;  // INPUT_PROP_*

    bool hasEventType(std::uint16_t type) const;
    bool hasKey(std::uint16_t code) const;
    bool hasRelative(std::uint16_t code) const;
};

// The input subsystem as the wheel adapter uses it. Device data itself is read from and written
// to the returned descriptors with read() and write(), so tests can stand in with socket pairs.
class EventDeviceIo {
  public:
    virtual ~EventDeviceIo() = default;
    virtual std::string directory() const = 0;                  // where event devices come and go
    virtual std::vector<std::string> eventDevices() const = 0;  // paths of the event devices there now
    virtual int openDevice(const std::string& path) = 0;        // non-blocking, for reading; -1 on failure
    virtual void closeDevice(int fd) = 0;
    virtual std::optional<DeviceCapabilities> capabilities(int fd) = 0;  // nothing when it cannot be read
    virtual bool grab(int fd, bool exclusive) = 0;                       // false on failure
    virtual std::vector<std::uint16_t> heldKeys(int fd) = 0;             // keys down right now
    // A virtual device with these capabilities; its descriptor takes input events; -1 on failure.
    virtual int createVirtualDevice(const DeviceCapabilities& capabilities) = 0;
    virtual void destroyVirtualDevice(int fd) = 0;
    // Waits for the descriptors as poll() does, errors in errno included.
    virtual int poll(pollfd* fds, std::size_t count, int timeoutMs) { return ::poll(fds, count, timeoutMs); }
};

// The real thing: /dev/input and /dev/uinput.
class KernelEventDeviceIo : public EventDeviceIo {
  public:
    explicit KernelEventDeviceIo(std::string directory = "/dev/input",
                                 std::string uinputPath = "/dev/uinput");
    std::string directory() const override { return inputDirectory; }
    std::vector<std::string> eventDevices() const override;
    int openDevice(const std::string& path) override;
    void closeDevice(int fd) override;
    std::optional<DeviceCapabilities> capabilities(int fd) override;
    bool grab(int fd, bool exclusive) override;
    std::vector<std::uint16_t> heldKeys(int fd) override;
    int createVirtualDevice(const DeviceCapabilities& capabilities) override;
    void destroyVirtualDevice(int fd) override;

  private:
    std::string inputDirectory;
    std::string uinputPath;
};

}  // namespace larkspire::linux_desktop
