#pragma once

#include <functional>
#include <memory>

namespace larkspire {

// The session's announcements about sleep and volumes. Handlers run on the main queue for as long
// as the returned observation is held.
class WorkspaceNotifications {
  public:
    virtual ~WorkspaceNotifications() = default;
    virtual std::shared_ptr<void> observeDidWake(std::function<void()> handler) = 0;
    virtual std::shared_ptr<void> observeDidMount(std::function<void()> handler) = 0;
    virtual std::shared_ptr<void> observeDidUnmount(std::function<void()> handler) = 0;
};

}  // namespace larkspire
