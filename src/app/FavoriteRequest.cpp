#include "app/Application.h"

namespace larkspire {

void Application::handleFavorite(const Url& url) {
    std::vector<Url> folders;
    for (const auto& item : url.queryItems()) {
        if (item.name != "path" || !item.value) continue;
        // A relative path keeps its name for the message but is never looked up from the working folder.
        auto folder = item.value->starts_with('/') ? Url::fileUrl(*item.value)
                                                   : Url::parse("file:" + percentEncodedPath(*item.value));
        if (folder) folders.push_back(*folder);
    }
    networkFavorites().addFolders(folders);
}

}  // namespace larkspire
