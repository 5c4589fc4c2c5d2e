#pragma once

#include "platform/Accessibility.h"
#include "platform/FinderExtension.h"
#include "platform/LoginItem.h"

namespace larkspire::sim {

// Outcomes a test switches: trust, extension, login item.
class SimAccessibility : public Accessibility {
  public:
    bool isTrusted() const override { return trusted; }
    void prompt() override { ++prompts; }
    bool trusted = false;
    int prompts = 0;
};

class SimFinderExtension : public FinderExtension {
  public:
    bool isEnabled() const override { return enabled; }
    void showManagementInterface() override { ++managementShown; }
    bool enabled = false;
    int managementShown = 0;
};

class SimLoginItem : public LoginItem {
  public:
    bool registerItem() override {
        ++registrations;
        if (!succeeds) return false;
        state = LoginItemStatus::enabled;
        return true;
    }
    bool unregisterItem() override {
        if (!succeeds) return false;
        state = LoginItemStatus::notRegistered;
        return true;
    }
    LoginItemStatus status() const override { return state; }
    void openApprovalSettings() override { ++approvalSettingsOpened; }
    bool succeeds = true;
    int approvalSettingsOpened = 0;
    int registrations = 0;
    LoginItemStatus state = LoginItemStatus::notRegistered;
};

}  // namespace larkspire::sim
