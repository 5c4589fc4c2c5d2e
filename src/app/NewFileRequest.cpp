#include "app/Application.h"
#include "app/Settings.h"
#include "newfile/FileCreator.h"

#include <cstring>
#include <filesystem>

namespace larkspire {

namespace {

// Only absolute paths name a place; anything else would land in the program's working directory.
// A path is bytes, as a Linux folder name may be; one that no file system can hold is refused.
std::optional<std::string> absolutePath(const Url& url, std::string_view name,
                                        std::optional<std::string>& refused, const Wording& words) {
    auto value = url.firstByteValue(name);
    if (!value || value->empty() || value->front() != '/') return std::nullopt;
    if (auto nul = value->find('\0'); nul != std::string::npos) {
        refused = value->substr(0, nul) + "\n\n" + words.shown("Der Pfad enthält ein NUL-Byte.");
        return std::nullopt;
    }
    return value;
}

std::string parentPath(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    auto slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace

void Application::handleCreate(const Url& url) {
    std::optional<std::string> refused;
    std::optional<std::string> target = absolutePath(url, "dir", refused, ports.wording);
    if (auto selected = absolutePath(url, "sel", refused, ports.wording)) {
        std::error_code error;
        bool isFolder = std::filesystem::is_directory(*selected, error);
        // A selected folder always wins; a selected file or package never overrides "dir".
        if (isFolder && !ports.filePackages.isFilePackage(*selected))
            target = *selected;
        else if (!target)
            target = parentPath(*selected);
    }
    if (!target) {
        if (refused)
            ports.alerts.showWarning(ports.wording.shown("Datei konnte nicht erstellt werden"), *refused);
        return;
    }

    auto created = FileCreator::create(*target, Settings::fileName(ports.defaults));
    if (!created.succeeded()) {
        ports.alerts.showWarning(ports.wording.shown("Datei konnte nicht erstellt werden"),
                                 *target + "\n\n" + std::strerror(created.error));
        return;
    }
    if (ports.defaults.boolForKey(Settings::openAfterCreateKey))
        ports.workspace.open(Url::fileUrl(created.path));
}

}  // namespace larkspire
