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


// The counts held against a population, each on either side of its edge: the typed fault names
// the count and the largest allowed.
struct CountRow {
    const char* name;
    Algorithm algorithm;
    int population;
    AlgorithmFault fault;
};

void PrintTo(const CountRow& row, std::ostream* os) { *os << row.name; }

Algorithm With(Method method, Selection selection, int tournament, int elitism, MutationOperator mutation, int creep) {
    Algorithm a;
    a.method = method;
    a.selection = selection;
    a.tournamentSize = tournament;
    a.elitism = elitism;
    a.mutation = mutation;
    a.creepStep = creep;
    return a;
}

Algorithm Tournament(int k) { return With(Method::geneticAlgorithm, Selection::tournament, k, 0, MutationOperator::bitFlip, 1); }
Algorithm Elite(int e) { return With(Method::geneticAlgorithm, Selection::roulette, 2, e, MutationOperator::bitFlip, 1); }
Algorithm Creep(int s, Method method = Method::geneticAlgorithm) {
    return With(method, Selection::roulette, 2, 0, MutationOperator::creep, s);
}

class AlgorithmCounts : public ::testing::TestWithParam<CountRow> {};

TEST_P(AlgorithmCounts, AreHeldToTheirRangeAndTheFaultIsTyped) {
    const CountRow& row = GetParam();
    EXPECT_EQ(CheckAlgorithm(row.algorithm, row.population), row.fault);
}

INSTANTIATE_TEST_SUITE_P(
    Edges, AlgorithmCounts,
    ::testing::Values(CountRow{"tournament of the whole population", Tournament(20), 20, {}},
                      CountRow{"tournament one more", Tournament(21), 20, {AlgorithmFault::tournamentSize, 21, 20}},
                      CountRow{"tournament of one", Tournament(1), 20, {AlgorithmFault::tournamentSize, 1, 20}},
                      CountRow{"elite of all but one", Elite(19), 20, {}},
                      CountRow{"elite of all", Elite(20), 20, {AlgorithmFault::elitism, 20, 19}},
                      CountRow{"elite below none", Elite(-1), 20, {AlgorithmFault::elitism, -1, 19}},
                      CountRow{"elite at population one", Elite(1), 1, {AlgorithmFault::elitism, 1, 0}},
                      CountRow{"creep at its largest", Creep(kMaxCreepStep), 20, {}},
                      CountRow{"creep one more", Creep(kMaxCreepStep + 1), 20, {AlgorithmFault::creepStep, 129, 128}},
                      CountRow{"creep of none", Creep(0), 20, {AlgorithmFault::creepStep, 0, 128}},
                      CountRow{"tournament before elite",
                               With(Method::geneticAlgorithm, Selection::tournament, 5, 9, MutationOperator::bitFlip, 1), 4,
                               {AlgorithmFault::tournamentSize, 5, 4}},
                      CountRow{"random search holds no count", With(Method::randomSearch, Selection::tournament, 50, 50,
                                                                     MutationOperator::creep, 999), 20, {}},
                      CountRow{"hill climbing holds its creep step", Creep(0, Method::hillClimbing), 20,
                               {AlgorithmFault::creepStep, 0, 128}}));

}  // namespace
}  // namespace kelvora
