// Command-line parsing: accepted forms, ranges and the messages for bad input.

#include <gtest/gtest.h>

#include <iterator>

#include "options.h"
#include "session/numbers.h"

using kelvora::cli::ParseCommandLine;
using kelvora::cli::ParseFiniteDouble;
using kelvora::cli::ParseInteger;

TEST(CliOptions, DefaultsAreTheDialogsOpeningValues) {
    const auto r = ParseCommandLine({});
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.options.params.populationSize, 20);
    EXPECT_EQ(r.options.params.generationCount, 100);
    EXPECT_EQ(r.options.params.crossoverRate, 0.5);
    EXPECT_EQ(r.options.params.mutationProbability, 0.1);
    EXPECT_EQ(r.options.targetX, 68);
    EXPECT_EQ(r.options.targetY, 180);
    EXPECT_FALSE(r.options.seed.has_value());
    EXPECT_TRUE(r.options.outputDirectory.empty());
}

TEST(CliOptions, BothValueFormsAndNegativeTargets) {
    for (const auto& args : {std::vector<std::string>{"--target=-50,20", "--seed=7", "--population=10000"},
                             std::vector<std::string>{"--target", "-50,20", "--seed", "7", "--population", "10000"}}) {
        const auto r = ParseCommandLine(args);
        ASSERT_TRUE(r.ok()) << r.error;
        EXPECT_EQ(r.options.targetX, -50);
        EXPECT_EQ(r.options.targetY, 20);
        EXPECT_EQ(r.options.seed, 7u);
        EXPECT_EQ(r.options.params.populationSize, 10000);
    }
}

TEST(CliOptions, RangeEndsAreAccepted) {
    const auto r = ParseCommandLine({"--population", "1", "--generations", "10000", "--crossover", "0.001",
                                     "--mutation", "0", "--target", "-199,199", "--seed", "4294967295"});
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.options.params.populationSize, 1);
    EXPECT_EQ(r.options.params.generationCount, 10000);
    EXPECT_EQ(r.options.params.crossoverRate, 0.001);
    EXPECT_EQ(r.options.params.mutationProbability, 0.0);
    EXPECT_EQ(r.options.seed, 4294967295u);
    const auto high = ParseCommandLine({"--crossover", "1", "--mutation", "1", "--target", "199,-199", "--seed", "0"});
    ASSERT_TRUE(high.ok()) << high.error;
    EXPECT_EQ(high.options.seed, 0u);
}

struct BadArgument {
    std::vector<std::string> args;
    const char* messagePart;  // the flag, the value and the range must all be named
};

void PrintTo(const BadArgument& bad, std::ostream* os) {
    for (const auto& a : bad.args) *os << a << ' ';
}

class CliOptionsRejects : public testing::TestWithParam<BadArgument> {};

TEST_P(CliOptionsRejects, WithAMessageNamingFlagValueAndRange) {
    const auto r = ParseCommandLine(GetParam().args);
    ASSERT_FALSE(r.ok());
    EXPECT_NE(r.error.find(GetParam().messagePart), std::string::npos) << r.error;
    EXPECT_EQ(r.error.find('\n'), std::string::npos) << "one line";
}

INSTANTIATE_TEST_SUITE_P(
    BadInput, CliOptionsRejects,
    testing::Values(BadArgument{{"--population", "0"}, "--population: '0' is not an integer in 1..10000"},
                    BadArgument{{"--population", "10001"}, "'10001' is not an integer in 1..10000"},
                    BadArgument{{"--population", "12abc"}, "'12abc'"},
                    BadArgument{{"--population", ""}, "''"},
                    BadArgument{{"--population", "2.5"}, "'2.5'"},
                    BadArgument{{"--population", " 20"}, "' 20'"},
                    BadArgument{{"--generations", "0"}, "--generations: '0' is not an integer in 1..10000"},
                    BadArgument{{"--generations", "99999999999999999999"}, "1..10000"},
                    BadArgument{{"--crossover", "0"}, "--crossover: '0' is not a number in 0.001..1"},
                    BadArgument{{"--crossover", "0.0009"}, "0.001..1"},
                    BadArgument{{"--crossover", "nan"}, "'nan'"},
                    BadArgument{{"--crossover", "1e999"}, "'1e999'"},
                    BadArgument{{"--mutation", "-0.1"}, "--mutation: '-0.1' is not a number in 0..1"},
                    BadArgument{{"--mutation", "1.5"}, "0..1"},
                    BadArgument{{"--mutation", "inf"}, "'inf'"},
                    BadArgument{{"--mutation", "0.1x"}, "'0.1x'"},
                    BadArgument{{"--target", "200,0"}, "--target: '200,0' is not X,Y with integers X and Y in -199..199"},
                    BadArgument{{"--target", "0,-200"}, "-199..199"},
                    BadArgument{{"--target", "5"}, "'5'"},
                    BadArgument{{"--target", "1,2,3"}, "'1,2,3'"},
                    BadArgument{{"--target", "1.5,2"}, "'1.5,2'"},
                    BadArgument{{"--seed", "-1"}, "--seed: '-1' is not an integer in 0..4294967295"},
                    BadArgument{{"--seed", "4294967296"}, "0..4294967295"},
                    BadArgument{{"--population"}, "--population needs a value"},
                    BadArgument{{"--output-dir="}, "--output-dir"},
                    BadArgument{{"--json=1"}, "--json takes no value"},
                    BadArgument{{"--populaton", "5"}, "unknown argument '--populaton'"},
                    BadArgument{{"--encoding", "Gray"}, "--encoding: encoding 'Gray' is not one of binary, gray"},
                    BadArgument{{"--selection=best"}, "--selection: selection 'best' is not one of roulette, tournament:K"},
                    BadArgument{{"--selection", "tournament:3", "--population", "2"},
                                "--selection: tournament size 3 is outside 2..2 (the population)"},
                    BadArgument{{"--elitism", "20"}, "--elitism: elitism 20 is outside 0..19 (the population less one)"},
                    BadArgument{{"--elitism", "x\x01"}, "--elitism: elitism 'x\\x01' is not a whole number 0..9999"},
                    BadArgument{{"--crossover-operator", "1-point"},
                                "--crossover-operator: crossover operator '1-point' is not one of one-point, two-point, uniform"},
                    BadArgument{{"--mutation-operator", "creep:129"}, "--mutation-operator: creep step 129 is outside 1..128"},
                    BadArgument{{"--mutation-operator"}, "--mutation-operator needs a value"},
                    BadArgument{{"--algorithm", "hill"}, "--algorithm: algorithm 'hill' is not one of ga, random-search"},
                    BadArgument{{"--algorithm=random-search", "--selection", "rank"},
                                "--algorithm random-search takes no operator choices (rank given)"},
                    BadArgument{{"--trace-generations", "2..3"}, "--trace-generations: needs --trace FILE"},
                    BadArgument{{"--trace=t", "--trace-generations", "3..2"},
                                "--trace-generations: '3..2' is not A..B with 0 <= A <= B"},
                    BadArgument{{"--trace=t", "--generations", "5", "--trace-generations=4..5"},
                                "--trace-generations: 4..5 is not within 0..4 (the generations, counted from 0)"},
                    BadArgument{{"--trace="}, "--trace: the file name is empty"},
                    BadArgument{{"stray"}, "unknown argument 'stray'"}));

// The command line reads a number flag as the window's fields do: the same verdict as the shared
// parser, and a refusal worded from the field's range.
struct SharedVerdict {
    const kelvora::session::NumberField* field;
    const char* text;
};

void PrintTo(const SharedVerdict& v, std::ostream* os) { *os << v.field->flag << " '" << v.text << "'"; }

class CliNumberFlag : public testing::TestWithParam<SharedVerdict> {};

TEST_P(CliNumberFlag, GivesTheSharedParsersVerdict) {
    const auto& [field, text] = GetParam();
    const auto r = ParseCommandLine({field->flag, text});
    const bool accepted = kelvora::session::ParseNumberField(*field, text).has_value();
    EXPECT_EQ(r.ok(), accepted) << r.error;
    if (!accepted) {
        EXPECT_EQ(r.error, std::string(field->flag) + ": '" + text + "' is not " + kelvora::session::ExpectedText(*field));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CliNumberFlag,
    testing::Values(SharedVerdict{&kelvora::session::kPopulationField, "+20"},
                    SharedVerdict{&kelvora::session::kPopulationField, "0020"},
                    SharedVerdict{&kelvora::session::kPopulationField, "1e3"},
                    SharedVerdict{&kelvora::session::kGenerationsField, "10001"},
                    SharedVerdict{&kelvora::session::kCrossoverField, ".75"},
                    SharedVerdict{&kelvora::session::kCrossoverField, "0,5"},
                    SharedVerdict{&kelvora::session::kMutationField, "1."},
                    SharedVerdict{&kelvora::session::kMutationField, "-infinity"},
                    SharedVerdict{&kelvora::session::kSeedField, "+4294967295"}));

TEST(CliOptions, TraceGenerationsAloneOrAsARange) {
    const auto one = ParseCommandLine({"--trace", "t.jsonl", "--trace-generations=7"});
    ASSERT_TRUE(one.ok()) << one.error;
    EXPECT_EQ(one.options.tracePath, "t.jsonl");
    EXPECT_EQ(one.options.traceFirst, 7);
    EXPECT_EQ(one.options.traceLast, 7);
    const auto range = ParseCommandLine({"--trace-generations", "0..99", "--trace", "t"});
    ASSERT_TRUE(range.ok()) << range.error;
    EXPECT_EQ(range.options.traceLast, 99);
}

// Only the two methods that make generations of slots have a trace; every other method is refused by name.
TEST(CliOptions, TraceIsRefusedForEveryMethodWithoutGenerations) {
    const struct {
        const char* method;
        bool traced;
    } rows[] = {{"ga", true},       {"random-search", true},       {"ccd", false},  {"fabrik", false},
                {"jacobian-transpose", false}, {"dls", false},     {"de", false},   {"pso", false},
                {"cmaes", false},    {"simulated-annealing", false}, {"one-plus-one", false},
                {"hill-climbing", false}};
    ASSERT_EQ(std::size(rows), std::size(kelvora::kMethods));  // a new method gets its row here
    for (const auto& row : rows) {
        for (const std::vector<std::string>& tail :
             {std::vector<std::string>{"--trace", "t.jsonl"},
              std::vector<std::string>{"--trace-generations", "1..2", "--trace=t.jsonl"}}) {
            std::vector<std::string> args{"--algorithm", row.method};
            args.insert(args.end(), tail.begin(), tail.end());
            const auto r = ParseCommandLine(args);
            EXPECT_EQ(r.error, row.traced ? std::string() :
                                            std::string("--trace: the method '") + row.method +
                                                "' has no generations to trace; only ga and random-search do")
                << row.method;
        }
    }
}

TEST(CliOptions, OperatorFlagsFillTheAlgorithmWhateverTheOrder) {
    const auto r = ParseCommandLine({"--elitism=9", "--selection", "rank", "--crossover-operator=two-point",
                                     "--mutation-operator", "creep:128", "--encoding=gray", "--population", "10"});
    ASSERT_TRUE(r.ok()) << r.error;
    const kelvora::Algorithm want{kelvora::Method::geneticAlgorithm, kelvora::Encoding::gray, kelvora::Selection::rank, 2, 9,
                                  kelvora::CrossoverOperator::twoPoint, kelvora::MutationOperator::creep, 128};
    EXPECT_TRUE(r.options.algorithm == want) << kelvora::AlgorithmSummary(r.options.algorithm);
    EXPECT_TRUE(ParseCommandLine({}).options.algorithm.classic());
}

TEST(CliOptions, FirstBadFlagIsTheOneReported) {
    const auto r = ParseCommandLine({"--crossover", "0", "--population", "0"});
    ASSERT_FALSE(r.ok());
    EXPECT_NE(r.error.find("--crossover"), std::string::npos) << r.error;
}

TEST(CliNumbers, WholeTextMustConvert) {
    EXPECT_EQ(ParseInteger("-199"), -199);
    EXPECT_FALSE(ParseInteger("+5"));
    EXPECT_FALSE(ParseInteger("0x10"));
    EXPECT_FALSE(ParseInteger("5 "));
    EXPECT_EQ(ParseFiniteDouble("1e-3"), 0.001);
    EXPECT_EQ(ParseFiniteDouble("0.58"), 0.58);
    EXPECT_FALSE(ParseFiniteDouble("-nan"));
    EXPECT_FALSE(ParseFiniteDouble("infinity"));
    EXPECT_FALSE(ParseFiniteDouble("1e999"));
    EXPECT_FALSE(ParseFiniteDouble("."));
}

struct EchoCase {
    std::string argument;
    std::string shown;
};

class CliEcho : public testing::TestWithParam<EchoCase> {};

TEST_P(CliEcho, ArgumentsAreEscapedAndCutAsMessagesEchoThem) {
    EXPECT_EQ(kelvora::cli::Printable(GetParam().argument), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, CliEcho,
    testing::Values(EchoCase{"plain-42,7", "plain-42,7"}, EchoCase{"a\x1b[31mb\x7f", "a\\x1B[31mb\\x7F"},
                    EchoCase{"tab\there\r\n", "tab\\there\\r\\n"}, EchoCase{"back\\slash", "back\\\\slash"},
                    EchoCase{"日本語", "日本語"}, EchoCase{"\xff\xfe", "\\xFF\\xFE"},
                    EchoCase{"cut \xe6\x97", "cut \\xE6\\x97"}, EchoCase{"overlong \xc0\xaf", "overlong \\xC0\\xAF"},
                    EchoCase{"\xe2\x80\xae" "txt.exe", "\\u202Etxt.exe"}, EchoCase{"\xc2\x9b" "c1", "\\u009Bc1"},
                    EchoCase{std::string(80, 'x'), std::string(80, 'x')},
                    EchoCase{std::string(81, 'x'), std::string(77, 'x') + "..."},
                    EchoCase{std::string(79, 'x') + "語", std::string(79, 'x') + "語"},
                    EchoCase{std::string(76, 'x') + "\n" + std::string(10, 'y'), std::string(76, 'x') + "..."}));

TEST(CliOptions, ALongBinaryArgumentIsEchoedShortAndPrintable) {
    const auto r = ParseCommandLine({"--population", std::string(5000, '\x01')});
    ASSERT_FALSE(r.ok());
    EXPECT_LT(r.error.size(), 200u) << r.error;
    for (unsigned char c : r.error) EXPECT_TRUE(c >= 0x20 && c < 0x7f) << r.error;
    EXPECT_NE(r.error.find("'\\x01\\x01"), std::string::npos) << r.error;
}

TEST(CliJson, MembersInOrderStringsEscapedNumbersShortestRoundTrip) {
    const nlohmann::ordered_json value{{"z", "a\"b\\c\n\x01\xff"},
                                       {"a", {1, -2, 0.1, 1.0, 1e-05, 0.1 + 0.2}},
                                       {"m", {{"t", true}, {"n", nullptr}}},
                                       {"e", nlohmann::ordered_json::object()}};
    // Keys as added, not sorted; \n and \x01 as \u00xx, a byte that is not UTF-8 as U+FFFD; 0.1 + 0.2
    // is 0.30000000000000004, the shortest text that reads back as that double.
    EXPECT_EQ(kelvora::cli::JsonLine(value),
              "{\"z\":\"a\\\"b\\\\c\\u000a\\u0001\xEF\xBF\xBD\",\"a\":[1,-2,0.1,1,1e-05,0.30000000000000004],"
              "\"m\":{\"t\":true,\"n\":null},\"e\":{}}");
}
