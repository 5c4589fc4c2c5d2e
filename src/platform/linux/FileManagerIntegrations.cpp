#include "platform/linux/FileManagerIntegrations.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace larkspire::linux_desktop {

namespace {

std::filesystem::path fromEnvironment(const char* name, const std::filesystem::path& fallback) {
    const char* value = std::getenv(name);
    if (value && value[0] == '/') return value;
    return fallback;
}

bool isFile(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

}  // namespace

FileManagerIntegrations::Places FileManagerIntegrations::userPlaces(std::vector<std::string> installCommand) {
    std::filesystem::path home = fromEnvironment("HOME", "/");
    auto data = fromEnvironment("XDG_DATA_HOME", home / ".local/share");
    auto config = fromEnvironment("XDG_CONFIG_HOME", home / ".config");
    Places places{
        .nautilusScript = data / "nautilus/scripts/Neue Datei",
        .dolphinServiceMenus = {data / "kio/servicemenus/larkspire-neue-datei.desktop",
                                data / "kservices5/ServiceMenus/larkspire-neue-datei.desktop"},
        .thunarActions = config / "Thunar/uca.xml",
        .newFileHelper = data / "larkspire/larkspire-new-file",
    };
    // Thunar reads the first uca.xml along $XDG_CONFIG_DIRS when the user has none.
    std::string dirs = std::getenv("XDG_CONFIG_DIRS") ? std::getenv("XDG_CONFIG_DIRS") : "";
    if (dirs.empty()) dirs = "/etc/xdg";
    for (std::size_t start = 0; start <= dirs.size();) {
        auto end = std::min(dirs.find(':', start), dirs.size());
        std::filesystem::path dir = dirs.substr(start, end - start);
        if (dir.is_absolute()) places.systemThunarActions.push_back(dir / "Thunar/uca.xml");
        start = end + 1;
    }
    places.installCommand = std::move(installCommand);
    return places;
}

bool FileManagerIntegrations::isEnabled() const {
    if (isFile(places.nautilusScript)) return true;
    for (const auto& menu : places.dolphinServiceMenus)
        if (isFile(menu)) return true;
    std::ifstream actions(places.thunarActions);
    std::string content((std::istreambuf_iterator<char>(actions)), std::istreambuf_iterator<char>());
    return content.find(std::string("<unique-id>") + thunarActionId) != std::string::npos;
}

void FileManagerIntegrations::showManagementInterface() {
    if (places.installCommand.empty()) return;
    std::vector<char*> arguments;
    for (auto& argument : places.installCommand) arguments.push_back(argument.data());
    arguments.push_back(nullptr);
    // The installer only copies a few small files; waiting lets the caller see the new state at once.
    pid_t child = 0;
    if (::posix_spawn(&child, arguments[0], nullptr, nullptr, arguments.data(), environ) == 0)
        ::waitpid(child, nullptr, 0);
}

}  // namespace larkspire::linux_desktop
