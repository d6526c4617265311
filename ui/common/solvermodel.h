#pragma once
// What the main window shows, owned in one place: the base and target, the arms, the shown
// generation, the run's per-generation history and diversity, and the run the evolution window
// charts. The run (RunController), the replay (ReplayController) and the window write it only
// through this model; the plot, the fields and the evolution window read it and follow its signals.

#include <QList>
#include <QObject>
#include <QPoint>
#include <QString>

#include "analysis/diversity.h"
#include "analysis/optimum.h"
#include "common/solverstate.h"

namespace kelvora::ui {

/// The run the evolution window charts: the run going, the last one, or an opened file's.
struct ChartedRun {
    enum class Rows {
        none,     ///< no rows: before any run, or after a click left an opened file
        history,  ///< the model's history (a run)
        file,     ///< fileRows (an opened file)
    };
    int limit = kelvora::SolverParams{}.generationCount;  ///< the generation limit, 1..kMaxGenerations
    QString readout;   ///< a line under the readout (the operator choice, the file's record), or empty
    QString name;      ///< its name among the earlier runs once another is charted; empty: it joins none
    QString caption;   ///< the line under an exported chart; empty: the target and the generations
    Rows rows = Rows::none;
    bool ended = false;  ///< every row is in (the x axis ends at the last one)
    QList<kelvora::GenerationStat> fileRows;  ///< an opened file's rows
    double fileEliteDistance = 0.0;           ///< px, the opened file's best tip to the target
    QString diversityPath;                    ///< a replayed results.csv whose diversity is measured, or empty
    bool diversityGray = false;               ///< its genotypes are the angles' Gray encodings
};

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
    /// The run's diversity, index for index with the history rows (distinct 0: not measured), and
    /// the individuals each was measured over; empty while the diversity chart is hidden.
    const QList<kelvora::Diversity>& diversityRows() const { return m_diversity; }
    int diversityPopulation() const { return m_diversityPopulation; }
    /// While rowsTaken is emitted: the first diversity row the snapshot brought, or -1 for none.
    int diversityFrom() const { return m_diversityFrom; }

    /// The run charted, its rows (the history's, a file's or none) and the distance in px of its
    /// best so far (negative without rows).
    const ChartedRun& chart() const { return m_chart; }
    QList<kelvora::GenerationStat> chartRows() const;
    double chartEliteDistance() const;

    /// The opening: base (kBaseX, kBaseY), the target at the opening pose's tip, both arms in the
    /// opening pose, no generation.
    void open();
    /// Moves the target to pixel (x right, y down).
    void setTarget(QPoint pixel);
    /// The arms shown: a generation's best, the best so far and its fitness.
    void showPoses(const kelvora::ArmPose& current, const kelvora::ArmPose& elite, double eliteFitness);
    /// Back to the opening arms and no generation (an opened file let go).
    void clearPoses();
    /// A run's snapshot: history rows from firstRow on, generation generations finished (the
    /// arms and the diversity of the same snapshot are taken first).
    void takeRows(int firstRow, const QList<kelvora::GenerationStat>& rows, int generation);
    /// A run's diversity from history index firstRow on, of population individuals each.
    void takeDiversity(int firstRow, const QList<kelvora::Diversity>& rows, int population);
    /// Charts run from now on (a run starts, a file opens, a click leaves a file).
    void beginChart(ChartedRun run);
    /// The charted run has every row now.
    void finishChart();
    /// The line under the exported chart (the command that repeats the run).
    void setChartCaption(const QString& caption);
    /// Generations of the replay the scrubber moves through (an opened file's or the last run's),
    /// or 0 for none; set again, even unchanged, the scrubber goes to the last one.
    int replayGenerations() const { return m_replayGenerations; }
    void setReplayGenerations(int count);
    /// A run that has ended with params after generation generations.
    void endRun(const kelvora::SolverParams& params, int generation);

signals:
    /// The target moved.
    void targetChanged();
    /// The arms or the shown generation changed: the plot repaints.
    void posesChanged();
    /// A run's snapshot is in: history rows (and their diversity) were added.
    void rowsTaken();
    /// Another run is charted (chart()).
    void chartBegun();
    /// The charted run has ended: its rows are complete.
    void chartFinished();
    /// The replay changed (replayGenerations()).
    void replayChanged(int generationCount);

private:
    SolverState& m_state;
    QList<kelvora::Diversity> m_diversity;
    int m_diversityPopulation = 0;
    int m_diversityFrom = -1;
    ChartedRun m_chart;
    int m_replayGenerations = 0;
};

}  // namespace kelvora::ui
