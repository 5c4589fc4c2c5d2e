#pragma once

namespace larkspire {

// The values of the platform's login-item status.
enum class LoginItemStatus { notRegistered = 0, enabled = 1, requiresApproval = 2, notFound = 3 };

// Starting the application when the user logs in.
class LoginItem {
  public:
    virtual ~LoginItem() = default;
    virtual bool registerItem() = 0;    // false on failure
    virtual bool unregisterItem() = 0;  // false on failure
    virtual LoginItemStatus status() const = 0;
    virtual void openApprovalSettings() = 0;  // where the user approves a login item that requires it
};

}  // namespace larkspire
