// The user an installation is pinned to, from the first bytes of "DefSet.txt".
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tunora {

// "DefSet.txt" beside the program; its first 64 bytes are read at start-up.
inline constexpr char kDefSetFileName[] = "DefSet.txt";
inline constexpr size_t kDefSetTextSize = 64;

inline constexpr int32_t kNoFixedUser = 999;

// "0" then a digit pins the installation: "01".."09" to users 0..8, "00" to user 9; "0" followed
// by anything else pins it to user 0. Any other first byte (an empty file included) pins nobody:
// kNoFixedUser.
int32_t fixedUserFromDefSet(const std::array<uint8_t, kDefSetTextSize>& defset_text);

}  // namespace tunora
