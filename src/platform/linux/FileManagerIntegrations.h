#pragma once

#include "platform/FinderExtension.h"

#include <filesystem>
#include <string>
#include <vector>

namespace larkspire::linux_desktop {

// The "Neue Datei" entries for Nautilus, Dolphin and Thunar (installed by the program itself) take
// the place of the file-manager extension: it counts as enabled when any of them is installed.
class FileManagerIntegrations : public FinderExtension {
  public:
    struct Places {
        std::filesystem::path nautilusScript;                    // the script file
        std::vector<std::filesystem::path> dolphinServiceMenus;  // where each Dolphin version looks
        std::filesystem::path thunarActions;                     // uca.xml, holding our action among others
        std::vector<std::filesystem::path> systemThunarActions;  // the shared uca.xml a user file starts from
        std::filesystem::path newFileHelper;                     // the script all three entries call
        std::vector<std::string> installCommand;                 // run to install them for the user
    };
    static constexpr const char* thunarActionId = "larkspire-neue-datei";

    // The places under the user's data and configuration folders (XDG variables, else the home folder).
    static Places userPlaces(std::vector<std::string> installCommand = {});

    explicit FileManagerIntegrations(Places places = userPlaces()) : places(std::move(places)) {}

    bool isEnabled() const override;
    void showManagementInterface() override;  // installs the entries; nothing when no installer is known

  private:
    Places places;
};

}  // namespace larkspire::linux_desktop
