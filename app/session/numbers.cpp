#include "session/numbers.h"

#include <cmath>

#include "model/text.h"

namespace kelvora::session {

bool InRange(const NumberField& field, double v) {
    const bool aboveLow = field.lowExcluded ? v > field.low : v >= field.low;
    return aboveLow && v <= field.high;
}

std::optional<double> ParseNumberField(const NumberField& field, std::string_view text) {
    // One '+' is taken as C's conversions take it; from_chars (under ParseInteger) takes none.
    if (text.size() > 1 && text.front() == '+' && text[1] != '+' && text[1] != '-') text.remove_prefix(1);
    std::optional<double> v;
    if (field.integer) {
        if (const auto i = ParseInteger(std::string(text))) v = static_cast<double>(*i);
    } else {
        v = ParseFiniteDouble(std::string(text));
    }
    if (!v || !InRange(field, *v)) return std::nullopt;
    return v;
}

std::optional<PixelPoint> ParseTarget(std::string_view text) {
    const auto comma = text.find(',');
    if (comma == std::string_view::npos) return std::nullopt;
    const auto x = ParseNumberField(kTargetOffsetField, text.substr(0, comma));
    const auto y = ParseNumberField(kTargetOffsetField, text.substr(comma + 1));
    if (!x || !y) return std::nullopt;
    return PixelPoint{static_cast<int>(*x), static_cast<int>(*y)};
}

std::string RangeText(const NumberField& field) {
    std::string text = field.lowExcluded ? "(" : "";
    text += NumberText(field.low);
    text += field.lowExcluded ? ", " : "..";
    text += NumberText(field.high);
    if (field.lowExcluded) text += ']';
    return text;
}

std::string ExpectedText(const NumberField& field) {
    const std::string noun = field.noun ? field.noun : field.integer ? "an integer" : "a number";
    return noun + " in " + RangeText(field);
}

std::string ExpectedTargetText() { return "X,Y with integers X and Y in " + RangeText(kTargetOffsetField); }

std::string NumberText(double v) { return ExactText(v); }

}  // namespace kelvora::session
