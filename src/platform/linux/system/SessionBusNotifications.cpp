#include "platform/linux/system/SessionBusNotifications.h"

#ifdef LARKSPIRE_HAVE_SYSTEMD
#include <systemd/sd-bus.h>
#endif

namespace larkspire::linux_desktop {

SessionBusNotifications::SessionBusNotifications(std::optional<std::string> address)
    : address(std::move(address)) {}

SessionBusNotifications::~SessionBusNotifications() {
#ifdef LARKSPIRE_HAVE_SYSTEMD
    if (bus) sd_bus_flush_close_unref(bus);
#endif
}

std::optional<SessionBusNotifications::SignalName>
SessionBusNotifications::signalName(const std::string& name) {
    auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == name.size()) return std::nullopt;
    SignalName signal{.interface = name.substr(0, dot), .member = name.substr(dot + 1)};
    signal.path = "/" + signal.interface;
    for (auto& c : signal.path)
        if (c == '.') c = '/';
    return signal;
}

bool SessionBusNotifications::connect() {
#ifdef LARKSPIRE_HAVE_SYSTEMD
    if (bus) return true;
    sd_bus* opened = nullptr;
    int result;
    if (address) {
        result = sd_bus_new(&opened);
        if (result >= 0) result = sd_bus_set_address(opened, address->c_str());
        if (result >= 0) result = sd_bus_set_bus_client(opened, 1);
        if (result >= 0) result = sd_bus_start(opened);
    } else {
        result = sd_bus_open_user(&opened);
    }
    if (result < 0) {
        // No bus now; the next post tries again, so a bus that starts later is still used.
        if (opened) sd_bus_unref(opened);
        return false;
    }
    bus = opened;
    return true;
#else
    return false;
#endif
}

void SessionBusNotifications::post(const std::string& name) {
#ifdef LARKSPIRE_HAVE_SYSTEMD
    auto signal = signalName(name);
    if (!signal || !connect()) return;
    int result = sd_bus_emit_signal(bus, signal->path.c_str(), signal->interface.c_str(),
                                    signal->member.c_str(), nullptr);
    if (result >= 0) result = sd_bus_flush(bus);
    if (result < 0) {
        // The connection broke (the bus went away); reconnect at the next post.
        sd_bus_flush_close_unref(bus);
        bus = nullptr;
    }
#else
    (void)name;
#endif
}

}  // namespace larkspire::linux_desktop
