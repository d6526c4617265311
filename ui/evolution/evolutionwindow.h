#pragma once
// The evolution window "Kelvora — 進化": the main window's charted run (SolverModel::chart(), read
// from the model and followed through its signals), its best and average fitness per generation
// as a chart, live during the run, the optimum of the whole search space as a reference line and a
// readout comparing the best of the run so far with it, and export of the chart as PNG or SVG with
// a caption naming the run. Earlier runs of the session (up to FitnessChart::kMaxEarlierRuns) are
// drawn fainter beside the current one, each named by its parameters and algorithm.

#include <optional>

#include <QList>
#include <QMainWindow>
#include <QPoint>
#include <QSize>

#include "analysis/diversity.h"
#include "analysis/optimum.h"
#include "ga/algorithm.h"
#include "model/types.h"

class QAction;
class QCheckBox;
class QLabel;
class QVBoxLayout;

namespace kelvora::ui {

class FitnessChart;
class DiversityChart;
class SolverModel;
struct MeasuredDiversity;

class EvolutionWindow : public QMainWindow {
    Q_OBJECT

public:
    /// Settings key (bool, AppSettings): whether the chart shows the distance on the logarithmic axis.
    static constexpr const char* kLogAxisKey = "evolution/logAxis";
    /// Settings key (bool): whether the diversity chart is shown below the fitness chart.
    static constexpr const char* kDiversityKey = "evolution/diversity";

    /// The view (parent owns it; the main window docks it), 720 × 480 px until placed, showing
    /// model's charted run from now on; model outlives it.
    explicit EvolutionWindow(const SolverModel& model, QWidget* parent = nullptr);
    ~EvolutionWindow() override;

    /// "20 × 100, 0.5, 0.1, gray": population × generation limit, crossover rate, mutation
    /// probability and the operator choices that are not the classic ones ("classic" when none).
    static QString RunName(const kelvora::SolverParams& params, const kelvora::Algorithm& algorithm);

    /// The generation the scrubber shows (1..), or 0 for the run's end: the readout gives the best
    /// so far up to it.
    void setMarkedGeneration(int generation);

    /// Whether the diversity chart is shown below the fitness chart.
    bool showsDiversity() const;
    FitnessChart* chart() const { return m_chart; }
    /// An empty layout below the chart for a control that moves through the generations.
    QVBoxLayout* scrubberSlot() const { return m_scrubberSlot; }

    /// Writes the chart and its caption as a PNG at scale device pixels per pixel (0: the screen's
    /// device-pixel ratio), or as an SVG; a failure is reported in a message box.
    bool exportPng(const QString& path, double scale = 0.0);
    bool exportSvg(const QString& path);

signals:
    /// The optimum of the current target has been found and shown.
    void optimumFound();
    /// The diversity chart was shown or hidden: a run's snapshots carry the measures while shown.
    void diversityShownChanged(bool shown);
    /// The background measure of a replayed file has been shown.
    void diversityMeasured();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    /// Shows the readout's lines each cut to the label's width, the whole text as its tooltip when cut.
    void fitReadout();

private:
    // Read and driven by the tests through EvolutionWindowTestAccess (defined in tests/ui/uitestsupport.h).
    friend struct EvolutionWindowTestAccess;

    /// The caption line exported under the chart.
    QString caption() const;
    /// The name the run shown takes among the earlier runs: its name, and for a run that ended
    /// before its limit, the generations it ran ("、536/5000 世代").
    QString earlierRunName() const;
    /// The target relative to the base, "(x, y)"; empty before any run.
    QString targetText() const;
    /// First generation (counted from 1) whose best reached the optimum's fitness; 0 if none.
    int firstGenerationAtOptimum() const;
    /// A new run of limit generations for target, with the arm's base at base (client pixels,
    /// y down): the run shown so far joins the earlier runs when it has a name and rows; clears
    /// the chart and finds the target's optimum. algorithm: a line naming the run's operator choice
    /// for the readout, empty for the classic one (or none known).
    void beginRun(int limit, QPoint base, QPoint target, const QString& algorithm);
    /// Live rows of the run from history index firstRow on, and the distance in px of the run's
    /// best so far.
    void appendRows(int firstRow, const QList<kelvora::GenerationStat>& rows, double eliteDistance);
    /// The run has ended (or stopped) with this complete history and best-so-far distance (px): the
    /// x axis ends at its last generation.
    void finishRun(const QList<kelvora::GenerationStat>& rows, double eliteDistance);
    /// The legend's name of the run shown, for when it becomes an earlier run.
    void setRunName(const QString& name);
    /// The model's signals: another run charted, a live snapshot's rows, the run's end.
    void takeChart();
    void takeRows();
    void takeChartEnd();
    /// The diversity of a replayed results.csv at path (gray: genotypes are the angles' Gray
    /// encodings), measured once in the background while the chart is shown.
    void setDiversitySource(const QString& path, bool gray);
    /// Writes a made picture (empty: it could not be made) whole at path; a failure in a message box.
    bool writePicture(const QString& path, const QByteArray& bytes, const QString& format);
    void findOptimum();
    void updateReadout();
    void exportWithDialog(bool svg, double scale);
    void paintExport(QPainter& painter);
    QSize exportSize() const;
    int captionHeight() const;
    void measureDiversity();
    void showDiversity(bool shown);

    const SolverModel& m_model;
    FitnessChart* m_chart;
    DiversityChart* m_diversity;
    QLabel* m_diversityLabel;
    QAction* m_diversityAction;
    QString m_diversityPath;        ///< the replayed results.csv, or empty
    bool m_diversityGray = false;
    bool m_diversityMeasured = false;  ///< the path's measure has been asked for
    int m_limit = 0;                ///< the run's generation limit
    int m_marked = 0;               ///< the scrubbed generation, or 0
    QLabel* m_readout;
    QString m_readoutFull;          ///< the readout's lines whole; the label shows them cut to its width
    QCheckBox* m_distanceBox;
    QAction* m_distanceAction;
    QAction* m_clearComparisonAction;
    QVBoxLayout* m_scrubberSlot;
    QPoint m_base;
    QPoint m_target{-1, -1};
    std::optional<kelvora::Optimum> m_optimum;  ///< of the current target, once found
    QPoint m_optimumBase{-1, -1};   ///< the base and target m_optimum belongs to
    QPoint m_optimumTarget{-1, -1};
    double m_eliteDistance = -1.0;  ///< px; negative before any row
    QString m_algorithm;            ///< the run's operator choice, or empty
    QString m_runName;              ///< set by setRunName, or empty
    bool m_running = false;
};

}  // namespace kelvora::ui
