#pragma once
// The landscape view: for one target, the exact landscape of the operator choice in use beside
// binary, gray and creep:4, and a slice of the pose space with the local optima, the optimum and a
// population over it. Computed off the GUI thread; the window only copies and paints.

#include <QFutureWatcher>
#include <QWidget>

#include <memory>
#include <vector>

#include "analysis/landscape.h"
#include "ga/algorithm.h"
#include "model/types.h"

class QLabel;
class QProgressBar;
class QSlider;
class QTableWidget;

namespace kelvora::ui {

/// The neighbourhood a run's mutation walks: creep:S for creep mutation, else one-bit flips of
/// the genotype, gray or binary as the encoding is.
Neighbourhood NeighbourhoodOf(const Algorithm& algorithm);

/// What the worker hands to the window, by value: the distance table (shared, never changed),
/// one summary per neighbourhood, the first being the choice in use.
struct LandscapeResult {
    std::shared_ptr<const DistanceTable> table;
    std::vector<LandscapeSummary> rows;
};

/// Computes the table and the rows for geometry (every core; about 1 to 2 s on two cores).
LandscapeResult ComputeLandscape(const Geometry& geometry, const Neighbourhood& inUse);

class LandscapeWindow : public QWidget {
    Q_OBJECT
public:
    /// Starts computing the landscape of geometry's target for the choice in use at once.
    LandscapeWindow(const Geometry& geometry, const Algorithm& algorithm, QWidget* parent = nullptr);
    ~LandscapeWindow() override;

    /// The individuals of the shown generation (angles 0..255); those whose angle 1 lies within
    /// kPopulationBand of the slice's are drawn on it.
    void SetPopulation(std::vector<ArmPose> population);

    /// Half the width of the band of angle 1 around the slice whose individuals are drawn, degrees.
    static constexpr int kPopulationBand = 2;

    /// True once the landscape is computed and shown.
    bool Ready() const { return result_.table != nullptr; }
    /// The table's text at (row, column), for tests and readers.
    QString Cell(int row, int column) const;
    /// The slice's angle 1.
    int SliceAngle() const;

signals:
    /// The landscape has been computed and shown.
    void Computed();

private:
    void Show(LandscapeResult result);
    void Repaint();

    Geometry geometry_;
    Neighbourhood inUse_;
    LandscapeResult result_;
    std::vector<ArmPose> population_;
    QFutureWatcher<LandscapeResult> watcher_;
    QTableWidget* table_ = nullptr;
    QLabel* explanation_ = nullptr;
    QLabel* picture_ = nullptr;
    QLabel* sliceLabel_ = nullptr;
    QSlider* slider_ = nullptr;
    QProgressBar* progress_ = nullptr;
};

}  // namespace kelvora::ui
