#pragma once

namespace larkspire::Settings {

inline constexpr const char* networkFavoritesKey = "networkFavorites";
inline constexpr const char* autoMountKey = "autoMountShares";

}  // namespace larkspire::Settings
