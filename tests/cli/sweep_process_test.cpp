// kelvora-cli sweep, sweep-merge and the signals, as a user runs them: exit status, the files left.

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "io/run_record.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> Lines(const std::string& text, char end = '\n') {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line, end);) lines.push_back(line);
    return lines;
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string f; std::getline(in, f, ',');) fields.push_back(f);
    if (!line.empty() && line.back() == ',') fields.emplace_back();
    return fields;
}

class SweepCli : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("kelvora-sweep-test-" + std::to_string(getpid()) + "-" +
                                            testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Starts kelvora-cli in dir_ with stdout and stderr going to files there; fileLimit > 0: no file
    // may grow past that many bytes, as on a disk that is full there (writes fail with EFBIG).
    pid_t Start(const std::vector<std::string>& args, rlim_t fileLimit = 0) {
        const pid_t pid = fork();
        if (pid == 0) {
            if (chdir(dir_.c_str()) != 0) _exit(127);
            if (fileLimit > 0) {
                const rlimit limit{fileLimit, fileLimit};
                if (signal(SIGXFSZ, SIG_IGN) == SIG_ERR || setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(127);
            }
            if (!freopen(".stdout", "w", stdout) || !freopen(".stderr", "w", stderr)) _exit(127);
            std::vector<char*> argv{const_cast<char*>(KELVORA_CLI_PATH)};
            for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(KELVORA_CLI_PATH, argv.data());
            _exit(127);
        }
        return pid;
    }
    int Wait(pid_t pid) {
        int raw = 0;
        waitpid(pid, &raw, 0);
        err_ = ReadFile(dir_ / ".stderr");
        out_ = ReadFile(dir_ / ".stdout");
        fs::remove(dir_ / ".stderr");
        fs::remove(dir_ / ".stdout");
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : 1000 + WTERMSIG(raw);
    }
    int Run(const std::vector<std::string>& args) { return Wait(Start(args)); }

    // Waits until path holds more than bytes bytes (or 20 s pass).
    void WaitForSize(const fs::path& path, std::uintmax_t bytes) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        std::error_code ec;
        while (std::chrono::steady_clock::now() < until && !(fs::exists(path) && fs::file_size(path, ec) > bytes))
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }

    fs::path dir_;
    std::string out_, err_;
};

const std::vector<std::string> kSweep{"sweep",         "--population", "20,60",  "--generations", "30",
                                      "--seeds",       "1..6",         "--target", "68,180",        "--target=-50,20",
                                      "--crossover",   "0.5,0.9",      "--quiet"};

// args and more; a flag with a value that args has already gets more's value instead, as each flag
// is given once.
std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more) {
    for (std::size_t i = 0; i < more.size(); ++i) {
        const auto given = std::find(args.begin(), args.end(), more[i]);
        if (more[i].rfind("--", 0) == 0 && given != args.end() && given + 1 != args.end() && i + 1 < more.size() &&
            more[i + 1].rfind("--", 0) != 0) {
            *(given + 1) = more[++i];
        } else {
            args.push_back(more[i]);
        }
    }
    return args;
}

// Two real sweeps for one output: the second is refused before it touches anything, and the file
// holds the first one's rows alone, each whole.
TEST_F(SweepCli, TwoSweepsRacingForOneOutputLeaveOneSweepsRows) {
    const pid_t first = Start(With(kSweep, {"--seeds", "1..3000", "--output", "rows.csv"}));
    WaitForSize(dir_ / "rows.csv", 1000);  // the first holds the file and is writing its rows
    const int second = Run(With(kSweep, {"--seeds", "1..3", "--population", "33", "--output", "rows.csv"}));
    const std::string refused = err_;
    ASSERT_EQ(Wait(first), 0) << err_;
    EXPECT_EQ(second, 1) << refused;
    EXPECT_NE(refused.find("another kelvora-cli is writing this file"), std::string::npos) << refused;
    std::istringstream rows(ReadFile(dir_ / "rows.csv"));
    std::string line, fingerprint;
    std::getline(rows, line);  // the header
    long long count = 0;
    while (std::getline(rows, line)) {
        const std::vector<std::string> f = Fields(line);
        ASSERT_EQ(f.size(), 26u) << line;
        EXPECT_NE(f[1], "33") << "a row of the refused sweep";
        if (fingerprint.empty()) fingerprint = f[24];
        EXPECT_EQ(f[24], fingerprint);
        ++count;
    }
    EXPECT_EQ(count, 2 * 2 * 2 * 3000);
}

TEST_F(SweepCli, TheFileIsTheSameOnAnyThreadCountAndItsRowsAreTheSingleRunsOutcome) {
    ASSERT_EQ(Run(With(kSweep, {"--threads", "1", "--output", "one.csv"})), 0) << err_;
    ASSERT_EQ(Run(With(kSweep, {"--threads", "3", "--output", "three.csv"})), 0) << err_;
    const std::string one = ReadFile(dir_ / "one.csv");
    EXPECT_EQ(ReadFile(dir_ / "three.csv"), one);
    const std::vector<std::string> lines = Lines(one);
    ASSERT_EQ(lines.size(), 1u + 2 * 2 * 2 * 6);
    EXPECT_EQ(lines[0].rfind("seed,population,generations,crossover,mutation,algorithm,encoding,selection,elitism,"
                             "crossover_operator,mutation_operator,target_x,target_y,elite_a1,elite_a2,"
                             "elite_a3,elite_distance,optimum_distance,gap,reached_optimum,first_generation_at_optimum,"
                             "first_generation_within_epsilon",
                             0),
              0u);
    // Rows 1, 8 and 24 (other seeds, targets, crossover and population) against kelvora-cli --json.
    const std::regex json(R"("elitePose":\[(\d+),(\d+),(\d+)\],"eliteFitness":([0-9.e+-]+))");
    for (int row : {1, 8, 24}) {
        const std::vector<std::string> f = Fields(lines[static_cast<std::size_t>(row)]);
        ASSERT_EQ(f.size(), 26u);
        EXPECT_EQ(f[25], "0.5");  // the epsilon first_generation_within_epsilon was measured at
        EXPECT_EQ(f[5] + "," + f[6] + "," + f[7] + "," + f[8] + "," + f[9] + "," + f[10],
                  "ga,binary,roulette,0,one-point,bit-flip");
        ASSERT_EQ(Run({"--seed", f[0], "--population", f[1], "--generations", f[2], "--crossover", f[3], "--mutation",
                       f[4], "--target=" + f[11] + "," + f[12], "--json", "--output-dir", dir_.string()}),
                  0);
        std::smatch m;
        ASSERT_TRUE(std::regex_search(out_, m, json)) << out_;
        EXPECT_EQ(m[1].str() + "," + m[2].str() + "," + m[3].str(), f[13] + "," + f[14] + "," + f[15]) << "row " << row;
        EXPECT_NEAR(1.0 / std::stod(m[4]) - 1.0, std::stod(f[16]), 1e-9);
        EXPECT_EQ(std::stod(f[18]), std::stod(f[16]) - std::stod(f[17]));
        EXPECT_EQ(f[19] == "true", !f[20].empty());
        EXPECT_EQ(std::stod(f[16]) <= 0.5, !f[21].empty());
    }
}

TEST_F(SweepCli, ShardsRunThroughGnuParallelMergeToTheUnshardedBytes) {
    if (std::system("command -v parallel >/dev/null 2>&1") != 0) GTEST_SKIP() << "GNU parallel is not installed";
    ASSERT_EQ(Run(With(kSweep, {"--output", "whole.csv", "--summary", "whole-summary.csv"})), 0) << err_;
    std::string command = "cd '" + dir_.string() + "' && parallel --will-cite --halt now,fail=1 '" KELVORA_CLI_PATH;
    for (const std::string& a : kSweep) command += " '\\''" + a + "'\\''";
    command += " --threads 1 --shard {}/3 --output shard-{}.csv' ::: 1 2 3";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    ASSERT_EQ(Run({"sweep-merge", "--output", "merged.csv", "--summary", "merged-summary.csv", "shard-3.csv",
                   "shard-1.csv", "shard-2.csv"}),
              0)
        << err_;
    EXPECT_EQ(ReadFile(dir_ / "merged.csv"), ReadFile(dir_ / "whole.csv"));
    EXPECT_EQ(ReadFile(dir_ / "merged-summary.csv"), ReadFile(dir_ / "whole-summary.csv"));
    EXPECT_LT(ReadFile(dir_ / "shard-1.csv").size(), ReadFile(dir_ / "whole.csv").size() / 2);
}

TEST_F(SweepCli, MergeRefusesOtherSweepsOverlapsAndGapsNamingThem) {
    ASSERT_EQ(Run(With(kSweep, {"--shard", "1/2", "--output", "a1.csv"})), 0);
    ASSERT_EQ(Run(With(kSweep, {"--shard", "2/2", "--output", "a2.csv"})), 0);
    ASSERT_EQ(Run(With(kSweep, {"--epsilon", "1", "--shard", "2/2", "--output", "b2.csv"})), 0);
    ASSERT_EQ(Run(With(kSweep, {"--selection", "rank", "--shard", "2/2", "--output", "r2.csv"})), 0);
    {
        std::ofstream cut(dir_ / "cut.csv", std::ios::binary);
        const std::string a2 = ReadFile(dir_ / "a2.csv");
        cut << a2.substr(0, a2.size() - 5);
    }
    {
        // a1.csv's first two rows (runs 1 and 3) swapped, and its first row twice.
        std::istringstream in(ReadFile(dir_ / "a1.csv"));
        std::string header, first, second, rest;
        std::getline(in, header);
        std::getline(in, first);
        std::getline(in, second);
        rest.assign(std::istreambuf_iterator<char>(in), {});
        std::ofstream(dir_ / "swapped.csv", std::ios::binary) << header << '\n' << second << '\n' << first << '\n' << rest;
        std::ofstream(dir_ / "twice.csv", std::ios::binary) << header << '\n' << first << '\n' << first << '\n' << second << '\n' << rest;
    }
    struct Case {
        std::vector<std::string> files;
        std::string says;
    };
    for (const Case& c : std::vector<Case>{{{"a1.csv", "b2.csv"}, "b2.csv and a1.csv are shards of different sweeps"},
                                           {{"a1.csv", "r2.csv"}, "r2.csv and a1.csv are shards of different sweeps"},
                                           {{"a1.csv", "a2.csv", "a1.csv"}, "overlapping shards: run 1 is in a1.csv"},
                                           {{"a2.csv"}, "missing rows: 24 of 48 runs"},
                                           {{"a1.csv", "cut.csv"}, "cut.csv:25: the row is cut short"},
                                           {{"a1.csv", "nothere.csv"}, "nothere.csv: cannot read"},
                                           {{"swapped.csv", "a2.csv"}, "swapped.csv:3: run 1 comes after run 3"},
                                           {{"twice.csv", "a2.csv"}, "run 1 is in twice.csv twice"}}) {
        std::vector<std::string> args{"sweep-merge", "--output", "merged.csv"};
        args.insert(args.end(), c.files.begin(), c.files.end());
        EXPECT_EQ(Run(args), 2) << c.says;
        EXPECT_NE(err_.find(c.says), std::string::npos) << err_;
        EXPECT_FALSE(fs::exists(dir_ / "merged.csv"));
        EXPECT_FALSE(fs::exists(dir_ / "merged.csv.part"));
    }
}

TEST_F(SweepCli, OutputsNamedTwiceFifosHeldFilesAndForgedCountsAreRefusedTouchingNothing) {
    ASSERT_EQ(Run(With(kSweep, {"--seeds", "1", "--output", "a.csv"})), 0) << err_;
    const std::string rows = ReadFile(dir_ / "a.csv");
    ASSERT_EQ(mkfifo((dir_ / "fifo").c_str(), 0644), 0);
    fs::create_symlink("fifo", dir_ / "fifo.png");  // reach-map takes a .png or .csv name only
    {
        std::ofstream forged(dir_ / "forged.csv", std::ios::binary);  // every row claims a sweep of 2^62 runs
        forged << std::regex_replace(rows, std::regex(",8,([0-9a-f]{16}),"), ",4611686018427387904,$1,");
    }
    const int held = open((dir_ / "held.csv").c_str(), O_WRONLY | O_CREAT, 0644);  // as another command holds it
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    const std::vector<std::string> sweep{"sweep", "--seeds", "1", "--quiet"};
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string says;
    };
    const std::vector<Case> cases{
        {With(sweep, {"--output", "new.csv", "--summary", "./new.csv"}), 2, "--output 'new.csv' and --summary './new.csv' are the same file"},
        {With(sweep, {"--output", "a.csv", "--summary", "a.csv"}), 2, "--output 'a.csv' and --summary 'a.csv' are the same file"},
        {{"sweep-merge", "--output", "a.csv", "a.csv"}, 2, "--output and a shard file name the same file, 'a.csv'"},
        {{"sweep-merge", "--output", "m.csv", "--summary", "./m.csv", "a.csv"}, 2, "--output and --summary"},
        {{"sweep-merge", "--output", "m.csv", "--summary", "a.csv", "a.csv"}, 2, "--summary and a shard file"},
        {With(sweep, {"--output", "fifo"}), 2, "fifo: cannot open: a FIFO, not a regular file or a character device"},
        {With(sweep, {"--output", "new.csv", "--summary", "fifo"}), 2, "fifo: cannot open: a FIFO"},
        {With(sweep, {"--output", "fifo", "--resume"}), 2, "fifo: cannot open: a FIFO"},
        {{"reach-map", "--output", "fifo.png"}, 2, "fifo.png: cannot open: a FIFO"},
        {{"sweep-merge", "--output", "fifo", "a.csv"}, 2, "fifo: cannot open: a FIFO"},
        {{"sweep-merge", "--output", "m.csv", "a.csv", "fifo"}, 2, "fifo: cannot read: a FIFO"},
        {With(sweep, {"--output", "held.csv"}), 1, "held.csv: another kelvora-cli is writing this file"},
        {With(sweep, {"--output", "new.csv", "--summary", "held.csv"}), 1, "held.csv: another kelvora-cli"},
        {{"reach-map", "--output", "held.csv"}, 1, "held.csv: another kelvora-cli"},
        {{"sweep-merge", "--output", "held.csv", "a.csv"}, 1, "held.csv: another kelvora-cli"},
        {{"sweep-merge", "--output", "m.csv", "forged.csv"}, 2,
         "missing rows: 4611686018427387896 of 4611686018427387904 runs are in no shard file, the first run 9"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Run(c.args), c.status) << c.says;
        EXPECT_NE(err_.find(c.says), std::string::npos) << err_;
        EXPECT_EQ(ReadFile(dir_ / "a.csv"), rows) << c.says;
        EXPECT_EQ(fs::file_size(dir_ / "held.csv"), 0u) << c.says;
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
        EXPECT_EQ(names.size(), 5u) << c.says;  // a.csv, fifo, fifo.png, forged.csv, held.csv and nothing new
    }
    close(held);
}

// A sweep file an editor saved with a byte order mark or CR LF line ends is refused saying so, by
// sweep-merge and by sweep --resume.
TEST_F(SweepCli, AHeaderAnEditorChangedIsNamed) {
    ASSERT_EQ(Run(With(kSweep, {"--seeds", "1..2", "--output", "s.csv"})), 0) << err_;
    const std::string text = ReadFile(dir_ / "s.csv");
    std::ofstream(dir_ / "bom.csv", std::ios::binary) << "\xEF\xBB\xBF" << text;
    std::ofstream(dir_ / "crlf.csv", std::ios::binary) << std::regex_replace(text, std::regex("\n"), "\r\n");
    const std::string header = "not a sweep file (its first line is not the sweep header: ";
    for (const auto& [args, says] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"sweep-merge", "--output", "m.csv", "bom.csv"}, "bom.csv:1: " + header + "it begins with a UTF-8 byte order mark)"},
             {With(kSweep, {"--seeds", "1..2", "--output", "crlf.csv", "--resume"}),
              "crlf.csv: " + header + "its lines end in CR LF, not LF)"}}) {
        EXPECT_EQ(Run(args), 2) << says;
        EXPECT_NE(err_.find(says), std::string::npos) << err_;
    }
}

TEST_F(SweepCli, RowsGoToStandardOutputAndDevicesAsTheyGoToAFile) {
    const std::vector<std::string> sweep = With(kSweep, {"--seeds", "1..2"});
    ASSERT_EQ(Run(With(sweep, {"--output", "file.csv"})), 0) << err_;
    const std::string rows = ReadFile(dir_ / "file.csv");
    for (const char* output : {"-", "/dev/stdout"}) {
        EXPECT_EQ(Run(With(sweep, {"--output", output})), 0) << err_;
        EXPECT_EQ(out_, rows) << output;
    }
    EXPECT_EQ(Run(With(sweep, {"--output", "/dev/null", "--summary", "/dev/null"})), 0) << err_;
}

TEST_F(SweepCli, BadInputExitsWithTwoNamingItAndWritesNothing) {
    struct Case {
        std::vector<std::string> args;
        std::string says;
    };
    const std::vector<Case> cases{
        {{"--seeds", "1..3", "--population", ""}, "--population: the list is empty"},
        {{"--seeds", "1..3", "--population", "20,,30"}, "--population: empty item"},
        {{"--seeds", "1..3", "--population", "20,x"}, "--population: 'x' is not an integer in 1..10000"},
        {{"--seeds", "1..3", "--mutation", "0.1,1.5"}, "--mutation: '1.5'"},
        {{"--seeds", "5..1"}, "--seeds: the range '5..1' is reversed"},
        {{"--seeds", "3.."}, "--seeds: '3..'"},
        {{"--seeds", "1..3,2"}, "seed 2 is listed twice"},
        {{"--population", "20"}, "--seeds is required"},
        {{"--seeds", "1..3", "--shard", "4/3"}, "--shard: '4/3'"},
        {{"--seeds", "1..3", "--shard", "0/2"}, "--shard: '0/2'"},
        {{"--seeds", "1..3", "--targets", "random:0"}, "--targets: 'random:0'"},
        {{"--seeds", "1..3", "--target", "200,0"}, "--target: '200,0'"},
        {{"--seeds", "1..3", "--resume"}, "--resume needs --output"},
        {{"--seeds", "0..1000000", "--threads", "0"}, "--threads: '0'"},
        {{"--seeds", "0..1000000"}, "the sweep has 1000001 runs, more than 1000000; add --yes"},
        {{"--seeds", "1..3", "--summary", "missing/summary.csv"}, "'missing' is not a writable directory"},
        {{"--seeds", "1..3", "--algorithm", "ga,hill"}, "--algorithm: algorithm 'hill' is not one of ga, random-search"},
        {{"--seeds", "1..3", "--encoding", "binary,octal"}, "--encoding: encoding 'octal' is not one of binary, gray"},
        {{"--seeds", "1..3", "--crossover-operator", ""}, "--crossover-operator: the list is empty"},
        {{"--seeds", "1..3", "--mutation-operator", "creep:4,creep:04"}, "--mutation-operator: 'creep:04' is listed twice"},
        {{"--seeds", "1..3", "--population", "20,2", "--selection", "rank,tournament:3"},
         "--selection: tournament size 3 is outside 2..2 (the population) for --population 2"},
        {{"--seeds", "1..3", "--elitism", "0,20", "--population", "100,20"},
         "--elitism: elitism 20 is outside 0..19 (the population less one) for --population 20"},
        {{"--seeds", "1..3", "--algorithm", "random-search", "--encoding", "gray"},
         "--encoding: 'gray' does not apply to --algorithm random-search"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"sweep", "--summary", "summary.csv", "--quiet"};
        if (c.says.find("--resume") == std::string::npos) args.insert(args.end(), {"--output", "out.csv"});
        EXPECT_EQ(Run(With(args, c.args)), 2) << c.says;
        EXPECT_NE(err_.find(c.says), std::string::npos) << err_;
        EXPECT_TRUE(fs::is_empty(dir_)) << c.says;
    }
}

// Whether process pid has a handler of its own for SIGINT (its status file's SigCgt mask).
bool CatchesSigint(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("SigCgt:", 0) == 0) return (std::stoull(line.substr(7), nullptr, 16) >> (SIGINT - 1)) & 1;
    return false;
}

// Wilson's 95% score interval of k successes in n, written out apart from the library's.
std::pair<double, double> Wilson(double k, double n) {
    const double z = 1.959963984540054, p = k / n, d = 1 + z * z / n;
    const double centre = (p + z * z / (2 * n)) / d, half = z * std::sqrt(p * (1 - p) / n + z * z / (4 * n * n)) / d;
    return {std::max(0.0, centre - half), std::min(1.0, centre + half)};
}

// ecdf and the summary's ERT against a count of the rows of a real sweep whose configurations cover
// every run within epsilon, none, and runs tied at the budget (generation 1 of 1).
TEST_F(SweepCli, EcdfAndErtAreTheCountsOfTheSweepsRows) {
    ASSERT_EQ(Run({"sweep", "--population", "1,50", "--generations", "1,20", "--epsilon", "60", "--seeds", "1..10",
                   "--algorithm", "ga,random-search", "--quiet", "--output", "s.csv", "--summary", "summary.csv"}),
              0)
        << err_;
    struct Config {
        std::string key;  // the configuration's columns as ecdf writes them
        int population, generations;
        std::vector<int> first[2];  // first generation within epsilon, at the optimum; 0: never
    };
    std::vector<Config> configs;
    const std::vector<std::string> rows = Lines(ReadFile(dir_ / "s.csv"));
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const std::vector<std::string> f = Fields(rows[i]);
        const std::string key = f[5] + "," + f[1] + "," + f[2] + "," + f[3] + "," + f[4] + "," + f[6] + "," + f[7] +
                                "," + f[8] + "," + f[9] + "," + f[10];
        if (configs.empty() || configs.back().key != key) configs.push_back({key, std::stoi(f[1]), std::stoi(f[2]), {}});
        configs.back().first[0].push_back(f[21].empty() ? 0 : std::stoi(f[21]));
        configs.back().first[1].push_back(f[20].empty() ? 0 : std::stoi(f[20]));
    }
    ASSERT_EQ(configs.size(), 8u);
    bool all = false, none = false, tied = false;
    for (const Config& c : configs) {
        const auto& v = c.first[0];
        all = all || std::count(v.begin(), v.end(), 0) == 0;
        none = none || std::count(v.begin(), v.end(), 0) == 10;
        tied = tied || std::count(v.begin(), v.end(), c.generations) >= 2;
    }
    EXPECT_TRUE(all && none && tied) << "the sweep no longer covers the cases";

    for (const int target : {0, 1})
        for (const bool evaluations : {false, true}) {
            ASSERT_EQ(Run({"ecdf", "s.csv", "--output", "e.csv", "--target", target ? "optimum" : "epsilon", "--x",
                           evaluations ? "evaluations" : "generations"}),
                      0)
                << err_;
            const std::vector<std::string> lines = Lines(ReadFile(dir_ / "e.csv"));
            ASSERT_EQ(lines.size(), 1u + 2 * (1 + 20) * 2);
            EXPECT_EQ(lines[0], "algorithm,population,generations,crossover,mutation,encoding,selection,elitism,"
                                "crossover_operator,mutation_operator,x,runs,within,fraction,low,high,epsilon");
            std::size_t at = 1;
            for (const Config& c : configs)
                for (int g = 1; g <= c.generations; ++g) {
                    const std::vector<std::string> f = Fields(lines[at++]);
                    ASSERT_EQ(f.size(), 17u);
                    EXPECT_EQ(f[16], target ? "" : "60");  // the sweep's --epsilon; none for the optimum
                    const auto& v = c.first[target];
                    const auto within = std::count_if(v.begin(), v.end(), [g](int x) { return x > 0 && x <= g; });
                    const auto [low, high] = Wilson(static_cast<double>(within), 10);
                    EXPECT_EQ(f[0] + "," + f[1] + "," + f[2] + "," + f[3] + "," + f[4] + "," + f[5] + "," + f[6] +
                                  "," + f[7] + "," + f[8] + "," + f[9],
                              c.key);
                    EXPECT_EQ(f[10] + "," + f[11] + "," + f[12],
                              std::to_string(evaluations ? g * c.population : g) + ",10," + std::to_string(within))
                        << c.key << " x " << g;
                    EXPECT_EQ(std::stod(f[13]), static_cast<double>(within) / 10);
                    EXPECT_NEAR(std::stod(f[14]), low, 1e-12);
                    EXPECT_NEAR(std::stod(f[15]), high, 1e-12);
                }
        }

    // ERT: every run's evaluations (a failed one's whole budget) over the runs that came within epsilon.
    const std::vector<std::string> summary = Lines(ReadFile(dir_ / "summary.csv"));
    ASSERT_EQ(summary.size(), 1 + configs.size());
    EXPECT_EQ(summary[0].substr(summary[0].rfind(",ert")), ",ert_evaluations,label");
    for (std::size_t i = 0; i < configs.size(); ++i) {
        const Config& c = configs[i];
        const std::vector<std::string> f = Fields(summary[i + 1]);
        EXPECT_EQ(f[4] + "," + f[0] + "," + f[1] + "," + f[2] + "," + f[3] + "," + f[5] + "," + f[6] + "," + f[7] +
                      "," + f[8] + "," + f[9],
                  c.key);
        double evaluations = 0;
        int successes = 0;
        for (int first : c.first[0]) {
            evaluations += (first > 0 ? first : c.generations) * c.population;
            successes += first > 0;
        }
        // The label names what differs from the first configuration (population 1, 1 generation, ga).
        std::string label;
        for (const auto& [differs, part] : {std::pair{c.population != 1, "pop " + std::to_string(c.population)},
                                            std::pair{c.generations != 1, "gen " + std::to_string(c.generations)},
                                            std::pair{f[4] != "ga", f[4]}})
            if (differs) label += (label.empty() ? "" : ", ") + part;
        if (label.empty()) label = "classic";
        if (label.find(',') != std::string::npos) label = "\"" + label + "\"";
        EXPECT_EQ(summary[i + 1].substr(summary[i + 1].size() - label.size() - 1), "," + label) << c.key;
        if (successes == 0) EXPECT_EQ(f[28], "inf") << c.key;
        else EXPECT_NEAR(std::stod(f[28]), evaluations / successes, 1e-9 * evaluations) << c.key;
    }

    // Rows of another sweep may join the file when they run other configurations: the same curves.
    // A configuration measured by two sweeps (each with its own epsilon and targets) is refused.
    const std::string sweep = Fields(rows[1])[24];
    const auto reassigned = [&](std::size_t from, const std::string& fingerprint) {
        std::string joined = rows[0] + "\n";
        for (std::size_t i = 1; i < rows.size(); ++i) {
            std::vector<std::string> f = Fields(rows[i]);
            if (i >= from) f[24] = fingerprint;  // the sweep column
            std::string row;
            for (const std::string& field : f) row += (row.empty() ? "" : ",") + field;
            joined += row + "\n";
        }
        return joined;
    };
    std::ofstream(dir_ / "joined.csv", std::ios::binary) << reassigned(41, "0123456789abcdef");  // configurations 5..8
    std::ofstream(dir_ / "mixed.csv", std::ios::binary) << reassigned(5, "0123456789abcdef");   // in configuration 1
    ASSERT_EQ(Run({"ecdf", "s.csv", "--output", "e.csv"}), 0) << err_;
    ASSERT_EQ(Run({"ecdf", "joined.csv", "--output", "joined-e.csv"}), 0) << err_;
    EXPECT_EQ(ReadFile(dir_ / "joined-e.csv"), ReadFile(dir_ / "e.csv"));

    // Another epsilon: the runs made again give the curves of a sweep run with it; its own, the same.
    ASSERT_EQ(Run({"sweep", "--population", "1,50", "--generations", "1,20", "--epsilon", "5", "--seeds", "1..10",
                   "--algorithm", "ga,random-search", "--quiet", "--output", "s5.csv"}),
              0)
        << err_;
    for (const auto& [epsilon, same] : {std::pair{"5", "s5.csv"}, std::pair{"60", "s.csv"}}) {
        ASSERT_EQ(Run({"ecdf", "s.csv", "--epsilon", epsilon, "--output", "again.csv"}), 0) << err_;
        ASSERT_EQ(Run({"ecdf", same, "--output", "e.csv"}), 0) << err_;
        EXPECT_EQ(ReadFile(dir_ / "again.csv"), ReadFile(dir_ / "e.csv")) << epsilon;
    }
    std::vector<std::string> edited = rows;
    edited[3].replace(0, edited[3].find(','), "999");  // another seed: another run
    std::string editedText;
    for (const std::string& row : edited) editedText += row + "\n";
    std::ofstream(dir_ / "edited.csv", std::ios::binary) << editedText;
    EXPECT_EQ(Run({"ecdf", "edited.csv"}), 0) << "without --epsilon nothing is run again";
    EXPECT_EQ(Run({"ecdf", "edited.csv", "--epsilon", "5", "--output", "out.csv"}), 2);
    EXPECT_NE(err_.find("edited.csv:4: the row's run, made again, does not end at its elite_distance"), std::string::npos)
        << err_;
    EXPECT_FALSE(fs::exists(dir_ / "out.csv"));

    // A bad file is named with its line; nothing is written.
    const std::string text = ReadFile(dir_ / "s.csv");
    std::ofstream(dir_ / "cut.csv", std::ios::binary) << text.substr(0, text.size() - 3);
    std::ofstream(dir_ / "bad.csv", std::ios::binary) << rows[0] << "\n" << rows[1] << "\n" << "1,2,3\n";
    std::ofstream(dir_ / "other.csv", std::ios::binary) << "seed,population\n";
    for (const auto& [file, says] : std::vector<std::pair<std::string, std::string>>{
             {"cut.csv", "cut.csv:81: the row is cut short"},
             {"bad.csv", "bad.csv:3: not a sweep row"},
             {"other.csv", "other.csv:1: not a sweep file"},
             {"mixed.csv", "mixed.csv:6: the row is of sweep 0123456789abcdef, the rows of its configuration before it of "
                           "sweep " + sweep},
             {"none.csv", "none.csv: cannot read"}}) {
        EXPECT_EQ(Run({"ecdf", file, "--output", "out.csv"}), 2) << says;
        EXPECT_NE(err_.find(says), std::string::npos) << err_;
        EXPECT_FALSE(fs::exists(dir_ / "out.csv")) << says;
    }
}

// A row value outside its flag's range is no row, and a repeated run counts once or not at all:
// ecdf (also when it makes the runs again) and sweep-merge refuse the file, naming the line, and
// nothing runs with the value.
TEST_F(SweepCli, RowsOutOfRangeAndRepeatedRowsAreRefusedByEveryReader) {
    ASSERT_EQ(Run({"sweep", "--seeds", "1..3", "--generations", "5", "--quiet", "--output", "s.csv"}), 0) << err_;
    const std::string text = ReadFile(dir_ / "s.csv");
    const std::size_t second = text.find('\n') + 1;
    const std::string row2 = text.substr(second, text.find('\n', second) + 1 - second);
    struct Case {
        std::string from, to, says;
    };
    for (const Case& c : {Case{",0.5,0.1,", ",1e300,0.1,", "f.csv:2: not a sweep row"},
                          Case{",0.5,0.1,", ",-1,0.1,", "f.csv:2: not a sweep row"},
                          Case{",0.5,0.1,", ",1.5,0.1,", "f.csv:2: not a sweep row"},
                          Case{",0.5,0.1,", ",0,0.1,", "f.csv:2: not a sweep row"},
                          Case{",0.5,0.1,", ",0.5,2,", "f.csv:2: not a sweep row"},
                          Case{"", "", "f.csv:5: the row repeats run 1 of sweep"}}) {
        std::string forged = text;
        if (c.from.empty()) forged += row2;  // run 1 again at the end
        else forged.replace(forged.find(c.from, second), c.from.size(), c.to);
        std::ofstream(dir_ / "f.csv", std::ios::binary | std::ios::trunc) << forged;
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"ecdf", "f.csv"}, std::vector<std::string>{"ecdf", "f.csv", "--epsilon", "0.5"}}) {
            EXPECT_EQ(Run(args), 2) << c.to << " " << args.size();
            EXPECT_NE(err_.find(c.says), std::string::npos) << err_;
        }
        if (c.from.empty()) continue;  // a shard's repeated run is an overlap, named by file
        EXPECT_EQ(Run({"sweep-merge", "--output", "m.csv", "f.csv"}), 2) << c.to;
        EXPECT_NE(err_.find(c.says), std::string::npos) << err_;
        EXPECT_FALSE(fs::exists(dir_ / "m.csv"));
    }
}

TEST_F(SweepCli, AnInterruptedSweepKeepsWholeRowsAndResumesToTheUninterruptedBytes) {
    const std::vector<std::string> sweep{"sweep", "--population", "400", "--generations", "100", "--seeds",
                                         "1..400", "--threads",   "2",   "--quiet",       "--output", "s.csv"};
    const pid_t pid = Start(sweep);
    WaitForSize(dir_ / "s.csv", 2000);
    kill(pid, SIGINT);
    ASSERT_EQ(Wait(pid), 130) << err_;
    EXPECT_NE(err_.find("add --resume to continue"), std::string::npos) << err_;
    std::string stopped = ReadFile(dir_ / "s.csv");
    ASSERT_FALSE(stopped.empty());
    EXPECT_EQ(stopped.back(), '\n');
    const std::size_t kept = Lines(stopped).size();
    EXPECT_LT(kept, 401u) << "the sweep ended before the signal; nothing was interrupted";
    {
        std::ofstream cut(dir_ / "s.csv", std::ios::binary | std::ios::app);
        cut << "17,400,1";  // a row cut short, as a second signal or a crash may leave one
    }
    ASSERT_EQ(Run(With(sweep, {"--resume"})), 0) << err_;
    const std::string resumed = ReadFile(dir_ / "s.csv");
    ASSERT_EQ(Run(With(sweep, {"--output", "whole.csv"})), 0);
    EXPECT_EQ(resumed, ReadFile(dir_ / "whole.csv"));

    // ecdf making the runs again for another epsilon stops on Ctrl-C and writes nothing.
    const pid_t ecdf = Start({"ecdf", "whole.csv", "--epsilon", "2", "--output", "e.csv"});
    for (int i = 0; i < 5000 && !CatchesSigint(ecdf); ++i) usleep(1000);  // stopping cleanly from then on
    kill(ecdf, SIGINT);
    EXPECT_EQ(Wait(ecdf), 130) << err_;
    EXPECT_NE(err_.find("kelvora-cli ecdf: stopped by SIGINT; nothing written"), std::string::npos) << err_;
    EXPECT_FALSE(fs::exists(dir_ / "e.csv"));
    EXPECT_FALSE(fs::exists(dir_ / "e.csv.part"));

    // Resuming with other arguments is refused and leaves the file alone.
    EXPECT_EQ(Run({"sweep", "--population", "401", "--generations", "100", "--seeds", "1..400", "--output", "s.csv",
                   "--resume"}),
              2);
    EXPECT_NE(err_.find("belongs to a different sweep"), std::string::npos) << err_;
    EXPECT_EQ(ReadFile(dir_ / "s.csv"), resumed);
}

TEST_F(SweepCli, ResumeRefusesAKeptRowThatIsNotThePlansRunNamingLineAndColumn) {
    ASSERT_EQ(Run(With(kSweep, {"--output", "whole.csv"})), 0) << err_;
    const std::vector<std::string> lines = Lines(ReadFile(dir_ / "whole.csv"));
    struct Case {
        std::size_t column;
        std::string value, says;
    };
    // Run 3: seed 3, population 20, target 68,180, crossover 0.5.
    for (const Case& c : std::vector<Case>{{1, "7777", "s.csv:4: its population column is 7777, but run 3 of this sweep has 20"},
                                           {0, "4", "s.csv:4: its seed column is 4, but run 3 of this sweep has 3"},
                                           {7, "rank", "s.csv:4: its selection column is rank, but run 3 of this sweep has roulette"},
                                           {3, "0.9", "s.csv:4: its crossover column is 0.9, but run 3 of this sweep has 0.5"},
                                           {11, "-50", "s.csv:4: its target_x column is -50, but run 3 of this sweep has 68"}}) {
        std::vector<std::string> f = Fields(lines[3]);
        f[c.column] = c.value;
        std::string edited = lines[0] + "\n" + lines[1] + "\n" + lines[2] + "\n";
        for (std::size_t i = 0; i < f.size(); ++i) edited += (i ? "," : "") + f[i];
        edited += "\n" + lines[4] + "\n17,20,3";
        std::ofstream(dir_ / "s.csv", std::ios::binary) << edited;
        EXPECT_EQ(Run(With(kSweep, {"--output", "s.csv", "--summary", "summary.csv", "--resume"})), 2) << c.says;
        EXPECT_NE(err_.find(c.says), std::string::npos) << err_;
        EXPECT_EQ(ReadFile(dir_ / "s.csv"), edited) << c.says;
        EXPECT_FALSE(fs::exists(dir_ / "summary.csv")) << c.says;
    }
}

TEST_F(SweepCli, AFullDiskLeavesTheRowsBeforeItWhole) {
    ASSERT_EQ(Run(With(kSweep, {"--output", "whole.csv"})), 0) << err_;
    const std::string whole = ReadFile(dir_ / "whole.csv");
    const rlim_t limit = 2000;  // inside a row: the header and a dozen rows fit
    ASSERT_EQ(Wait(Start(With(kSweep, {"--output", "full.csv"}), limit)), 1) << err_;
    EXPECT_NE(err_.find("full.csv: write failed: File too large"), std::string::npos) << err_;
    const std::string cut = ReadFile(dir_ / "full.csv");
    ASSERT_GT(cut.size(), 1000u);
    EXPECT_LE(cut.size(), limit);
    EXPECT_EQ(cut.back(), '\n') << "the file ends inside a row";
    EXPECT_EQ(whole.compare(0, cut.size(), cut), 0) << "not the whole sweep's first rows";
}

// The first SIGHUP stops as SIGTERM does; a second signal of any kind ends at once, with
// results.csv cut back to its last whole generation (lines written one by one here, so that it is
// cut inside one) and the sweep's file to its last whole row.
TEST_F(SweepCli, SighupStopsCleanlyAndASecondSignalLeavesWholeGenerationsAndRows) {
    struct Case {
        bool sweep;
        std::vector<int> signals;
        int status;  // for two signals: 0, either one's 128 + number (the system picks which is handled last)
    };
    constexpr int kPopulation = 2000;
    for (const Case& c : std::vector<Case>{{false, {SIGHUP}, 129},
                                           {false, {SIGHUP, SIGINT}, 0},
                                           {false, {SIGINT, SIGTERM}, 0},
                                           {true, {SIGHUP}, 129},
                                           {true, {SIGTERM, SIGHUP}, 0}}) {
        const std::string tag = std::string(c.sweep ? "sweep" : "run") + " " + std::to_string(c.signals.size());
        const fs::path file = dir_ / (c.sweep ? "s.csv" : "results.csv");
        fs::remove(file);
        fs::remove(dir_ / "fitness.csv");
        const pid_t pid =
            c.sweep ? Start({"sweep", "--population", "400", "--seeds", "1..400", "--threads", "2", "--quiet", "--output",
                             "s.csv"})
                    : Start({"--seed", "5", "--population", std::to_string(kPopulation), "--generations", "10000",
                             "--flush", "line", "--quiet"});
        WaitForSize(file, c.sweep ? 3000 : 120000);  // a run: into its third generation
        // Frozen while the signals arrive, so that a second one comes while the first is handled.
        kill(pid, SIGSTOP);
        for (int s : c.signals) kill(pid, s);
        kill(pid, SIGCONT);
        const int status = Wait(pid);
        if (c.status != 0)
            ASSERT_EQ(status, c.status) << tag << ": " << err_;
        else
            ASSERT_TRUE(status == 128 + c.signals[0] || status == 128 + c.signals[1]) << tag << ": " << status;
        EXPECT_EQ(err_.find(c.sweep ? "runs done" : "stopped after generation") != std::string::npos,
                  c.signals.size() == 1)
            << tag << ": " << err_;
        const std::string text = ReadFile(file);
        ASSERT_GT(text.size(), 1000u) << tag;  // never cut back further than the last whole generation or row
        if (c.sweep) {
            EXPECT_EQ(text.back(), '\n') << tag;
            for (const std::string& line : Lines(text)) EXPECT_EQ(Fields(line).size(), 26u) << tag << ": " << line;
            continue;
        }
        const std::vector<std::string> lines = Lines(text, '\n');
        EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << tag;
        EXPECT_EQ(lines.size() % (kPopulation + 1), 0u) << tag << ": not whole generations";
        // A clean stop writes fitness.csv, one row a generation; the second signal leaves it empty.
        const std::size_t rows = Lines(ReadFile(dir_ / "fitness.csv"), '\n').size();
        EXPECT_EQ(rows, c.signals.size() == 1 ? lines.size() / (kPopulation + 1) : 0u) << tag;
    }
}

class SingleRunSignal : public SweepCli, public testing::WithParamInterface<std::pair<int, int>> {};

TEST_P(SingleRunSignal, StopsAtAGenerationBoundaryWithFilesEqualToAShorterRun) {
    const auto [signal, status] = GetParam();
    fs::create_directories(dir_ / "stopped");
    fs::create_directories(dir_ / "short");
    const pid_t pid = Start({"--seed", "77", "--population", "3000", "--generations", "10000", "--output-dir", "stopped"});
    WaitForSize(dir_ / "stopped" / "results.csv", 0);
    kill(pid, signal);
    ASSERT_EQ(Wait(pid), status) << err_;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(err_, m, std::regex("stopped after generation (\\d+) of 10000"))) << err_;
    const std::string generations = m[1];
    const std::string fitness = ReadFile(dir_ / "stopped" / "fitness.csv");
    EXPECT_EQ(Lines(fitness).size(), std::stoul(generations));
    ASSERT_EQ(Run({"--seed", "77", "--population", "3000", "--generations", generations, "--output-dir", "short",
                   "--quiet"}),
              0);
    EXPECT_EQ(fitness, ReadFile(dir_ / "short" / "fitness.csv"));
    EXPECT_TRUE(ReadFile(dir_ / "stopped" / "results.csv") == ReadFile(dir_ / "short" / "results.csv"));
}

INSTANTIATE_TEST_SUITE_P(Signals, SingleRunSignal,
                         testing::Values(std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}));

// kelvora-cli experiment: an experiment's rows against sweep's for the same configuration, verify on
// untouched and tampered runs files, the experiment of a sweep file, malformed files named by key.
const char* const kExperiment = R"({"format": "kelvora-experiment", "version": 1,
  "configurations": [
    {"population": [10, 30], "generations": 12},
    {"label": "ccd", "algorithm": "ccd", "generations": 12},
    {"encoding": "gray", "selection": "tournament:3", "elitism": 1, "mutation_operator": "creep:4", "generations": 12, "crossover": 0.7}
  ],
  "seeds": "3..6,11", "targets": [[-40, 120], "random:2"], "target_seed": 9, "epsilon": 2})";

const std::vector<std::vector<std::string>> kSweeps = {
    {"--population", "10", "--generations", "12"},
    {"--population", "30", "--generations", "12"},
    {"--algorithm", "ccd", "--generations", "12"},
    {"--encoding", "gray", "--selection", "tournament:3", "--elitism", "1", "--mutation-operator", "creep:4",
     "--generations", "12", "--crossover", "0.7"}};

TEST_F(SweepCli, ExperimentRowsAreTheSweepsRowsAndVerify) {
    std::ofstream(dir_ / "e.kelvora.json") << kExperiment;
    ASSERT_EQ(Run({"experiment", "run", "e.kelvora.json", "--output", "runs.csv", "--quiet"}), 0) << err_;
    const std::vector<std::string> runs = Lines(ReadFile(dir_ / "runs.csv"));
    std::vector<std::string> expected;
    for (const auto& flags : kSweeps) {
        std::vector<std::string> args{"sweep", "--seeds", "3..6,11", "--target=-40,120", "--targets", "random:2",
                                      "--target-seed", "9", "--epsilon", "2", "--quiet", "--output", "s.csv"};
        args.insert(args.end(), flags.begin(), flags.end());
        ASSERT_EQ(Run(args), 0) << err_;
        const std::vector<std::string> rows = Lines(ReadFile(dir_ / "s.csv"));
        if (expected.empty()) expected.push_back(rows[0]);
        expected.insert(expected.end(), rows.begin() + 1, rows.end());
    }
    EXPECT_EQ(runs, expected);
    // The labels beside the runs: the given one, and the short ones of what sets the others apart.
    const std::string labels = ReadFile(dir_ / "runs.labels.json");
    for (const char* label : {"\"classic\"", "\"pop 30\"", "\"ccd\"", "\"pop 20, cross 0.7, gray, tournament:3, elitism 1, creep:4\""})
        EXPECT_NE(labels.find(label), std::string::npos) << label << " in " << labels;
    ASSERT_EQ(Run({"compare", "runs.csv", "--baseline", "ccd", "--json"}), 0) << err_;

    // Untouched: reproduced. Tampered: the first row changed is named, a malformed file is a refusal.
    EXPECT_EQ(Run({"experiment", "verify", "e.kelvora.json", "runs.csv", "--quiet"}), 0) << err_;
    struct Tamper {
        std::size_t row;
        std::size_t field;
        const char* value;
        int status;
        const char* message;
    };
    for (const Tamper& t : {Tamper{7, 16, "9.5", 1, "t.csv:8: not reproduced"},
                            Tamper{3, 0, "4000", 1, "t.csv:4: not reproduced (its seed is none of the experiment's)"},
                            Tamper{12, 13, "0", 1, "t.csv:13: not reproduced"},
                            Tamper{2, 1, "many", 2, "t.csv:3: not a sweep row"}}) {
        std::vector<std::string> f = Fields(runs[t.row]);
        f[t.field] = t.value;
        std::string row;
        for (const std::string& x : f) row += (row.empty() ? "" : ",") + x;
        std::ofstream out(dir_ / "t.csv");
        for (std::size_t i = 0; i < runs.size(); ++i) out << (i == t.row ? row : runs[i]) << "\n";
        out.close();
        EXPECT_EQ(Run({"experiment", "verify", "e.kelvora.json", "t.csv", "--quiet"}), t.status) << t.message;
        EXPECT_NE(err_.find(t.message), std::string::npos) << err_;
    }
}

// A report of an experiment file runs it when no runs file is beside it (the rows experiment run
// writes), checks the runs file when there is one, and never claims a tampered or cut file reproduces.
TEST_F(SweepCli, ReportOfAnExperimentSaysWhetherItsRunsReproduce) {
    std::ofstream(dir_ / "e.kelvora.json") << kExperiment;
    ASSERT_EQ(Run({"experiment", "run", "e.kelvora.json", "--output", "expected.csv", "--quiet"}), 0) << err_;
    ASSERT_EQ(Run({"report", "e.kelvora.json", "--lang", "en", "--quiet", "--output", "r.html"}), 0) << err_;
    EXPECT_NE(err_.find("e.runs.csv is not there: running the experiment"), std::string::npos) << err_;
    const std::vector<std::string> runs = Lines(ReadFile(dir_ / "e.runs.csv"));
    EXPECT_EQ(ReadFile(dir_ / "e.runs.csv"), ReadFile(dir_ / "expected.csv"));
    EXPECT_NE(ReadFile(dir_ / "r.html").find("the runs were made for this report"), std::string::npos);
    const std::string verified = "Verified: every one of the experiment's " + std::to_string(runs.size() - 1) + " runs";
    ASSERT_EQ(Run({"report", "e.kelvora.json", "--lang", "en", "--quiet", "--output", "r.html"}), 0) << err_;
    EXPECT_NE(ReadFile(dir_ / "r.html").find(verified), std::string::npos);

    struct Tamper {
        std::size_t row;    // 0: no row changed
        std::size_t field;
        const char* value;
        std::size_t keep;   // rows kept after the header
        std::string shown;
    };
    const std::size_t all = runs.size() - 1;
    for (const Tamper& t : {Tamper{9, 16, "9.5", all, "the first row that differs is line 10"},
                            Tamper{4, 0, "4000", all, "line 5 is no run of the experiment (its seed is none"},
                            Tamper{0, 0, "", all - 5,
                                   "holds " + std::to_string(all - 5) + " of the experiment's " + std::to_string(all) + " runs"}}) {
        std::ofstream out(dir_ / "e.runs.csv");
        for (std::size_t i = 0; i <= t.keep; ++i) {
            std::vector<std::string> f = Fields(runs[i]);
            if (i == t.row && i) f[t.field] = t.value;
            std::string row;
            for (const std::string& x : f) row += (row.empty() ? "" : ",") + x;
            out << row << "\n";
        }
        out.close();
        ASSERT_EQ(Run({"report", "e.kelvora.json", "--lang", "en", "--quiet", "--output", "r.html"}), 0) << err_;
        const std::string html = ReadFile(dir_ / "r.html");
        EXPECT_NE(html.find("<p class=\"warning\">Does not match: e.runs.csv"), std::string::npos) << t.shown;
        EXPECT_NE(html.find(t.shown), std::string::npos) << t.shown;
        EXPECT_EQ(html.find("Verified"), std::string::npos) << t.shown;
        EXPECT_NE(err_.find("the report says so"), std::string::npos) << err_;
    }
    ASSERT_EQ(Run({"report", "e.kelvora.json", "--no-verify", "--lang", "ja", "--output", "r.html"}), 0) << err_;
    EXPECT_NE(ReadFile(dir_ / "r.html").find("<p class=\"warning\">未検証: e.runs.csv"), std::string::npos);
}

// A sweep's experiment, written by sweep and read from its file, makes its rows again.
TEST_F(SweepCli, TheExperimentOfASweepReproducesIt) {
    ASSERT_EQ(Run({"sweep", "--population", "10,20", "--generations", "8", "--encoding", "binary,gray", "--seeds", "1..4",
                   "--target", "30,150", "--target=-80,60", "--epsilon", "1.5", "--quiet", "--output", "s.csv",
                   "--save-experiment", "saved.kelvora.json"}),
              0)
        << err_;
    EXPECT_EQ(Run({"experiment", "verify", "saved.kelvora.json", "s.csv", "--quiet"}), 0) << err_;
    // The rows say their epsilon, so the experiment read back from them is the one saved.
    ASSERT_EQ(Run({"experiment", "from", "s.csv", "--output", "from.kelvora.json"}), 0) << err_;
    EXPECT_EQ(err_.find("not recorded"), std::string::npos) << err_;
    EXPECT_EQ(Run({"experiment", "verify", "from.kelvora.json", "s.csv", "--quiet"}), 0) << err_;
    EXPECT_EQ(ReadFile(dir_ / "from.kelvora.json"), ReadFile(dir_ / "saved.kelvora.json"));
    // compare and ecdf take the file's epsilon, and say it.
    ASSERT_EQ(Run({"compare", "s.csv", "--json"}), 0) << err_;
    EXPECT_NE(out_.find("{\"epsilon\":1.5,\"epsilonRecorded\":true,"), std::string::npos) << out_;
    ASSERT_EQ(Run({"ecdf", "s.csv"}), 0) << err_;
    EXPECT_EQ(Fields(Lines(out_).at(1)).back(), "1.5");

    // A file written before rows carried their epsilon: the same rows without the column. It is read
    // as 0.5, said so; a sweep resumed on it finishes it in its own form.
    std::string older;
    for (std::string line : Lines(ReadFile(dir_ / "s.csv"))) older += line.substr(0, line.rfind(',')) + "\n";
    std::ofstream(dir_ / "older.csv") << older;
    ASSERT_EQ(Run({"compare", "older.csv", "--json"}), 0) << err_;
    EXPECT_NE(out_.find("{\"epsilon\":0.5,\"epsilonRecorded\":false,"), std::string::npos) << out_;
    EXPECT_NE(err_.find("older.csv: ε not recorded; assumed 0.5"), std::string::npos) << err_;
    const std::vector<std::string> lines = Lines(older);
    std::string cut;
    for (std::size_t i = 0; i < 5; ++i) cut += lines[i] + "\n";
    std::ofstream(dir_ / "cut.csv") << cut;
    ASSERT_EQ(Run({"sweep", "--population", "10,20", "--generations", "8", "--encoding", "binary,gray", "--seeds", "1..4",
                   "--target", "30,150", "--target=-80,60", "--epsilon", "1.5", "--quiet", "--output", "cut.csv", "--resume"}),
              0)
        << err_;
    EXPECT_EQ(ReadFile(dir_ / "cut.csv"), older);
    // A runs file missing runs reproduces only part of the experiment.
    std::ofstream(dir_ / "part.csv") << cut;
    EXPECT_EQ(Run({"experiment", "verify", "saved.kelvora.json", "part.csv", "--quiet"}), 1);
    EXPECT_NE(err_.find("part.csv: not reproduced in full: it holds 4 of the experiment's " +
                        std::to_string(lines.size() - 1) + " runs"),
              std::string::npos)
        << err_;
}

TEST_F(SweepCli, ExperimentRefusesAMalformedFileNamingTheKey) {
    struct Case {
        const char* text;
        const char* message;
    };
    for (const Case& c : {Case{R"({"format": "kelvora-experiment", "version": 1, "configurations": [{}, {}, {"mutation": 1.5}], "seeds": "1"})",
                               "e.kelvora.json: configurations[2].mutation: 1.5 is outside 0..1"},
                          Case{R"({"format": "kelvora-experiment", "version": 1, "configurations": [{}], "seeds": "1", "targets": [[0, 250]]})",
                               "e.kelvora.json: targets[0]: [0,250] is outside -199..199"},
                          Case{"[]", "e.kelvora.json: not an experiment file"}}) {
        std::ofstream(dir_ / "e.kelvora.json") << c.text;
        for (const char* verb : {"run", "verify"}) {
            std::vector<std::string> args{"experiment", verb, "e.kelvora.json", "--output", "out.csv"};
            if (std::string(verb) == "verify") args = {"experiment", verb, "e.kelvora.json", "runs.csv"};
            EXPECT_EQ(Run(args), 2) << c.message;
            EXPECT_NE(err_.find(std::string("kelvora-cli experiment: ") + c.message), std::string::npos) << err_;
        }
        EXPECT_FALSE(fs::exists(dir_ / "out.csv"));
    }
}

}  // namespace

// compare against counts of the sweep's own rows: the successes, U and A12 by counting every pair of
// runs, the Fisher p of a 2x2 table by summing its hypergeometric terms; the baseline and the pairs.
TEST_F(SweepCli, CompareCountsTheRowsItTests) {
    ASSERT_EQ(Run({"sweep", "--population", "20", "--generations", "30", "--seeds", "1..8", "--target", "68,180",
                   "--target=-50,20", "--encoding", "binary,gray", "--mutation-operator", "bit-flip,creep:4",
                   "--epsilon", "4", "--quiet", "--output", "s.csv"}),
              0)
        << err_;
    // Each configuration's (successes, distances) by its encoding and mutation columns.
    std::map<std::string, std::pair<long long, std::vector<double>>> runs;
    const std::vector<std::string> rows = Lines(ReadFile(dir_ / "s.csv"));
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const std::vector<std::string> f = Fields(rows[i]);
        auto& r = runs[f[6] + "/" + f[10]];
        r.first += !f[21].empty();
        r.second.push_back(std::stod(f[16]));
    }
    const auto label = [](const nlohmann::json& c) {
        return c["encoding"].get<std::string>() + "/" + c["mutationOperator"].get<std::string>();
    };
    for (const char* baseline : {"", "all"}) {
        std::vector<std::string> args{"compare", "s.csv", "--json"};
        if (*baseline) args.insert(args.end(), {"--baseline", baseline});
        ASSERT_EQ(Run(args), 0) << err_;
        const nlohmann::json j = nlohmann::json::parse(out_);
        EXPECT_EQ(j["epsilon"], 4.0);  // the sweep's --epsilon, which its rows record
        ASSERT_EQ(j["pairs"].size(), *baseline ? 6u : 3u);
        for (const nlohmann::json& p : j["pairs"]) {
            if (!*baseline) {
                EXPECT_EQ(p["b"]["label"], "classic");
            }
            const auto& [sa, x] = runs.at(label(p["a"]));
            const auto& [sb, y] = runs.at(label(p["b"]));
            EXPECT_EQ(p["successes"], nlohmann::json({sa, 16, sb, 16}));
            double larger = 0, closer = 0;
            for (double u : x)
                for (double v : y) {
                    larger += u > v ? 1.0 : u == v ? 0.5 : 0.0;
                    closer += u < v ? 1.0 : u == v ? 0.5 : 0.0;
                }
            EXPECT_EQ(p["mwuU"].get<double>(), larger);
            EXPECT_EQ(p["a12"].get<double>(), closer / 256.0);
            // Fisher: tables with first-row successes k have weight C(K,k) C(32-K,16-k).
            const long long K = sa + sb;
            const auto weight = [K](long long k) {
                return std::exp(std::lgamma(K + 1.0) - std::lgamma(k + 1.0) - std::lgamma(K - k + 1.0) +
                                std::lgamma(33.0 - K) - std::lgamma(17.0 - k) - std::lgamma(17.0 - K + k) -
                                std::lgamma(33.0) + 2 * std::lgamma(17.0));
            };
            double fisher = 0;
            for (long long k = std::max(0LL, K - 16); k <= std::min(16LL, K); ++k)
                if (weight(k) <= weight(sa) * (1 + 1e-7)) fisher += weight(k);
            EXPECT_NEAR(p["fisherP"].get<double>(), std::min(fisher, 1.0), 1e-9);
            EXPECT_GE(p["fisherPHolm"].get<double>(), p["fisherP"].get<double>());
            EXPECT_FALSE(p["verdict"].get<std::string>().empty());
        }
        ASSERT_TRUE(j["friedman"].is_object()) << "two targets";
        double ranks = 0;
        for (const auto& [name, rank] : j["friedman"]["ranks"].items()) ranks += rank.get<double>();
        EXPECT_DOUBLE_EQ(ranks, 1 + 2 + 3 + 4);
    }
    // Another epsilon: the runs made again test as a sweep run with it does.
    ASSERT_EQ(Run({"sweep", "--population", "20", "--generations", "30", "--seeds", "1..8", "--target", "68,180",
                   "--target=-50,20", "--encoding", "binary,gray", "--mutation-operator", "bit-flip,creep:4",
                   "--epsilon", "1.5", "--quiet", "--output", "s15.csv"}),
              0)
        << err_;
    ASSERT_EQ(Run({"compare", "s15.csv", "--json"}), 0) << err_;
    const nlohmann::json direct = nlohmann::json::parse(out_);
    ASSERT_EQ(Run({"compare", "s.csv", "--epsilon", "1.5", "--json"}), 0) << err_;
    const nlohmann::json again = nlohmann::json::parse(out_);
    EXPECT_EQ(again["epsilon"], 1.5);
    EXPECT_EQ(again["pairs"], direct["pairs"]);
    EXPECT_EQ(again["friedman"], direct["friedman"]);
    // The table and the CSV name the same pairs.
    ASSERT_EQ(Run({"compare", "s.csv", "--output", "c.csv"}), 0) << err_;
    const std::vector<std::string> csv = Lines(ReadFile(dir_ / "c.csv"));
    ASSERT_EQ(csv.size(), 4u);
    EXPECT_EQ(csv[0], "a,b,a_successes,a_runs,b_successes,b_runs,fisher_p,fisher_p_holm,mwu_u,mwu_p,mwu_p_holm,a12,verdict");
    ASSERT_EQ(Run({"compare", "s.csv", "--baseline", "gray, creep:4", "--alpha", "0.1"}), 0) << err_;
    EXPECT_NE(out_.find("Friedman over 2 targets"), std::string::npos) << out_;
}

// compare names configurations by the window's short labels, and --baseline takes them.
TEST_F(SweepCli, CompareTakesTheShortLabels) {
    ASSERT_EQ(Run({"sweep", "--population", "20,50", "--generations", "5", "--mutation", "0.1,0.05", "--seeds", "1..3",
                   "--quiet", "--output", "s.csv"}),
              0)
        << err_;
    ASSERT_EQ(Run({"compare", "s.csv", "--baseline", "pop 50", "--json"}), 0) << err_;
    std::set<std::string> named;
    const nlohmann::json j = nlohmann::json::parse(out_);
    for (const nlohmann::json& p : j["pairs"]) {
        EXPECT_EQ(p["b"]["label"], "pop 50");
        named.insert(p["a"]["label"].get<std::string>());
    }
    EXPECT_EQ(named, (std::set<std::string>{"classic", "mut 0.05", "pop 50, mut 0.05"}));
}

TEST_F(SweepCli, CompareRefusesWhatItCannotTestNamingIt) {
    ASSERT_EQ(Run({"sweep", "--population", "10", "--generations", "5", "--seeds", "1..3", "--target", "68,180",
                   "--encoding", "binary,gray", "--quiet", "--output", "s.csv"}),
              0)
        << err_;
    const std::vector<std::string> rows = Lines(ReadFile(dir_ / "s.csv"));
    std::ofstream(dir_ / "empty.csv", std::ios::binary) << rows[0] << "\n";
    std::ofstream(dir_ / "one.csv", std::ios::binary) << rows[0] << "\n" << rows[1] << "\n" << rows[2] << "\n";
    std::ofstream(dir_ / "notes.txt", std::ios::binary) << "seed,population\n1,2\n";
    struct Case {
        std::vector<std::string> args;
        const char* named;
    };
    for (const Case& c : std::vector<Case>{
             {{"notes.txt"}, "notes.txt:1: not a sweep file"},
             {{"empty.csv"}, "empty.csv: the file holds no rows"},
             {{"one.csv"}, "one.csv: the file holds one configuration (classic)"},
             {{"s.csv", "--baseline", "rank"}, "--baseline: 'rank' is not a configuration of s.csv (classic; gray, or all)"},
             {{"s.csv", "--alpha", "1"}, "--alpha: '1' is not a level in (0, 1)"},
             {{"s.csv", "--epsilon", "0"}, "--epsilon: '0' is not a number of pixels in (0, 1000]"},
             {{"missing.csv"}, "missing.csv: cannot read"},
             {{}, "no sweep file given"}}) {
        std::vector<std::string> args{"compare"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.insert(args.end(), {"--output", "out.csv"});
        EXPECT_EQ(Run(args), 2) << c.named;
        EXPECT_NE(err_.find(std::string("kelvora-cli compare: ") + c.named), std::string::npos) << err_;
        EXPECT_FALSE(fs::exists(dir_ / "out.csv")) << c.named;
    }
}

// A report shows exactly compare's numbers: every verdict, the pairs' counts, Friedman's statistic,
// each configuration's successes counted from the rows, the file's SHA-256; its sections in order,
// and nothing that would make a request.
TEST_F(SweepCli, ReportShowsComparesNumbersInOnePage) {
    ASSERT_EQ(Run({"sweep", "--population", "20", "--generations", "30", "--seeds", "1..8", "--target", "68,180",
                   "--target=-50,20", "--encoding", "binary,gray", "--mutation-operator", "bit-flip,creep:4",
                   "--epsilon", "4", "--quiet", "--output", "s.csv"}),
              0)
        << err_;
    std::map<std::string, long long> successes;  // by the encoding and mutation columns
    const std::vector<std::string> rows = Lines(ReadFile(dir_ / "s.csv"));
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const std::vector<std::string> f = Fields(rows[i]);
        successes[f[6] + "/" + f[10]] += !f[21].empty();
    }
    ASSERT_EQ(Run({"compare", "s.csv", "--json", "--baseline", "all"}), 0) << err_;
    const nlohmann::json j = nlohmann::json::parse(out_);
    const std::string sha = kelvora::DigestFile((dir_ / "s.csv").string()).sha256;
    for (const char* lang : {"en", "ja"}) {
        ASSERT_EQ(Run({"report", "s.csv", "--baseline", "all", "--lang", lang, "--title", "Lab <1> & co", "--output",
                       "r.html"}),
                  0)
            << err_;
        const std::string html = ReadFile(dir_ / "r.html");
        EXPECT_NE(html.find(std::string("<html lang=\"") + lang + "\">"), std::string::npos);
        EXPECT_NE(html.find("<h1>Lab &lt;1&gt; &amp; co</h1>"), std::string::npos);
        std::size_t at = 0;
        for (const char* id : {"setup", "results", "run-length", "distances", "statistics", "optimum", "reproduce"}) {
            const std::size_t next = html.find(std::string("<section id=\"") + id + "\">");
            EXPECT_TRUE(next != std::string::npos && next >= at) << id;
            at = next;
        }
        // Three charts and a swatch of each configuration in the legend; no script, link or source.
        std::size_t svgs = 0;
        for (std::size_t p = html.find("<svg"); p != std::string::npos; p = html.find("<svg", p + 1)) ++svgs;
        EXPECT_EQ(svgs, 3u + successes.size());
        for (const char* request : {"<script", "<link", " src=", "url(", "@import", "https:"})
            EXPECT_EQ(html.find(request), std::string::npos) << request;
        for (std::size_t p = html.find("http:"); p != std::string::npos; p = html.find("http:", p + 1))
            EXPECT_EQ(html.compare(p, 27, "http://www.w3.org/2000/svg\""), 0) << html.substr(p, 40);
        EXPECT_NE(html.find("SHA-256 <code>" + sha + "</code>"), std::string::npos);

        long long verdicts = 0;
        for (std::size_t p = html.find("<li>"); p != std::string::npos; p = html.find("<li>", p + 1)) ++verdicts;
        EXPECT_EQ(verdicts, static_cast<long long>(j["pairs"].size() + successes.size()));  // with the legend's
        for (const nlohmann::json& p : j["pairs"]) {
            const std::string a = p["a"]["label"], b = p["b"]["label"];
            const nlohmann::json& s = p["successes"];
            const std::string counts = std::to_string(s[0].get<long long>()) + "/" + std::to_string(s[1].get<long long>()) +
                                       " · " + std::to_string(s[2].get<long long>()) + "/" + std::to_string(s[3].get<long long>());
            char a12[16];
            std::snprintf(a12, sizeof a12, "%.3f", p["a12"].get<double>());
            EXPECT_NE(html.find("<td class=\"label\">" + a + "</td><td class=\"label\">" + b + "</td><td>" + counts + "</td>"),
                      std::string::npos)
                << a << " / " << b;
            EXPECT_NE(html.find(std::string("<td>") + a12 + "</td></tr>"), std::string::npos) << a12;
            if (std::string(lang) == "en") {
                EXPECT_NE(html.find("<li>" + p["verdict"].get<std::string>() + "</li>"), std::string::npos) << p["verdict"];
            }
            for (const auto& c : {p["a"], p["b"]}) {
                const std::string label = c["label"];
                const long long k = successes.at(c["encoding"].get<std::string>() + "/" + c["mutationOperator"].get<std::string>());
                EXPECT_NE(html.find("<tr><td class=\"label\">" + label + "</td><td>" + std::to_string(k) + "/16 ("),
                          std::string::npos)
                    << label;
            }
        }
        char chi2[32];
        std::snprintf(chi2, sizeof chi2, "χ² = %.4g", j["friedman"]["chi2"].get<double>());
        EXPECT_NE(html.find(chi2), std::string::npos) << chi2;
    }
}

// What a report cannot be made of is refused with exit 2, naming it, and leaves no file.
TEST_F(SweepCli, ReportRefusesNamingWhy) {
    ASSERT_EQ(Run({"sweep", "--population", "10", "--generations", "5", "--seeds", "1..3", "--target", "68,180",
                   "--encoding", "binary,gray", "--quiet", "--output", "s.csv"}),
              0)
        << err_;
    const std::vector<std::string> rows = Lines(ReadFile(dir_ / "s.csv"));
    std::ofstream(dir_ / "one.csv", std::ios::binary) << rows[0] << "\n" << rows[1] << "\n";
    struct Case {
        std::vector<std::string> args;
        const char* named;
    };
    for (const Case& c : std::vector<Case>{
             {{"s.csv", "--lang", "fr"}, "--lang: 'fr' is not ja or en"},
             {{"one.csv"}, "one.csv: the file holds one configuration (classic)"},
             {{"s.csv", "--baseline", "rank"}, "--baseline: 'rank' is not a configuration of s.csv (classic; gray, or all)"},
             {{"missing.csv"}, "missing.csv: cannot read"},
             {{"s.csv", "--pdf", "out.html"}, "--output and --pdf name the same file, 'out.html'"},
             {{"s.csv", "--pdf", "s.csv"}, "'s.csv' is the input file itself"}}) {
        std::vector<std::string> args{"report"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.insert(args.end(), {"--output", "out.html"});
        EXPECT_EQ(Run(args), 2) << c.named;
        EXPECT_NE(err_.find(std::string("kelvora-cli report: ") + c.named), std::string::npos) << err_;
        EXPECT_FALSE(fs::exists(dir_ / "out.html")) << c.named;
    }
    EXPECT_EQ(Run({"report", "s.csv"}), 2);
    EXPECT_NE(err_.find("no --output given"), std::string::npos) << err_;
}

// The PDF is the page printed, its Japanese text extractable (where a headless browser is installed).
TEST_F(SweepCli, ReportPdfHoldsTheTextOfThePage) {
    if (std::system("command -v chromium >/dev/null && command -v pdftotext >/dev/null") != 0)
        GTEST_SKIP() << "chromium and pdftotext (Debian: chromium, poppler-utils) are not installed";
    ASSERT_EQ(Run({"sweep", "--population", "10", "--generations", "5", "--seeds", "1..3", "--target", "68,180",
                   "--encoding", "binary,gray", "--quiet", "--output", "s.csv"}),
              0)
        << err_;
    ASSERT_EQ(Run({"report", "s.csv", "--lang", "ja", "--output", "r.html", "--pdf", "r.pdf"}), 0) << err_;
    const std::string pdf = ReadFile(dir_ / "r.pdf");
    ASSERT_EQ(pdf.compare(0, 5, "%PDF-"), 0);
    const std::string command = "pdftotext '" + (dir_ / "r.pdf").string() + "' '" + (dir_ / "r.txt").string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string text = ReadFile(dir_ / "r.txt");
    for (const char* shown : {"実験レポート", "設定", "統計", "gray と classic", "再現"})
        EXPECT_NE(text.find(shown), std::string::npos) << shown << "\n" << text;
}
