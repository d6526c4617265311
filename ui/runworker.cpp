#include "runworker.h"

#include <sched.h>

#include <chrono>

namespace kelvora::ui {

RunWorker::RunWorker(const kelvora::SolverState& start, const kelvora::SolverParams& params, QObject* parent)
    : QObject(parent),
      m_state(std::make_unique<kelvora::SolverState>()),
      m_buffers(std::make_unique<kelvora::RunBuffers>()),
      m_params(params),
      m_channel(std::make_shared<RunChannel>()) {
    m_resultsEnds.reserve(params.generationCount);
    m_bests.reserve(params.generationCount);
    m_state->baseX = start.baseX;
    m_state->baseY = start.baseY;
    m_state->targetX = start.targetX;
    m_state->targetY = start.targetY;
    m_state->currentPose = start.currentPose;
    m_state->elitePose = start.elitePose;
}

RunWorker::~RunWorker() = default;

RunSnapshot RunWorker::makeSnapshot(int generation, double error) {
    const kelvora::SolverState& s = *m_state;
    RunSnapshot snapshot;
    snapshot.generation = generation;
    snapshot.error = error;
    snapshot.currentPose = s.currentPose;
    snapshot.elitePose = s.elitePose;
    snapshot.eliteFitness = s.eliteFitness;
    snapshot.eliteDistance = kelvora::TipDistance(s, s.elitePose);
    snapshot.firstRow = m_rowsPosted;
    snapshot.rows.reserve(generation - m_rowsPosted);
    for (int g = m_rowsPosted; g < generation; ++g) snapshot.rows.append(s.history[static_cast<std::size_t>(g)]);
    snapshot.resultsEnds = m_resultsEnds.mid(m_rowsPosted, generation - m_rowsPosted);
    snapshot.bests = m_bests.mid(m_rowsPosted, generation - m_rowsPosted);
    m_rowsPosted = generation;
    return snapshot;
}

void RunWorker::post(RunSnapshot snapshot) {
    RunChannel& c = *m_channel;
    c.snapshotPending.store(true, std::memory_order_release);
    {
        const std::lock_guard<std::mutex> lock(c.handOver);
        if (c.snapshot) {
            // The last one has not been taken yet (the run's last generation is posted regardless
            // of the pace): this one continues it, so that no history row is lost.
            snapshot.rows = c.snapshot->rows + snapshot.rows;
            snapshot.resultsEnds = c.snapshot->resultsEnds + snapshot.resultsEnds;
            snapshot.bests = c.snapshot->bests + snapshot.bests;
            snapshot.firstRow = c.snapshot->firstRow;
        }
        c.snapshot = std::move(snapshot);
    }
    emit snapshotReady();
}

std::optional<RunSnapshot> RunChannel::takeSnapshot() {
    std::optional<RunSnapshot> taken;
    {
        const std::lock_guard<std::mutex> lock(handOver);
        taken.swap(snapshot);
    }
    snapshotPending.store(false, std::memory_order_release);
    return taken;
}

std::optional<RunResult> RunChannel::takeResult() {
    const std::lock_guard<std::mutex> lock(handOver);
    if (!result) return std::nullopt;
    std::optional<RunResult> taken(std::move(*result));
    result.reset();
    return taken;
}

void RunWorker::run() {
    // The run's results go out one write(2) per line, ten million of them at population 1000 x
    // 10000 generations. While a process's descriptor table is shared among threads (a window's
    // always is), each of them takes a reference on the file and its position lock: some 15% more
    // CPU than kelvora-cli spends. This thread takes a table of its own, so the files the run opens
    // next are in it alone and are written as a single-threaded process writes them. Descriptors
    // are numbered per table: nothing opened on this thread from here on is seen by another, and
    // the run closes its files itself before this thread ends. The descriptors the process had
    // before are shared, not moved: one the window closes during the run is let go when this thread
    // ends. Should the call fail, the run is only slower.
#if !defined(__SANITIZE_THREAD__)
    // (Not under ThreadSanitizer, which keeps one table of descriptors for the whole process: a
    // number the window opens would look like the run's own descriptor of that number.)
    ::unshare(CLONE_FILES);
#endif
    using Clock = std::chrono::steady_clock;
    Clock::time_point lastPost = Clock::now();
    int lastGeneration = 0;
    double lastError = 0.0;
    kelvora::RunOptions options;
    options.stopRequested = &m_channel->stop;
    options.buffers = m_buffers.get();
    const kelvora::RunReport report = kelvora::RunSolver(
        *m_state, m_params,
        [&](int generation, double error) {
            m_resultsEnds.append(static_cast<std::uint64_t>(m_state->resultsLog.bytesLogged));
            m_bests.append(m_state->currentPose);
            lastGeneration = generation;
            lastError = error;
            if (!m_everyGeneration) {
                const Clock::time_point now = Clock::now();
                if (now - lastPost < std::chrono::milliseconds(kSnapshotInterval) ||
                    m_channel->snapshotPending.load(std::memory_order_acquire))
                    return;
                lastPost = now;
            }
            post(makeSnapshot(generation, error));
        },
        options);
    // Closed on this thread, in whose table they are (RunSolver has closed them unless refused).
    kelvora::CloseLog(m_state->resultsLog);
    kelvora::CloseLog(m_state->fitnessLog);
    // The last finished generation is always shown, whatever the pace let through.
    if (m_rowsPosted < lastGeneration) post(makeSnapshot(lastGeneration, lastError));

    auto result = std::make_unique<RunResult>();
    const kelvora::SolverState& s = *m_state;
    result->report = report;
    result->generation = s.generation;
    result->history = s.history;
    result->eliteFitness = s.eliteFitness;
    result->elitePose = s.elitePose;
    result->currentPose = s.currentPose;
    result->eliteDistance = kelvora::TipDistance(s, s.elitePose);
    {
        const std::lock_guard<std::mutex> lock(m_channel->handOver);
        m_channel->result = std::move(result);
    }
    emit finished();
}

}  // namespace kelvora::ui
