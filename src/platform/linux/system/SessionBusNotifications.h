#pragma once

#include "platform/DistributedNotifications.h"

#include <optional>
#include <string>

struct sd_bus;

namespace larkspire::linux_desktop {

// Notifications to other processes as D-Bus signals without arguments on the session bus.
// A name "a.b.C.member" becomes the signal `member` of the interface "a.b.C", sent from the
// object path "/a/b/C": "de.halvik.Quirefold.cutChanged" is the signal cutChanged of the interface
// de.halvik.Quirefold on /de/halvik/Quirefold. Without a session bus nothing is sent and nothing said.
class SessionBusNotifications : public DistributedNotifications {
  public:
    // `address`: a bus address to use instead of the user's session bus (for tests).
    explicit SessionBusNotifications(std::optional<std::string> address = std::nullopt);
    ~SessionBusNotifications() override;
    SessionBusNotifications(const SessionBusNotifications&) = delete;
    SessionBusNotifications& operator=(const SessionBusNotifications&) = delete;

    void post(const std::string& name) override;

    struct SignalName {
        std::string path;
        std::string interface;
        std::string member;
    };
    static std::optional<SignalName> signalName(const std::string& name);  // nothing when it has no dot

  private:
    bool connect();

    std::optional<std::string> address;
    sd_bus* bus = nullptr;
};

}  // namespace larkspire::linux_desktop
