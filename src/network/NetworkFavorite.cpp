#include "network/NetworkFavorite.h"

#include <nlohmann/json.hpp>

namespace larkspire {

namespace {

// Characters, not bytes: continuation bytes of UTF-8 do not start a character.
std::size_t byteOffsetAfterCharacters(std::string_view text, std::size_t characters) {
    std::size_t offset = 0;
    while (offset < text.size() && characters > 0) {
        ++offset;
        while (offset < text.size() && (static_cast<unsigned char>(text[offset]) & 0xC0) == 0x80) ++offset;
        --characters;
    }
    return offset;
}

std::size_t characterCount(std::string_view text) {
    std::size_t count = 0;
    for (char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
    return count;
}

}  // namespace

std::string lowercased(std::string text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c >= 'A' && c <= 'Z') {
            text[i] = static_cast<char>(c + 32);
        } else if (c == 0xC3 && i + 1 < text.size()) {
            auto next = static_cast<unsigned char>(text[i + 1]);
            if (next >= 0x80 && next <= 0x9E && next != 0x97) text[i + 1] = static_cast<char>(next + 0x20);
            ++i;
        }
    }
    return text;
}

bool NetworkFavorite::matches(std::string_view text) const {
    return lowercased(name).find(text) != std::string::npos ||
           lowercased(id()).find(text) != std::string::npos;
}

std::string standardizedPath(std::string_view path) {
    bool absolute = path.starts_with('/');
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        auto slash = path.find('/');
        auto part = path.substr(0, slash);
        path = slash == std::string_view::npos ? std::string_view{} : path.substr(slash + 1);
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty() && parts.back() != "..")
                parts.pop_back();
            else if (!absolute)
                parts.push_back(part);
            continue;
        }
        parts.push_back(part);
    }
    std::string out = absolute ? "/" : "";
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) out += '/';
        out += parts[i];
    }
    return out.empty() ? "." : out;
}

std::string lastPathComponent(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    if (path == "/") return "/";
    auto slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::optional<NetworkFavorite> NetworkFavorite::fromFolder(const std::string& folderPath,
                                                           const FolderVolumeProperties& properties) {
    if (properties.isLocal.value_or(false)) return std::nullopt;
    if (!properties.remountUrl || !properties.volumePath) return std::nullopt;
    auto folder = standardizedPath(folderPath);
    auto volume = standardizedPath(*properties.volumePath);
    auto relative = folder.substr(byteOffsetAfterCharacters(folder, characterCount(volume)));
    auto firstKept = relative.find_first_not_of('/');
    relative = firstKept == std::string::npos ? std::string{} : relative.substr(firstKept);
    return NetworkFavorite{
        .shareURL = *properties.remountUrl, .relativePath = relative, .name = lastPathComponent(folderPath)};
}

std::optional<Data> encodeFavorites(const std::vector<NetworkFavorite>& favorites) {
    auto array = nlohmann::json::array();
    for (const auto& favorite : favorites)
        array.push_back({{"shareURL", favorite.shareURL},
                         {"relativePath", favorite.relativePath},
                         {"name", favorite.name}});
    try {
        auto text = array.dump();  // throws on text that is not UTF-8
        return Data{{text.begin(), text.end()}};
    } catch (const nlohmann::json::exception&) {
        return std::nullopt;
    }
}

std::optional<std::vector<NetworkFavorite>> decodeFavorites(const Data& data) {
    auto json = nlohmann::json::parse(data.bytes.begin(), data.bytes.end(), nullptr, false);
    if (json.is_discarded() || !json.is_array()) return std::nullopt;
    std::vector<NetworkFavorite> favorites;
    for (const auto& object : json) {
        if (!object.is_object()) return std::nullopt;
        NetworkFavorite favorite;
        for (auto [member, field] :
             {std::pair{"shareURL", &favorite.shareURL}, std::pair{"relativePath", &favorite.relativePath},
              std::pair{"name", &favorite.name}}) {
            auto found = object.find(member);
            if (found == object.end() || !found->is_string()) return std::nullopt;
            *field = found->get<std::string>();
        }
        favorites.push_back(std::move(favorite));
    }
    return favorites;
}

}  // namespace larkspire
