// kelvora-cli landscape and landscape-map as a user runs them: refusals, the JSON and the optima
// file agreeing with each other and with the optimum, and shards that add up to the whole map.

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/optimum.h"
#include "cli_test_support.h"
#include "model/types.h"

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status = -1;
    std::string out, err;
};

using kelvora::clitest::ReadFile;

class LandscapeProcess : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("kelvora-landscape-test-" + std::to_string(getpid()) + "-" +
                                            testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Runs kelvora-cli in the test's directory with stdout and stderr captured to files.
    Outcome Run(const std::vector<std::string>& args) {
        const pid_t pid = fork();
        if (pid == 0) {
            if (chdir(dir_.c_str()) != 0) _exit(127);
            if (!std::freopen(".out", "w", stdout) || !std::freopen(".err", "w", stderr)) _exit(127);
            alarm(120);
            std::vector<char*> argv{const_cast<char*>(KELVORA_CLI_PATH)};
            for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(KELVORA_CLI_PATH, argv.data());
            _exit(127);
        }
        int raw = 0;
        waitpid(pid, &raw, 0);
        Outcome o{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(dir_ / ".out"), ReadFile(dir_ / ".err")};
        fs::remove(dir_ / ".out");
        fs::remove(dir_ / ".err");
        return o;
    }

    fs::path dir_;
};

TEST_F(LandscapeProcess, RefusalsNameTheFlagAndTheValue) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> rows{
        {{"landscape", "--target", "200,0"}, "landscape: --target: '200,0' is not X,Y with integers X and Y in -199..199"},
        {{"landscape", "--target=1"}, "landscape: --target: '1' is not X,Y with integers X and Y in -199..199"},
        {{"landscape", "--neighbourhood", "gray,creep:129"},
         "landscape: --neighbourhood: 'creep:129' is not binary, gray or creep:S with S in 1..128"},
        {{"landscape", "--neighbourhood", "grey"}, "landscape: --neighbourhood: 'grey' is not binary, gray or creep:S with S in 1..128"},
        {{"landscape", "--neighbourhood", "gray,gray"}, "landscape: --neighbourhood: 'gray' is listed twice"},
        {{"landscape", "--neighbourhood", "gray,"}, "landscape: --neighbourhood: empty item in 'gray,'"},
        {{"landscape", "--epsilon", "-1"}, "landscape: --epsilon: '-1' is not a number of pixels in 0..1000"},
        {{"landscape", "--epsilon", "nan"}, "landscape: --epsilon: 'nan' is not a number of pixels in 0..1000"},
        {{"landscape", "--neighbourhod", "gray"}, "landscape: unknown argument '--neighbourhod' (did you mean --neighbourhood?)"},
        {{"landscape", "--step", "4"}, "landscape: unknown argument '--step' (see kelvora-cli landscape --help)"},
        {{"landscape", "--json", "--json"}, "landscape: --json is given twice; give it once"},
        {{"landscape", "--json=1"}, "landscape: --json takes no value"},
        {{"landscape", "--optima"}, "landscape: --optima needs a value"},
        {{"landscape-map"}, "landscape-map: --output FILE is required (a .csv or a .png name)"},
        {{"landscape-map", "--output", "m.txt"}, "landscape-map: --output: 'm.txt' does not end in .png or .csv"},
        {{"landscape-map", "--output", "m.csv", "--neighbourhood", "binary,gray"},
         "landscape-map: --neighbourhood: give one neighbourhood, not a list"},
        {{"landscape-map", "--output", "m.csv", "--step", "0"}, "landscape-map: --step: '0' is not an integer in 1..199"},
        {{"landscape-map", "--output", "m.csv", "--shard", "3/2"},
         "landscape-map: --shard: '3/2' is not K/N with integers 1 <= K <= N <= 10000"},
        {{"landscape-map", "--output", "m.png", "--shard", "1/2"},
         "landscape-map: --shard writes CSV rows; 'm.png' is not a .csv name"},
    };
    for (const auto& [args, says] : rows) {
        const Outcome o = Run(args);
        EXPECT_EQ(o.status, 2) << says;
        EXPECT_EQ(o.err, "kelvora-cli " + says + "\n");
        EXPECT_EQ(o.out, "") << says;
    }
    EXPECT_TRUE(fs::is_empty(dir_));
}

TEST_F(LandscapeProcess, JsonAndOptimaFileAgree) {
    const Outcome o = Run({"landscape", "--target", "0,-120", "--neighbourhood", "binary,creep:128", "--epsilon", "1",
                           "--json", "--optima", "optima.csv"});
    ASSERT_EQ(o.status, 0) << o.err;
    const auto j = nlohmann::json::parse(o.out);
    const kelvora::Optimum best = kelvora::FindOptimum(kelvora::kBaseX, kelvora::kBaseY, kelvora::kBaseX, kelvora::kBaseY + 120);
    EXPECT_EQ(j["target"], nlohmann::json::array({0, -120}));
    EXPECT_EQ(j["optimum"]["pose"], nlohmann::json::array({best.pose.a1, best.pose.a2, best.pose.a3}));
    EXPECT_EQ(j["optimum"]["distance"].get<double>(), best.distance);
    EXPECT_EQ(j["epsilon"].get<double>(), 1.0);
    ASSERT_EQ(j["neighbourhoods"].size(), 2u);

    // Per neighbourhood from the file: the lines, the basins' sum, those within 1 px, the optimum's.
    std::istringstream lines(ReadFile(dir_ / "optima.csv"));
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "neighbourhood,gene0,gene1,gene2,distance,basin_size");
    struct Tally {
        long long optima = 0, within = 0, basins = 0, startsWithin = 0, basinOptimum = 0;
    } tally[2];
    while (std::getline(lines, line)) {
        char name[32];
        int g0, g1, g2;
        double distance;
        long long basin;
        ASSERT_EQ(std::sscanf(line.c_str(), "%31[^,],%d,%d,%d,%lf,%lld", name, &g0, &g1, &g2, &distance, &basin), 6) << line;
        Tally& t = tally[std::string(name) == "binary" ? 0 : 1];
        ++t.optima;
        t.basins += basin;
        if (distance <= 1) ++t.within, t.startsWithin += basin;
        if (g0 == best.pose.a1 && g1 == best.pose.a2 && g2 == best.pose.a3) t.basinOptimum = basin;
    }
    for (int k = 0; k < 2; ++k) {
        const auto& n = j["neighbourhoods"][k];
        EXPECT_EQ(n["name"], k == 0 ? "binary" : "creep:128");
        EXPECT_EQ(tally[k].basins, 1 << 24);
        EXPECT_EQ(n["localOptima"].get<long long>(), tally[k].optima);
        EXPECT_EQ(n["localOptimaWithin"].get<long long>(), tally[k].within);
        EXPECT_EQ(n["startsWithin"].get<long long>(), tally[k].startsWithin);
        EXPECT_EQ(n["basinOptimum"].get<long long>(), tally[k].basinOptimum);
        EXPECT_GT(tally[k].basinOptimum, 0);
        EXPECT_EQ(n["startsWithinShare"].get<double>(), tally[k].startsWithin / 16777216.0);
        EXPECT_LT(std::abs(n["fdc"].get<double>()), 1.0);
    }
}

TEST_F(LandscapeProcess, ShardsMakeTheWholeMapAndItsRowsAreTheLandscapes) {
    const std::vector<std::string> map = {"landscape-map", "--step", "199", "--neighbourhood", "creep:2", "--quiet"};
    auto with = [&](std::vector<std::string> extra) {
        std::vector<std::string> args = map;
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    };
    ASSERT_EQ(Run(with({"--output", "one.csv", "--shard", "1/2"})).status, 0);
    ASSERT_EQ(Run(with({"--output", "two.csv", "--shard", "2/2"})).status, 0);
    std::vector<std::string> rows;
    std::istringstream both(ReadFile(dir_ / "one.csv") + ReadFile(dir_ / "two.csv"));
    for (std::string line; std::getline(both, line);) rows.push_back(line);
    ASSERT_EQ(rows.size(), 9u);  // -199, 0, 199 on each axis
    // The unsharded order: top row first, left to right; shard 1 holds the 1st, 3rd, 5th, ... target.
    const std::string whole[9] = {"-199,199", "0,199", "199,199", "-199,0", "0,0", "199,0", "-199,-199", "0,-199", "199,-199"};
    for (int k = 0; k < 9; ++k) {
        const std::string& row = rows[k % 2 == 0 ? k / 2 : 5 + k / 2];
        EXPECT_EQ(row.rfind(whole[k] + ",", 0), 0u) << row;
    }
    // The base's row against landscape for the same target.
    const std::string base = rows[2];
    const Outcome o = Run({"landscape", "--target", "0,0", "--neighbourhood", "creep:2", "--json"});
    const auto n = nlohmann::json::parse(o.out)["neighbourhoods"][0];
    EXPECT_EQ(base.substr(0, base.rfind(',')), "0,0," + std::to_string(n["localOptima"].get<long long>()) + "," +
                                                    std::to_string(n["startsWithin"].get<long long>()));
}

}  // namespace

namespace {

// The rows' file of a map being made: its first line names the map, then one row per finished target.
class LandscapeMapResume : public LandscapeProcess {
protected:
    void Write(const std::string& name, const std::string& text) { std::ofstream(dir_ / name, std::ios::binary) << text; }
};

TEST_F(LandscapeMapResume, AResumedMapIsTheUninterruptedMapByteForByte) {
    const std::vector<std::string> map = {"landscape-map", "--step", "199", "--shard", "1/3", "--quiet"};
    auto with = [&](const std::string& output, std::vector<std::string> extra = {}) {
        std::vector<std::string> args = map;
        args.insert(args.end(), {"--output", output});
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    };
    ASSERT_EQ(Run(with("whole.csv")).status, 0);
    EXPECT_FALSE(fs::exists(dir_ / "whole.csv.partial"));
    const std::string whole = ReadFile(dir_ / "whole.csv");
    // Targets 1, 4, 7 of the 3 x 3 grid: (-199,199), (-199,0), (-199,-199).
    ASSERT_EQ(std::count(whole.begin(), whole.end(), '\n'), 3);
    ASSERT_EQ(whole.rfind("-199,199,", 0), 0u);
    const std::size_t first = whole.find('\n') + 1;
    // Stopped after the first target, in the middle of writing the second row.
    Write("resumed.csv.partial", "landscape-map gray step 199 epsilon 0.5 shard 1/3\n" + whole.substr(0, first + 7));
    const Outcome o = Run(with("resumed.csv", {"--resume"}));
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(ReadFile(dir_ / "resumed.csv"), whole);
    EXPECT_FALSE(fs::exists(dir_ / "resumed.csv.partial"));
}

TEST_F(LandscapeMapResume, AForeignRowsFileIsRefusedNamingItsLine) {
    const std::string header = "landscape-map gray step 199 epsilon 0.5 shard 1/3\n";
    const std::vector<std::pair<std::string, std::string>> rows{
        {"landscape-map binary step 199 epsilon 0.5 shard 1/3\n",
         "m.csv.partial: line 1 is not 'landscape-map gray step 199 epsilon 0.5 shard 1/3' (another map's rows; "
         "resume with the same arguments)"},
        // The second target of shard 1/3 is (-199, 0), not (0, 199).
        {header + "-199,199,1,0,0\n0,199,1,0,0\n",
         "m.csv.partial: line 3 is '0,199,1,0,0', expected the row of target -199,0"},
        // The share must be starts_within / 256^3 exactly: 8388608 / 16777216.
        {header + "-199,199,1,8388608,0.25\n",
         "m.csv.partial: line 2 is '-199,199,1,8388608,0.25', expected the row of target -199,199"},
        {header + "-199,199,x\n", "m.csv.partial: line 2 is not a row x,y,local_optima,starts_within,share"},
        {header + "-199,199,1,16777217,1\n", "m.csv.partial: line 2 holds a count outside 0..16777216"},
        {header + "-199,199,1,0,0\n-199,200,1,0,0\n", "m.csv.partial: line 3 names the target -199,200, outside -199..199"},
    };
    for (const auto& [partial, says] : rows) {
        Write("m.csv.partial", partial);
        const Outcome o = Run({"landscape-map", "--step", "199", "--shard", "1/3", "--output", "m.csv", "--resume"});
        EXPECT_EQ(o.status, 2) << says;
        EXPECT_EQ(o.err, "kelvora-cli landscape-map: " + says + "\n");
        EXPECT_EQ(ReadFile(dir_ / "m.csv.partial"), partial) << "left as it was";
        EXPECT_FALSE(fs::exists(dir_ / "m.csv"));
    }
    const Outcome plain = Run({"landscape-map", "--output", "m.csv", "--plain"});
    EXPECT_EQ(plain.status, 2);
    EXPECT_EQ(plain.err, "kelvora-cli landscape-map: --plain applies to a .png picture, not to 'm.csv'\n");
}

// The picture from rows kept in the rows file (made up, but each its target's), so that only the
// last target, (199, -199), out of the arm's reach, is computed: no start gets within 0.5 px there.
TEST_F(LandscapeMapResume, ThePictureIsAFigureWithAxesOrWithPlainTheMapAlone) {
    // Every start of the base's target climbs to it (yellow); none elsewhere (black).
    std::string rows;
    for (const char* xy : {"-199,199", "0,199", "199,199", "-199,0"}) rows += std::string(xy) + ",1,0,0\n";
    rows += "0,0,1,16777216,1\n";
    for (const char* xy : {"199,0", "-199,-199", "0,-199"}) rows += std::string(xy) + ",1,0,0\n";
    const std::string header = "landscape-map gray step 199 epsilon 0.5 shard 1/1\n";
    struct Case {
        const char* name;
        std::vector<std::string> extra;
        int width, height, mapLeft, mapTop;
    };
    for (const Case& c : {Case{"figure.png", {}, 600, 516, 72, 44}, Case{"plain.png", {"--plain"}, 399, 399, 0, 0}}) {
        Write(std::string(c.name) + ".partial", header + rows);
        std::vector<std::string> args{"landscape-map", "--step", "199", "--quiet", "--resume", "--output", c.name};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        ASSERT_EQ(Run(args).status, 0) << c.name;
        const auto [width, height, rgb] = kelvora::clitest::DecodePng(dir_ / c.name);
        ASSERT_EQ(width, c.width);
        ASSERT_EQ(height, c.height);
        const auto at = [&](int x, int y) {  // a target's pixel, x and y from the base with y up
            const std::size_t i = 3 * static_cast<std::size_t>((c.mapTop + 199 - y) * width + c.mapLeft + 199 + x);
            return std::vector<int>{rgb[i], rgb[i + 1], rgb[i + 2]};
        };
        // The base's cell, 199 px square around it (-99..99), yellow (20 + 235, 30 + 200, 0) but for
        // the base mark in the figure; every other cell black, the computed corner's too.
        EXPECT_EQ(at(10, 10), (std::vector<int>{255, 230, 0})) << c.name;
        EXPECT_EQ(at(-99, 99), (std::vector<int>{255, 230, 0})) << c.name;
        EXPECT_EQ(at(-100, 0), (std::vector<int>{0, 0, 0})) << c.name;
        EXPECT_EQ(at(150, -150), (std::vector<int>{0, 0, 0})) << c.name;
        if (c.width == 600) {
            // The x axis's tick at +50 below the frame, and the colour bar's top (a share of 1) yellow.
            const auto px = [&](int x, int y) {
                const std::size_t i = 3 * static_cast<std::size_t>(y * width + x);
                return std::vector<int>{rgb[i], rgb[i + 1], rgb[i + 2]};
            };
            EXPECT_EQ(px(72 + 199 + 50, 44 + 399 + 3), (std::vector<int>{51, 51, 51}));
            EXPECT_EQ(px(72 + 199 + 52, 44 + 399 + 3), (std::vector<int>{255, 255, 255}));
            EXPECT_EQ(px(504 + 10, 44), (std::vector<int>{255, 230, 0}));
        }
    }
}

}  // namespace
