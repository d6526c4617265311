#include "runworker.h"

#include <chrono>

RunWorker::RunWorker(const kelvora::SolverState& start, const kelvora::SolverParams& params, QObject* parent)
    : QObject(parent),
      m_state(std::make_unique<kelvora::SolverState>()),
      m_buffers(std::make_unique<kelvora::RunBuffers>()),
      m_params(params) {
    qRegisterMetaType<RunSnapshot>();
    qRegisterMetaType<kelvora::RunReport>();
    m_state->baseX = start.baseX;
    m_state->baseY = start.baseY;
    m_state->targetX = start.targetX;
    m_state->targetY = start.targetY;
    m_state->currentPose = start.currentPose;
    m_state->elitePose = start.elitePose;
}

RunWorker::~RunWorker() = default;

RunSnapshot RunWorker::takeSnapshot(int generation, double error) {
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
    m_rowsPosted = generation;
    return snapshot;
}

void RunWorker::run() {
    using Clock = std::chrono::steady_clock;
    Clock::time_point lastPost = Clock::now();
    int lastGeneration = 0;
    double lastError = 0.0;
    kelvora::RunOptions options;
    options.stopRequested = &m_stop;
    options.buffers = m_buffers.get();
    const kelvora::RunReport report = kelvora::RunSolver(
        *m_state, m_params,
        [&](int generation, double error) {
            lastGeneration = generation;
            lastError = error;
            if (!m_everyGeneration) {
                const Clock::time_point now = Clock::now();
                if (now - lastPost < std::chrono::milliseconds(kSnapshotInterval) ||
                    m_snapshotPending.load(std::memory_order_acquire))
                    return;
                lastPost = now;
            }
            m_snapshotPending.store(true, std::memory_order_release);
            emit progressed(takeSnapshot(generation, error));
        },
        options);
    // The last finished generation is always shown, whatever the pace let through.
    if (m_rowsPosted < lastGeneration) emit progressed(takeSnapshot(lastGeneration, lastError));
    emit finished(report);
}
