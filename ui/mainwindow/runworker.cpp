#include "mainwindow/runworker.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <system_error>
#include <string>
#include <utility>

#include "ga/algorithm.h"
#include "io/run_record.h"
#include "session/run_record.h"

namespace kelvora::ui {

RunWorker::RunWorker(const kelvora::Geometry& geometry, const kelvora::SolverParams& params, std::uint32_t seed,
                     const kelvora::Algorithm& algorithm)
    : m_setup{params, geometry, seed, algorithm},
      m_buffers(std::make_unique<kelvora::RunBuffers>()),
      m_writer(std::make_unique<kelvora::ResultWriter>(kelvora::FlushMode::line)),
      m_channel(std::make_shared<RunChannel>()) {
}

RunWorker::~RunWorker() = default;

// Follows the run on its thread: keeps each generation's row, results.csv's length and best pose,
// and posts a snapshot at the window's pace.
class RunWorker::Observer final : public kelvora::RunObserver {
public:
    explicit Observer(RunWorker& worker) : m_worker(worker) {}

    void onGeneration(const kelvora::GenerationView& view) override {
        RunWorker& w = m_worker;
        w.m_rows.append({view.best, view.average});
        w.m_resultsEnds.append(static_cast<std::uint64_t>(w.m_writer->results.bytesLogged));
        w.m_bests.append(view.currentPose);
        if (w.m_channel->wantDiversity.load(std::memory_order_relaxed)) w.measureDiversity(view);
        m_last = view.generation;
        if (!w.m_everyGeneration) {
            const Clock::time_point now = Clock::now();
            if (now - m_lastPost < std::chrono::milliseconds(kSnapshotInterval) ||
                w.m_channel->snapshotPending.load(std::memory_order_acquire))
                return;
            m_lastPost = now;
        }
        w.post(w.makeSnapshot(view));
    }

    int lastGeneration() const { return m_last; }

private:
    using Clock = std::chrono::steady_clock;
    RunWorker& m_worker;
    Clock::time_point m_lastPost = Clock::now();
    int m_last = 0;
};

void RunWorker::measureDiversity(const kelvora::GenerationView& view) {
    // O(N) on the run's thread, only while the chart is shown: a run without it is as fast as ever.
    if (!m_scratch) m_scratch = std::make_unique<kelvora::DiversityScratch>();
    const kelvora::Algorithm& a = m_setup.algorithm;
    const bool gray = a.method == kelvora::Method::geneticAlgorithm && a.encoding == kelvora::Encoding::gray;
    m_genotypes.resize(static_cast<std::size_t>(view.populationSize));
    for (int i = 0; i < view.populationSize; ++i) {
        std::uint32_t g = 0;
        for (const std::uint8_t angle : view.population[i].gene)
            g = (g << 8) | static_cast<std::uint32_t>(gray ? kelvora::GrayEncode(angle) : angle);
        m_genotypes[static_cast<std::size_t>(i)] = g;
    }
    m_diversity.resize(m_rows.size() - 1);  // generations before the chart was shown: not measured
    m_diversity.append(kelvora::MeasureDiversity(m_genotypes.data(), view.populationSize, view.bestIndex, *m_scratch));
}

RunSnapshot RunWorker::makeSnapshot(const kelvora::GenerationView& view) {
    const int generation = view.generation;
    RunSnapshot snapshot;
    snapshot.generation = generation;
    snapshot.error = view.error;
    snapshot.currentPose = view.currentPose;
    snapshot.elitePose = view.elitePose;
    snapshot.eliteFitness = view.eliteFitness;
    snapshot.eliteDistance = kelvora::TipDistance(m_setup.geometry, view.elitePose);
    snapshot.firstRow = m_rowsPosted;
    // What the window has not had yet goes with the snapshot; the worker keeps none of it.
    snapshot.rows = std::exchange(m_rows, {});
    snapshot.resultsEnds = std::exchange(m_resultsEnds, {});
    snapshot.bests = std::exchange(m_bests, {});
    snapshot.diversity = std::exchange(m_diversity, {});
    snapshot.populationSize = view.populationSize;
    if (m_channel->wantPopulation.load(std::memory_order_relaxed)) {
        snapshot.population.assign(view.population, view.population + view.populationSize);
        snapshot.fitness.assign(view.fitness, view.fitness + view.populationSize);
    }
    m_rowsPosted = generation;
    return snapshot;
}

void RunWorker::post(RunSnapshot snapshot) {
    RunChannel& c = *m_channel;
    c.snapshotPending.store(true, std::memory_order_release);
    c.deposit(std::move(snapshot));
    if (m_sink) m_sink();
    if (m_everyGeneration) {
        // Tests act from the window's handling of a generation: the run waits for it.
        std::unique_lock<std::mutex> lock(c.handOver);
        c.handledChanged.wait(lock, [&c] { return c.handled >= c.announced || c.stop.load(std::memory_order_acquire); });
    }
}

void RunChannel::deposit(RunSnapshot snapshot) {
    const std::lock_guard<std::mutex> lock(handOver);
    snapshots.push_back(std::move(snapshot));
    ++announced;
}

std::vector<RunSnapshot> RunChannel::takeSnapshots() {
    const std::lock_guard<std::mutex> lock(handOver);
    return std::exchange(snapshots, {});
}

void RunChannel::depositResult(RunResult end) {
    const std::lock_guard<std::mutex> lock(handOver);
    result = std::move(end);
}

std::optional<RunResult> RunChannel::takeResult() {
    const std::lock_guard<std::mutex> lock(handOver);
    return std::exchange(result, std::nullopt);
}

void RunChannel::release() { const std::lock_guard<std::mutex> lock(handOver); }

void RunChannel::acquire() { const std::lock_guard<std::mutex> lock(handOver); }

void RunChannel::requestStop() {
    {
        const std::lock_guard<std::mutex> lock(handOver);
        stop.store(true, std::memory_order_release);
    }
    handledChanged.notify_all();
}

void RunChannel::markHandled() {
    {
        const std::lock_guard<std::mutex> lock(handOver);
        handled = announced;
    }
    snapshotPending.store(false, std::memory_order_release);
    handledChanged.notify_all();
}

RunResult RunWorker::run() {
    m_channel->acquire();
    const std::string started = kelvora::RecordTimeNow();
    // The last view is kept for the closing snapshot: a copy of the numbers, not of the pointers.
    struct LastView final : kelvora::RunObserver {
        kelvora::GenerationView view;
        void onGeneration(const kelvora::GenerationView& v) override { view = v; }
    } last;
    Observer observer(*this);
    kelvora::RunObserver* observers[] = {&observer, &last};
    kelvora::RunOutcome outcome;
    const kelvora::RunReport report = kelvora::RunWithFiles(m_setup, *m_writer, nullptr, observers, *m_buffers,
                                                            &m_channel->stop, &outcome);
    // The last finished generation is always shown, whatever the pace let through. The buffers still
    // hold its individuals, which the view points at.
    if (m_rowsPosted < observer.lastGeneration()) post(makeSnapshot(last.view));

    auto result = std::make_unique<RunResult>();
    result->report = report;
    result->generation = report.refused ? 0 : outcome.generationsRun;
    result->eliteFitness = outcome.eliteFitness;
    result->elitePose = outcome.elitePose;
    result->currentPose = outcome.currentPose;
    result->eliteDistance = kelvora::TipDistance(m_setup.geometry, outcome.elitePose);
    // Both files are closed now: run.json goes beside them, last. A refused run touched nothing,
    // and the record there is the other run's.
    if (!report.refused) {
        result->record = kelvora::session::RecordOfRun("kelvora", m_setup, report, started, "");
        result->record.flush = kelvora::FlushMode::line;  // the window writes each line as it is complete
        result->recordError = kelvora::WriteRunRecord(result->record, nullptr);
    }
    return std::move(*result);
}

}  // namespace kelvora::ui
