#include "app/Application.h"

namespace larkspire {

void Application::handleFavorite(const Url& url) {
    std::vector<Url> folders;
    // Paths are bytes, as a Linux folder name may be; one with a NUL byte names no folder at all.
    for (const auto& path : url.byteValues("path")) {
        if (path.empty() || path.find('\0') != std::string::npos) continue;
        // A relative path keeps its name for the message but is never looked up from the working folder.
        auto folder =
            path.starts_with('/') ? Url::fileUrl(path) : Url::parse("file:" + percentEncodedPath(path));
        if (folder) folders.push_back(*folder);
    }
    networkFavorites().addFolders(folders);
}

}  // namespace larkspire
