#pragma once

#include "platform/LoginItem.h"

#include <filesystem>
#include <optional>
#include <string>

namespace larkspire::linux_desktop {

// The login item as an XDG autostart entry, larkspire.desktop in the user's autostart folder.
class AutostartLoginItem : public LoginItem {
  public:
    static constexpr const char* entryName = "larkspire.desktop";

    // $XDG_CONFIG_HOME/autostart and the running executable.
    AutostartLoginItem();
    AutostartLoginItem(std::filesystem::path autostartFolder, std::filesystem::path executable);

    bool registerItem() override;             // false when the entry cannot be written
    bool unregisterItem() override;           // true when no entry is left
    LoginItemStatus status() const override;  // enabled, or not registered when absent or switched off
    // An autostart entry needs nobody's approval, so the status never asks for it.
    void openApprovalSettings() override {}

    std::filesystem::path entryFile() const { return folder / entryName; }

    // The Exec value that starts `executable` without arguments (see desktopExecArgument); nothing
    // for a path a desktop entry cannot hold (not UTF-8, control characters).
    static std::optional<std::string> execValue(const std::string& executable);

  private:
    std::filesystem::path folder;
    std::filesystem::path executable;
};

}  // namespace larkspire::linux_desktop
