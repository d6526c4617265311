// The report's numbers in words and the language a person's environment asks for.

#include <gtest/gtest.h>

#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "report/report.h"
#include "report/summary_text.h"
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

// The printed sweep summary words its ERT as ErtText does, each cell under its heading however many
// bytes the row's en dashes and "∞" take.
TEST(ReportText, SweepSummaryErtUnderItsHeading) {
    const double ert[] = {15759.4, std::numeric_limits<double>::infinity(), 640.0};
    std::vector<kelvora::SweepSummaryRow> rows;
    for (const double e : ert) {
        kelvora::SweepSummaryRow row;
        row.runs = 20;
        row.eliteDistance = {.count = 20, .q1 = 0.25, .median = 1.5, .q3 = 12.5};
        row.ertEvaluations = e;
        if (e == 640.0) row.algorithm.method = kelvora::Method::randomSearch;  // the algorithm column after it
        rows.push_back(row);
    }
    auto columns = [](const std::string& text) {  // display columns: UTF-8 lead bytes
        std::size_t n = 0;
        for (const char c : text) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        return n;
    };
    std::istringstream table(kelvora::report::SummaryText(rows, 0.5));
    std::string header, line;
    std::getline(table, header);
    const std::size_t at = header.find("ERT (evaluations)");
    ASSERT_NE(at, std::string::npos) << header;
    const std::size_t algorithmAt = columns(header.substr(0, header.find("algorithm")));
    for (const double e : ert) {
        ASSERT_TRUE(std::getline(table, line));
        std::size_t byte = 0;
        while (columns(line.substr(0, byte)) < columns(header.substr(0, at))) ++byte;
        EXPECT_EQ(line.substr(byte, line.find(' ', byte) - byte), ErtText(e)) << line;
        EXPECT_EQ(columns(line.substr(0, line.find_last_of(' ') + 1)), algorithmAt) << line;
    }
}

// The line under a chart saved alone begins with the epsilon the runs were measured at, or, for a
// file that did not record it, says it was assumed in the words the readers of such files use.
TEST(ReportText, SetupLineSaysWhenEpsilonWasAssumed) {
    using kelvora::report::Language;
    std::vector<kelvora::SweepResult> runs(2);
    runs[1].combination.seed = 1;
    const struct {
        double epsilon;
        bool recorded;
        Language language;
        const char* begins;
    } rows[] = {{20, true, Language::English, "ε = 20 px · 2 seeds (0..1) × 1 target (0, 0) · "},
                {20, true, Language::Japanese, "ε = 20 px · 2 シード (0..1) × 1 目標点 (0, 0) · "},
                {0.5, false, Language::English, "ε not recorded; assumed 0.5 · 2 seeds"},
                {0.5, false, Language::Japanese, "ε の記録なし、0.5 と仮定 · 2 シード"}};
    for (const auto& r : rows) {
        const std::string line = kelvora::report::SetupLine(runs, r.epsilon, r.recorded, r.language);
        EXPECT_EQ(line.substr(0, std::string(r.begins).size()), r.begins) << line;
    }
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
