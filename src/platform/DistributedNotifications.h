#pragma once

#include <string>

namespace larkspire {

// Notifications to other processes of the session; they carry no payload.
class DistributedNotifications {
  public:
    virtual ~DistributedNotifications() = default;
    virtual void
    post(const std::string& name) = 0;  // delivered at once; quietly dropped without a session bus
};

}  // namespace larkspire
