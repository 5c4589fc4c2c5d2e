#include "platform/linux/files/FileManagerIntegrations.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

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
    // Nautilus lists only the scripts it may run.
    if (isFile(places.nautilusScript) && ::access(places.nautilusScript.c_str(), X_OK) == 0) return true;
    for (const auto& menu : places.dolphinServiceMenus)
        if (isFile(menu)) return true;
    std::ifstream actions(places.thunarActions);
    std::string content((std::istreambuf_iterator<char>(actions)), std::istreambuf_iterator<char>());
    return content.find(std::string("<unique-id>") + thunarActionId) != std::string::npos;
}

void FileManagerIntegrations::showManagementInterface() {
    auto report = runInstaller();
    if (reportHandler) reportHandler(report);
}

FileManagerIntegrations::InstallReport FileManagerIntegrations::runInstaller() {
    if (places.installCommand.empty()) return {.output = "Es ist kein Einrichtungsprogramm bekannt."};
    std::vector<char*> arguments;
    for (auto& argument : places.installCommand) arguments.push_back(argument.data());
    arguments.push_back(nullptr);
    int output[2];
    if (::pipe2(output, O_CLOEXEC) != 0)
        return {.output = std::string("Die Einrichtung ließ sich nicht starten: ") + std::strerror(errno)};
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    ::posix_spawn_file_actions_adddup2(&actions, output[1], STDERR_FILENO);
    pid_t child = 0;
    int spawned = ::posix_spawn(&child, arguments[0], &actions, nullptr, arguments.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(output[1]);
    InstallReport report;
    if (spawned != 0) {
        ::close(output[0]);
        report.output = "Die Einrichtung ließ sich nicht starten (" + places.installCommand[0] +
                        "): " + std::strerror(spawned);
        return report;
    }
    // The installer only copies a few small files; waiting lets the caller see the new state at once.
    char buffer[4096];
    for (;;) {
        auto n = ::read(output[0], buffer, sizeof buffer);
        if (n > 0) {
            report.output.append(buffer, static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break;
        }
    }
    ::close(output[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    report.succeeded = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    while (!report.output.empty() && report.output.back() == '\n') report.output.pop_back();
    if (!report.succeeded && report.output.empty()) report.output = "Die Einrichtung ist fehlgeschlagen.";
    return report;
}

}  // namespace larkspire::linux_desktop
