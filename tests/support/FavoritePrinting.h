#pragma once

#include "network/NetworkFavorite.h"

#include <ostream>

namespace larkspire {

// Failed comparisons show the fields instead of raw bytes.
inline void PrintTo(const NetworkFavorite& favorite, std::ostream* out) {
    *out << "{" << favorite.shareURL << ", \"" << favorite.relativePath << "\", " << favorite.name << "}";
}

}  // namespace larkspire
