#pragma once

#include "platform/Wording.h"

#include <map>
#include <string>
#include <string_view>

namespace larkspire::linux_desktop {

// Where gvfs keeps the passwords of shares.
enum class PasswordStore { gnomeKeyring, kwallet };

// The Linux desktop's German: the features name the Mac's things (Finder, ⌘, the login item, the
// keychain…); here each such text names the Linux thing instead. Every other text stays as written.
class LinuxWording final : public Wording {
  public:
    explicit LinuxWording(PasswordStore passwordStore = passwordStoreOf(currentDesktop()));

    std::string shown(const std::string& german) const override;
    NumberMarks numberMarks() const override { return {}; }

    // Each replaced text and its Linux wording.
    const std::map<std::string, std::string>& replacements() const { return table; }

    // "KWallet" on KDE Plasma, else the GNOME keyring that GNOME, Xfce, MATE and Cinnamon use.
    static PasswordStore passwordStoreOf(std::string_view desktopNames);
    static std::string currentDesktop();  // $XDG_CURRENT_DESKTOP, empty when unset

  private:
    std::map<std::string, std::string> table;
};

}  // namespace larkspire::linux_desktop
