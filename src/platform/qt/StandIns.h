#pragma once

#include "platform/DistributedNotifications.h"
#include "platform/FinderExtension.h"
#include "platform/Workspace.h"

namespace larkspire::qt {

// Opens URLs with the desktop's default handlers.
class QtWorkspace : public Workspace {
  public:
    bool open(const Url& url) override;
};

// Stand-ins for ports whose Linux adapters do not exist yet.

// No file-manager extension exists on Linux yet; `enabled` lets a test leave the start-up window out.
class AbsentFinderExtension : public FinderExtension {
  public:
    bool isEnabled() const override { return enabled; }
    void showManagementInterface() override {}
    bool enabled = false;
};

// Nobody on the session listens yet; notifications are dropped as without a session bus.
class DroppedDistributedNotifications : public DistributedNotifications {
  public:
    void post(const std::string&) override {}
};

}  // namespace larkspire::qt
