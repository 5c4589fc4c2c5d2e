#pragma once

#include "platform/Volumes.h"
#include "platform/types/Value.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace larkspire {

// A folder on a network share that stays in the sidebar and whose share is reconnected.
struct NetworkFavorite {
    std::string shareURL;      // the share's URL for remounting, verbatim
    std::string relativePath;  // inside the share, no leading "/"; empty for the share's root
    std::string name;          // the folder's last path component when it was added

    std::string id() const { return shareURL + "/" + relativePath; }
    bool operator==(const NetworkFavorite&) const = default;
    // Whether the name or the location contains `text`, whatever the case; `text` is already lowercased().
    bool matches(std::string_view text) const;

    // The favourite for a folder on a mounted network share; nothing for any other folder.
    static std::optional<NetworkFavorite> fromFolder(const std::string& folderPath,
                                                     const FolderVolumeProperties& properties);
};

// The stored form: compact JSON bytes of an array of objects with the three string members.
std::optional<Data>
encodeFavorites(const std::vector<NetworkFavorite>& favorites);                 // nothing for non-UTF-8 text
std::optional<std::vector<NetworkFavorite>> decodeFavorites(const Data& data);  // all or nothing

// Lower case for ASCII and the Latin-1 letters (À–Þ), which covers the share names seen in practice.
std::string lowercased(std::string text);

// The path with "." and ".." resolved and no trailing "/", as a standardised file URL gives it.
std::string standardizedPath(std::string_view path);
std::string lastPathComponent(std::string_view path);

}  // namespace larkspire

template <> struct std::hash<larkspire::NetworkFavorite> {
    std::size_t operator()(const larkspire::NetworkFavorite& favorite) const noexcept {
        std::size_t seed = 0;
        for (const auto* field : {&favorite.shareURL, &favorite.relativePath, &favorite.name})
            seed ^= std::hash<std::string>{}(*field) + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
        return seed;
    }
};
