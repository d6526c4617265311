// A sweep exported in the IOHprofiler format: the JSON meta-data and the .dat runs parse as the
// format documents them and say what the sweep's rows say.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "batch/ioh_export.h"
#include "test_support.h"

namespace kelvora {
namespace {

TEST(IohExport, FilesParseAsTheFormatSaysAndAgreeWithTheRuns) {
    SweepPlan plan;
    Algorithm creep;
    creep.mutation = MutationOperator::creep;
    creep.creepStep = 4;
    plan.algorithms = {Algorithm{}, creep};
    plan.populations = {12};
    plan.generations = {30};
    plan.crossovers = {0.5};
    plan.mutations = {0.1};
    plan.targets = {{68, 180}, {-50, 20}};
    plan.seeds = {1, 2, 3};
    testing_support::ScratchDir dir;
    IohExport ioh(dir.path().string());
    std::vector<SweepResult> results;
    RunSweep(plan, {.threads = 2}, [&](long long index, const SweepResult& r) {
        results.push_back(r);
        const int instance = static_cast<int>((index / 3) % 2) + 1;
        ASSERT_EQ(ioh.add(r, instance), "");
    });
    ASSERT_EQ(ioh.finish(), "");
    ASSERT_EQ(results.size(), 12u);

    for (std::size_t configuration = 0; configuration < 2; ++configuration) {
        const std::string name = IohConfigurationName(results[configuration * 6].combination);
        const std::filesystem::path folder = dir.path() / name;
        std::ifstream jsonFile(folder / "IOHprofiler_f1_ArmReach.json");
        const nlohmann::json meta = nlohmann::json::parse(jsonFile);
        EXPECT_EQ(meta.at("maximization"), false);
        EXPECT_EQ(meta.at("function_id"), 1);
        EXPECT_EQ(meta.at("algorithm").at("name"), name);
        const nlohmann::json& scenario = meta.at("scenarios").at(0);
        EXPECT_EQ(scenario.at("dimension"), 3);
        const nlohmann::json& runs = scenario.at("runs");
        ASSERT_EQ(runs.size(), 6u);

        // The .dat file: a header line per run, then "evaluations raw_y" rising in evaluations.
        std::ifstream dat(folder / scenario.at("path").get<std::string>());
        std::vector<std::vector<std::pair<long long, double>>> datRuns;
        for (std::string line; std::getline(dat, line);) {
            if (line == "evaluations raw_y") {
                datRuns.emplace_back();
                continue;
            }
            ASSERT_FALSE(datRuns.empty()) << "a line before the first header";
            std::istringstream fields(line);
            long long evaluations = 0;
            double y = 0;
            ASSERT_TRUE(fields >> evaluations >> y) << line;
            datRuns.back().emplace_back(evaluations, y);
        }
        ASSERT_EQ(datRuns.size(), 6u);
        for (std::size_t k = 0; k < 6; ++k) {
            const SweepResult& r = results[configuration * 6 + k];
            const auto& lines = datRuns[k];
            ASSERT_FALSE(lines.empty());
            for (std::size_t i = 1; i < lines.size(); ++i) {
                EXPECT_GT(lines[i].first, lines[i - 1].first);
                EXPECT_LE(lines[i].second, lines[i - 1].second);
            }
            EXPECT_EQ(lines.back().first, 12 * 30) << "every run ends at its budget";
            EXPECT_EQ(lines.back().second, r.eliteDistance);
            EXPECT_EQ(runs[k].at("best").at("y").get<double>(), r.eliteDistance);
            EXPECT_EQ(runs[k].at("evals"), 12 * 30);
            EXPECT_EQ(runs[k].at("instance"), static_cast<int>(k / 3) + 1);
            EXPECT_EQ(runs[k].at("optimum_distance").get<double>(), r.optimumDistance);
        }
    }
}

TEST(IohExport, RunsInEvaluationsOfAnyOptimiser) {
    testing_support::ScratchDir dir;
    {
        IohExport ioh(dir.path().string());
        for (const char* bad : {"", "a/b", "..", ".hidden"})
            EXPECT_NE(IohExport(dir.path().string()).addEvaluations(bad, "", 1, 10, {}, 0.0), "") << bad;
        EXPECT_NE(IohExport(dir.path().string()).addEvaluations("mine", "", 1, 0, {}, 0.0), "");
        EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << "a refused run writes nothing";
        ASSERT_EQ(ioh.addEvaluations("my-es", "says \"hi\"\n", 2, 500, {{7, 9.5}, {130, 0.75}}, 0.5), "");
        ASSERT_EQ(ioh.addEvaluations("my-es", "", 1, 500, {{500, 3.0}}, 0.25), "");
        ASSERT_EQ(ioh.finish(), "");
    }
    const std::filesystem::path folder = dir.path() / "my-es";
    std::ifstream jsonFile(folder / "IOHprofiler_f1_ArmReach.json");
    const nlohmann::json meta = nlohmann::json::parse(jsonFile);
    EXPECT_EQ(meta.at("algorithm").at("info"), "says \"hi\"\n");
    const nlohmann::json& runs = meta.at("scenarios").at(0).at("runs");
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].at("instance"), 2);
    EXPECT_EQ(runs[0].at("evals"), 500);
    EXPECT_EQ(runs[0].at("best").at("evals"), 130);
    EXPECT_EQ(runs[1].at("best").at("y").get<double>(), 3.0);
    std::ifstream dat(folder / "data_f1_ArmReach" / "IOHprofiler_f1_DIM3.dat");
    const std::string text((std::istreambuf_iterator<char>(dat)), std::istreambuf_iterator<char>());
    // The last improvement before the budget is carried to it; one at the budget is not repeated.
    EXPECT_EQ(text, "evaluations raw_y\n7 9.5\n130 0.75\n500 0.75\nevaluations raw_y\n500 3\n");
}

}  // namespace
}  // namespace kelvora
