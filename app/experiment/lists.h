#pragma once
// The seed list and the target list as a person types them (kelvora-cli's --seeds, --target and
// --targets, the experiment window's fields, an experiment file's "seeds" and "targets"): one parser
// each and one set of limits, faults typed so that each front end words them in its language.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "batch/sweep.h"
#include "session/sweep_plan.h"

namespace kelvora::experiment {

/// What is wrong with a seed or target list.
struct ListFault {
    enum Kind {
        none,
        empty,         ///< the list holds nothing
        emptyItem,     ///< an empty item between commas (value: the whole list)
        notSeed,       ///< value is no seed or range A..B of seeds in 0..4294967295
        reversed,      ///< the range value holds no seed (B < A)
        seedTwice,     ///< seed value is in two items
        tooManySeeds,  ///< value seeds are more than kMaxSeeds
        notTarget,     ///< value is no "X,Y" with integers in -199..199
        targetTwice,   ///< target value is given twice
        notRandom,     ///< value starts with "random" but is no random:K with K in 1..kMaxRandomTargets
        randomTwice,   ///< a second random:K (value)
        drawnGiven,    ///< the drawn target value is also given
    };
    Kind kind = none;
    std::string value;  ///< the item at fault as typed, or the number or target it names
    explicit operator bool() const { return kind != none; }
};

/// The most seeds one list holds (400 MB of them); larger sweeps are sharded by seed range.
inline constexpr long long kMaxSeeds = session::kMaxSweepSeeds;

/// Seeds as ranges first..last (a single seed: first == last), in the order given, none in two.
struct SeedList {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> ranges;
    /// How many seeds the ranges hold.
    long long count() const;
    /// The seeds in order (count() of them).
    std::vector<std::uint32_t> seeds() const;
    friend bool operator==(const SeedList&, const SeedList&) = default;
};

/// "1..100", "1..10, 42": comma-separated seeds and ranges A..B in 0..4294967295 (blanks around an
/// item ignored), none listed twice, at most kMaxSeeds seeds in all. Fills list on success.
ListFault ParseSeedList(std::string_view text, SeedList& list);

/// Checks a list of seeds given one by one (an experiment file's list of integers): each in
/// 0..4294967295, none twice, at most kMaxSeeds. Fills list (a range per run of consecutive seeds).
ListFault SeedListOf(const std::vector<long long>& seeds, SeedList& list);

/// The list as ParseSeedList reads it: "1..100,42" (a range of one seed as the seed alone).
std::string SeedListText(const SeedList& list);

/// Targets: those given, then randomCount drawn inside the reach circle from randomSeed.
struct TargetList {
    std::vector<SweepTarget> given;
    int randomCount = 0;             ///< 0: none drawn; else 1..kMaxRandomTargets
    std::uint32_t randomSeed = 1;    ///< the draws' seed (kelvora-cli sweep --target-seed)
};

/// Adds one item, "X,Y" (integers in -199..199, a leading '+' or '-' allowed) or "random:K", to list.
ListFault AddTargetItem(std::string_view item, TargetList& list);

/// text without the blanks around it: ASCII white space, the no-break and the ideographic space.
std::string TrimBlanks(std::string_view text);

/// Items separated by blanks, as the window's targets field holds them: "68,180 -5,3 random:10".
/// Appends to list; at most one random:K.
ListFault ParseTargetList(std::string_view text, TargetList& list);

/// The targets a sweep runs: those given, then the drawn ones (the draws after them, as kelvora-cli
/// sweep draws them); fault drawnGiven when a drawn one is also given. An empty list stays empty.
ListFault ResolveTargets(const TargetList& list, std::vector<SweepTarget>& targets);

/// A target as the lists spell it: "68,180".
std::string TargetText(const SweepTarget& target);

/// The fault in English after the name of the list ("--seeds", "seeds", ...):
/// "--seeds: seed 5 is listed twice"; "" for none.
std::string ListFaultText(const ListFault& fault, const std::string& name);

}  // namespace kelvora::experiment
