#include "common/solvermodel.h"

#include <algorithm>

#include "common/optimumcache.h"

namespace kelvora::ui {

SolverModel::SolverModel(SolverState& state, QObject* parent) : QObject(parent), m_state(state) {}

const kelvora::Optimum& SolverModel::optimum() const { return OptimumFor(base(), target()); }

QList<kelvora::GenerationStat> SolverModel::historyRows() const {
    const int count = std::clamp(m_state.generation, 0, kelvora::kMaxGenerations);
    return QList<kelvora::GenerationStat>(m_state.history.begin(), m_state.history.begin() + count);
}

QList<kelvora::GenerationStat> SolverModel::chartRows() const {
    switch (m_chart.rows) {
    case ChartedRun::Rows::none: return {};
    case ChartedRun::Rows::history: return historyRows();
    case ChartedRun::Rows::file: return m_chart.fileRows;
    }
    return {};
}

double SolverModel::chartEliteDistance() const {
    switch (m_chart.rows) {
    case ChartedRun::Rows::none: return -1.0;
    case ChartedRun::Rows::history: return TipDistance(m_state, m_state.elitePose);
    case ChartedRun::Rows::file: return m_chart.fileEliteDistance;
    }
    return -1.0;
}

void SolverModel::open() {
    m_state.baseX = kelvora::kBaseX;
    m_state.baseY = kelvora::kBaseY;
    // The target at the opening pose's tip, truncated toward zero: (368, 40).
    const kelvora::PixelPoint opening =
        kelvora::PixelFromRelative({kelvora::kOpeningTargetX, kelvora::kOpeningTargetY}, m_state.baseX, m_state.baseY);
    m_state.targetX = opening.x;
    m_state.targetY = opening.y;
    m_state.currentPose = kelvora::kOpeningPose;
    m_state.elitePose = kelvora::kOpeningPose;
    emit targetChanged();
    emit posesChanged();
}

void SolverModel::setTarget(QPoint pixel) {
    m_state.targetX = pixel.x();
    m_state.targetY = pixel.y();
    emit targetChanged();
}

void SolverModel::showPoses(const kelvora::ArmPose& current, const kelvora::ArmPose& elite, double eliteFitness) {
    m_state.currentPose = current;
    m_state.elitePose = elite;
    m_state.eliteFitness = eliteFitness;
    emit posesChanged();
}

void SolverModel::clearPoses() {
    m_state.generation = 0;
    showPoses(kelvora::kOpeningPose, kelvora::kOpeningPose, 0.0);
}

void SolverModel::takeRows(int firstRow, const QList<kelvora::GenerationStat>& rows, int generation) {
    for (int i = 0; i < rows.size(); ++i) {
        const int row = firstRow + i;
        if (row >= 0 && row < kelvora::kMaxGenerations) m_state.history[static_cast<std::size_t>(row)] = rows[i];
    }
    m_state.generation = generation;
    emit rowsTaken();
    m_diversityFrom = -1;
}

void SolverModel::takeDiversity(int firstRow, const QList<kelvora::Diversity>& rows, int population) {
    if (rows.isEmpty()) return;
    // Generations before the chart was shown are kept as not measured.
    m_diversity.resize(std::max(firstRow, 0));
    m_diversity += rows;
    m_diversityPopulation = population;
    m_diversityFrom = m_diversityFrom < 0 ? firstRow : std::min(m_diversityFrom, firstRow);
}

void SolverModel::beginChart(ChartedRun run) {
    m_chart = std::move(run);
    m_chart.ended = false;
    m_diversity.clear();
    emit chartBegun();
}

void SolverModel::finishChart() {
    m_chart.ended = true;
    emit chartFinished();
}

void SolverModel::setChartCaption(const QString& caption) { m_chart.caption = caption; }

void SolverModel::setReplayGenerations(int count) {
    m_replayGenerations = count;
    emit replayChanged(count);
}

void SolverModel::endRun(const kelvora::SolverParams& params, int generation) {
    m_state.populationSize = params.populationSize;
    m_state.crossoverRate = params.crossoverRate;
    m_state.mutationProbability = params.mutationProbability;
    m_state.generation = generation;
}

}  // namespace kelvora::ui
