#pragma once

namespace larkspire {

// The file-manager integration that sends "quirefold" requests.
class FinderExtension {
  public:
    virtual ~FinderExtension() = default;
    virtual bool isEnabled() const = 0;
    virtual void showManagementInterface() = 0;  // where the user can switch it on
};

}  // namespace larkspire
