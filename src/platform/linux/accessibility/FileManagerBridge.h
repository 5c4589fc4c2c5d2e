#pragma once

#include "platform/MainQueue.h"
#include "platform/RunningApplications.h"
#include "platform/UIElements.h"
#include "platform/WindowServer.h"
#include "platform/WorkspaceApplications.h"
#include "platform/linux/accessibility/AccessibilityBusWatcher.h"
#include "platform/linux/accessibility/DesktopWindows.h"
#include "platform/linux/accessibility/FileManagerScene.h"
#include "platform/types/Signal.h"

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace larkspire::linux_desktop {

// The real file managers as the badge reads them: their windows from the accessibility bus, matched
// to the window list, presented in the shape the badge walks (application → windows → scroll area →
// outline → items). All of them answer under one bundle identifier. Main thread only.
class FileManagerBridge : public UIElements,
                          public WindowServer,
                          public RunningApplications,
                          public WorkspaceApplications,
                          public std::enable_shared_from_this<FileManagerBridge> {
  public:
    static std::shared_ptr<FileManagerBridge> create(MainQueue& main, DesktopWindows& desktop,
                                                     std::string bundleIdentifier);

    // Takes the file managers' latest windows; they replace the earlier ones.
    void setWindows(std::vector<FileManagerWindow> windows);
    // For the watcher: callable on any thread, it hands the windows to the main thread.
    AccessibilityBusWatcher::ChangeHandler changeHandler();
    // Asks `wanted` whenever the badge re-decides whether it runs, and tells `apply` each change.
    void followWanted(std::function<bool()> wanted, std::function<void(bool)> apply);

    // UIElements
    UIElementRef application(std::int32_t processIdentifier) override;
    void setMessagingTimeout(const UIElementRef&, double) override {}  // nothing here waits for the bus
    AXResult copyAttributeValue(const UIElementRef& element, const std::string& attribute) override;
    AXError performAction(const UIElementRef&, const std::string&) override {
        return AXError::actionUnsupported;
    }
    bool needsPermission() const override { return false; }

    // WindowServer
    std::vector<WindowInfo> copyWindowInfo(std::uint32_t options) const override;
    std::optional<std::uint32_t> windowNumber(const UIElementRef& window) const override;
    bool isSameElement(const UIElementRef& first, const UIElementRef& second) const override;
    double primaryScreenHeight() const override { return desktop.primaryScreenHeight(); }

    // RunningApplications
    std::optional<RunningApplication> frontmostApplication() const override;

    // WorkspaceApplications
    std::vector<ApplicationState>
    runningApplicationsWithBundleIdentifier(const std::string& bundleIdentifier) const override;
    std::shared_ptr<void> observeActivations(std::function<void()> handler) override;

  private:
    FileManagerBridge(MainQueue& main, DesktopWindows& desktop, std::string bundleIdentifier);
    void start();
    // The window list is read at most once per turn of the main loop, so one pass of the badge sees one
    // state, and not at all while it reports no change.
    std::shared_ptr<const FileManagerScene> scene() const;
    std::set<std::int32_t> fileManagerProcesses() const;
    std::optional<std::int32_t> activeProcess(const FileManagerScene& scene) const;

    MainQueue& main;
    DesktopWindows& desktop;
    std::string bundleIdentifier;
    std::vector<FileManagerWindow> latest;
    mutable std::shared_ptr<const FileManagerScene> current;
    // The scene of an earlier turn, kept while the window list reports no change since.
    mutable std::shared_ptr<const FileManagerScene> previous;
    mutable std::uint64_t previousChanges = 0;
    Signal activations;
    std::shared_ptr<void> desktopActivations;
    std::function<bool()> wanted;
    std::function<void(bool)> applyWanted;
    mutable std::optional<bool> lastWanted;
};

}  // namespace larkspire::linux_desktop
