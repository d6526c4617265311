// The operator choices' spellings: what each parser accepts and spells back, what it refuses and
// how it says so, and the counts checked against a population.

#include <string>

#include <gtest/gtest.h>

#include "ga/algorithm.h"

namespace kelvora {
namespace {

struct Choice {
    std::string (*parse)(std::string_view, Algorithm&);
    std::string (*name)(const Algorithm&);
};
constexpr Choice kEncoding{ParseEncoding, EncodingName};
constexpr Choice kSelection{ParseSelection, SelectionName};
constexpr Choice kElitism{ParseElitism, ElitismName};
constexpr Choice kCrossover{ParseCrossover, CrossoverName};
constexpr Choice kMutation{ParseMutation, MutationName};

struct SpellingRow {
    Choice choice;
    const char* text;
    int population;
    const char* error;  ///< "" when accepted (then the spelling reads back as text); else a part of the message
};

void PrintTo(const SpellingRow& row, std::ostream* os) { *os << "'" << row.text << "' at " << row.population; }

class AlgorithmSpelling : public ::testing::TestWithParam<SpellingRow> {};

TEST_P(AlgorithmSpelling, IsAcceptedOrRefusedNamingTheValueAndTheRange) {
    const SpellingRow& row = GetParam();
    Algorithm algorithm;
    const std::string parseError = row.choice.parse(row.text, algorithm);
    const std::string error = parseError.empty() ? ValidateAlgorithm(algorithm, row.population) : parseError;
    if (*row.error == '\0') {
        EXPECT_EQ(error, "");
        EXPECT_EQ(row.choice.name(algorithm), row.text);
        return;
    }
    EXPECT_NE(error.find(row.error), std::string::npos) << error;
    if (!parseError.empty()) {
        EXPECT_TRUE(algorithm == Algorithm{}) << "a refused spelling changes nothing";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, AlgorithmSpelling,
    ::testing::Values(
        SpellingRow{kEncoding, "binary", 1, ""}, SpellingRow{kEncoding, "gray", 1, ""},
        SpellingRow{kEncoding, "Gray", 20, "encoding 'Gray' is not one of binary, gray"},
        SpellingRow{kEncoding, "", 20, "encoding '' is not one of binary, gray"},
        SpellingRow{kSelection, "roulette", 1, ""}, SpellingRow{kSelection, "rank", 1, ""},
        SpellingRow{kSelection, "tournament:2", 2, ""}, SpellingRow{kSelection, "tournament:20", 20, ""},
        SpellingRow{kSelection, "tournament:21", 20, "tournament size 21 is outside 2..20"},
        SpellingRow{kSelection, "tournament:2", 1, "tournament size 2 is outside 2..1"},
        SpellingRow{kSelection, "tournament:1", 20, "tournament size 1 is outside 2..10000"},
        SpellingRow{kSelection, "tournament:10001", 10000, "tournament size 10001 is outside 2..10000"},
        SpellingRow{kSelection, "tournament", 20, "selection 'tournament' is not one of roulette, tournament:K"},
        SpellingRow{kSelection, "tournament:+3", 20, "selection 'tournament:+3'"},
        SpellingRow{kSelection, "tournament:3x", 20, "selection 'tournament:3x'"},
        SpellingRow{kElitism, "0", 1, ""}, SpellingRow{kElitism, "19", 20, ""},
        SpellingRow{kElitism, "20", 20, "elitism 20 is outside 0..19"},
        SpellingRow{kElitism, "1", 1, "elitism 1 is outside 0..0"},
        SpellingRow{kElitism, "-1", 20, "elitism '-1' is not a whole number 0..9999"},
        SpellingRow{kElitism, "10000", 10000, "elitism '10000' is not a whole number 0..9999"},
        SpellingRow{kElitism, "1.5", 20, "elitism '1.5'"},
        SpellingRow{kCrossover, "one-point", 1, ""}, SpellingRow{kCrossover, "two-point", 1, ""},
        SpellingRow{kCrossover, "uniform", 1, ""},
        SpellingRow{kCrossover, "two_point", 20, "crossover operator 'two_point' is not one of one-point, two-point, uniform"},
        SpellingRow{kMutation, "bit-flip", 1, ""}, SpellingRow{kMutation, "creep:1", 1, ""},
        SpellingRow{kMutation, "creep:128", 1, ""},
        SpellingRow{kMutation, "creep:0", 20, "creep step 0 is outside 1..128"},
        SpellingRow{kMutation, "creep:129", 20, "creep step 129 is outside 1..128"},
        SpellingRow{kMutation, "creep:", 20, "mutation operator 'creep:' is not one of bit-flip, creep:S (S = 1..128)"}));

}  // namespace
}  // namespace kelvora
