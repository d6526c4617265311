// The experiment file: each key wrong in turn refused with its path, open -> save byte-identical,
// value lists expanded with the short labels, and the one seed and target list rules.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "experiment/experiment_file.h"

namespace kelvora::experiment {
namespace {

// A valid file with one hole, KEYS, where each row puts its members.
std::string File(const std::string& keys, const std::string& configurations = R"([{"population": 20}])") {
    return R"({"format": "kelvora-experiment", "version": 1, "configurations": )" + configurations +
           R"(, "seeds": "1..10")" + (keys.empty() ? "" : ", " + keys) + "}";
}

struct Malformed {
    std::string text;
    std::string message;
};

class MalformedFile : public ::testing::TestWithParam<Malformed> {};

TEST_P(MalformedFile, IsRefusedNamingTheKeyPath) {
    Experiment e;
    ExperimentPlan plan;
    ExperimentFault fault = ParseExperiment(GetParam().text, e);
    if (!fault) fault = PlanExperiment(e, plan);
    EXPECT_EQ(ExperimentFaultText(fault), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    EachKey, MalformedFile,
    ::testing::Values(
        Malformed{"{", "not JSON (at byte 2)"},
        Malformed{R"({"format": "other", "version": 1})", "not an experiment file (no \"format\": \"kelvora-experiment\")"},
        Malformed{R"({"format": "kelvora-experiment", "version": 2})", "version: 2 is not a version this program reads (1)"},
        Malformed{File(R"("colour": 1)"), "colour: unknown key"},
        Malformed{R"({"format": "kelvora-experiment", "version": 1, "seeds": "1"})", "configurations: missing (it is required)"},
        Malformed{File("", R"([{"population": 20, "mutaton": 0.1}])"), "configurations[0].mutaton: unknown key"},
        Malformed{File("", R"([{}, {}, {"mutation": 1.5}])"), "configurations[2].mutation: 1.5 is outside 0..1"},
        Malformed{File("", R"([{"population": 20.5}])"), "configurations[0].population: 20.5 is not an integer"},
        Malformed{File("", R"([{"population": 0}])"), "configurations[0].population: 0 is outside 1..10000"},
        Malformed{File("", R"([{"generations": "100"}])"), "configurations[0].generations: \"100\" is not an integer"},
        Malformed{File("", R"([{"crossover": [0.5, 0]}])"), "configurations[0].crossover[1]: 0 is outside 0.001..1"},
        Malformed{File("", R"([{"algorithm": ["ga", 3]}])"), "configurations[0].algorithm[1]: 3 is not text"},
        Malformed{File("", R"([{"selection": "tournament:1"}])"),
                  "configurations[0].selection: tournament size 1 is outside 2..10000"},
        Malformed{File("", R"([{"encoding": 1}])"), "configurations[0].encoding: 1 is not text"},
        Malformed{File("", R"([{"elitism": -1}])"), "configurations[0].elitism: -1 is outside 0..9999"},
        Malformed{File("", R"([{"population": 3, "selection": "tournament:4"}])"),
                  "configurations[0]: tournament size 4 is outside 2..3 (the population)"},
        Malformed{File("", R"([{"population": [20, 20]}])"), "configurations[0].population[1]: 20 is listed twice"},
        Malformed{File("", R"([{"population": 20}, {"label": "x"}])"),
                  "configurations[1]: the same configuration as configurations[0]"},
        Malformed{File("", R"([{"label": "a"}, {"label": "a", "population": 50}])"),
                  "configurations[1].label: the label 'a' names two configurations"},
        Malformed{File("", R"([{"label": 5}])"), "configurations[0].label: 5 is not text"},
        Malformed{File(R"("seeds": "5..1")"), "seeds: the range '5..1' is reversed (it would hold no seed)"},
        Malformed{File(R"("seeds": [1, 2, 1])"), "seeds: seed 1 is listed twice"},
        Malformed{File(R"("seeds": [1, -2])"), "seeds[1]: -2 is outside 0..4294967295"},
        Malformed{File(R"("targets": [[68, 200]])"), "targets[0]: [68,200] is outside -199..199"},
        Malformed{File(R"("targets": [[1, 2], "random:0"])"), "targets[1]: 'random:0' is not random:K with K in 1..10000"},
        Malformed{File(R"("targets": [[1, 2], [1, 2]])"), "targets[1]: '1,2' is given twice"},
        Malformed{File(R"("targets": "68,180")"), "targets: \"68,180\" is not a list of [x, y] pairs and \"random:K\""},
        Malformed{File(R"("target_seed": -1)"), "target_seed: -1 is outside 0..4294967295"},
        Malformed{File(R"("targets": [[1, 2]], "target_seed": 3)"), "target_seed: given without a \"random:K\" among the targets"},
        Malformed{File(R"("epsilon": 0)"), "epsilon: 0 is outside (0, 1000]"},
        Malformed{File(R"("alpha": 1)"), "alpha: 1 is outside (0, 1)"},
        Malformed{File(R"("baseline": "pop 50")"), "baseline: 'pop 50' is not the label of a configuration, nor \"all\""},
        Malformed{File(R"("problem": {"links": [60, 100, 50]})"), "problem.links: [60,100,50] is not [60, 100, 40] (the only arm solved so far)"},
        Malformed{File(R"("problem": {"links": [60, 100, 40], "joints": 3})"), "problem.joints: unknown key"}));

// Files as this program writes them: reading and writing again gives the same bytes.
class RoundTrip : public ::testing::TestWithParam<std::string> {};

TEST_P(RoundTrip, OpenThenSaveIsByteIdentical) {
    Experiment e;
    ASSERT_FALSE(ParseExperiment(GetParam(), e)) << ExperimentFaultText(ParseExperiment(GetParam(), e));
    EXPECT_EQ(ExperimentText(e), GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Files, RoundTrip,
    ::testing::Values(
        "{\n  \"format\": \"kelvora-experiment\",\n  \"version\": 1,\n  \"configurations\": [\n    {}\n  ],\n"
        "  \"seeds\": \"1..100\"\n}\n",
        "{\n  \"format\": \"kelvora-experiment\",\n  \"version\": 1,\n  \"title\": \"Gray \\\"coding\\\" — 効果\",\n"
        "  \"notes\": \"line one\\nline two\",\n  \"configurations\": [\n"
        "    {\"label\": \"classic\", \"population\": 20, \"crossover\": 0.1, \"mutation\": 1e-05},\n"
        "    {\"population\": [20, 50], \"crossover\": 1, \"encoding\": \"gray\", \"selection\": \"tournament:3\", \"elitism\": 1},\n"
        "    {\"algorithm\": [\"ccd\", \"random-search\"], \"mutation_operator\": \"creep:4\"}\n  ],\n"
        "  \"seeds\": [7, 8, 9, 42],\n  \"targets\": [[68, 180], [-5, 3], \"random:3\"],\n  \"target_seed\": 4294967295,\n"
        "  \"epsilon\": 2,\n  \"alpha\": 0.01,\n  \"baseline\": \"classic\",\n  \"problem\": {\"links\": [60, 100, 40]}\n}\n"));

// The shipped examples are files as this program writes them, and each one plans.
TEST(ExperimentFile, ExamplesReadPlanAndSaveUnchanged) {
    int examples = 0;
    for (const auto& entry : std::filesystem::directory_iterator(KELVORA_EXAMPLES)) {
        if (entry.path().string().find(kExtension) == std::string::npos) continue;
        ++examples;
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        Experiment e;
        ASSERT_FALSE(ReadExperimentFile(entry.path().string(), e)) << entry.path();
        EXPECT_EQ(ExperimentText(e), bytes.str()) << entry.path();
        ExperimentPlan plan;
        EXPECT_EQ(ExperimentFaultText(PlanExperiment(e, plan)), "") << entry.path();
    }
    EXPECT_GE(examples, 3);
}

TEST(ExperimentPlan, ValueListsExpandWithTheShortLabels) {
    Experiment e;
    ASSERT_FALSE(ParseExperiment(File(R"("targets": ["random:2", [-5, 3]], "baseline": "pop 50")",
                                      R"([{"population": [20, 50]}, {"label": "G", "encoding": "gray", "elitism": [0, 2]}])"),
                                 e));
    ExperimentPlan plan;
    ASSERT_FALSE(PlanExperiment(e, plan));
    ASSERT_EQ(plan.configurations.size(), 4u);
    const char* const labels[] = {"classic", "pop 50", "G elitism=0", "G elitism=2"};
    for (std::size_t k = 0; k < 4; ++k) EXPECT_EQ(plan.configurations[k].label, labels[k]);
    EXPECT_EQ(plan.configurations[1].params.populationSize, 50);
    EXPECT_EQ(plan.configurations[3].algorithm.elitism, 2);
    EXPECT_EQ(plan.configurations[3].algorithm.encoding, Encoding::gray);
    // The given target first, then the two drawn from seed 1, as sweep --target -5,3 --targets random:2 draws them.
    const std::vector<SweepTarget> drawn = RandomTargets(2, 1);
    ASSERT_EQ(plan.targets.size(), 3u);
    EXPECT_EQ(plan.targets[0], (SweepTarget{-5, 3}));
    EXPECT_EQ(plan.targets[1], drawn[0]);
    EXPECT_EQ(plan.targets[2], drawn[1]);
    EXPECT_EQ(plan.SweepOf(2).seeds.size(), 10u);
    EXPECT_EQ(plan.epsilon, 0.5);
}

TEST(ExperimentPlan, RandomSearchOnceAmongOperatorLists) {
    Experiment e;
    ASSERT_FALSE(ParseExperiment(File("", R"([{"algorithm": ["random-search", "ga"], "encoding": ["binary", "gray"]}])"), e));
    ExperimentPlan plan;
    ASSERT_FALSE(PlanExperiment(e, plan));
    EXPECT_EQ(plan.configurations.size(), 3u);  // random-search, ga binary, ga gray
}

struct SeedRow {
    const char* text;
    ListFault::Kind fault;
    long long count;
};

class SeedLists : public ::testing::TestWithParam<SeedRow> {};

TEST_P(SeedLists, OneRuleForEveryFrontEnd) {
    SeedList list;
    EXPECT_EQ(ParseSeedList(GetParam().text, list).kind, GetParam().fault);
    if (GetParam().fault == ListFault::none) {
        EXPECT_EQ(list.count(), GetParam().count);
        SeedList again;
        EXPECT_FALSE(ParseSeedList(SeedListText(list), again));
        EXPECT_EQ(again, list);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SeedLists,
    ::testing::Values(SeedRow{"1..100", ListFault::none, 100}, SeedRow{"1..10,42", ListFault::none, 11},
                      SeedRow{"4294967295", ListFault::none, 1}, SeedRow{"0..99999999", ListFault::none, 100000000},
                      SeedRow{"0..100000000", ListFault::tooManySeeds, 0}, SeedRow{"4294967296", ListFault::notSeed, 0},
                      SeedRow{"1..5,5", ListFault::seedTwice, 0}, SeedRow{"3..1", ListFault::reversed, 0},
                      SeedRow{"1,,2", ListFault::emptyItem, 0}, SeedRow{"", ListFault::empty, 0},
                      SeedRow{"1 ..5", ListFault::notSeed, 0}));

struct TargetRow {
    const char* text;
    ListFault::Kind fault;
    std::size_t targets;
};

class TargetLists : public ::testing::TestWithParam<TargetRow> {};

TEST_P(TargetLists, OneRuleForEveryFrontEnd) {
    TargetList list;
    ListFault fault = ParseTargetList(GetParam().text, list);
    std::vector<SweepTarget> targets;
    if (!fault) fault = ResolveTargets(list, targets);
    EXPECT_EQ(fault.kind, GetParam().fault);
    EXPECT_EQ(targets.size(), GetParam().targets);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TargetLists,
    ::testing::Values(TargetRow{"+5,3", ListFault::none, 1}, TargetRow{"  68,180\t-5,-3 random:4 ", ListFault::none, 6},
                      TargetRow{"199,-199", ListFault::none, 1}, TargetRow{"200,0", ListFault::notTarget, 0},
                      TargetRow{"5, 3", ListFault::notTarget, 0}, TargetRow{"1,2 1,2", ListFault::targetTwice, 0},
                      TargetRow{"random:2 random:3", ListFault::randomTwice, 0},
                      TargetRow{"random:10001", ListFault::notRandom, 0}, TargetRow{"", ListFault::none, 0}));

TEST(TargetLists, ADrawnTargetAlsoGivenIsRefused) {
    const SweepTarget drawn = RandomTargets(1, 1)[0];
    TargetList list;
    ASSERT_FALSE(AddTargetItem(TargetText(drawn), list));
    ASSERT_FALSE(AddTargetItem("random:1", list));
    std::vector<SweepTarget> targets;
    const ListFault fault = ResolveTargets(list, targets);
    EXPECT_EQ(fault.kind, ListFault::drawnGiven);
    EXPECT_EQ(fault.value, TargetText(drawn));
}

}  // namespace
}  // namespace kelvora::experiment
