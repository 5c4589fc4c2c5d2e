#pragma once

#include "platform/KeyboardTap.h"

#include <cstdint>

namespace larkspire::sim {

// Keys by their position codes, as the keyboard hook reports them.
enum class Key : std::int64_t { A = 0, Z = 6, X = 7, C = 8, V = 9, Q = 12, Return = 36 };

inline constexpr std::uint64_t NoModifiers = 0;
inline constexpr std::uint64_t CapsLock = KeyFlags::capsLock;
inline constexpr std::uint64_t Shift = KeyFlags::shift;
inline constexpr std::uint64_t Control = KeyFlags::control;
inline constexpr std::uint64_t Option = KeyFlags::option;
inline constexpr std::uint64_t Command = KeyFlags::command;
inline constexpr std::uint64_t Function = KeyFlags::function;

}  // namespace larkspire::sim
