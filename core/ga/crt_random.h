#pragma once
// The C-runtime style linear congruential generator every run draws from.

#include <cstdint>

namespace kelvora {

/// Largest value Rand returns; every use divides by it, takes a remainder or the low byte.
inline constexpr int kRandMax = 32767;

/// The double nearest to 1 / 32767; kRandMax * kRandScale is exactly 1.0.
inline constexpr double kRandScale = 1.0 / 32767.0;
static_assert(kRandMax * kRandScale == 1.0);

/// State of the 32-bit C-runtime generator: state = state * 214013 + 2531011 (mod 2^32),
/// output (state >> 16) & 0x7FFF. A fresh generator behaves as after Srand(1).
/// The platform's own rand() is never used: glibc's range is 0..2^31-1, not 0..32767.
struct CrtRandom {
    std::uint32_t state = 1;
};

/// Restarts the sequence from seed, any 32-bit value.
inline void Srand(CrtRandom& rng, std::uint32_t seed) { rng.state = seed; }

/// Next value, uniform in 0..kRandMax.
inline int Rand(CrtRandom& rng) {
    rng.state = rng.state * 214013u + 2531011u;
    return static_cast<int>((rng.state >> 16) & 0x7FFFu);
}

}  // namespace kelvora
