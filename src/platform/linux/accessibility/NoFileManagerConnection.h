#pragma once

#include "platform/FilePackages.h"
#include "platform/KeyboardTap.h"
#include "platform/RunningApplications.h"
#include "platform/UIElements.h"
#include "platform/WindowServer.h"
#include "platform/WorkspaceApplications.h"

namespace larkspire::linux_desktop {

// Linux file managers cut and paste files themselves, so their cuts are observed on the clipboard and
// never intercepted. These adapters say what is not connected: the hook installs but never sees a
// key press, no application is reported in front (so never the file manager), and accessibility
// queries answer that the interface is unavailable.
class IdleKeyboardHook : public EventTaps {
  public:
    std::unique_ptr<KeyboardTap> createKeyDownTap(KeyTapCallback callback) override;
};

class NoFrontmostApplication : public RunningApplications {
  public:
    std::optional<RunningApplication> frontmostApplication() const override { return std::nullopt; }
};

class UnavailableUIElements : public UIElements {
  public:
    UIElementRef application(std::int32_t processIdentifier) override;
    void setMessagingTimeout(const UIElementRef&, double) override {}
    AXResult copyAttributeValue(const UIElementRef&, const std::string&) override {
        return AXResult{.error = AXError::apiDisabled};
    }
    AXError performAction(const UIElementRef&, const std::string&) override { return AXError::apiDisabled; }
    // The input permission is about devices; nothing here reads other applications through it.
    bool needsPermission() const override { return false; }
};

// Linux file managers show every directory as a folder: there are no packages.
class NoFilePackages : public FilePackages {
  public:
    bool isFilePackage(const std::string&) const override { return false; }
};

// No file manager's windows are connected yet: none is listed, so the badge finds nothing to decorate.
class NoFileManagerWindows : public WindowServer {
  public:
    std::vector<WindowInfo> copyWindowInfo(std::uint32_t) const override { return {}; }
    std::optional<std::uint32_t> windowNumber(const UIElementRef&) const override { return std::nullopt; }
    bool isSameElement(const UIElementRef&, const UIElementRef&) const override { return false; }
    double primaryScreenHeight() const override { return 0; }
};

// No file manager runs as far as the badge can tell, and no activation is reported.
class NoFileManagerApplications : public WorkspaceApplications {
  public:
    std::vector<ApplicationState> runningApplicationsWithBundleIdentifier(const std::string&) const override {
        return {};
    }
    std::shared_ptr<void> observeActivations(std::function<void()>) override { return nullptr; }
};

}  // namespace larkspire::linux_desktop
