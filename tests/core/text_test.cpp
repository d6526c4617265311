// The one floating-point text implementation against this platform's std::to_chars and
// std::from_chars: the bytes every build must write and the values it must read.

#include <bit>
#include <charconv>
#include <cstdio>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "model/text.h"

namespace kelvora {
namespace {

std::vector<double> Values() {
    std::vector<double> values = {0.0, -0.0, 1.0, -1.0, 0.1, 0.5, 1.0 / 3.0, 2.0 / 3.0, 100.0, 1e15, 1e16, 1e17,
                                  1e21, 1e22, 1e23, 123456789012345680000.0, 9007199254740993.0, 0.001, 1e-5,
                                  1.5e-7, 5e-324, 2.2250738585072014e-308, std::numeric_limits<double>::max(),
                                  std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                                  0.0049751243781094526, 0.99999949999999994, 0.0999999, 1e100, 1e-100};
    for (int e = -30; e <= 30; ++e) values.push_back(std::pow(10.0, e));
    std::mt19937_64 bits(20261210);
    for (int i = 0; i < 20000; ++i) {
        const double v = std::bit_cast<double>(bits());
        if (std::isfinite(v)) values.push_back(v);
    }
    // Numbers of the sizes a run writes: fitnesses, distances, rates, and whole numbers in doubles.
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int i = 0; i < 20000; ++i) {
        const double u = unit(bits);
        values.push_back(u);
        values.push_back(1.0 / (1.0 + 400.0 * u));
        values.push_back(std::round(u * 1e6) / 1e3);
        values.push_back(std::floor(u * 1e20));
    }
    return values;
}

TEST(NumberText, ShortestIsToCharsForEveryValue) {
    for (const double v : Values()) {
        char mine[32], native[32];
        const std::string_view a(mine, static_cast<std::size_t>(WriteShortest(mine, v) - mine));
        const std::string_view b(native, static_cast<std::size_t>(std::to_chars(native, native + 32, v).ptr - native));
        ASSERT_EQ(a, b) << std::hexfloat << v;
    }
}

TEST(NumberText, GeneralIsToCharsWithThePrecision) {
    int precision = 0;
    for (const double v : Values()) {
        if (!std::isfinite(v)) continue;
        precision = precision % 17 + 1;
        for (const int p : {6, precision}) {
            char mine[32], native[40];
            const std::string_view a(mine, static_cast<std::size_t>(WriteGeneral(mine, v, p) - mine));
            const auto r = std::to_chars(native, native + 40, v, std::chars_format::general, p);
            ASSERT_EQ(a, std::string_view(native, static_cast<std::size_t>(r.ptr - native))) << std::hexfloat << v << " " << p;
        }
    }
}

// A text read as from_chars reads it: the same value and the same end, or refused where from_chars
// finds no number or one out of a double's range (and, by design, for infinity and NaN).
void ExpectReadsAsFromChars(const std::string& text) {
    double mine = -7.0, native = -7.0;
    const char* end = ReadDouble(text.data(), text.data() + text.size(), mine);
    const auto r = std::from_chars(text.data(), text.data() + text.size(), native);
    if (r.ec != std::errc() || !std::isfinite(native)) {
        EXPECT_EQ(end, nullptr) << text;
        EXPECT_EQ(mine, -7.0) << text;
        return;
    }
    ASSERT_NE(end, nullptr) << text;
    EXPECT_EQ(end - text.data(), r.ptr - text.data()) << text;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(mine), std::bit_cast<std::uint64_t>(native)) << text;
}

TEST(NumberText, ReadsWhatFromCharsReads) {
    for (const char* text : {"0", "-0", "1", "-1.5", ".5", "5.", "-.5", "0.1e1", "1e", "1e+", "1e-", "1E5", "1e+05x",
                             "12abc", "", "-", ".", "-.", "+1", " 1", "0x10", "1,5", "1e400", "-1e400", "1e-400",
                             "4.9e-324", "2.4e-324", "2.5e-324", "1.7976931348623157e308", "1.7976931348623159e308",
                             "inf", "-inf", "nan", "infinity", "00012.50", "1..2", "1e5.5",
                             "0.30000000000000000000000000000000000000000000001",
                             "2.2250738585072011e-308", "9007199254740993", "0.000000000000000000000000000e999"})
        ExpectReadsAsFromChars(text);
}

TEST(NumberText, ReadsBackEveryShortestAndSeventeenDigitText) {
    std::size_t n = 0;
    for (const double v : Values()) {
        if (!std::isfinite(v) || n++ % 4 != 0) continue;
        char text[40];
        ExpectReadsAsFromChars(std::string(text, WriteShortest(text, v)));
        ExpectReadsAsFromChars(std::string(text, static_cast<std::size_t>(std::snprintf(text, sizeof text, "%.17g", v))));
        ASSERT_EQ(ExactText(*ParseFiniteDouble(ExactText(v))), ExactText(v));
    }
}

}  // namespace
}  // namespace kelvora
