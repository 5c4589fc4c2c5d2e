#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace larkspire {

struct ApplicationState {
    std::int32_t processIdentifier = 0;
    bool isHidden = false;
    bool isActive = false;
};

// The workspace's view of running applications by bundle identifier, and their activation.
class WorkspaceApplications {
  public:
    virtual ~WorkspaceApplications() = default;
    virtual std::vector<ApplicationState>
    runningApplicationsWithBundleIdentifier(const std::string& bundleIdentifier) const = 0;
    // Calls `handler` on the main thread whenever any application is activated or deactivated,
    // until the returned token is dropped.
    virtual std::shared_ptr<void> observeActivations(std::function<void()> handler) = 0;
};

}  // namespace larkspire
