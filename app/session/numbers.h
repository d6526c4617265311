#pragma once
// Every number a person types, in a window's field or as a flag's value: its flag's range, one
// parser, and the text it is shown as again (the shortest that reads back as the same double, so
// that a recorded 0.1234567890123456 reaches the next run unchanged).

#include <optional>
#include <string>
#include <string_view>

#include "model/types.h"

namespace kelvora::session {

/// A number field: the flag that takes it and its range.
struct NumberField {
    const char* flag;
    double low;
    double high;
    bool integer = false;      ///< whole numbers only
    bool lowExcluded = false;  ///< the range is (low, high]
};

inline constexpr NumberField kPopulationField{"--population", kMinPopulation, kMaxPopulation, true};
inline constexpr NumberField kGenerationsField{"--generations", kMinGenerations, kMaxGenerations, true};
inline constexpr NumberField kCrossoverField{"--crossover", kMinCrossoverRate, kMaxCrossoverRate};
inline constexpr NumberField kMutationField{"--mutation", kMinMutationProbability, kMaxMutationProbability};
inline constexpr NumberField kSeedField{"--seed", 0, 4294967295.0, true};
inline constexpr NumberField kTargetOffsetField{"--target", -kMaxTargetOffset, kMaxTargetOffset, true};
/// Pixels within which a run counts as there.
inline constexpr NumberField kEpsilonField{"--epsilon", 0, 1000, false, true};

/// text, spaces around it ignored, as the field's number: the whole text a number in the C locale
/// (an integer for integer fields), finite and within the range; nullopt otherwise.
std::optional<double> ParseNumberField(const NumberField& field, std::string_view text);

/// Whether v is within the field's range (NaN is not).
bool InRange(const NumberField& field, double v);

/// The field's range as messages name it: "1..10000", "0.001..1", "(0, 1000]".
std::string RangeText(const NumberField& field);

/// The text a field shows for v and a command line repeats: the shortest that reads back exactly.
std::string NumberText(double v);

}  // namespace kelvora::session
