#pragma once

#include "platform/FinderExtension.h"

#include <filesystem>
#include <functional>
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

    // What an installation the user asked for came to, for the shell to tell them.
    struct InstallReport {
        bool succeeded = false;
        std::string output;  // what the installer printed: the files it wrote, or why it could not
    };

    explicit FileManagerIntegrations(Places places = userPlaces()) : places(std::move(places)) {}

    bool isEnabled() const override;
    // Runs the installer, which writes or repairs the entries, then hands its report to the handler.
    void showManagementInterface() override;
    void setReportHandler(std::function<void(const InstallReport&)> handler) {
        reportHandler = std::move(handler);
    }

  private:
    InstallReport runInstaller();

    Places places;
    std::function<void(const InstallReport&)> reportHandler;
};

}  // namespace larkspire::linux_desktop
