// Constants of the ChaCha generators, shared by the scalar block function
// and the lane kernels (which are compiled for other instruction sets and so
// include nothing but plain constants).
#pragma once

#include <array>
#include <cstdint>

namespace vorn {

// "expand 32-byte k" as little-endian words: words 0-3 of every block input.
inline constexpr std::array<std::uint32_t, 4> kChaChaSigma = {0x61707865, 0x3320646e, 0x79622d32, 0x6b206574};

// A 64-bit seed becomes a key in eight steps of a linear congruential state
// (state = state * multiplier + increment), each step yielding one key word:
// ((state >> 18) ^ state) >> 27, truncated to 32 bits and rotated right by
// state >> 59.
inline constexpr std::uint64_t kKeyStepMultiplier = 0x5851F42D4C957F2DULL;
inline constexpr std::uint64_t kKeyStepIncrement = 0xA17654E46FBE17F3ULL;

}  // namespace vorn
