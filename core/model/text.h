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

// The one implementation of floating-point text for every build (the WebAssembly build's C++
// library has no floating-point to_chars or from_chars): C's correctly rounded printf and strtod
// in the C locale, whatever the process's locale, so the bytes are the same everywhere.

/// Writes v as std::to_chars(out, end, v) does (the shortest digits that read back as v, fixed or
/// scientific, whichever is shorter, fixed on a tie; "inf", "-inf", "nan" for those); returns the
/// end of the text. out must have room for 32 bytes.
char* WriteShortest(char* out, double v);

/// Writes v as printf's %.<precision>g in the C locale (precision 1..17); returns the end of the
/// text. out must have room for 32 bytes.
char* WriteGeneral(char* out, double v, int precision);

/// Reads the longest prefix of [first, last) that is a decimal number as std::from_chars reads it
/// (an optional '-', digits with an optional '.', an optional exponent; no '+', space, "0x",
/// infinity or NaN), correctly rounded, into value; returns the end of what was read, or nullptr
/// (value untouched) when there is no such prefix or it overflows a double or underflows to zero.
const char* ReadDouble(const char* first, const char* last, double& value);

}  // namespace kelvora
