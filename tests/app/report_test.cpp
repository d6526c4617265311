// The report's numbers in words and the language a person's environment asks for.

#include <gtest/gtest.h>

#include <limits>

#include "report/report.h"
#include "session/ui_language.h"

namespace {

using kelvora::report::ErtText;

TEST(ReportText, ErtIsAWholeNumberOfEvaluations) {
    const struct {
        double evaluations;
        const char* text;
    } rows[] = {{15759.4, "15,759"}, {15759.5, "15,760"}, {999.0, "999"},  {1000.0, "1,000"},
                {1234567.0, "1,234,567"}, {0.4, "0"}, {std::numeric_limits<double>::infinity(), "∞"},
                {std::numeric_limits<double>::quiet_NaN(), "–"}};
    for (const auto& r : rows) EXPECT_EQ(ErtText(r.evaluations), r.text) << r.evaluations;
}

TEST(UiLanguage, EnglishOnlyWhereTheEnvironmentAsksForIt) {
    const struct {
        const char *lcAll, *lcMessages, *lang, *language;
        bool english;
    } rows[] = {
        {nullptr, nullptr, nullptr, nullptr, false},
        {nullptr, nullptr, "C", "en", false},  // the C locale ignores LANGUAGE
        {nullptr, nullptr, "en_US.UTF-8", nullptr, true},
        {nullptr, nullptr, "EN_gb", nullptr, true},
        {nullptr, nullptr, "ja_JP.UTF-8", nullptr, false},
        {nullptr, nullptr, "fr_FR.UTF-8", nullptr, false},
        {"ja_JP.UTF-8", nullptr, "en_US.UTF-8", nullptr, false},  // LC_ALL first
        {"", "en_US.UTF-8", "ja_JP.UTF-8", nullptr, true},        // an empty one is unset
        {nullptr, nullptr, "ja_JP.UTF-8", "fr:de:en_GB:ja", true},
        {nullptr, nullptr, "en_US.UTF-8", "fr:ja", false},
        {nullptr, nullptr, "en_US.UTF-8", "fr", false},
    };
    for (const auto& r : rows)
        EXPECT_EQ(kelvora::session::EnglishFromEnvironment(r.lcAll, r.lcMessages, r.lang, r.language), r.english)
            << (r.lcAll ? r.lcAll : "-") << " " << (r.lcMessages ? r.lcMessages : "-") << " " << (r.lang ? r.lang : "-")
            << " " << (r.language ? r.language : "-");
}

}  // namespace
