#include "experiment/sweeprunner.h"

#include <algorithm>

#include <QTimer>

namespace kelvora::ui {

SweepRunner::SweepRunner(QObject* parent) : QObject(parent), m_timer(new QTimer(this)) {
    // The window takes the runs in batches: a sweep of short runs never floods its event queue.
    m_timer->setInterval(50);
    connect(m_timer, &QTimer::timeout, this, &SweepRunner::drain);
}

SweepRunner::~SweepRunner() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
}

void SweepRunner::start(std::vector<kelvora::SweepPlan> plans, int threads) {
    if (isRunning()) return;
    m_stop = false;
    m_done = false;
    m_thread = std::thread([this, plans = std::move(plans), threads] {
        kelvora::SweepOptions options;
        options.threads = std::max(1, threads);
        options.stop = &m_stop;
        for (std::size_t p = 0; p < plans.size() && !m_stop; ++p) {
            kelvora::RunSweep(plans[p], options, [this, p](long long index, const kelvora::SweepResult& result) {
                std::lock_guard lock(m_mutex);
                m_pending.push_back(FinishedRun{static_cast<int>(p), index, result});
            });
        }
        m_done = true;
    });
    m_timer->start();
}

void SweepRunner::cancel() { m_stop = true; }

void SweepRunner::drain() {
    const bool done = m_done;  // read before taking the batch: nothing comes after it
    std::vector<FinishedRun> batch;
    {
        std::lock_guard lock(m_mutex);
        batch.swap(m_pending);
    }
    if (!batch.empty()) emit runsFinished(batch);
    if (done) {
        m_timer->stop();
        m_thread.join();
        emit finished(m_stop);
    }
}

}  // namespace kelvora::ui
