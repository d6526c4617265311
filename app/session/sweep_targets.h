#pragma once
// The targets of a sweep drawn at random ("random:K"), spelled and added to the given ones by one
// rule for both front ends (kelvora-cli sweep --targets and the experiment window's targets field).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "batch/sweep.h"

namespace kelvora::session {

/// Most targets one "random:K" draws.
inline constexpr int kMaxRandomTargets = 10000;
/// The seed of the draws when none is given (kelvora-cli sweep --target-seed's default).
inline constexpr std::uint32_t kDefaultTargetSeed = 1;

/// K of "random:K" with K in 1..kMaxRandomTargets; nullopt for anything else.
std::optional<int> ParseRandomTargets(const std::string& text);

/// Appends the count targets RandomTargets(count, seed) draws to targets, after those already
/// there. Returns "" or, when a drawn target is among those given (nothing is added then),
/// "--targets: the drawn target X,Y is also given by --target"; clash, when given, receives that target.
std::string AddRandomTargets(std::vector<SweepTarget>& targets, int count, std::uint32_t seed,
                             SweepTarget* clash = nullptr);

}  // namespace kelvora::session
