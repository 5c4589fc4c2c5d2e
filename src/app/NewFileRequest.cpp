#include "app/Application.h"
#include "app/Settings.h"
#include "newfile/FileCreator.h"

#include <cstring>
#include <filesystem>

namespace larkspire {

namespace {

// Only absolute paths name a place; anything else would land in the program's working directory.
std::optional<std::string> absolutePath(const Url& url, std::string_view name) {
    auto value = url.firstValue(name);
    if (!value || value->empty() || value->front() != '/') return std::nullopt;
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
    std::optional<std::string> target = absolutePath(url, "dir");
    if (auto selected = absolutePath(url, "sel")) {
        std::error_code error;
        bool isFolder = std::filesystem::is_directory(*selected, error);
        // A selected folder always wins; a selected file or package never overrides "dir".
        if (isFolder && !ports.filePackages.isFilePackage(*selected))
            target = *selected;
        else if (!target)
            target = parentPath(*selected);
    }
    if (!target) return;

    auto created = FileCreator::create(*target, Settings::fileName(ports.defaults));
    if (!created.succeeded()) {
        ports.alerts.showWarning("Datei konnte nicht erstellt werden",
                                 *target + "\n\n" + std::strerror(created.error));
        return;
    }
    if (ports.defaults.boolForKey(Settings::openAfterCreateKey))
        ports.workspace.open(Url::fileUrl(created.path));
}

}  // namespace larkspire
