#include "session/numbers.h"

#include <cmath>

#include "model/text.h"

namespace kelvora::session {

bool InRange(const NumberField& field, double v) {
    const bool aboveLow = field.lowExcluded ? v > field.low : v >= field.low;
    return aboveLow && v <= field.high;
}

std::optional<double> ParseNumberField(const NumberField& field, std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    std::optional<double> v;
    if (field.integer) {
        if (const auto i = ParseInteger(std::string(text))) v = static_cast<double>(*i);
    } else {
        v = ParseFiniteDouble(std::string(text));
    }
    if (!v || !InRange(field, *v)) return std::nullopt;
    return v;
}

std::string RangeText(const NumberField& field) {
    std::string text = field.lowExcluded ? "(" : "";
    text += NumberText(field.low);
    text += field.lowExcluded ? ", " : "..";
    text += NumberText(field.high);
    if (field.lowExcluded) text += ']';
    return text;
}

std::string NumberText(double v) { return ExactText(v); }

}  // namespace kelvora::session
