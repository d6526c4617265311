// Result files under real-world faults: another run writing the same files, a full disk, a FIFO or
// a device in a file's place, a file deleted during the run.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/optimum.h"
#include "ga/run.h"
#include "io/result_files.h"
#include "test_support.h"

namespace kelvora {
namespace {

namespace fs = std::filesystem;
using testing_support::CrLfLines;
using testing_support::ReadBytes;
using testing_support::ScratchDir;

const SolverParams kParams{12, 15, 0.5, 0.1};
constexpr std::uint32_t kSeed = 77;

// A run of kParams with kSeed towards the opening target, writing into directory.
RunReport RunHere(const char* directory, const GenerationProgress& progress = {}, LineWriter writer = nullptr) {
    return testing_support::RunInto(directory, kParams, testing_support::MakeGeometry(), kSeed, progress,
                                    FlushMode::line, nullptr, writer)
        .report;
}

/// Both files of an undisturbed run of kParams with kSeed.
struct Reference {
    std::string results, fitness;
};
const Reference& Undisturbed() {
    static const Reference reference = [] {
        ScratchDir dir;
        EXPECT_TRUE(RunHere(dir.c_str()).filesComplete());
        return Reference{ReadBytes(dir.file("results.csv")), ReadBytes(dir.file("fitness.csv"))};
    }();
    return reference;
}

std::vector<std::string> Entries(const ScratchDir& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.path())) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// ---------------------------------------------------------------- another run writing here

class AnotherRunHolds : public testing::TestWithParam<const char*> {};

TEST_P(AnotherRunHolds, EitherFileAndTheRunIsRefusedBeforeItTouchesAnything) {
    const std::string held = GetParam();
    const bool resultsHeld = held == "results.csv";
    ScratchDir dir;
    std::ofstream(dir.file(GetParam()), std::ios::binary) << "0,1,2,0.5\r\n";  // the other run's lines so far
    const int other = ::open(dir.file(GetParam()).c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);  // as the other run holds it
    EXPECT_STREQ(ResultFileInUse(dir.c_str()), GetParam());

    int notifications = 0;
    const RunReport report = RunHere(dir.c_str(), [&](int, double) { ++notifications; });
    EXPECT_TRUE(report.refused);
    const ResultFileFailure& busy = resultsHeld ? report.results : report.fitness;
    EXPECT_STREQ(busy.name, GetParam());
    EXPECT_EQ(busy.problem, FileProblem::inUse);
    EXPECT_TRUE(busy.duringOpen);
    EXPECT_FALSE(resultsHeld ? report.fitness : report.results);
    // Nothing ran and nothing changed: the held file, and no other file was left behind.
    EXPECT_EQ(notifications, 0);
    EXPECT_EQ(report.generationsRun, 0);
    EXPECT_EQ(ReadBytes(dir.file(GetParam())), "0,1,2,0.5\r\n");
    EXPECT_EQ(Entries(dir), std::vector<std::string>{held});

    ::close(other);  // the other run ends: the next run goes through and writes what an undisturbed run writes
    EXPECT_EQ(ResultFileInUse(dir.c_str()), nullptr);
    const RunReport later = RunHere(dir.c_str());
    EXPECT_FALSE(later.refused);
    EXPECT_TRUE(later.filesComplete());
    EXPECT_EQ(ReadBytes(dir.file("results.csv")), Undisturbed().results);
    EXPECT_EQ(ReadBytes(dir.file("fitness.csv")), Undisturbed().fitness);
}

INSTANTIATE_TEST_SUITE_P(File, AnotherRunHolds, testing::Values("results.csv", "fitness.csv"),
                         [](const auto& info) { return std::string(info.param).substr(0, 7); });

TEST(RunLock, ARunHoldsEachFileUntilItClosesIt) {
    ScratchDir dir;
    ResultWriter first;
    ASSERT_TRUE(first.open(dir.c_str()));
    LogIndividual(first.results, Chromosome{{1, 2, 3}});
    LogIndividualFitness(first.results, 0.5);
    EXPECT_STREQ(ResultFileInUse(dir.c_str()), "results.csv");

    EXPECT_TRUE(RunHere(dir.c_str()).refused);
    CloseLog(first.results);  // fitness.csv is still being written
    EXPECT_STREQ(ResultFileInUse(dir.c_str()), "fitness.csv");
    EXPECT_TRUE(RunHere(dir.c_str()).refused);
    LogFitnessRow(first.fitness, 0.5, 0.5);
    CloseLog(first.fitness);
    EXPECT_EQ(ReadBytes(dir.file("results.csv")), "1,2,3,0.5\r\n");
    EXPECT_EQ(ReadBytes(dir.file("fitness.csv")), "0.5,0.5\r\n");
    EXPECT_EQ(ResultFileInUse(dir.c_str()), nullptr);
}

// ---------------------------------------------------------------- a full disk

// A disk with room for so many more bytes of results.csv: a write that does not fit writes what
// fits and returns its count, as a full file system does; the next write fails with ENOSPC.
std::size_t room = 0;
int fullFd = -1;
ssize_t FullDisk(int fd, const void* data, std::size_t size) {
    if (fullFd < 0) fullFd = fd;  // results.csv is written first
    if (fd != fullFd) return ::write(fd, data, size);
    if (room == 0) {
        errno = ENOSPC;
        return -1;
    }
    const ssize_t n = ::write(fd, data, std::min(size, room));
    if (n > 0) room -= static_cast<std::size_t>(n);
    return n;
}

class FullDiskAfter : public testing::TestWithParam<std::size_t> {};

TEST_P(FullDiskAfter, BytesTheFileIsCutBackToItsLastWholeLine) {
    const std::string& whole = Undisturbed().results;
    const std::size_t fits = GetParam();
    ASSERT_LT(fits, whole.size());
    ScratchDir dir;
    room = fits;
    fullFd = -1;
    const RunReport report = RunHere(dir.c_str(), {}, FullDisk);
    ASSERT_TRUE(report.results);
    EXPECT_EQ(report.results.problem, FileProblem::writeFailed);
    EXPECT_EQ(report.results.error, ENOSPC);
    EXPECT_FALSE(report.fitness);
    EXPECT_EQ(ReadBytes(dir.file("fitness.csv")), Undisturbed().fitness);
    // What fitted, up to the end of its last complete line.
    const std::size_t lastLineFeed = fits == 0 ? std::string::npos : whole.rfind('\n', fits - 1);
    const std::size_t kept = lastLineFeed == std::string::npos ? 0 : lastLineFeed + 1;
    EXPECT_EQ(ReadBytes(dir.file("results.csv")), whole.substr(0, kept));
}

INSTANTIATE_TEST_SUITE_P(Room, FullDiskAfter, testing::Values(0u, 1u, 7u, 1000u, 2049u));

// ---------------------------------------------------------------- what stands at the file's path

enum class Occupant { fifo, fifoWithReader, socket, linkToDevNull, linkToFile };

class AtTheResultsPath : public testing::TestWithParam<Occupant> {};

TEST_P(AtTheResultsPath, OnlyARegularFileOrACharacterDeviceIsWritten) {
    ScratchDir dir;
    const std::string path = dir.file("results.csv");
    int reader = -1, socket = -1;
    switch (GetParam()) {
    case Occupant::fifo:
    case Occupant::fifoWithReader:
        ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
        if (GetParam() == Occupant::fifoWithReader) reader = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
        break;
    case Occupant::socket: {
        socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (path.size() >= sizeof address.sun_path) GTEST_SKIP() << "temporary directory name too long for a socket";
        std::strcpy(address.sun_path, path.c_str());
        ASSERT_EQ(::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        break;
    }
    case Occupant::linkToDevNull:
        fs::create_symlink("/dev/null", path);
        break;
    case Occupant::linkToFile:
        fs::create_symlink(dir.file("kept-elsewhere.csv"), path);
        break;
    }
    ::alarm(30);  // a blocking open would hang here for ever: end the test program instead
    const RunReport report = RunHere(dir.c_str());
    ::alarm(0);
    EXPECT_EQ(report.generationsRun, kParams.generationCount);
    EXPECT_EQ(ReadBytes(dir.file("fitness.csv")), Undisturbed().fitness);
    switch (GetParam()) {
    case Occupant::fifo:
    case Occupant::fifoWithReader:
    case Occupant::socket:
        ASSERT_TRUE(report.results);
        EXPECT_EQ(report.results.problem, FileProblem::notAFile);
        EXPECT_EQ(report.results.fileType, GetParam() == Occupant::socket ? unsigned{S_IFSOCK} : unsigned{S_IFIFO});
        EXPECT_TRUE(report.results.duringOpen);
        EXPECT_STREQ(FileTypeName(report.results.fileType), GetParam() == Occupant::socket ? "a socket" : "a FIFO");
        if (reader >= 0) {
            char byte;
            EXPECT_LE(::read(reader, &byte, 1), 0) << "nothing goes into the FIFO";
        }
        break;
    case Occupant::linkToDevNull:
        EXPECT_TRUE(report.filesComplete());
        break;
    case Occupant::linkToFile:
        EXPECT_TRUE(report.filesComplete());
        EXPECT_EQ(ReadBytes(dir.file("kept-elsewhere.csv")), Undisturbed().results);
        break;
    }
    if (reader >= 0) ::close(reader);
    if (socket >= 0) ::close(socket);
}

INSTANTIATE_TEST_SUITE_P(Occupants, AtTheResultsPath,
                         testing::Values(Occupant::fifo, Occupant::fifoWithReader, Occupant::socket,
                                         Occupant::linkToDevNull, Occupant::linkToFile));

// ---------------------------------------------------------------- deleted during the run

enum class Deletion { results, directory, replaced };

class DeletedDuringTheRun : public testing::TestWithParam<Deletion> {};

TEST_P(DeletedDuringTheRun, AFileWhoseLastLinkIsGoneIsReportedLost) {
    ScratchDir dir;
    const fs::path out = dir.path() / "out";
    fs::create_directory(out);
    const std::string outText = out.string();
    const auto progress = [&](int generation, double) {
        if (generation != 3) return;
        if (GetParam() == Deletion::results) fs::remove(out / "results.csv");
        if (GetParam() == Deletion::directory) fs::remove_all(out);
        if (GetParam() == Deletion::replaced) {
            std::ofstream(out / "other.csv") << "another file\r\n";
            fs::rename(out / "other.csv", out / "results.csv");
        }
    };
    const RunReport report = RunHere(outText.c_str(), progress);
    EXPECT_EQ(report.generationsRun, kParams.generationCount);
    ASSERT_TRUE(report.results);
    EXPECT_STREQ(report.results.name, "results.csv");
    EXPECT_EQ(report.results.problem, FileProblem::lost);
    EXPECT_FALSE(report.results.duringOpen);
    if (GetParam() == Deletion::directory) {
        ASSERT_TRUE(report.fitness);
        EXPECT_EQ(report.fitness.problem, FileProblem::lost);
    } else {
        EXPECT_FALSE(report.fitness);
        EXPECT_EQ(ReadBytes((out / "fitness.csv").string()), Undisturbed().fitness);
    }
}

INSTANTIATE_TEST_SUITE_P(Deletions, DeletedDuringTheRun,
                         testing::Values(Deletion::results, Deletion::directory, Deletion::replaced));

}  // namespace
}  // namespace kelvora
