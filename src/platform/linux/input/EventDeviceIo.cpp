#include "platform/linux/input/EventDeviceIo.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/input.h>
#include <linux/uinput.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace larkspire::linux_desktop {

namespace {

bool contains(const std::vector<std::uint16_t>& codes, std::uint16_t code) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

// The set bits of a kernel bit mask read with one of the EVIOCGBIT-like requests.
std::vector<std::uint16_t> bitsOf(int fd, unsigned long request, std::size_t maxCode) {
    std::vector<unsigned char> mask(maxCode / 8 + 1, 0);
    std::vector<std::uint16_t> codes;
    int got = ioctl(fd, request, mask.data());
    if (got < 0) return codes;
    for (std::size_t code = 0; code <= maxCode && code / 8 < static_cast<std::size_t>(got); ++code) {
        if (mask[code / 8] & (1u << (code % 8))) codes.push_back(static_cast<std::uint16_t>(code));
    }
    return codes;
}

}  // namespace

bool DeviceCapabilities::hasEventType(std::uint16_t type) const {
    return contains(eventTypes, type);
}
bool DeviceCapabilities::hasKey(std::uint16_t code) const {
    return contains(keys, code);
}
bool DeviceCapabilities::hasRelative(std::uint16_t code) const {
    return contains(relativeAxes, code);
}

KernelEventDeviceIo::KernelEventDeviceIo(std::string directory, std::string uinputPath)
    : inputDirectory(std::move(directory)), uinputPath(std::move(uinputPath)) {}

std::vector<std::string> KernelEventDeviceIo::eventDevices() const {
    std::vector<std::string> paths;
    DIR* dir = opendir(inputDirectory.c_str());
    if (!dir) return paths;
    while (dirent* entry = readdir(dir)) {
        if (std::strncmp(entry->d_name, "event", 5) == 0)
            paths.push_back(inputDirectory + "/" + entry->d_name);
    }
    closedir(dir);
    std::sort(paths.begin(), paths.end());
    return paths;
}

int KernelEventDeviceIo::openDevice(const std::string& path) {
    return open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
}

void KernelEventDeviceIo::closeDevice(int fd) {
    if (fd >= 0) close(fd);
}

std::optional<DeviceCapabilities> KernelEventDeviceIo::capabilities(int fd) {
    DeviceCapabilities caps;
    char name[256] = {};
    if (ioctl(fd, EVIOCGNAME(sizeof name - 1), name) < 0) return std::nullopt;
    caps.name = name;
    char phys[256] = {};
    if (ioctl(fd, EVIOCGPHYS(sizeof phys - 1), phys) >= 0) caps.phys = phys;
    input_id id{};
    if (ioctl(fd, EVIOCGID, &id) == 0) {
        caps.bustype = id.bustype;
        caps.vendor = id.vendor;
        caps.product = id.product;
        caps.version = id.version;
    }
    caps.eventTypes = bitsOf(fd, EVIOCGBIT(0, EV_MAX / 8 + 1), EV_MAX);
    caps.keys = bitsOf(fd, EVIOCGBIT(EV_KEY, KEY_MAX / 8 + 1), KEY_MAX);
    caps.relativeAxes = bitsOf(fd, EVIOCGBIT(EV_REL, REL_MAX / 8 + 1), REL_MAX);
    caps.absoluteAxes = bitsOf(fd, EVIOCGBIT(EV_ABS, ABS_MAX / 8 + 1), ABS_MAX);
    caps.miscEvents = bitsOf(fd, EVIOCGBIT(EV_MSC, MSC_MAX / 8 + 1), MSC_MAX);
    caps.properties = bitsOf(fd, EVIOCGPROP(INPUT_PROP_MAX / 8 + 1), INPUT_PROP_MAX);
    return caps;
}

bool KernelEventDeviceIo::grab(int fd, bool exclusive) {
    return ioctl(fd, EVIOCGRAB, exclusive ? 1 : 0) == 0;
}

std::vector<std::uint16_t> KernelEventDeviceIo::heldKeys(int fd) {
    return bitsOf(fd, EVIOCGKEY(KEY_MAX / 8 + 1), KEY_MAX);
}

int KernelEventDeviceIo::createVirtualDevice(const DeviceCapabilities& caps) {
    int fd = open(uinputPath.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    bool ok = true;
    auto set = [&](unsigned long request, const std::vector<std::uint16_t>& codes) {
        for (auto code : codes) ok = ok && ioctl(fd, request, static_cast<int>(code)) == 0;
    };
    set(UI_SET_EVBIT, caps.eventTypes);
    if (caps.hasEventType(EV_KEY)) set(UI_SET_KEYBIT, caps.keys);
    if (caps.hasEventType(EV_REL)) set(UI_SET_RELBIT, caps.relativeAxes);
    if (caps.hasEventType(EV_MSC)) set(UI_SET_MSCBIT, caps.miscEvents);
    set(UI_SET_PROPBIT, caps.properties);
    if (!caps.phys.empty()) ok = ok && ioctl(fd, UI_SET_PHYS, caps.phys.c_str()) == 0;

    uinput_setup setup{};
    setup.id.bustype = caps.bustype;
    setup.id.vendor = caps.vendor;
    setup.id.product = caps.product;
    setup.id.version = caps.version;
    std::strncpy(setup.name, caps.name.c_str(), UINPUT_MAX_NAME_SIZE - 1);
    ok = ok && ioctl(fd, UI_DEV_SETUP, &setup) == 0 && ioctl(fd, UI_DEV_CREATE) == 0;
    if (!ok) {
        close(fd);
        return -1;
    }
    return fd;
}

void KernelEventDeviceIo::destroyVirtualDevice(int fd) {
    if (fd < 0) return;
    ioctl(fd, UI_DEV_DESTROY);
    close(fd);
}

}  // namespace larkspire::linux_desktop
