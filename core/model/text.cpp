#include "model/text.h"

#include <charconv>
#include <cmath>

namespace kelvora {

std::optional<long long> ParseInteger(const std::string& text) {
    long long v = 0;
    const char* first = text.data();
    const char* last = first + text.size();
    const auto [end, ec] = std::from_chars(first, last, v);
    if (text.empty() || ec != std::errc() || end != last) return std::nullopt;
    return v;
}

std::optional<double> ParseFiniteDouble(const std::string& text) {
    double v = 0.0;
    const char* first = text.data();
    const char* last = first + text.size();
    const auto [end, ec] = std::from_chars(first, last, v, std::chars_format::general);
    if (text.empty() || ec != std::errc() || end != last || !std::isfinite(v)) return std::nullopt;
    return v == 0.0 ? 0.0 : v;  // -0 is 0: one number, one text, one fingerprint
}

std::optional<std::pair<long long, long long>> ParseIntegerPair(const std::string& text, char separator) {
    const auto at = text.find(separator);
    if (at == std::string::npos) return std::nullopt;
    const auto a = ParseInteger(text.substr(0, at));
    const auto b = ParseInteger(text.substr(at + 1));
    if (!a || !b) return std::nullopt;
    return std::pair{*a, *b};
}


std::optional<std::pair<long long, long long>> ParseRange(const std::string& item, long long low, long long high) {
    const std::size_t dots = item.find("..");
    const auto a = ParseInteger(dots == std::string::npos ? item : item.substr(0, dots));
    const auto b = dots == std::string::npos ? a : ParseInteger(item.substr(dots + 2));
    if (!a || !b || *a < low || *a > high || *b < low || *b > high) return std::nullopt;
    return std::pair{*a, *b};
}

std::string ExactText(double v) {
    char buffer[32];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, v).ptr);
}

}  // namespace kelvora
