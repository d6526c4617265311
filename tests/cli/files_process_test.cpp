// kelvora-cli's outputs among what a user or a killed command leaves beside them: links, FIFOs,
// directories and stale files at the temporary names; outputs that are standard output under
// another name; two sweeps exporting into one directory; a full disk; no memory left.

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

struct Shell {
    int status = -1;  // the exit status; 128 + the signal's number when one ended it
    std::string err;
};

// The files under dir whose names end in ".part".
std::vector<std::string> Temporaries(const fs::path& dir) {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        if (entry.path().filename().string().ends_with(".part")) found.push_back(entry.path().string());
    return found;
}

// The IOH export's folder and files of a sweep of population 20, `generations` generations.
std::string IohFolder(int generations) {
    return "io/ga_binary_roulette_e0_one-point_bit-flip_p20_g" + std::to_string(generations) + "_c0.5_m0.1";
}
std::string IohDat(int generations) { return IohFolder(generations) + "/data_f1_ArmReach/IOHprofiler_f1_DIM3.dat"; }
std::string IohJson(int generations) { return IohFolder(generations) + "/IOHprofiler_f1_ArmReach.json"; }

class FilesCli : public testing::Test {
protected:
    void SetUp() override {
        std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : name)
            if (c == '/') c = '_';
        dir_ = fs::temp_directory_path() / ("kelvora-files-test-" + std::to_string(getpid()) + "-" + name);
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        ::setenv("K", KELVORA_CLI_PATH, 1);
        ::setenv("L", KELVORA_LOW_MEMORY_CLI_PATH, 1);
        ASSERT_EQ(Run("$K sweep --seeds 1..6 --generations 5 --output s.csv --quiet").status, 0);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Runs command in bash in dir_ (at most 60 s, so that a command blocked on a FIFO fails rather
    // than hangs); fileLimit > 0: no file may grow past that many bytes, as on a full disk.
    Shell Run(const std::string& command, rlim_t fileLimit = 0) {
        const pid_t pid = fork();
        if (pid == 0) {
            if (chdir(dir_.c_str()) != 0) _exit(127);
            if (!freopen(".err", "w", stderr)) _exit(127);
            if (fileLimit > 0) {
                const rlimit limit{fileLimit, fileLimit};
                if (signal(SIGXFSZ, SIG_IGN) == SIG_ERR || setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(127);
            }
            alarm(300);  // a stuck command ends; a landscape map under the sanitizers on a loaded machine takes over a minute
            execl("/bin/bash", "bash", "-c", command.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        int raw = 0;
        Shell result;
        if (waitpid(pid, &raw, 0) != pid) return result;
        result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        result.err = ReadFile(dir_ / ".err");
        return result;
    }

    fs::path dir_;
};

// ---------------------------------------------------------------- what stands at a temporary name

enum class Occupant { linkToVictim, fifo, staleFile, directory };

struct Output {
    const char* name;
    const char* prepare;  // run first (bash), "" for nothing
    const char* command;
    std::string target;   // the file the command writes through target + ".part"
};

void PrintTo(const Output& row, std::ostream* out) { *out << row.name; }

std::string OccupantName(const testing::TestParamInfo<std::tuple<Output, Occupant>>& info) {
    static const char* const kKinds[] = {"Link", "Fifo", "Stale", "Directory"};
    return std::string(std::get<0>(info.param).name) + kKinds[static_cast<int>(std::get<1>(info.param))];
}

class AtTheTemporaryName : public FilesCli, public testing::WithParamInterface<std::tuple<Output, Occupant>> {};

TEST_P(AtTheTemporaryName, NothingIsFollowedOrBlockedOnAndADirectoryIsRefusedByName) {
    const auto& [output, occupant] = GetParam();
    if (*output.prepare) {
        ASSERT_EQ(Run(output.prepare).status, 0);
    }
    const fs::path part = dir_ / (output.target + ".part");
    fs::create_directories(part.parent_path());
    WriteFile(dir_ / "victim.txt", "victim\n");
    switch (occupant) {
        case Occupant::linkToVictim: fs::create_symlink(dir_ / "victim.txt", part); break;
        case Occupant::fifo: ASSERT_EQ(mkfifo(part.c_str(), 0666), 0); break;
        case Occupant::staleFile: WriteFile(part, "half a file from a killed command"); break;
        case Occupant::directory: fs::create_directory(part); break;
    }
    const Shell shell = Run(output.command);
    EXPECT_EQ(ReadFile(dir_ / "victim.txt"), "victim\n");
    if (occupant == Occupant::directory) {
        EXPECT_EQ(shell.status, 1) << shell.err;
        EXPECT_NE(shell.err.find(part.filename().string() + "': Is a directory"), std::string::npos) << shell.err;
        EXPECT_FALSE(fs::exists(dir_ / output.target));
        EXPECT_TRUE(fs::is_directory(part));
        return;
    }
    EXPECT_EQ(shell.status, 0) << shell.err;
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir_ / output.target)));
    EXPECT_GT(fs::file_size(dir_ / output.target), 0u);
    EXPECT_FALSE(fs::exists(fs::symlink_status(part)));
}

const Output kOutputs[] = {
    {"summary", "", "$K sweep --seeds 1..3 --generations 3 --summary sum.csv --quiet", "sum.csv"},
    {"ecdf", "", "$K ecdf s.csv --output e.csv", "e.csv"},
    {"merge", "", "$K sweep-merge --output m.csv --summary ms.csv s.csv", "m.csv"},
    {"mergeSummary", "", "$K sweep-merge --output m.csv --summary ms.csv s.csv", "ms.csv"},
    {"reachMap", "", "$K reach-map --output r.csv", "r.csv"},
    {"runJson", "", "$K --generations 3 --quiet", "run.json"},
    {"iohData", "", "$K sweep --seeds 1..2 --generations 3 --ioh io --quiet", IohDat(3)},
    {"iohJson", "", "$K sweep --seeds 1..2 --generations 3 --ioh io --quiet", IohJson(3)},
};

INSTANTIATE_TEST_SUITE_P(Every, AtTheTemporaryName,
                         testing::Combine(testing::ValuesIn(kOutputs),
                                          testing::Values(Occupant::linkToVictim, Occupant::fifo,
                                                          Occupant::staleFile, Occupant::directory)),
                         OccupantName);

// ---------------------------------------------------------------- one file under two names

struct Pair {
    const char* name;
    const char* command;
    int status;          // 2: refused, 0: not the same file
    const char* intact;  // a file the refusal must not have made, or ""
};

void PrintTo(const Pair& row, std::ostream* out) { *out << row.name; }

class SameFilePair : public FilesCli, public testing::WithParamInterface<Pair> {};

TEST_P(SameFilePair, StandardOutputCountsAsTheFileItIs) {
    const Pair& pair = GetParam();
    fs::create_directory(dir_ / "d");
    fs::create_symlink("rows.csv", dir_ / "link");
    const Shell shell = Run(pair.command);
    EXPECT_EQ(shell.status, pair.status) << shell.err;
    if (pair.status == 2) {
        EXPECT_NE(shell.err.find("are the same file"), std::string::npos) << shell.err;
        EXPECT_NE(shell.err.find("standard output"), std::string::npos) << shell.err;
        if (*pair.intact) {
            EXPECT_FALSE(fs::exists(dir_ / pair.intact));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Pairs, SameFilePair, testing::Values(
    Pair{"RowsAndSummaryThroughDevStdout", "$K sweep --seeds 1..5 --generations 10 --output - --summary /dev/stdout > rows.csv", 2, ""},
    Pair{"RowsAndSummaryThroughALink", "$K sweep --seeds 1..5 --generations 10 --output - --summary link > rows.csv", 2, ""},
    Pair{"RowsAndThePrintedSummary", "$K sweep --seeds 1..5 --generations 10 --output rows.csv > rows.csv", 2, ""},
    Pair{"SummaryAndThePrintedSummary", "$K sweep --seeds 1..5 --generations 10 --summary link > rows.csv", 2, ""},
    Pair{"JsonAndRunJson", "$K --generations 5 --json > run.json", 2, "results.csv"},
    Pair{"JsonAndRunJsonElsewhere", "$K --generations 5 --json --output-dir d > d/run.json", 2, "d/results.csv"},
    Pair{"PrintedRunAndResults", "$K --generations 5 > d/results.csv --output-dir d", 2, "d/fitness.csv"},
    Pair{"PrintedRunAndFitness", "$K --generations 5 > fitness.csv", 2, "results.csv"},
    Pair{"RowsToStdoutSummaryElsewhere", "$K sweep --seeds 1..5 --generations 10 --output - --summary sum.csv > rows.csv", 0, ""},
    Pair{"TwoDevices", "$K sweep --seeds 1..5 --generations 10 --output - --summary /dev/stdout > /dev/null", 0, ""},
    Pair{"JsonElsewhere", "$K --generations 5 --json > out.json", 0, ""},
    Pair{"QuietPrintsNothing", "$K --generations 5 --quiet > run.json", 0, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- outputs that cannot be had

struct Hostile {
    const char* name;
    const char* command;  // bash in the test's directory, where "file" is a regular file
    int status;
    const char* said;     // in the message
    const char* absent;   // a file the command must not leave, or ""
};

void PrintTo(const Hostile& row, std::ostream* out) { *out << row.name; }

class HostileOutput : public FilesCli, public testing::WithParamInterface<Hostile> {};

TEST_P(HostileOutput, IsRefusedWithItsStatusAndLeavesNothingBehind) {
    const Hostile& row = GetParam();
    WriteFile(dir_ / "file", "not a directory\n");
    WriteFile(dir_ / "victim.txt", "victim\n");
    const Shell shell = Run(row.command);
    EXPECT_EQ(shell.status, row.status) << shell.err;
    EXPECT_NE(shell.err.find(row.said), std::string::npos) << shell.err;
    if (*row.absent) {
        EXPECT_FALSE(fs::exists(dir_ / row.absent));
    }
    EXPECT_EQ(ReadFile(dir_ / "victim.txt"), "victim\n");
    EXPECT_TRUE(Temporaries(dir_).empty());
}

INSTANTIATE_TEST_SUITE_P(Rows, HostileOutput, testing::Values(
    Hostile{"TraceIsStandardOutput", "$K --generations 5 --trace ./t.jsonl --json > t.jsonl", 2,
            "standard output and './t.jsonl' are the same file", "results.csv"},
    Hostile{"TraceIsAFifo", "mkfifo t.fifo && $K --generations 5 --trace t.fifo --quiet", 2, "a FIFO", "results.csv"},
    Hostile{"TraceUnderAFile", "$K --generations 5 --trace file/t.jsonl --quiet", 2, "Not a directory", "results.csv"},
    Hostile{"RowsIntoAClosedPipe",
            "$K sweep --seeds 1..200000 --generations 5 --output - --summary sum.csv --ioh io --quiet | head -c 1000 "
            ">/dev/null; exit ${PIPESTATUS[0]}", 1, "standard output: write failed: Broken pipe", "sum.csv"},
    Hostile{"ReachMapUnderAFile", "$K reach-map --output file/r.csv", 2, "Not a directory", ""},
    Hostile{"LandscapeMapUnderAFile", "$K landscape-map --output file/l.csv --step 199 --quiet", 2, "Not a directory", ""},
    Hostile{"LandscapeOptimaUnderAFile", "$K landscape --optima file/o.csv", 2, "Not a directory", ""},
    Hostile{"EcdfUnderAFile", "$K ecdf s.csv --output file/e.csv", 2, "Not a directory", ""},
    Hostile{"CompareUnderAFile", "$K compare s.csv --output file/c.csv", 2, "Not a directory", ""},
    Hostile{"MergeSummaryUnderAFile", "$K sweep-merge --output m.csv --summary file/ms.csv s.csv", 2,
            "Not a directory", "m.csv"},
    Hostile{"LinkAtTheMapsRowsSoFar", "ln -s victim.txt l.csv.partial && $K landscape-map --output l.csv --step 199 "
            "--quiet && test -s l.csv", 0, "", "l.csv.partial"}),
    [](const auto& info) { return std::string(info.param.name); });

// A sweep held still mid-run with two stop signals pending ends at once on the second: the
// summary it had made for its lock and the export's temporary files go, the rows stay whole.
TEST_F(FilesCli, ASecondSignalLeavesNoEmptyOutputAndNoTemporaryFile) {
    int rowsPipe[2];
    ASSERT_EQ(pipe(rowsPipe), 0);
    const pid_t sweep = fork();
    if (sweep == 0) {
        if (chdir(dir_.c_str()) != 0 || !freopen("/dev/null", "w", stderr)) _exit(127);
        if (dup2(rowsPipe[1], STDOUT_FILENO) < 0) _exit(127);
        ::close(rowsPipe[0]);
        ::close(rowsPipe[1]);
        execl(KELVORA_CLI_PATH, KELVORA_CLI_PATH, "sweep", "--seeds", "1..10000000", "--generations", "20",
              "--ioh", "io", "--output", "-", "--summary", "sum.csv", "--quiet", "--yes", static_cast<char*>(nullptr));
        _exit(127);
    }
    ::close(rowsPipe[1]);
    char first[4096];
    std::size_t got = 0;
    for (ssize_t n; got < 2 && (n = ::read(rowsPipe[0], first, sizeof first)) > 0;)  // the header and a row
        for (ssize_t i = 0; i < n; ++i) got += first[i] == '\n';
    ASSERT_GE(got, 2u);
    ASSERT_EQ(::kill(sweep, SIGSTOP), 0);
    int raw = 0;
    ASSERT_EQ(waitpid(sweep, &raw, WUNTRACED), sweep);
    ASSERT_TRUE(WIFSTOPPED(raw));
    EXPECT_TRUE(fs::exists(dir_ / "sum.csv"));
    EXPECT_FALSE(Temporaries(dir_).empty());
    ::kill(sweep, SIGINT);
    ::kill(sweep, SIGTERM);
    ::kill(sweep, SIGCONT);
    ::close(rowsPipe[0]);
    ASSERT_EQ(waitpid(sweep, &raw, 0), sweep);
    ASSERT_TRUE(WIFEXITED(raw)) << raw;
    EXPECT_TRUE(WEXITSTATUS(raw) == 130 || WEXITSTATUS(raw) == 143) << WEXITSTATUS(raw);
    EXPECT_FALSE(fs::exists(dir_ / "sum.csv"));
    EXPECT_TRUE(Temporaries(dir_).empty());
}

// ---------------------------------------------------------------- two sweeps, one IOH directory

// The first sweep's rows come through a pipe that the test reads: its header says the directory
// is held, its third line that runs were made; it is stopped there, whatever the machine's load.
TEST_F(FilesCli, ASecondSweepIntoOneIohDirectoryIsRefusedAndTheFirstsFilesAreWhole) {
    int rowsPipe[2];
    ASSERT_EQ(pipe(rowsPipe), 0);
    const pid_t first = fork();
    if (first == 0) {
        if (chdir(dir_.c_str()) != 0 || !freopen("/dev/null", "w", stderr)) _exit(127);
        if (dup2(rowsPipe[1], STDOUT_FILENO) < 0) _exit(127);
        ::close(rowsPipe[0]);
        ::close(rowsPipe[1]);
        execl(KELVORA_CLI_PATH, KELVORA_CLI_PATH, "sweep", "--seeds", "1..10000000", "--generations", "20",
              "--threads", "1", "--ioh", "io", "--output", "-", "--quiet", "--yes", static_cast<char*>(nullptr));
        _exit(127);
    }
    ::close(rowsPipe[1]);
    FILE* rows = fdopen(rowsPipe[0], "r");
    ASSERT_NE(rows, nullptr);
    const auto readLine = [rows] {
        std::string line;
        for (int c; (c = std::fgetc(rows)) != EOF;) {
            line += static_cast<char>(c);
            if (c == '\n') break;
        }
        return line;
    };
    ASSERT_FALSE(readLine().empty());  // the header: the directory is locked by now
    const Shell second = Run("$K sweep --seeds 1..4 --generations 30 --ioh io/ --quiet");
    EXPECT_EQ(second.status, 1);
    EXPECT_NE(second.err.find("another kelvora-cli is writing this directory; nothing was written"), std::string::npos)
        << second.err;
    EXPECT_FALSE(fs::exists(dir_ / IohFolder(30)));

    std::size_t written = 0;
    for (; written < 2 && !readLine().empty(); ++written) {
    }
    ASSERT_EQ(written, 2u);
    ::kill(first, SIGINT);
    while (readLine().ends_with('\n')) ++written;  // the rows handed over before it stopped
    std::fclose(rows);
    int raw = 0;
    ASSERT_EQ(waitpid(first, &raw, 0), first);
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 130);
    // Stopped, the first sweep exports the runs whose rows it wrote, no fewer and no more, whole.
    const std::string dat = ReadFile(dir_ / IohDat(20));
    EXPECT_EQ(Count(dat, "evaluations raw_y\n"), written);
    EXPECT_EQ(Count(ReadFile(dir_ / IohJson(20)), "\"instance\""), written);
    EXPECT_TRUE(dat.ends_with('\n'));
    EXPECT_TRUE(Temporaries(dir_).empty());
}

// A merge stopped by Ctrl-C (held still once its temporary file is there, so that the signal
// comes mid-merge) leaves no file behind.
TEST_F(FilesCli, AnInterruptedMergeRemovesItsTemporaryFile) {
    for (const char* shard : {"1/2", "2/2"})
        ASSERT_EQ(Run(std::string("$K sweep --seeds 1..200000 --population 1 --generations 1 --yes --quiet --shard ") +
                      shard + " --output shard" + shard[0] + ".csv")
                      .status,
                  0);
    const pid_t merge = fork();
    if (merge == 0) {
        if (chdir(dir_.c_str()) != 0 || !freopen("/dev/null", "w", stderr)) _exit(127);
        execl(KELVORA_CLI_PATH, KELVORA_CLI_PATH, "sweep-merge", "--output", "m.csv", "shard1.csv", "shard2.csv",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    bool caught = false;
    int raw = 0;
    pid_t ended = 0;
    while (!caught && (ended = waitpid(merge, &raw, WNOHANG)) == 0) {
        caught = fs::exists(dir_ / "m.csv.part") && ::kill(merge, SIGSTOP) == 0;
        if (!caught) std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    if (caught) {
        ::kill(merge, SIGINT);
        ::kill(merge, SIGCONT);
        ended = waitpid(merge, &raw, 0);
    }
    ASSERT_EQ(ended, merge);
    if (!caught) GTEST_SKIP() << "the merge ended before it could be stopped";
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 130);
    EXPECT_FALSE(fs::exists(dir_ / "m.csv"));
    EXPECT_FALSE(fs::exists(dir_ / "m.csv.part"));
}

// ---------------------------------------------------------------- a full disk

struct Full {
    const char* name;
    const char* command;
    std::string target;  // holds "old" before; still does after
    std::string said;    // in the message, whole
};

void PrintTo(const Full& row, std::ostream* out) { *out << row.name; }

class OnAFullDisk : public FilesCli, public testing::WithParamInterface<Full> {};

TEST_P(OnAFullDisk, TheFailureIsToldWholeAndTheOldFileIsUntouched) {
    const Full& full = GetParam();
    fs::create_directories((dir_ / full.target).parent_path());
    WriteFile(dir_ / full.target, "old\n");
    const Shell shell = Run(full.command, 200);
    EXPECT_EQ(shell.status, 1) << shell.err;
    EXPECT_NE(shell.err.find(full.said), std::string::npos) << shell.err;
    EXPECT_NE(shell.err.find("File too large"), std::string::npos) << shell.err;
    EXPECT_EQ(shell.err.find("..."), std::string::npos) << "a message cut short: " << shell.err;
    EXPECT_EQ(ReadFile(dir_ / full.target), "old\n");
    EXPECT_TRUE(Temporaries(dir_).empty());
}

INSTANTIATE_TEST_SUITE_P(Outputs, OnAFullDisk, testing::Values(
    Full{"IohData", "$K sweep --seeds 1..50 --generations 20 --ioh io --quiet", IohDat(20),
         IohDat(20) + ".part: File too large; the export was not written"},
    Full{"Summary", "$K sweep --seeds 1..5 --generations 5 --summary sum.csv --quiet", "sum.csv", "sum.csv: cannot write the summary"},
    Full{"Ecdf", "$K ecdf s.csv --output e.csv", "e.csv", "e.csv: cannot write"},
    Full{"Merge", "$K sweep-merge --output m.csv s.csv", "m.csv", "m.csv: cannot write"},
    Full{"ReachMap", "$K reach-map --output r.csv", "r.csv", "r.csv: write failed"}),
    [](const auto& info) { return std::string(info.param.name); });

// The disk itself full (as root, on a 64 KB tmpfs): the IOH export's files are left as they were.
TEST_F(FilesCli, AFullTmpfsLeavesTheIohExportAsItWas) {
    if (geteuid() != 0) GTEST_SKIP() << "mounting a tmpfs needs root";
    const fs::path small = dir_ / "small";
    fs::create_directory(small);
    if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0) GTEST_SKIP() << "cannot mount a tmpfs here";
    const Shell before = Run("$K sweep --seeds 1..4 --generations 20 --ioh small/io --quiet");
    const std::string dat = ReadFile(small / IohDat(20));
    const Shell full = Run("$K sweep --seeds 1..3000 --generations 20 --ioh small/io --quiet");
    const std::string after = ReadFile(small / IohDat(20));
    const std::vector<std::string> left = Temporaries(small);
    ::umount(small.c_str());
    EXPECT_EQ(before.status, 0) << before.err;
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.err.find("No space left on device; the export was not written"), std::string::npos) << full.err;
    EXPECT_EQ(after, dat);
    EXPECT_EQ(Count(after, "evaluations raw_y\n"), 4u);
    EXPECT_TRUE(left.empty());
}

// ---------------------------------------------------------------- no memory left

struct Starved {
    const char* name;
    const char* command;  // run as "$L ..." with allocations failing from some point on
    std::string output;   // what it writes: absent or byte for byte what the same command writes with memory
};

void PrintTo(const Starved& row, std::ostream* out) { *out << row.name; }

class OutOfMemory : public FilesCli, public testing::WithParamInterface<std::tuple<Starved, int>> {};

TEST_P(OutOfMemory, IsAFailureLikeAnyOtherAndLeavesOnlyWholeFiles) {
    const auto& [starved, failFrom] = GetParam();
    ASSERT_EQ(Run(std::string("$K ") + starved.command + " > /dev/null").status, 0);
    const std::string whole = ReadFile(dir_ / starved.output);
    ASSERT_FALSE(whole.empty());
    fs::remove(dir_ / starved.output);
    const Shell shell =
        Run("KELVORA_FAIL_ALLOCATION=" + std::to_string(failFrom) + " $L " + starved.command + " > /dev/null");
    ASSERT_TRUE(shell.status == 0 || shell.status == 1) << "status " << shell.status << ": " << shell.err;
    if (shell.status == 1) {
        EXPECT_NE(shell.err.find("out of memory"), std::string::npos) << shell.err;
    }
    if (fs::exists(dir_ / starved.output)) {
        const std::string left = ReadFile(dir_ / starved.output);
        // A sweep's rows are written as they come: a whole-row prefix of them; run.json has its times;
        // anything else all or nothing.
        if (starved.output == "rows.csv")
            EXPECT_TRUE(left.empty() || (whole.starts_with(left) && left.back() == '\n')) << left;
        else if (starved.output == "run.json")
            EXPECT_TRUE(left.starts_with("{") && left.ends_with("}\n")) << left;
        else
            EXPECT_EQ(left, whole);
    }
    EXPECT_TRUE(Temporaries(dir_).empty());
}

INSTANTIATE_TEST_SUITE_P(Commands, OutOfMemory,
    testing::Combine(testing::Values(
        Starved{"Run", "--generations 20 --seed 3", "run.json"},
        Starved{"RunResults", "--generations 20 --seed 3", "results.csv"},
        Starved{"Sweep", "sweep --seeds 1..40 --generations 10 --threads 2 --output rows.csv --quiet", "rows.csv"},
        Starved{"SweepSummary", "sweep --seeds 1..40 --generations 10 --threads 2 --summary sum.csv --quiet", "sum.csv"},
        Starved{"SweepIoh", "sweep --seeds 1..40 --generations 10 --ioh io --quiet", IohJson(10)},
        Starved{"Ecdf", "ecdf s.csv --epsilon 0.5 --output e.csv", "e.csv"},
        Starved{"Merge", "sweep-merge --output m.csv s.csv", "m.csv"},
        Starved{"ReachMap", "reach-map --output r.png", "r.png"}),
        testing::Values(10, 100, 1000, 3000, 10000, 30000, 100000)),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).name) + "From" + std::to_string(std::get<1>(info.param));
    });

}  // namespace
