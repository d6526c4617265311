#pragma once
// Every number a person types, in a window's field or as a flag's value: its flag's range, one
// parser, the words a refusal uses, and the text it is shown as again (the shortest that reads back
// as the same double, so that a recorded 0.1234567890123456 reaches the next run unchanged).

#include <optional>
#include <string>
#include <string_view>

#include "model/arm.h"
#include "model/types.h"

namespace kelvora::session {

/// A number field: the flag that takes it, its range and what a refusal calls it.
struct NumberField {
    const char* flag;
    double low;
    double high;
    bool integer = false;      ///< whole numbers only
    bool lowExcluded = false;  ///< the range is (low, high]
    const char* noun = nullptr;  ///< "a number of pixels"; null: "an integer" or "a number"
};

inline constexpr NumberField kPopulationField{"--population", kMinPopulation, kMaxPopulation, true};
inline constexpr NumberField kGenerationsField{"--generations", kMinGenerations, kMaxGenerations, true};
inline constexpr NumberField kCrossoverField{"--crossover", kMinCrossoverRate, kMaxCrossoverRate};
inline constexpr NumberField kMutationField{"--mutation", kMinMutationProbability, kMaxMutationProbability};
inline constexpr NumberField kSeedField{"--seed", 0, 4294967295.0, true};
/// Either coordinate of a target relative to the base, px.
inline constexpr NumberField kTargetOffsetField{"--target", -kMaxTargetOffset, kMaxTargetOffset, true};
/// Pixels within which a run counts as there.
inline constexpr NumberField kEpsilonField{"--epsilon", 0, kMaxEpsilon, false, true, "a number of pixels"};

/// text as the field's number: the whole text one decimal number in the C locale (an integer for
/// integer fields; fixed or exponent form otherwise), a single leading '+' or '-' allowed, finite
/// and within the range; nullopt otherwise. Blanks around it are not part of it: a window drops
/// those of its field's text before asking.
std::optional<double> ParseNumberField(const NumberField& field, std::string_view text);

/// A target "X,Y" (x right, y up, px): two integers each within kTargetOffsetField's range.
std::optional<PixelPoint> ParseTarget(std::string_view text);

/// Whether v is within the field's range (NaN is not).
bool InRange(const NumberField& field, double v);

/// The field's range as messages name it: "1..10000", "0.001..1", "(0, 1000]".
std::string RangeText(const NumberField& field);

/// What a refused value is not, as a refusal ends: "an integer in 1..10000", "a number in
/// 0.001..1", "a number of pixels in (0, 1000]".
std::string ExpectedText(const NumberField& field);
/// The same for a target: "X,Y with integers X and Y in -199..199".
std::string ExpectedTargetText();

/// The text a field shows for v and a command line repeats: the shortest that reads back exactly.
std::string NumberText(double v);

}  // namespace kelvora::session
