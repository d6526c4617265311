// kelvora-cli as a user runs it: exit status, output streams and the files it leaves.

#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "model/kelvora_version.h"
#include "analysis/optimum.h"
#include "cli_test_support.h"
#include "ga/run.h"
#include "io/result_files.h"
#include "io/run_record.h"
#include "session/run_record.h"

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

using kelvora::clitest::DecodePng;
using kelvora::clitest::ReadFile;

// Where a started kelvora-cli's stdout goes: captured to a file, to /dev/full, or closed.
enum class Stdout { captured, full, closed };

// Starts kelvora-cli with args in directory cwd, stderr (and stdout, unless told otherwise)
// captured to files, so stderr is not a terminal. A run that hangs is ended after 60 s.
pid_t StartCli(const fs::path& cwd, const std::vector<std::string>& args, Stdout out = Stdout::captured,
               const std::string& tag = "") {
    const fs::path outPath = cwd / (".stdout" + tag);
    const fs::path errPath = cwd / (".stderr" + tag);
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(cwd.c_str()) != 0) _exit(127);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(err, 2);
        close(err);
        if (out == Stdout::closed) {
            close(1);
        } else {
            const int fd = out == Stdout::full ? open("/dev/full", O_WRONLY)
                                               : open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(fd, 1);
            close(fd);
        }
        alarm(60);  // survives the exec: a hung run dies of SIGALRM and fails its test
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(KELVORA_CLI_PATH));
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(KELVORA_CLI_PATH, argv.data());
        _exit(127);
    }
    return pid;
}

Outcome WaitCli(pid_t pid, const fs::path& cwd, const std::string& tag = "") {
    int raw = 0;
    waitpid(pid, &raw, 0);
    Outcome o;
    o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    const fs::path outPath = cwd / (".stdout" + tag);
    const fs::path errPath = cwd / (".stderr" + tag);
    if (fs::exists(outPath)) o.out = ReadFile(outPath);
    o.err = ReadFile(errPath);
    fs::remove(outPath);
    fs::remove(errPath);
    return o;
}

// Runs kelvora-cli with args in directory cwd and waits for it.
Outcome RunCli(const fs::path& cwd, const std::vector<std::string>& args, Stdout out = Stdout::captured) {
    return WaitCli(StartCli(cwd, args, out), cwd);
}

// Starts a large run writing into dir and freezes it (SIGSTOP) once it has begun writing
// results.csv: it holds both files, as a run under way does, for as long as the test needs.
pid_t StartAndFreezeALargeRun(const fs::path& cwd, const fs::path& dir) {
    const pid_t pid = StartCli(cwd, {"--quiet", "--population", "10000", "--generations", "100", "--seed", "1",
                                     "--output-dir", dir.string()},
                               Stdout::captured, "-first");
    const fs::path results = dir / "results.csv";
    for (int i = 0; i < 20000; ++i) {
        std::error_code ec;
        if (fs::file_size(results, ec) > 0 && !ec) break;
        usleep(1000);
    }
    kill(pid, SIGSTOP);
    return pid;
}

int CountLines(const std::string& text) {
    int n = 0;
    for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) ++n;
    return n;
}

class CliProcess : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("kelvora-cli-test-" + std::to_string(getpid()) + "-" +
                testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
        return names;
    }

    fs::path dir_;
};

TEST_F(CliProcess, SameSeedGivesTheSameBytesAndOutcome) {
    const std::vector<std::string> args{"--seed", "12345", "--population", "30", "--generations", "40", "--json"};
    const Outcome first = RunCli(dir_, args);
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.err, "") << "no progress bar when stderr is not a terminal";
    const std::string results = ReadFile(dir_ / "results.csv");
    const std::string fitness = ReadFile(dir_ / "fitness.csv");
    EXPECT_EQ(CountLines(results), 40 * 31);
    EXPECT_EQ(CountLines(fitness), 40);

    const Outcome second = RunCli(dir_, args);
    ASSERT_EQ(second.status, 0);
    EXPECT_EQ(second.out, first.out);
    EXPECT_EQ(ReadFile(dir_ / "results.csv"), results);
    EXPECT_EQ(ReadFile(dir_ / "fitness.csv"), fitness);
}

TEST_F(CliProcess, JsonReportsTheRunItDescribes) {
    const Outcome o = RunCli(dir_, {"--seed=99", "--population=25", "--generations=7", "--crossover=0.58",
                                    "--mutation=0.25", "--target=-50,20", "--json"});
    ASSERT_EQ(o.status, 0) << o.err;
    const std::regex shape(
        R"(^\{"seed":99,"population":25,"generations":7,"crossover":0\.58,"mutation":0\.25,"target":\[-50,20\],)"
        R"("error":([0-9.e+-]+),"currentPose":\[\d+,\d+,\d+\],"elitePose":\[\d+,\d+,\d+\],"eliteFitness":([0-9.e+-]+),"optimum":.*\}\n$)");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(o.out, m, shape)) << o.out;
    // The reported error is the last generation's: 1 / best - 1 of fitness.csv's last row.
    const std::string fitness = ReadFile(dir_ / "fitness.csv");
    const auto lastRow = fitness.rfind("\r\n", fitness.size() - 3);
    const double lastBest = std::stod(fitness.substr(lastRow == std::string::npos ? 0 : lastRow + 2));
    const double error = std::stod(m[1]);
    EXPECT_NEAR(error, 1.0 / lastBest - 1.0, 1e-5 * (error + 1.0) * (error + 1.0));
    // The elite fitness is the highest best of fitness.csv, where it is printed as %g prints it.
    double highest = 0.0;
    std::string highestText;
    std::istringstream rows(fitness);
    for (std::string row; std::getline(rows, row);) {
        if (std::stod(row) > highest) {
            highest = std::stod(row);
            highestText = row.substr(0, row.find(','));
        }
    }
    char elite[32];
    std::snprintf(elite, sizeof elite, "%g", std::stod(m[2]));
    EXPECT_EQ(elite, highestText);
}

TEST_F(CliProcess, SummaryNamesTheTargetPixelAndTheFiles) {
    const Outcome o = RunCli(dir_, {"--seed", "3", "--generations", "2", "--target", "-50,20"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.out.find("pixel 250,200"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("seed              3"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("results.csv"), std::string::npos);
    EXPECT_NE(o.out.find("fitness.csv"), std::string::npos);
    EXPECT_EQ(o.out.find("algorithm"), std::string::npos) << "the classic summary is as it always was";
}

// The five operator flags reach the run (its files are the library's run with those choices, and
// inspect accepts them: results.csv holds angles), the JSON and the summary's one extra line.
TEST_F(CliProcess, OperatorFlagsReachTheRunTheJsonAndTheSummary) {
    const std::vector<std::string> args{"--seed", "5", "--population", "30", "--generations", "20",
                                        "--target=-50,20", "--encoding", "gray", "--selection=tournament:3",
                                        "--elitism", "2", "--crossover-operator", "uniform",
                                        "--mutation-operator=creep:4"};
    std::vector<std::string> json = args;
    json.push_back("--json");
    const Outcome o = RunCli(dir_, json);
    ASSERT_EQ(o.status, 0) << o.err;
    const std::string tail = R"(,"algorithm":{"encoding":"gray","selection":"tournament:3","elitism":2,)"
                             R"("crossover":"uniform","mutation":"creep:4"}})" "\n";
    ASSERT_GE(o.out.size(), tail.size());
    EXPECT_EQ(o.out.substr(o.out.size() - tail.size()), tail) << o.out;

    const fs::path library = dir_ / "library";
    fs::create_directories(library);
    kelvora::Algorithm algorithm{kelvora::Method::geneticAlgorithm, kelvora::Encoding::gray, kelvora::Selection::tournament, 3, 2,
                                 kelvora::CrossoverOperator::uniform, kelvora::MutationOperator::creep, 4};
    const kelvora::RunSetup setup{{30, 20, 0.5, 0.1}, kelvora::GeometryFor(-50, 20), 5, algorithm};
    ASSERT_TRUE(kelvora::RunWithFiles(setup, library.c_str()).filesComplete());
    EXPECT_TRUE(ReadFile(dir_ / "results.csv") == ReadFile(library / "results.csv"));
    EXPECT_EQ(ReadFile(dir_ / "fitness.csv"), ReadFile(library / "fitness.csv"));
    EXPECT_EQ(RunCli(dir_, {"inspect", "results.csv"}).status, 0);

    const Outcome summary = RunCli(dir_, args);
    ASSERT_EQ(summary.status, 0) << summary.err;
    EXPECT_NE(summary.out.find("(population 30, crossover 0.5, mutation 0.1)\n"
                               "algorithm         gray, tournament:3, elitism 2, uniform, creep:4\n"
                               "target "),
              std::string::npos)
        << summary.out;
}

// --algorithm random-search reaches the run (its files are the library's baseline run), the JSON and the summary.
TEST_F(CliProcess, RandomSearchReachesTheRunTheJsonAndTheSummary) {
    const std::vector<std::string> args{"--seed", "5", "--population", "30", "--generations", "20", "--algorithm",
                                        "random-search"};
    std::vector<std::string> json = args;
    json.push_back("--json");
    const Outcome o = RunCli(dir_, json);
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.out.find(R"(,"algorithm":{"method":"random-search","encoding":"binary",)"), std::string::npos) << o.out;
    const fs::path library = dir_ / "library";
    fs::create_directories(library);
    kelvora::Algorithm algorithm;
    algorithm.method = kelvora::Method::randomSearch;
    const kelvora::RunSetup setup{{30, 20, 0.5, 0.1}, kelvora::GeometryFor(68, 180), 5, algorithm};
    ASSERT_TRUE(kelvora::RunWithFiles(setup, library.c_str()).filesComplete());
    EXPECT_TRUE(ReadFile(dir_ / "results.csv") == ReadFile(library / "results.csv"));
    const Outcome summary = RunCli(dir_, args);
    ASSERT_EQ(summary.status, 0) << summary.err;
    EXPECT_NE(summary.out.find("\nalgorithm         random-search\n"), std::string::npos) << summary.out;
}

TEST_F(CliProcess, QuietPrintsNothingAndStillWrites) {
    const Outcome o = RunCli(dir_, {"--quiet", "--generations", "3"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(CountLines(ReadFile(dir_ / "fitness.csv")), 3);
}

TEST_F(CliProcess, BadInputExitsTwoAndTouchesNoFile) {
    std::ofstream(dir_ / "results.csv") << "keep me";
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--population", "12abc"}, {"--crossover", "nan"}, {"--mutation", "1e999"},
          {"--target", "0,200"}, {"--seed", "-3"}, {"--bogus"},
          {"--selection", "tournament:21"}, {"--elitism=20"}, {"--encoding", "grey"}}) {
        const Outcome o = RunCli(dir_, args);
        EXPECT_EQ(o.status, 2) << args[0];
        EXPECT_EQ(o.out, "");
        EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << o.err;
        EXPECT_NE(o.err.find(args[0].substr(0, args[0].find('='))), std::string::npos) << o.err;
    }
    EXPECT_EQ(ReadFile(dir_ / "results.csv"), "keep me");
    EXPECT_EQ(Entries(), std::vector<std::string>{"results.csv"});
}

// The command line's refusals: exit 2, one line naming the command and the flag, nothing written.
TEST_F(CliProcess, RefusalsNameTheCommandAndTheFlag) {
    std::ofstream(dir_ / "plain") << "x";
    const std::vector<std::pair<std::vector<std::string>, std::string>> rows{
        {{"--populaton", "5"}, "kelvora-cli: unknown argument '--populaton' (did you mean --population?)"},
        {{"--frobnicate"}, "kelvora-cli: unknown argument '--frobnicate' (see --help)"},
        {{"inspect", "--jsn", "x.csv"}, "kelvora-cli inspect: unknown argument '--jsn' (did you mean --json?)"},
        {{"optimum", "--targte=1,1"}, "kelvora-cli optimum: unknown argument '--targte=1,1' (did you mean --target?)"},
        {{"reach-map", "--outpt", "m.png"}, "kelvora-cli reach-map: unknown argument '--outpt' (did you mean --output?)"},
        {{"sweep", "--seeds", "1", "--popultion", "5"},
         "kelvora-cli sweep: unknown argument '--popultion' (did you mean --population?)"},
        {{"sweep-merge", "--sumary", "s.csv"}, "kelvora-cli sweep-merge: unknown argument '--sumary' (did you mean --summary?)"},
        {{"ecdf", "s.csv", "--outptu", "e.csv"}, "kelvora-cli ecdf: unknown argument '--outptu' (did you mean --output?)"},
        {{"ecdf", "s.csv", "--epsilon", "0"}, "kelvora-cli ecdf: --epsilon: '0' is not a number of pixels in (0, 1000]"},
        {{"ecdf", "s.csv", "--epsilon=2", "--target", "optimum"},
         "kelvora-cli ecdf: --epsilon applies to --target epsilon, not to --target optimum"},
        {{"--seed", "1", "--seed=2"}, "kelvora-cli: --seed is given twice; give it once"},
        {{"--json", "--json"}, "kelvora-cli: --json is given twice; give it once"},
        {{"reach-map", "--output", "a.png", "--output=b.png"}, "kelvora-cli reach-map: --output is given twice; give it once"},
        {{"sweep", "--seeds", "1", "--population", "20", "--population=30", "--output", "s.csv"},
         "kelvora-cli sweep: --population is given twice; give its values once, as one comma list"},
        {{"sweep", "--seeds", "1", "--quiet"},
         "kelvora-cli sweep: --quiet without --output, --summary, --ioh or --logs would keep nothing of the runs; add one "
         "of them"},
        {{"sweep", "--seeds", "1", "--output", "s.csv", "--resume", "--ioh", "ioh"},
         "kelvora-cli sweep: --ioh cannot be combined with --resume: the runs kept in the file do not record their "
         "improvements"},
        {{"sweep", "--seeds", "1", "--output", "s.csv", "--target-seed", "7"},
         "kelvora-cli sweep: --target-seed needs --targets random:K: it seeds the draws of those targets"},
        {{"reach-map", "--output", "map.jpg"}, "kelvora-cli reach-map: --output: 'map.jpg' does not end in .png or .csv"},
        {{"reach-map", "--output", "map.csv", "--plain"},
         "kelvora-cli reach-map: --plain applies to a .png picture, not to 'map.csv'"},
        {{"reach-map", "--plain", "--output", "map.png", "--plain"}, "kelvora-cli reach-map: --plain is given twice; give it once"},
        {{"--output-dir", "plain/sub"}, "kelvora-cli: --output-dir: 'plain/sub': Not a directory"},
    };
    for (const auto& [args, says] : rows) {
        const Outcome o = RunCli(dir_, args);
        EXPECT_EQ(o.status, 2) << says;
        EXPECT_EQ(o.err, says + "\n");
        EXPECT_EQ(o.out, "") << says;
    }
    EXPECT_EQ(Entries(), std::vector<std::string>{"plain"});
}

TEST_F(CliProcess, EveryCommandEchoesArgumentsAndFileNamesEscapedAndCut) {
    const std::string escape = "\x1b]0;x\x07";  // a terminal's title sequence
    const std::string shown = "\\x1B]0;x\\x07";
    const std::string longName(120, 'n');
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string says;
    };
    const std::vector<Case> cases{
        {{"--population", escape}, 2, "--population: '" + shown + "'"},
        {{"--" + escape}, 2, "unknown argument '--" + shown + "'"},
        {{"--output-dir", "/dev/null/" + escape}, 2, "'/dev/null/" + shown + "': Not a directory"},
        {{"inspect", "--" + escape}, 2, "unknown argument '--" + shown + "'"},
        {{"inspect", escape}, 2, shown + ": cannot open"},
        {{"inspect", longName}, 2, std::string(77, 'n') + "...: cannot open"},
        {{"optimum", "--" + escape}, 2, "unknown argument '--" + shown + "'"},
        {{"reach-map", "--" + escape}, 2, "unknown argument '--" + shown + "'"},
        {{"reach-map", "--output", "missing/" + escape + ".png"}, 2, "missing/" + shown + ".png: cannot open"},
        {{"sweep", "--seeds", "1.." + escape}, 2, "--seeds: '1.." + shown + "'"},
        {{"sweep", "--seeds", "1", "--targets", escape}, 2, "--targets: '" + shown + "'"},
        {{"sweep", "--seeds", "1", "--logs", escape}, 2, "--logs: '" + shown + "'"},
        {{"sweep-merge", "--" + escape}, 2, "unknown argument '--" + shown + "'"},
        {{"sweep-merge", "--output", "m.csv", escape}, 2, shown + ": cannot read"},
        {{"sweep-merge", "--output", "m.csv", longName}, 2, std::string(77, 'n') + "...: cannot read"}};
    for (const Case& c : cases) {
        const Outcome o = RunCli(dir_, c.args);
        EXPECT_EQ(o.status, c.status) << c.says;
        EXPECT_NE(o.err.find(c.says), std::string::npos) << o.err;
        EXPECT_TRUE(std::all_of(o.err.begin(), o.err.end(), [](char b) { return b == '\n' || b >= 0x20; })) << o.err;
    }
    EXPECT_TRUE(Entries().empty());
}

TEST_F(CliProcess, UnopenableResultFileIsNamedAndTheOtherStillWritten) {
    fs::create_directories(dir_ / "out" / "results.csv");  // a directory where the file should go
    const Outcome o = RunCli(dir_, {"--output-dir", (dir_ / "out").string(), "--generations", "5", "--quiet"});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("results.csv: cannot open: Is a directory"), std::string::npos) << o.err;
    EXPECT_EQ(o.err.find("fitness.csv"), std::string::npos) << o.err;
    EXPECT_EQ(CountLines(ReadFile(dir_ / "out" / "fitness.csv")), 5);
}

TEST_F(CliProcess, FailedWritesAreReported) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    fs::create_symlink("/dev/full", dir_ / "fitness.csv");
    const Outcome o = RunCli(dir_, {"--generations", "4", "--quiet"});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("fitness.csv: write failed, lines lost: No space left on device"), std::string::npos)
        << o.err;
    EXPECT_EQ(CountLines(ReadFile(dir_ / "results.csv")), 4 * 21);
}

TEST_F(CliProcess, HelpAndVersion) {
    const Outcome help = RunCli(dir_, {"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* flag : {"--population", "--generations", "--crossover", "--mutation", "--target", "--seed",
                             "--output-dir", "--json", "--quiet", "--version"})
        EXPECT_NE(help.out.find(flag), std::string::npos) << flag;
    for (const char* range : {"population size, 1..10000 (default 20)", "generation count, 1..10000 (default 100)",
                              "crossover rate, 0.001..1 (default 0.5)", "per gene, 0..1;", "as it always has (default 0.1)",
                              "each -199..199 (default 68,180)", "seed, 0..4294967295", "links 60, 100, 40 px"})
        EXPECT_NE(help.out.find(range), std::string::npos) << range;
    const Outcome version = RunCli(dir_, {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "kelvora-cli " KELVORA_VERSION "\n") << "the project's version";
    EXPECT_EQ(Entries(), std::vector<std::string>{}) << "neither writes a file";
}

// Ground truth: the optimum subcommand, the run's distance to the optimum, the reach map.

double JsonNumber(const std::string& json, const std::string& key) {
    const auto at = json.find("\"" + key + "\":");
    EXPECT_NE(at, std::string::npos) << key << " in " << json;
    return at == std::string::npos ? std::nan("") : std::strtod(json.c_str() + at + key.size() + 3, nullptr);
}

class CliOptimum : public CliProcess, public testing::WithParamInterface<std::pair<int, int>> {};

TEST_P(CliOptimum, JsonIsTheLibrarysOptimumExactly) {
    const auto [x, y] = GetParam();
    const Outcome o = RunCli(dir_, {"optimum", "--target=" + std::to_string(x) + "," + std::to_string(y), "--json"});
    ASSERT_EQ(o.status, 0) << o.err;
    const kelvora::Optimum best =
        kelvora::FindOptimum(kelvora::kBaseX, kelvora::kBaseY, kelvora::kBaseX + x, kelvora::kBaseY - y);
    const std::regex shape(R"(^\{"target":\[(-?\d+),(-?\d+)\],"pose":\[(\d+),(\d+),(\d+)\],"distance":[^,]+,"fitness":[^}]+\}\n$)");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(o.out, m, shape)) << o.out;
    EXPECT_EQ(std::stoi(m[1]), x);
    EXPECT_EQ(std::stoi(m[2]), y);
    EXPECT_EQ((kelvora::ArmPose{std::stoi(m[3]), std::stoi(m[4]), std::stoi(m[5])}), best.pose);
    EXPECT_EQ(JsonNumber(o.out, "distance"), best.distance);  // reads back bit for bit
    EXPECT_EQ(JsonNumber(o.out, "fitness"), best.fitness);
}

INSTANTIATE_TEST_SUITE_P(Targets, CliOptimum,
                         testing::Values(std::pair{68, 180}, std::pair{150, -100}, std::pair{0, -199},
                                         std::pair{-199, -199}, std::pair{0, 0}));

TEST_F(CliProcess, OptimumRejectsBadArgumentsWithStatusTwo) {
    const std::vector<std::vector<std::string>> rows = {
        {"optimum", "--target", "200,0"}, {"optimum", "--target=1"}, {"optimum", "--target"},
        {"optimum", "--population", "5"}, {"optimum", "--json=1"}, {"reach-map"},
        {"reach-map", "--output"},         {"reach-map", "--output=x.png", "--json"}};
    for (const auto& args : rows) {
        const Outcome o = RunCli(dir_, args);
        EXPECT_EQ(o.status, 2) << args.back();
        EXPECT_EQ(o.out, "") << args.back();
        EXPECT_NE(o.err.find("kelvora-cli "), std::string::npos) << args.back();
    }
    EXPECT_TRUE(Entries().empty());
}

TEST_F(CliProcess, RunJsonTellsTheGapToTheOptimum) {
    // Seed 2 gives both outcomes: at the defaults the run misses, at population 1000 it reaches it
    // (found by trying seeds; what is checked below is that the flag agrees with the fitness).
    for (const auto& [population, generations] : {std::pair{20, 100}, std::pair{1000, 100}}) {
        const Outcome o = RunCli(dir_, {"--seed=2", "--population=" + std::to_string(population),
                                        "--generations=" + std::to_string(generations), "--json"});
        ASSERT_EQ(o.status, 0) << o.err;
        const kelvora::Optimum best = kelvora::FindOptimum(kelvora::kBaseX, kelvora::kBaseY, 368, 40);
        const std::string optimum = "\"optimum\":{\"pose\":[" + std::to_string(best.pose.a1) + "," +
                                    std::to_string(best.pose.a2) + "," + std::to_string(best.pose.a3) + "]";
        EXPECT_NE(o.out.find(optimum), std::string::npos) << o.out;
        const double eliteFitness = JsonNumber(o.out, "eliteFitness");
        const double eliteDistance = JsonNumber(o.out, "eliteDistance");
        EXPECT_EQ(JsonNumber(o.out, "gap"), eliteDistance - best.distance);
        EXPECT_NEAR(eliteFitness, 1.0 / (eliteDistance + 1.0), 1e-15);
        const bool reached = o.out.find("\"reachedOptimum\":true,") != std::string::npos;
        EXPECT_EQ(reached, eliteFitness == best.fitness) << o.out;
        EXPECT_EQ(reached, population == 1000) << "the long run was expected to reach it: " << o.out;
    }
}

// run.json, made last beside the files in an --output-dir made for them, records the run its --json
// reports and the files as they are; a file that failed is said in it; --no-run-json writes none.
TEST_F(CliProcess, RunJsonRecordsWhatTheRunsJsonReports) {
    const Outcome o = RunCli(dir_, {"--seed=77", "--population=13", "--generations=9", "--crossover=0.58", "--mutation=0.25",
                                    "--target=-50,20", "--selection", "rank", "--json", "--output-dir", "made/here"});
    ASSERT_EQ(o.status, 0) << o.err;
    std::string error;
    const auto record = kelvora::ParseRunRecord(ReadFile(dir_ / "made/here/run.json"), error);
    ASSERT_TRUE(record) << error;
    EXPECT_EQ(record->program + " " + record->version, "kelvora-cli " KELVORA_VERSION);
    EXPECT_EQ(record->seed, JsonNumber(o.out, "seed"));
    EXPECT_EQ(record->params.populationSize, JsonNumber(o.out, "population"));
    EXPECT_EQ(record->params.generationCount, JsonNumber(o.out, "generations"));
    EXPECT_EQ(record->params.crossoverRate, JsonNumber(o.out, "crossover"));
    EXPECT_EQ(record->params.mutationProbability, JsonNumber(o.out, "mutation"));
    const kelvora::Algorithm& a = record->algorithm;
    for (const std::string& piece :
         {"\"target\":[" + std::to_string(record->targetX) + "," + std::to_string(record->targetY) + "]",
          "\"algorithm\":{\"encoding\":\"" + EncodingName(a) + "\",\"selection\":\"" + SelectionName(a) + "\",\"elitism\":" +
              ElitismName(a) + ",\"crossover\":\"" + CrossoverName(a) + "\",\"mutation\":\"" + MutationName(a) + "\"}"})
        EXPECT_NE(o.out.find(piece), std::string::npos) << piece << " in " << o.out;
    EXPECT_EQ(record->geometry.targetX, kelvora::kBaseX + record->targetX);
    EXPECT_EQ(record->geometry.targetY, kelvora::kBaseY - record->targetY);
    EXPECT_EQ(record->generationsRun, 9);
    EXPECT_FALSE(record->stopped);
    EXPECT_EQ(record->failure, "");
    EXPECT_TRUE(std::regex_match(record->started, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)")));
    EXPECT_LE(record->started, record->ended);
    kelvora::RunRecord matched;
    const std::string results = (dir_ / "made/here/results.csv").string();
    EXPECT_EQ(kelvora::session::ReadRecordOf(results, kelvora::DigestFile(results), {record->params.populationSize, 9},
                                             matched, error),
              kelvora::session::RecordMatch::matches);

    fs::create_directory(dir_ / "full");
    fs::create_symlink("/dev/full", dir_ / "full" / "fitness.csv");
    EXPECT_EQ(RunCli(dir_, {"--generations", "2", "--quiet", "--output-dir", "full"}).status, 1);
    const auto failed = kelvora::ParseRunRecord(ReadFile(dir_ / "full/run.json"), error);
    ASSERT_TRUE(failed) << error;
    EXPECT_EQ(failed->failure, "full/fitness.csv: write failed, lines lost: No space left on device");

    ASSERT_EQ(RunCli(dir_, {"--generations", "2", "--quiet", "--no-run-json"}).status, 0);
    EXPECT_FALSE(fs::exists(dir_ / "run.json"));
    EXPECT_TRUE(fs::exists(dir_ / "fitness.csv"));
}

TEST_F(CliProcess, ReachMapCsvHoldsEveryPixelsOptimumDistance) {
    const Outcome o = RunCli(dir_, {"reach-map", "--output", "map.CSV"});
    ASSERT_EQ(o.status, 0) << o.err;
    std::istringstream rows(ReadFile(dir_ / "map.CSV"));
    int count = 0;
    for (std::string row; std::getline(rows, row); ++count) {
        int x = 0, y = 0;
        char* end = nullptr;
        x = static_cast<int>(std::strtol(row.c_str(), &end, 10));
        y = static_cast<int>(std::strtol(end + 1, &end, 10));
        const double distance = std::strtod(end + 1, nullptr);
        // Top row first, left to right, every offset the plot accepts.
        ASSERT_EQ(x, count % 399 - 199);
        ASSERT_EQ(y, 199 - count / 399);
        if (count % 997 == 0) {
            EXPECT_EQ(distance, kelvora::FindOptimum(kelvora::kBaseX, kelvora::kBaseY, kelvora::kBaseX + x,
                                                     kelvora::kBaseY - y).distance) << row;
        }
    }
    EXPECT_EQ(count, 399 * 399);
}

TEST_F(CliProcess, ReachMapPngIsAFigureOrThePlainMapAndFailuresAreNamed) {
    ASSERT_EQ(RunCli(dir_, {"reach-map", "--output=figure.png"}).status, 0);
    const auto [width, height, figure] = DecodePng(dir_ / "figure.png");
    EXPECT_EQ(width, 600);
    EXPECT_EQ(height, 516);

    // --plain: the map alone, as the program has always drawn it.
    const Outcome plain = RunCli(dir_, {"reach-map", "--plain", "--output", "map.png"});
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_TRUE(DecodePng(dir_ / "map.png").rgb == DecodePng(KELVORA_REACHMAP_PICTURE).rgb)
        << "the plain picture differs from the one the program has always drawn";

    // Without a font the figure is refused before anything is written; --plain needs none.
    std::ofstream(dir_ / "fonts.conf") << "<?xml version=\"1.0\"?><fontconfig></fontconfig>\n";
    setenv("FONTCONFIG_FILE", (dir_ / "fonts.conf").c_str(), 1);
    const Outcome noFont = RunCli(dir_, {"reach-map", "--output", "nofont.png"});
    const Outcome plainNoFont = RunCli(dir_, {"reach-map", "--output", "nofont-plain.png", "--plain"});
    unsetenv("FONTCONFIG_FILE");
    EXPECT_EQ(noFont.status, 1);
    EXPECT_EQ(noFont.err, "kelvora-cli reach-map: cannot label the figure: no font found for 'DejaVu Sans' (fontconfig "
                          "knows no fonts); --plain writes the map alone\n");
    EXPECT_FALSE(fs::exists(dir_ / "nofont.png"));
    EXPECT_EQ(plainNoFont.status, 0) << plainNoFont.err;

    // A file that cannot be opened, or whose writes fail, is named with the reason and exits 1.
    fs::create_symlink("/dev/full", dir_ / "full.png");
    fs::create_symlink("/dev/full", dir_ / "full.csv");
    const std::vector<std::pair<std::string, std::string>> failures = {
        {"missing/map.png", "cannot open: No such file or directory"},
        {"missing/map.csv", "cannot open: No such file or directory"},
        {"full.png", "write failed: No space left on device"},
        {"full.csv", "write failed: No space left on device"}};
    for (const auto& [path, reason] : failures) {
        const Outcome failed = RunCli(dir_, {"reach-map", "--output", path});
        // A path that cannot be opened is refused before the work (2); a write that fails is a failure (1).
        EXPECT_EQ(failed.status, path.starts_with("missing/") ? 2 : 1) << path;
        EXPECT_NE(failed.err.find(path + ": " + reason), std::string::npos) << failed.err;
    }
}

TEST_F(CliProcess, ASecondRunInTheSamePlaceIsRefusedAndTheFirstRunsIntact) {
    const pid_t first = StartAndFreezeALargeRun(dir_, dir_);
    const Outcome second = RunCli(dir_, {"--quiet", "--population", "10", "--generations", "5", "--seed", "2"});
    kill(first, SIGCONT);
    const Outcome firstOutcome = WaitCli(first, dir_, "-first");
    EXPECT_EQ(second.status, 1);
    EXPECT_EQ(second.out, "");
    EXPECT_NE(second.err.find("results.csv: another run is writing this file"), std::string::npos) << second.err;
    ASSERT_EQ(firstOutcome.status, 0) << firstOutcome.err;
    // The first run's files are exactly what the same run writes undisturbed.
    fs::create_directory(dir_ / "alone");
    const Outcome alone = RunCli(dir_, {"--quiet", "--population", "10000", "--generations", "100", "--seed", "1",
                                        "--output-dir", (dir_ / "alone").string()});
    ASSERT_EQ(alone.status, 0) << alone.err;
    const std::string results = ReadFile(dir_ / "results.csv");
    EXPECT_EQ(results.size(), ReadFile(dir_ / "alone" / "results.csv").size());
    EXPECT_TRUE(results == ReadFile(dir_ / "alone" / "results.csv")) << "results.csv differs from an undisturbed run";
    EXPECT_EQ(ReadFile(dir_ / "fitness.csv"), ReadFile(dir_ / "alone" / "fitness.csv"));
}

TEST_F(CliProcess, AFileDeletedDuringTheRunIsReportedLost) {
    fs::create_directory(dir_ / "out");
    const pid_t run = StartAndFreezeALargeRun(dir_, dir_ / "out");
    fs::remove_all(dir_ / "out");
    kill(run, SIGCONT);
    const Outcome o = WaitCli(run, dir_, "-first");
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("out/results.csv: deleted during the run"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("out/fitness.csv: deleted during the run"), std::string::npos) << o.err;
}

TEST_F(CliProcess, AFifoIsRefusedAndALinkToDevNullDiscards) {
    ASSERT_EQ(mkfifo((dir_ / "results.csv").c_str(), 0644), 0);
    const Outcome fifo = RunCli(dir_, {"--generations", "5", "--quiet"});
    EXPECT_EQ(fifo.status, 1);
    EXPECT_NE(fifo.err.find("results.csv: cannot open: a FIFO, not a regular file or a character device"),
              std::string::npos)
        << fifo.err;
    EXPECT_EQ(CountLines(ReadFile(dir_ / "fitness.csv")), 5);

    fs::remove(dir_ / "results.csv");
    fs::create_symlink("/dev/null", dir_ / "results.csv");
    const Outcome discarded = RunCli(dir_, {"--generations", "5", "--quiet"});
    EXPECT_EQ(discarded.status, 0) << discarded.err;
    EXPECT_EQ(discarded.err, "");
}

struct StdoutCase {
    std::vector<std::string> args;
    Stdout out;
    const char* reason;
};

class CliStdout : public CliProcess, public testing::WithParamInterface<StdoutCase> {};

TEST_P(CliStdout, OutputThatCannotBePrintedIsAFailure) {
    const Outcome o = RunCli(dir_, GetParam().args, GetParam().out);
    EXPECT_EQ(o.status, 1);
    // Named by the command that printed: kelvora-cli, or kelvora-cli and the subcommand.
    const std::string& first = GetParam().args[0];
    const std::string command = first.rfind("--", 0) == 0 ? "kelvora-cli" : "kelvora-cli " + first;
    EXPECT_NE(o.err.find(command + ": standard output: " + GetParam().reason), std::string::npos) << o.err;
    if (fs::exists(dir_ / "results.csv")) {  // nothing printed went into a result file instead
        const std::string results = ReadFile(dir_ / "results.csv");
        EXPECT_EQ(CountLines(results), 3 * 21);
        EXPECT_EQ(results.find('{'), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, CliStdout,
    testing::Values(StdoutCase{{"--json", "--generations", "3"}, Stdout::full, "No space left on device"},
                    StdoutCase{{"--generations", "3"}, Stdout::full, "No space left on device"},
                    StdoutCase{{"--help"}, Stdout::full, "No space left on device"},
                    StdoutCase{{"--version"}, Stdout::full, "No space left on device"},
                    StdoutCase{{"inspect", "--help"}, Stdout::full, "No space left on device"},
                    StdoutCase{{"optimum", "--json"}, Stdout::full, "No space left on device"},
                    StdoutCase{{"sweep", "--help"}, Stdout::full, "No space left on device"},
                    StdoutCase{{"sweep-merge", "--help"}, Stdout::closed, "Bad file descriptor"},
                    StdoutCase{{"--json", "--generations", "3"}, Stdout::closed, "Bad file descriptor"},
                    StdoutCase{{"--generations", "3"}, Stdout::closed, "Bad file descriptor"},
                    StdoutCase{{"--version"}, Stdout::closed, "Bad file descriptor"}));

TEST_F(CliProcess, QuietWithStdoutClosedLosesNothing) {
    const Outcome o = RunCli(dir_, {"--quiet", "--generations", "3"}, Stdout::closed);
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(CountLines(ReadFile(dir_ / "results.csv")), 3 * 21);
}

TEST_F(CliProcess, RunsWithoutASeedStartedTogetherDiffer) {
    const Outcome first = RunCli(dir_, {"--json", "--generations", "1"});
    const Outcome second = RunCli(dir_, {"--json", "--generations", "1"});
    ASSERT_EQ(first.status, 0) << first.err;
    ASSERT_EQ(second.status, 0) << second.err;
    const auto seed = [](const std::string& json) { return json.substr(0, json.find(',')); };
    EXPECT_NE(seed(first.out), seed(second.out)) << "within one second, two clock seeds would be equal";
}

TEST_F(CliProcess, AnOutputDirThatCannotBeEnteredGivesTheSystemsReason) {
    std::ofstream(dir_ / "plain") << "x";
    fs::create_symlink("loop", dir_ / "loop");
    std::vector<std::pair<std::string, std::string>> cases{{"plain", "Not a directory"},
                                                           {"loop", "Too many levels of symbolic links"}};
    if (geteuid() != 0) {
        fs::create_directory(dir_ / "closed");
        fs::permissions(dir_ / "closed", fs::perms::none);
        cases.emplace_back("closed", "Permission denied");
    } else {
        std::printf("(as root a directory without permissions can still be entered: that case is not tried)\n");
    }
    for (const auto& [name, reason] : cases) {
        const Outcome o = RunCli(dir_, {"--output-dir", name});
        EXPECT_EQ(o.status, 2) << name;
        EXPECT_EQ(o.err, "kelvora-cli: --output-dir: '" + name + "': " + reason + "\n");
    }
    if (fs::exists(dir_ / "closed")) fs::permissions(dir_ / "closed", fs::perms::owner_all);
}

TEST_F(CliProcess, AFullFileSystemLeavesOnlyWholeLines) {
    const fs::path small = dir_ / "small";
    fs::create_directory(small);
    const std::string options = "size=1m";
    if (mount("tmpfs", small.c_str(), "tmpfs", 0, options.c_str()) != 0)
        GTEST_SKIP() << "cannot mount a 1 MB tmpfs here (" << std::strerror(errno) << "); the writer seam tests cover it";
    const std::vector<std::string> run{"--quiet", "--population", "1000", "--generations", "100", "--seed", "9"};
    std::vector<std::string> intoSmall = run;
    intoSmall.insert(intoSmall.end(), {"--output-dir", small.string()});
    const Outcome full = RunCli(dir_, intoSmall);
    const std::string cut = ReadFile(small / "results.csv");
    umount(small.c_str());
    const Outcome roomy = RunCli(dir_, run);
    ASSERT_EQ(roomy.status, 0) << roomy.err;
    const std::string whole = ReadFile(dir_ / "results.csv");
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.err.find("results.csv: write failed, lines lost: No space left on device"), std::string::npos)
        << full.err;
    ASSERT_FALSE(cut.empty());
    ASSERT_LT(cut.size(), whole.size());
    EXPECT_EQ(cut.substr(cut.size() - 2), "\r\n") << "the file ends in a cut-off line";
    EXPECT_TRUE(whole.compare(0, cut.size(), cut) == 0) << "not the undisturbed run's first lines";
}

}  // namespace

namespace {

// inspect reads back exactly what the run reported, for several runs; population 1 included.
TEST_F(CliProcess, InspectAgreesWithTheRunsJson) {
    const std::regex number(R"re("(population|generations|eliteFitness)":([0-9.e+-]+))re");
    const std::regex arrays(R"re("(target|elitePose)":\[[-0-9,]+\])re");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--seed", "1", "--population", "1", "--generations", "40", "--target=-50,20"},
          {"--seed", "77", "--population", "13", "--generations", "9", "--target", "199,-199"},
          {"--seed", "4242", "--population", "300", "--generations", "25", "--target", "0,0"}}) {
        std::vector<std::string> run = args;
        run.push_back("--json");
        const Outcome written = RunCli(dir_, run);
        ASSERT_EQ(written.status, 0) << written.err;
        const Outcome inspected = RunCli(dir_, {"inspect", "results.csv", "--json"});
        ASSERT_EQ(inspected.status, 0) << inspected.err;
        EXPECT_NE(inspected.out.find("\"complete\":true"), std::string::npos) << inspected.out;
        for (const std::regex* r : {&number, &arrays}) {
            for (std::sregex_iterator it(written.out.begin(), written.out.end(), *r), end; it != end; ++it)
                EXPECT_NE(inspected.out.find(it->str()), std::string::npos) << it->str() << " in " << inspected.out;
        }
    }
}

// inspect's repeating command names the flush mode run.json records (the same bytes, but line by
// line is far slower), and the command line's default for a record too old to say.
TEST_F(CliProcess, InspectRepeatsTheRunInTheFlushModeItWasWrittenIn) {
    struct Row {
        std::vector<std::string> flush;
        bool keyRemoved;
        const char* named;
    };
    for (const Row& row : {Row{{}, false, "generation"}, Row{{"--flush", "generation"}, false, "generation"},
                           Row{{"--flush", "line"}, false, "line"}, Row{{"--flush", "line"}, true, "generation"}}) {
        std::vector<std::string> run{"--seed", "5", "--population", "4", "--generations", "3", "--quiet"};
        run.insert(run.end(), row.flush.begin(), row.flush.end());
        ASSERT_EQ(RunCli(dir_, run).status, 0);
        if (row.keyRemoved) {
            std::string json = ReadFile(dir_ / "run.json");
            const std::size_t at = json.find(",\"flush\":\"line\"");
            ASSERT_NE(at, std::string::npos) << json;
            std::ofstream(dir_ / "run.json", std::ios::trunc) << json.erase(at, 15);
        }
        const Outcome o = RunCli(dir_, {"inspect", "results.csv"});
        ASSERT_EQ(o.status, 0) << o.err;
        EXPECT_NE(o.out.find("\nreproduce         kelvora-cli --seed 5 --population 4 --generations 3 "),
                  std::string::npos) << o.out;
        EXPECT_NE(o.out.find(std::string(" --flush ") + row.named + "\n"), std::string::npos) << o.out;
    }
}

// inspect vouches for a file only when run.json records that very file: under any name, and never
// for another run's file copied beside the record, nor from a record whose numbers no flag takes.
TEST_F(CliProcess, InspectChecksTheNamedFileAgainstTheRecord) {
    ASSERT_EQ(RunCli(dir_, {"--seed", "7", "--generations", "5", "--quiet"}).status, 0);
    ASSERT_EQ(RunCli(dir_, {"--seed", "1", "--population", "30", "--generations", "6", "--target=-80,120",
                            "--output-dir", "other", "--quiet"}).status, 0);
    fs::copy_file(dir_ / "other/results.csv", dir_ / "other.csv");
    fs::create_directory(dir_ / "lone");
    fs::copy_file(dir_ / "results.csv", dir_ / "lone/renamed.csv");
    fs::copy_file(dir_ / "run.json", dir_ / "lone/run.json");
    struct Case {
        std::string file, status;
    };
    for (const Case& c : {Case{"other.csv", "differs"}, Case{"lone/renamed.csv", "matches"}, Case{"results.csv", "matches"}}) {
        const Outcome o = RunCli(dir_, {"inspect", c.file, "--json"});
        EXPECT_NE(o.out.find("\"runRecord\":{\"status\":\"" + c.status + "\""), std::string::npos) << c.file << ": " << o.out << o.err;
    }
    std::string json = ReadFile(dir_ / "run.json");
    json.replace(json.find("\"seed\":7"), 8, "\"seed\":-1");
    std::ofstream(dir_ / "run.json", std::ios::trunc) << json;
    const Outcome forged = RunCli(dir_, {"inspect", "results.csv"});
    EXPECT_NE(forged.out.find("run.json          cannot be read (seed: -1 is not an integer in 0..4294967295)"),
              std::string::npos)
        << forged.out;
    EXPECT_EQ(forged.out.find("4294967295 --population"), std::string::npos) << forged.out;
}

// inspect makes the recorded run again before it vouches for a record: a field edited within its
// range no longer "matches", and a key given twice is refused by name.
TEST_F(CliProcess, InspectVouchesForARecordOnlyWhenItsRunWritesTheFileAgain) {
    ASSERT_EQ(RunCli(dir_, {"--seed", "3", "--population", "20", "--generations", "6", "--quiet"}).status, 0);
    const std::string written = ReadFile(dir_ / "run.json");
    struct Row {
        std::string from, to, text, status;
    };
    for (const Row& row :
         {Row{"", "", "run.json          describes this file, and the run it names, made again, writes the same bytes: seed 3,",
              "\"status\":\"matches\",\"seed\":3,"},
          Row{"\"elitism\":0", "\"elitism\":19", "does not reproduce it: the run it names, made again, writes other bytes (results.csv differs;",
              "\"status\":\"doesNotReproduce\",\"why\":\"results.csv differs\"}"},
          Row{"\"seed\":3", "\"seed\":3,\"seed\":3", "run.json          cannot be read (the key \"seed\" is given twice)",
              "\"status\":\"unreadable\""}}) {
        std::string json = written;
        if (!row.from.empty()) {
            ASSERT_NE(json.find(row.from), std::string::npos) << json;
            json.replace(json.find(row.from), row.from.size(), row.to);
        }
        std::ofstream(dir_ / "run.json", std::ios::trunc) << json;
        const Outcome text = RunCli(dir_, {"inspect", "results.csv"});
        EXPECT_EQ(text.status, 0) << text.err;
        EXPECT_NE(text.out.find(row.text), std::string::npos) << row.to << ": " << text.out;
        const bool vouched = row.status.find("\"matches\"") != std::string::npos;
        EXPECT_EQ(text.out.find("\nreproduce ") != std::string::npos, vouched) << text.out;
        const Outcome o = RunCli(dir_, {"inspect", "results.csv", "--json"});
        EXPECT_NE(o.out.find(row.status), std::string::npos) << row.to << ": " << o.out;
    }
}

TEST_F(CliProcess, InspectOfAnInterruptedRunReadsItsCompleteGenerations) {
    ASSERT_EQ(RunCli(dir_, {"--seed", "8", "--population", "6", "--generations", "5", "--quiet"}).status, 0);
    const std::string bytes = ReadFile(dir_ / "results.csv");
    std::ofstream(dir_ / "cut.csv", std::ios::binary) << bytes.substr(0, bytes.size() - 30);  // inside generation 5
    const Outcome o = RunCli(dir_, {"inspect", "cut.csv", "--json"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.out.find("\"population\":6,\"generations\":4,\"complete\":false"), std::string::npos) << o.out;
    const Outcome text = RunCli(dir_, {"inspect", "cut.csv"});
    EXPECT_NE(text.out.find("cut off"), std::string::npos) << text.out;
}

TEST_F(CliProcess, InspectRecognisesAFitnessCsvGivenInPlaceOfResults) {
    ASSERT_EQ(RunCli(dir_, {"--seed", "8", "--population", "6", "--generations", "5", "--quiet"}).status, 0);
    const Outcome o = RunCli(dir_, {"inspect", "fitness.csv", "--json"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.out.find("\"kind\":\"fitness.csv\",\"generations\":5,"), std::string::npos) << o.out;
    std::ofstream(dir_ / "fitness.csv", std::ios::app) << "0.5,0.25,0.1\r\n";  // no longer one
    EXPECT_EQ(RunCli(dir_, {"inspect", "fitness.csv"}).status, 2);
}

TEST_F(CliProcess, InspectOfAMalformedFileExitsTwoNamingFileAndLine) {
    ASSERT_EQ(RunCli(dir_, {"--seed", "5", "--population", "4", "--generations", "3", "--quiet"}).status, 0);
    std::string bytes = ReadFile(dir_ / "results.csv");
    const auto third = bytes.find("\r\n", bytes.find("\r\n") + 2) + 2;  // start of line 3
    bytes.replace(third, bytes.find(',', third) - third, "300");
    std::ofstream(dir_ / "bad.csv", std::ios::binary) << bytes;
    const Outcome o = RunCli(dir_, {"inspect", "bad.csv"});
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err, "kelvora-cli inspect: bad.csv:3: gene 0 is '300', expected a whole number 0..255\n");
    const Outcome missing = RunCli(dir_, {"inspect", "nowhere.csv"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err, "kelvora-cli inspect: nowhere.csv: cannot open: No such file or directory\n");
}

// Each generation's diversity counted the slow way from results.csv's lines: the genotypes (Gray
// encodings of the angles for gray), every pair's differing bits, every bit's entropy.
std::vector<std::string> BruteDiversityRows(const std::string& results, int n, bool gray) {
    std::vector<std::string> rows{"generation,distinct,hamming,entropy,best_share"};
    std::istringstream in(results);
    std::string line;
    std::vector<unsigned> g;
    while (std::getline(in, line)) {
        unsigned a[3];
        int best = 0;
        if (std::sscanf(line.c_str(), "%u,%u,%u,", &a[0], &a[1], &a[2]) == 3 && std::count(line.begin(), line.end(), ',') == 3) {
            unsigned v = 0;
            for (unsigned x : a) v = v * 256 + (gray ? x ^ (x >> 1) : x);
            g.push_back(v);
            continue;
        }
        std::sscanf(line.c_str(), "%d,", &best);
        long long differing = 0;
        for (int i = 0; i < n; ++i)
            for (int j = i + 1; j < n; ++j) differing += __builtin_popcount(g[i] ^ g[j]);
        double entropy = 0;
        for (int bit = 0; bit < 24; ++bit) {
            const double p = static_cast<double>(std::count_if(g.begin(), g.end(), [bit](unsigned v) { return v >> bit & 1; })) / n;
            if (p > 0 && p < 1) entropy += -p * std::log2(p) - (1 - p) * std::log2(1 - p);
        }
        std::vector<unsigned> sorted = g;
        std::sort(sorted.begin(), sorted.end());
        const auto distinct = std::unique(sorted.begin(), sorted.end()) - sorted.begin();
        char row[160];
        std::snprintf(row, sizeof row, "%zu,%td,%g,%g,%g", rows.size(), distinct,
                      n > 1 ? differing / (n * (n - 1) / 2.0) : 0.0, entropy / 24,
                      static_cast<double>(std::count(g.begin(), g.end(), g[static_cast<std::size_t>(best)])) / n);
        rows.push_back(row);
        g.clear();
    }
    return rows;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST_F(CliProcess, DiversityIsTheSlowCountOfEachGenerationUnderTheRunsEncoding) {
    ASSERT_EQ(RunCli(dir_, {"--seed", "77", "--population", "30", "--generations", "25", "--encoding", "gray",
                            "--mutation", "0.02", "--quiet"}).status, 0);
    const std::string results = ReadFile(dir_ / "results.csv");
    const std::vector<std::string> gray = BruteDiversityRows(results, 30, true);
    ASSERT_NE(gray, BruteDiversityRows(results, 30, false));
    // run.json describes the file: its encoding, whatever --encoding says.
    const Outcome fromRecord = RunCli(dir_, {"diversity", "results.csv", "--encoding=binary"});
    ASSERT_EQ(fromRecord.status, 0) << fromRecord.err;
    EXPECT_EQ(Lines(fromRecord.out), gray);
    EXPECT_NE(fromRecord.err.find("encoding gray, from the run.json"), std::string::npos) << fromRecord.err;
    // A copy with no record beside it: --encoding, else binary; --output through a rename.
    fs::create_directory(dir_ / "elsewhere");
    fs::copy_file(dir_ / "results.csv", dir_ / "elsewhere" / "copy.csv");
    const Outcome asked = RunCli(dir_, {"diversity", "elsewhere/copy.csv", "--encoding", "gray", "--output", "d.csv"});
    ASSERT_EQ(asked.status, 0) << asked.err;
    EXPECT_EQ(Lines(ReadFile(dir_ / "d.csv")), gray);
    const Outcome plain = RunCli(dir_, {"diversity", "elsewhere/copy.csv"});
    EXPECT_EQ(Lines(plain.out), BruteDiversityRows(results, 30, false));
    EXPECT_NE(plain.err.find("encoding binary, the default"), std::string::npos) << plain.err;
}

TEST_F(CliProcess, DiversityRefusesWhatIsNoResultsFile) {
    ASSERT_EQ(RunCli(dir_, {"--seed", "5", "--population", "4", "--generations", "3", "--quiet"}).status, 0);
    for (const auto& [args, says] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"diversity", "fitness.csv"}, "fitness.csv:1: not a line of results.csv (2 fields)"},
             {{"diversity", "results.csv", "--encoding", "grey"}, "--encoding: 'grey' is not one of binary, gray"},
             {{"diversity", "results.csv", "--output", "results.csv"}, "--output names the results file itself"},
             {{"diversity", "nowhere.csv"}, "nowhere.csv: cannot read"}}) {
        const Outcome o = RunCli(dir_, args);
        EXPECT_EQ(o.status, 2) << says;
        EXPECT_NE(o.err.find(says), std::string::npos) << o.err;
        EXPECT_EQ(o.out.find("generation,"), std::string::npos) << o.out;
    }
}

TEST_F(CliProcess, TheTraceKeepsTheChosenGenerationsAndChangesNoResultByte) {
    const std::vector<std::string> run{"--seed", "9", "--population", "12", "--generations", "6", "--quiet"};
    ASSERT_EQ(RunCli(dir_, run).status, 0);
    const std::string results = ReadFile(dir_ / "results.csv"), fitness = ReadFile(dir_ / "fitness.csv");
    std::vector<std::string> traced = run;
    traced.insert(traced.end(), {"--trace", "t.jsonl", "--trace-generations", "2..3"});
    ASSERT_EQ(RunCli(dir_, traced).status, 0);
    EXPECT_EQ(ReadFile(dir_ / "results.csv"), results);
    EXPECT_EQ(ReadFile(dir_ / "fitness.csv"), fitness);
    const std::vector<std::string> lines = Lines(ReadFile(dir_ / "t.jsonl"));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].rfind("{\"trace\":1,\"encoding\":\"binary\",\"initial\":[", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind("{\"generation\":2,\"slots\":[", 0), 0u);
    EXPECT_EQ(lines[2].rfind("{\"generation\":3,\"slots\":[", 0), 0u);
    // A baseline has nothing to trace: refused before any file is made.
    const Outcome baseline = RunCli(dir_, {"--algorithm", "dls", "--trace", "b.jsonl", "--output-dir", "b"});
    EXPECT_EQ(baseline.status, 2);
    EXPECT_NE(baseline.err.find("--trace: the method 'dls' has no generations to trace"), std::string::npos)
        << baseline.err;
    EXPECT_FALSE(fs::exists(dir_ / "b.jsonl"));
    EXPECT_FALSE(fs::exists(dir_ / "b"));
    const Outcome full = RunCli(dir_, {"--trace", "/dev/full", "--quiet", "--population", "5", "--generations", "2"});
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.err.find("--trace: /dev/full: write failed, the trace is incomplete: No space left on device"),
              std::string::npos) << full.err;
}

}  // namespace
