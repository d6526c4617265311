// Configuration labels: only what differs from the first configuration, and the labels file beside
// an exported sweep CSV read back onto the configurations it names.

#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "session/labels.h"
#include "test_support.h"

namespace kelvora::session {
namespace {

using testing_support::ScratchDir;

// A configuration of population 100, 100 generations, crossover 0.5, mutation 0.1, changed by edit.
template <typename Edit>
SweepCombination Config(Edit edit) {
    SweepCombination c;
    c.params = {100, 100, 0.5, 0.1};
    edit(c);
    return c;
}
const SweepCombination kClassic = Config([](SweepCombination&) {});
const SweepCombination kGray = Config([](SweepCombination& c) { c.algorithm.encoding = Encoding::gray; });
const SweepCombination kCreep = Config([](SweepCombination& c) {
    c.algorithm.mutation = MutationOperator::creep;
    c.algorithm.creepStep = 4;
});
const SweepCombination kGrayCreep = Config([](SweepCombination& c) {
    c.algorithm.encoding = Encoding::gray;
    c.algorithm.mutation = MutationOperator::creep;
    c.algorithm.creepStep = 4;
});
const SweepCombination kPop50 = Config([](SweepCombination& c) { c.params.populationSize = 50; });
const SweepCombination kRandom = Config([](SweepCombination& c) { c.algorithm.method = Method::randomSearch; });
const SweepCombination kRates = Config([](SweepCombination& c) {
    c.params.generationCount = 200;
    c.params.crossoverRate = 0.7;
    c.params.mutationProbability = 0.05;
});

struct LabelRow {
    const char* name;
    std::vector<SweepCombination> configurations;
    std::vector<std::string> labels;
};

class DifferingLabelsOf : public testing::TestWithParam<LabelRow> {};

TEST_P(DifferingLabelsOf, NameOnlyWhatDiffersFromTheFirst) {
    EXPECT_EQ(DifferingLabels(GetParam().configurations), GetParam().labels);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DifferingLabelsOf,
    testing::Values(
        LabelRow{"Alone", {kClassic}, {"classic"}},
        LabelRow{"AloneGray", {kGray}, {"gray"}},
        LabelRow{"OneColumn", {kClassic, kGray, kCreep, kPop50}, {"classic", "gray", "creep:4", "pop 50"}},
        LabelRow{"TwoColumns", {kClassic, kGrayCreep}, {"classic", "gray, creep:4"}},
        LabelRow{"RandomSearch", {kClassic, kRandom}, {"classic", "random-search"}},
        // The classic one after another first: named by its method, as the first is.
        LabelRow{"ClassicNotFirst", {kGray, kClassic, kPop50}, {"gray", "classic", "pop 50, classic"}},
        LabelRow{"IdenticalToTheFirst", {kGray, kGray}, {"gray", "gray"}},
        LabelRow{"Rates", {kClassic, kRates}, {"classic", "gen 200, cross 0.7, mut 0.05"}},
        LabelRow{"None", {}, {}}),
    [](const testing::TestParamInfo<LabelRow>& info) { return std::string(info.param.name); });

TEST(LabelsPath, ReplacesTheCsvSuffix) {
    EXPECT_EQ(LabelsPath("/tmp/sweep.csv"), "/tmp/sweep.labels.json");
    EXPECT_EQ(LabelsPath("runs.CSV"), "runs.labels.json");
    EXPECT_EQ(LabelsPath("runs"), "runs.labels.json");
    EXPECT_EQ(LabelsPath("a.csv.txt"), "a.csv.txt.labels.json");
}

TEST(LabelsFile, RoundTripsOntoTheConfigurationsItNames) {
    ScratchDir dir;
    const std::string path = dir.file("s.labels.json");
    const std::string text = LabelsJson({kClassic, kGray, kPop50}, {"baseline", "Gray \"coded\"", "pop 50"});
    std::ofstream(path, std::ios::binary) << text;
    EXPECT_NE(text.find("\"configuration\": \"100,100,0.5,0.1,ga,binary,roulette,0,one-point,bit-flip\""), std::string::npos);
    // Read onto another order with one configuration the file does not name: it keeps its label.
    std::vector<std::string> labels{"a", "b", "c", "d"};
    EXPECT_EQ(ReadLabels(path, "s.labels.json", {kPop50, kCreep, kClassic, kGray}, labels), "");
    EXPECT_EQ(labels, (std::vector<std::string>{"pop 50", "b", "baseline", "Gray \"coded\""}));
}

TEST(LabelsFile, ThatIsNoneIsRefusedLeavingTheLabels) {
    ScratchDir dir;
    const std::string path = dir.file("bad.labels.json");
    for (const auto& [content, says] : {std::pair{"{\"labels\": [", "s: not JSON"},
                                        std::pair{"[1, 2]", "s: not a labels file (no \"labels\" list)"},
                                        std::pair{"{\"labels\": [{\"label\": \"x\"}]}",
                                                  "s: not a labels file (an entry without a configuration and a label, both text)"}}) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
        std::vector<std::string> labels{"kept"};
        EXPECT_EQ(ReadLabels(path, "s", {kClassic}, labels), says) << content;
        EXPECT_EQ(labels, std::vector<std::string>{"kept"});
    }
    std::vector<std::string> labels{"kept"};
    EXPECT_EQ(ReadLabels(dir.file("missing.json"), "m", {kClassic}, labels).rfind("m: cannot read: ", 0), 0u);
}

}  // namespace
}  // namespace kelvora::session
