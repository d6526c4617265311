// The bytes of the two result files as one generation's evaluation writes them: %g doubles, decimal
// genes, CR LF, one write per line; and the strict comparisons that pick the best and the elite.

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/optimum.h"
#include "ga/run.h"
#include "io/result_files.h"
#include "test_support.h"

namespace kelvora {
namespace {

using testing_support::CrLfLines;
using testing_support::MakeGeometry;
using testing_support::PrintfG;
using testing_support::ReadBytes;
using testing_support::ScratchDir;

std::string Formatted(double v) {
    char text[32];
    return {text, FormatG(text, v)};
}

TEST(FormatG, WritesWhatPrintfGWrites) {
    for (double v : {1.0, 0.5, 0.493019, 0.49301884395188544, 0.004460046622099418, 0.0020703933747412, 0.9999995,
                     0.99999949999, 0.10000049, 0.0001, 0.00001, 1e-300, 123456.0, 1234567.0, 100000.0, 1e6, 0.0, -0.0,
                     -0.25, 5e-324, 1.7976931348623157e308, 0.1 + 0.2}) {
        EXPECT_EQ(Formatted(v), PrintfG(v)) << std::hexfloat << v;
    }
}

TEST(FormatG, WritesWhatPrintfGWritesOverTheFitnessRangeAndBeyond) {
    std::mt19937_64 gen(1);
    std::uniform_real_distribution<double> fitness(0.002, 1.0);
    std::uniform_real_distribution<double> exponent(-12.0, 12.0);
    for (int i = 0; i < 200000; ++i) {
        const double f = fitness(gen);
        ASSERT_EQ(Formatted(f), PrintfG(f)) << std::hexfloat << f;
        const double wide = std::pow(10.0, exponent(gen));
        ASSERT_EQ(Formatted(wide), PrintfG(wide)) << std::hexfloat << wide;
    }
}

// Halfway cases are where a shortcut through a scaled double would round the wrong way: the
// doubles nearest to m.5 units of the sixth digit, and their neighbours, in each decade of the
// fitness range, and the values around each power of ten where the digit count changes.
TEST(FormatG, WritesWhatPrintfGWritesAtRoundingTiesAndDecadeEdges) {
    for (const double unit : {1e-6, 1e-7, 1e-8}) {
        for (long m = 100000; m < 1000000; m += 37) {
            const double tie = (static_cast<double>(m) + 0.5) * unit;
            for (double v : {std::nextafter(tie, 0.0), tie, std::nextafter(tie, 1.0)})
                ASSERT_EQ(Formatted(v), PrintfG(v)) << std::hexfloat << v;
        }
    }
    for (double edge : {1.0, 0.1, 0.01, 0.001, 0.9999995, 0.09999995, 0.009999995, 0.0009999995}) {
        double below = edge, above = edge;
        for (int i = 0; i < 64; ++i) {
            ASSERT_EQ(Formatted(below), PrintfG(below)) << std::hexfloat << below;
            ASSERT_EQ(Formatted(above), PrintfG(above)) << std::hexfloat << above;
            below = std::nextafter(below, 0.0);
            above = std::nextafter(above, 2.0);
        }
    }
}

TEST(FormatG, FitnessValuesComeOutInFixedNotationAndExactlyOneAsOneDigit) {
    EXPECT_EQ(Formatted(1.0), "1");
    EXPECT_EQ(Formatted(1.0 / 483.0), "0.00207039");
    EXPECT_EQ(Formatted(0.25), "0.25");
}

/// Both files open in a scratch directory, and generations evaluated and handed to the writer as a
/// run hands them over.
struct OpenFiles {
    ScratchDir dir;
    Geometry geometry = MakeGeometry(368, 40);
    std::unique_ptr<RunBuffers> buffers = std::make_unique<RunBuffers>();
    ResultWriter writer;
    GenerationView view;
    OpenFiles() { writer.open(dir.c_str()); }

    void Evaluate(int generation, std::initializer_list<Chromosome> chromosomes) {
        std::copy(chromosomes.begin(), chromosomes.end(), buffers->population.begin());
        EvaluateGeneration(geometry, static_cast<int>(chromosomes.size()), *buffers, view);
        view.generation = generation + 1;
        writer.onGeneration(view);
    }
    void Finish() { writer.onEnd({}); }
};

TEST(EvaluateGeneration, TwoChromosomesTowardTheInitialTarget) {
    OpenFiles files;
    files.Evaluate(0, {Chromosome{{45, 30, 15}}, Chromosome{{0, 0, 0}}});
    files.Finish();

    EXPECT_EQ(ReadBytes(files.dir.file("results.csv")), "45,30,15,0.493019\r\n0,0,0,0.00446005\r\n0,0.493019,0.248739\r\n");
    EXPECT_EQ(ReadBytes(files.dir.file("fitness.csv")), "0.493019,0.248739\r\n");
    const Geometry& g = files.geometry;
    EXPECT_EQ(files.view.best, Fitness(g, Chromosome{{45, 30, 15}}));
    EXPECT_EQ(files.view.average, (Fitness(g, Chromosome{{45, 30, 15}}) + Fitness(g, Chromosome{{0, 0, 0}})) / 2);
    EXPECT_EQ(files.view.currentPose, (ArmPose{45, 30, 15}));
}

TEST(EvaluateGeneration, GenesAreWrittenAsDecimalNumbersNeverAsCharacters) {
    OpenFiles files;
    files.Evaluate(0, {Chromosome{{10, 0, 255}}, Chromosome{{13, 100, 9}}});
    files.Finish();
    const std::vector<std::string> lines = CrLfLines(ReadBytes(files.dir.file("results.csv")));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].substr(0, 9), "10,0,255,");
    EXPECT_EQ(lines[1].substr(0, 9), "13,100,9,");
}

TEST(EvaluateGeneration, PrefixSumsLeftForReproductionAreTheRunningSums) {
    OpenFiles files;
    files.Evaluate(0, {Chromosome{{45, 30, 15}}, Chromosome{{0, 0, 0}}, Chromosome{{90, 90, 90}}});
    double sum = 0.0;
    for (int i = 0; i < 3; ++i) {
        const double f = Fitness(files.geometry, files.buffers->population[i]);
        EXPECT_EQ(files.buffers->fitness[i], f);
        sum += f;
        EXPECT_EQ(files.buffers->scratch.prefix[i], sum);
    }
    EXPECT_TRUE(files.buffers->scratch.evaluated);
    EXPECT_EQ(files.view.average, sum / 3);
}

/// Two different chromosomes with exactly the same fitness toward the base: the tip's distance from
/// the base depends on the relative angles alone, up to rounding, so turning the first joint
/// gives exact ties.
std::pair<Chromosome, Chromosome> EqualFitnessPair(const Geometry& geometry) {
    for (int a = 0; a < 256; ++a) {
        for (int b = a + 1; b < 256; ++b) {
            const Chromosome p{{static_cast<std::uint8_t>(a), 30, 15}}, q{{static_cast<std::uint8_t>(b), 30, 15}};
            if (Fitness(geometry, p) == Fitness(geometry, q)) return {p, q};
        }
    }
    ADD_FAILURE() << "no tie found";
    return {};
}

TEST(EvaluateGeneration, TiesGoToTheEarliestIndex) {
    OpenFiles files;
    Geometry& geometry = files.geometry;
    geometry.targetX = geometry.baseX;
    geometry.targetY = geometry.baseY;
    const auto [p, q] = EqualFitnessPair(geometry);
    ASSERT_NE(p, q);
    const Chromosome worse{{0, 0, 0}};  // stretched: 200 px from the base
    ASSERT_LT(Fitness(geometry, worse), Fitness(geometry, p));

    files.Evaluate(0, {worse, p, q});  // p and q tie; p comes first
    EXPECT_EQ(files.view.currentPose, PoseOf(p));
    files.Evaluate(1, {q, worse});
    EXPECT_EQ(files.view.currentPose, PoseOf(q));
    files.Evaluate(2, {worse});  // a worse generation: the current pose follows it
    EXPECT_EQ(files.view.currentPose, PoseOf(worse));
    files.Finish();

    const std::vector<std::string> lines = CrLfLines(ReadBytes(files.dir.file("results.csv")));
    ASSERT_EQ(lines.size(), 4u + 3u + 2u);
    EXPECT_EQ(lines[3].substr(0, 2), "1,");
    EXPECT_EQ(lines[6].substr(0, 2), "0,");
    EXPECT_EQ(lines[8].substr(0, 2), "0,");
    EXPECT_EQ(CrLfLines(ReadBytes(files.dir.file("fitness.csv"))).size(), 3u);
}

// Every write the files make, with its descriptor.
struct Write {
    int fd;
    std::string bytes;
};
std::vector<Write> writes;

ssize_t Recording(int fd, const void* data, std::size_t size) {
    writes.push_back({fd, std::string(static_cast<const char*>(data), size)});
    return static_cast<ssize_t>(size);
}

TEST(ResultFiles, EachLineGoesOutInOneWriteAsSoonAsItEnds) {
    OpenFiles files;
    LogFile& results = files.writer.results;
    LogFile& fitness = files.writer.fitness;
    writes.clear();
    results.writer = Recording;
    fitness.writer = Recording;
    const int resultsFd = results.fd, fitnessFd = fitness.fd;

    LogIndividual(results, Chromosome{{1, 2, 3}});
    EXPECT_TRUE(writes.empty());  // the genes wait for their fitness
    LogIndividualFitness(results, 0.5);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].fd, resultsFd);
    EXPECT_EQ(writes[0].bytes, "1,2,3,0.5\r\n");
    LogSummary(results, 0, 0.5, 0.5);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[1].bytes, "0,0.5,0.5\r\n");

    CloseLog(results);
    LogFitnessRow(fitness, 0.5, 0.25);
    LogFitnessRow(fitness, 1.0, 0.125);
    CloseLog(fitness);
    ASSERT_EQ(writes.size(), 4u);
    EXPECT_EQ(writes[2].fd, fitnessFd);
    EXPECT_EQ(writes[2].bytes, "0.5,0.25\r\n");
    EXPECT_EQ(writes[3].bytes, "1,0.125\r\n");
    EXPECT_EQ(results.linesWritten, 2);
    EXPECT_EQ(fitness.linesWritten, 2);
    EXPECT_EQ(results.fd, -1);
    EXPECT_EQ(fitness.fd, -1);
}

TEST(ResultFiles, OpeningCreatesOrTruncatesBothFiles) {
    ScratchDir dir;
    {
        std::FILE* old = std::fopen(dir.file("results.csv").c_str(), "wb");
        ASSERT_NE(old, nullptr);
        std::fputs("left over from an earlier run\r\n", old);
        std::fclose(old);
    }
    ResultWriter writer;
    writer.open(dir.c_str());
    EXPECT_GE(writer.results.fd, 0);
    EXPECT_GE(writer.fitness.fd, 0);
    EXPECT_TRUE(writer.filesComplete());
    EXPECT_EQ(ReadBytes(dir.file("results.csv")), "");
    EXPECT_EQ(ReadBytes(dir.file("fitness.csv")), "");
    writer.onEnd({});
}

TEST(ResultFiles, EveryObserverOfARunWithFilesIsCalledHoweverMany) {
    std::string alone;  // the file of the run without observers
    for (const std::size_t count : {0u, 7u, 8u, 20u}) {
        ScratchDir dir;
        std::vector<int> calls(count, 0);
        std::vector<std::unique_ptr<ProgressObserver>> progress;
        std::vector<RunObserver*> observers;
        for (std::size_t i = 0; i < count; ++i) {
            progress.push_back(std::make_unique<ProgressObserver>([&calls, i](int, double) { ++calls[i]; }));
            observers.push_back(progress.back().get());
        }
        ResultWriter writer;
        const auto buffers = std::make_unique<RunBuffers>();
        RunWithFiles({{10, 6, 0.5, 0.1}, MakeGeometry(), 3}, writer, dir.c_str(), observers, *buffers);
        EXPECT_EQ(calls, std::vector<int>(count, 6)) << count << " observers";
        const std::string bytes = ReadBytes(dir.file("results.csv"));
        if (count == 0) alone = bytes;
        EXPECT_FALSE(bytes.empty());
        EXPECT_EQ(bytes, alone) << count << " observers: the writer still writes the same file";
    }
}

TEST(ResultFiles, AFileThatCannotBeOpenedIsNotedAndTakesNoLines) {
    ScratchDir dir;
    const std::string missing = dir.file("no-such-directory");
    ResultWriter writer;
    writer.open(missing.c_str());
    const ResultFileFailure results = writer.resultsFailure();
    ASSERT_TRUE(results);
    EXPECT_STREQ(results.name, "results.csv");
    EXPECT_EQ(results.error, ENOENT);
    EXPECT_TRUE(results.duringOpen);
    EXPECT_STREQ(writer.fitnessFailure().name, "fitness.csv");

    LogIndividual(writer.results, Chromosome{{1, 2, 3}});
    LogIndividualFitness(writer.results, 0.5);
    EXPECT_EQ(writer.results.linesWritten, 0);
    EXPECT_EQ(writer.results.length, 0);  // nothing of the lost line lingers for the next one

    // A later open in a good directory starts clean.
    writer.open(dir.c_str());
    EXPECT_TRUE(writer.filesComplete());
    writer.onEnd({});
}

}  // namespace
}  // namespace kelvora
