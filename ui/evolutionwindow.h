#pragma once
// The evolution window "Kelvora — 進化": a run's best and average fitness per generation as a
// chart, live during the run, the optimum of the whole search space as a reference line and a
// readout comparing the run's elite with it, and export of the chart as PNG or SVG.

#include <optional>

#include <QList>
#include <QMainWindow>
#include <QPoint>

#include "analysis/optimum.h"
#include "model/types.h"

class QAction;
class QCheckBox;
class QLabel;
class QVBoxLayout;

namespace kelvora::ui {

class FitnessChart;

class EvolutionWindow : public QMainWindow {
    Q_OBJECT

public:
    /// A top-level window (parent owns it): where the settings remember it, else beside parent.
    explicit EvolutionWindow(QWidget* parent = nullptr);
    ~EvolutionWindow() override;

    /// A new run of limit generations for target, with the arm's base at base (client pixels,
    /// y down): clears the chart and finds the target's optimum in the background. algorithm: a
    /// line naming the run's operator choice for the readout, empty for the classic one (or none known).
    void beginRun(int limit, QPoint base, QPoint target, const QString& algorithm = {});
    /// Live rows of the run from history index firstRow on, and its elite's distance in px.
    void appendRows(int firstRow, const QList<kelvora::GenerationStat>& rows, double eliteDistance);
    /// The run has ended with this complete history and elite distance.
    void finishRun(const QList<kelvora::GenerationStat>& rows, double eliteDistance);
    /// Rebuilds the chart and readout from a complete history (a replayed run, say).
    void setHistory(const QList<kelvora::GenerationStat>& rows, double eliteDistance);

    FitnessChart* chart() const { return m_chart; }
    /// An empty layout below the chart for a control that moves through the generations.
    QVBoxLayout* scrubberSlot() const { return m_scrubberSlot; }
    QAction* distanceAction() const { return m_distanceAction; }

    /// The optimum of the current target, once found.
    std::optional<kelvora::Optimum> optimum() const { return m_optimum; }
    /// First generation (counted from 1) whose best reached the optimum's fitness; 0 if none.
    int firstGenerationAtOptimum() const;
    /// The readout's text.
    QString readoutText() const;

    /// Writes the chart as a PNG or an SVG picture; a failure is reported in a message box.
    bool exportPng(const QString& path);
    bool exportSvg(const QString& path);

signals:
    /// The optimum of the current target has been found and shown.
    void optimumFound();

protected:
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void findOptimum();
    void updateReadout();
    void saveGeometry();
    void exportWithDialog(bool svg);

    FitnessChart* m_chart;
    QLabel* m_readout;
    QCheckBox* m_distanceBox;
    QAction* m_distanceAction;
    QVBoxLayout* m_scrubberSlot;
    QPoint m_base;
    QPoint m_target{-1, -1};
    std::optional<kelvora::Optimum> m_optimum;
    QPoint m_optimumBase{-1, -1};   ///< the base and target m_optimum belongs to
    QPoint m_optimumTarget{-1, -1};
    double m_eliteDistance = -1.0;  ///< px; negative before any row
    QString m_algorithm;            ///< the run's operator choice, or empty
    bool m_running = false;
    bool m_remembered = false;  ///< where the person moved it, now or in an earlier session
    QPoint m_placedAt;          ///< its frame's top left as first placed beside the main window
};

}  // namespace kelvora::ui
