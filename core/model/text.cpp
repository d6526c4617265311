#include "model/text.h"

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <locale.h>

namespace kelvora {
namespace {

// The C locale on this thread while in scope, so printf and strtod use '.' whatever the process's
// locale (a window sets the user's).
class CLocaleScope {
public:
    CLocaleScope() : previous_(uselocale(CLocale())) {}
    ~CLocaleScope() { uselocale(previous_); }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    static locale_t CLocale() {
        static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
        return c;
    }
    locale_t previous_;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

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
    const char* end = ReadDouble(first, last, v);
    if (text.empty() || end != last || !std::isfinite(v)) return std::nullopt;
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
    return std::string(buffer, WriteShortest(buffer, v));
}

char* WriteGeneral(char* out, double v, int precision) {
    const CLocaleScope c;
    const int n = std::snprintf(out, 32, "%.*g", precision, v);
    return out + (n > 0 ? n : 0);
}

char* WriteShortest(char* out, double v) {
    char* p = out;
    if (std::isnan(v)) {
        std::memcpy(p, "nan", 3);
        return p + 3;
    }
    if (std::signbit(v)) *p++ = '-';
    v = std::fabs(v);
    if (std::isinf(v)) {
        std::memcpy(p, "inf", 3);
        return p + 3;
    }
    if (v == 0.0) {
        *p = '0';
        return p + 1;
    }
    const CLocaleScope c;
    // The fewest significant digits whose correctly rounded text reads back as v; reading back
    // holds for every count from that one up to 17, so a bisection finds it.
    char sci[40];
    int low = 1, high = 17;
    while (low < high) {
        const int mid = (low + high) / 2;
        std::snprintf(sci, sizeof sci, "%.*e", mid - 1, v);
        if (std::strtod(sci, nullptr) == v) high = mid;
        else low = mid + 1;
    }
    std::snprintf(sci, sizeof sci, "%.*e", low - 1, v);
    // sci is "d.ddde+XX" (or "de+XX"): the digits without their point, and the first one's power of ten.
    char digits[20];
    int count = 0;
    const char* s = sci;
    for (; *s != 'e'; ++s)
        if (*s != '.') digits[count++] = *s;
    const int exponent = std::atoi(s + 1);
    while (count > 1 && digits[count - 1] == '0') --count;
    const int sciLength = count + (count > 1 ? 1 : 0) + 2 + (std::abs(exponent) >= 100 ? 3 : 2);
    const int fixedLength = exponent >= 0 ? std::max(count, exponent + 1) + (count > exponent + 1 ? 1 : 0)
                                          : 1 + 1 + (-exponent - 1) + count;
    if (fixedLength > sciLength) {
        *p++ = digits[0];
        if (count > 1) {
            *p++ = '.';
            std::memcpy(p, digits + 1, static_cast<std::size_t>(count - 1));
            p += count - 1;
        }
        return p + std::snprintf(p, 8, "e%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
    }
    if (exponent < 0) {
        *p++ = '0';
        *p++ = '.';
        for (int i = 0; i < -exponent - 1; ++i) *p++ = '0';
        std::memcpy(p, digits, static_cast<std::size_t>(count));
        return p + count;
    }
    if (count > exponent + 1) {
        std::memcpy(p, digits, static_cast<std::size_t>(exponent + 1));
        p += exponent + 1;
        *p++ = '.';
        std::memcpy(p, digits + exponent + 1, static_cast<std::size_t>(count - exponent - 1));
        return p + (count - exponent - 1);
    }
    // A whole number: printf's %f writes its exact digits, not the shortest digits padded with zeros.
    return p + std::snprintf(p, 32, "%.0f", v);
}

const char* ReadDouble(const char* first, const char* last, double& value) {
    const char* p = first;
    if (p != last && *p == '-') ++p;
    bool nonZero = false;
    int digits = 0;
    for (; p != last && IsDigit(*p); ++p, ++digits) nonZero = nonZero || *p != '0';
    if (p != last && *p == '.') {
        ++p;
        for (; p != last && IsDigit(*p); ++p, ++digits) nonZero = nonZero || *p != '0';
    }
    if (digits == 0) return nullptr;
    if (p != last && (*p == 'e' || *p == 'E')) {
        const char* e = p + 1;
        if (e != last && (*e == '+' || *e == '-')) ++e;
        if (e != last && IsDigit(*e)) {
            while (e != last && IsDigit(*e)) ++e;
            p = e;
        }
    }
    const std::string text(first, p);
    double v;
    {
        const CLocaleScope c;
        v = std::strtod(text.c_str(), nullptr);
    }
    if (std::isinf(v) || (v == 0.0 && nonZero)) return nullptr;
    value = v;
    return p;
}

}  // namespace kelvora
