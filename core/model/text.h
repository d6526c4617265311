#pragma once
// Numbers, lists and ranges as text, read and written exactly: the command line's flags, the sweep
// files and the window's fields share them.

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kelvora {

/// Whole-text number conversion in the C locale; nullopt for anything else (trailing text, empty,
/// out of the type's range, NaN or infinity); -0 reads as 0.
std::optional<long long> ParseInteger(const std::string& text);
std::optional<double> ParseFiniteDouble(const std::string& text);

/// Two integers joined by separator ("68,180", "2/4"), each whole; nullopt for anything else.
std::optional<std::pair<long long, long long>> ParseIntegerPair(const std::string& text, char separator);


/// "A" or "A..B" as the inclusive range [A, B] (A alone: [A, A]); nullopt when either end is not an
/// integer in low..high. A reversed range (B < A) is returned as it is, for the caller to name.
std::optional<std::pair<long long, long long>> ParseRange(const std::string& item, long long low, long long high);

/// Shortest text that reads back as the same double.
std::string ExactText(double v);

}  // namespace kelvora
