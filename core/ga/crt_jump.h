#pragma once
// The run's generator k steps ahead in one step: state_k = A_k * state + C_k (mod 2^32). The draws
// a baseline makes in a row are worked out each from the same state, side by side, instead of each
// waiting for the one before; they are the same draws, in the same order.

#include <array>
#include <cstdint>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "ga/crt_random.h"

namespace kelvora {

/// The affine map of k steps of CrtRandom's state: state_k = multiplier * state + increment
/// (mod 2^32).
struct CrtJump {
    std::uint32_t multiplier = 1;
    std::uint32_t increment = 0;
};

/// The jump of k >= 0 steps (k of 0 leaves the state as it is).
constexpr CrtJump CrtJumpOf(int k) {
    CrtJump j;
    for (int i = 0; i < k; ++i) j = {j.multiplier * 214013u, j.increment * 214013u + 2531011u};
    return j;
}

/// The jumps of 1..K steps, entry k - 1 the jump of k steps.
template <int K>
constexpr std::array<CrtJump, K> CrtJumps() {
    std::array<CrtJump, K> out{};
    for (int k = 1; k <= K; ++k) out[static_cast<std::size_t>(k - 1)] = CrtJumpOf(k);
    return out;
}

/// Rand's output of a state: bits 16..30, 0..kRandMax.
constexpr int CrtOutput(std::uint32_t state) { return static_cast<int>((state >> 16) & 0x7FFFu); }

/// Which of the 24 draws after state are multiples of 24: bit k (0..23) set when draw k + 1 is,
/// each with probability 1/24, the (1+1) evolutionary algorithm's bit flips. The generator is not
/// advanced.
inline std::uint32_t MultiplesOf24(std::uint32_t state) {
#if defined(__SSE2__)
    // Eight draws a vector, in 16-bit lanes. With state = sh:sl, a jump's multiplier ah:al and
    // increment ch:cl (16-bit halves), the high half of the jumped state is
    // hi(al sl) + lo(ah sl) + lo(al sh) + ch + the carry of lo(al sl) + cl, all mod 2^16. A draw r
    // (0..32767) is a multiple of 24 exactly when r * 3^-1 (mod 2^16), turned right by 3 bits, is at
    // most 65535 / 24.
    struct Lanes {
        alignas(16) std::array<std::uint16_t, 24> al, ah, cl, ch, carryAbove;
    };
    static constexpr Lanes kLanes = [] {
        Lanes l{};
        const auto jumps = CrtJumps<24>();
        for (std::size_t k = 0; k < 24; ++k) {
            l.al[k] = static_cast<std::uint16_t>(jumps[k].multiplier);
            l.ah[k] = static_cast<std::uint16_t>(jumps[k].multiplier >> 16);
            l.cl[k] = static_cast<std::uint16_t>(jumps[k].increment);
            l.ch[k] = static_cast<std::uint16_t>(jumps[k].increment >> 16);
            // lo + cl carries when lo > 0xFFFF - cl; compared signed, both sides offset by 0x8000.
            l.carryAbove[k] = static_cast<std::uint16_t>((0xFFFFu - l.cl[k]) ^ 0x8000u);
        }
        return l;
    }();
    const auto load = [](const std::array<std::uint16_t, 24>& a, int v) {
        return _mm_load_si128(reinterpret_cast<const __m128i*>(a.data() + 8 * v));
    };
    const __m128i sl = _mm_set1_epi16(static_cast<short>(state & 0xFFFFu));
    const __m128i sh = _mm_set1_epi16(static_cast<short>(state >> 16));
    const __m128i sign = _mm_set1_epi16(static_cast<short>(0x8000));
    __m128i multiple[3];
    for (int v = 0; v < 3; ++v) {
        const __m128i al = load(kLanes.al, v);
        const __m128i low = _mm_mullo_epi16(al, sl);
        const __m128i carry = _mm_cmpgt_epi16(_mm_xor_si128(low, sign), load(kLanes.carryAbove, v));  // -1 or 0
        __m128i high = _mm_add_epi16(_mm_mulhi_epu16(al, sl), _mm_mullo_epi16(load(kLanes.ah, v), sl));
        high = _mm_add_epi16(high, _mm_add_epi16(_mm_mullo_epi16(al, sh), load(kLanes.ch, v)));
        high = _mm_sub_epi16(high, carry);
        const __m128i draw = _mm_and_si128(high, _mm_set1_epi16(0x7FFF));
        const __m128i x = _mm_mullo_epi16(draw, _mm_set1_epi16(static_cast<short>(0xAAAB)));
        const __m128i turned = _mm_or_si128(_mm_srli_epi16(x, 3), _mm_slli_epi16(x, 13));
        multiple[v] = _mm_cmpeq_epi16(_mm_subs_epu16(turned, _mm_set1_epi16(65535 / 24)), _mm_setzero_si128());
    }
    const auto low16 = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_packs_epi16(multiple[0], multiple[1])));
    const auto high8 = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_packs_epi16(multiple[2], _mm_setzero_si128())));
    return low16 | high8 << 16;
#else
    static constexpr std::array<CrtJump, 24> kJumps = CrtJumps<24>();
    std::uint32_t out = 0;
    for (std::size_t k = 0; k < 24; ++k)
        out |= std::uint32_t{CrtOutput(kJumps[k].multiplier * state + kJumps[k].increment) % 24 == 0} << k;
    return out;
#endif
}

}  // namespace kelvora
