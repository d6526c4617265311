#pragma once
// What the main window shows, owned in one place: the base and target, the arms, the shown
// generation and the run's per-generation history. The run (RunController) and the replay
// (ReplayController) write it only through this model; the plot, the fields and the evolution
// window read it and follow its signals.

#include <QList>
#include <QObject>
#include <QPoint>

#include "analysis/optimum.h"
#include "mainwindow/solverstate.h"

namespace kelvora::ui {

class SolverModel : public QObject {
    Q_OBJECT

public:
    /// The model over state, which outlives it (the program's main() or a test owns it).
    explicit SolverModel(SolverState& state, QObject* parent = nullptr);

    /// Everything shown, to read.
    const SolverState& state() const { return m_state; }
    /// The base and target pixels (x right, y down).
    QPoint base() const { return {m_state.baseX, m_state.baseY}; }
    QPoint target() const { return {m_state.targetX, m_state.targetY}; }
    /// The target relative to the base, x right and y up, as the fields show it.
    kelvora::PixelPoint relativeTarget() const { return m_state.relativeTarget(); }
    /// The optimum arm for the base and target (shared with every window, see optimumcache.h).
    const kelvora::Optimum& optimum() const;
    /// History rows 0..generation-1: of the run going or the last run.
    QList<kelvora::GenerationStat> historyRows() const;

    /// The opening: base (kBaseX, kBaseY), the target at the opening pose's tip, both arms in the
    /// opening pose, no generation.
    void open();
    /// Moves the target to pixel (x right, y down).
    void setTarget(QPoint pixel);
    /// The arms shown: a generation's best, the best so far and its fitness.
    void showPoses(const kelvora::ArmPose& current, const kelvora::ArmPose& elite, double eliteFitness);
    /// Back to the opening arms and no generation (an opened file let go).
    void clearPoses();
    /// A run's snapshot: history rows from firstRow on, generation generations finished.
    void takeRows(int firstRow, const QList<kelvora::GenerationStat>& rows, int generation);
    /// A run that has ended with params after generation generations.
    void endRun(const kelvora::SolverParams& params, int generation);

signals:
    /// The target moved.
    void targetChanged();
    /// The arms or the shown generation changed: the plot repaints.
    void posesChanged();

private:
    SolverState& m_state;
};

}  // namespace kelvora::ui
