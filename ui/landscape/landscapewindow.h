#pragma once
// The landscape view: for one target, the exact landscape of the operator choice in use beside
// binary, gray and creep:4, and a slice of the pose space with the local optima, their basins, the
// optimum and the shown generation's population over it. Computed off the GUI thread; the window
// only copies and paints.

#include <QFutureWatcher>
#include <QImage>
#include <QPromise>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "analysis/landscape.h"
#include "common/generationremaker.h"
#include "ga/algorithm.h"
#include "ga/run.h"
#include "io/trace_step.h"
#include "landscape/landscapemap.h"
#include "model/types.h"

class QCheckBox;
class QPushButton;
class QLabel;
class QProgressBar;
class QSlider;
class QSpinBox;
class QTableWidget;

namespace kelvora::ui {

/// The neighbourhood a run's mutation walks: creep:S for creep mutation, else one-bit flips of
/// the genotype, gray or binary as the encoding is.
Neighbourhood NeighbourhoodOf(const Algorithm& algorithm);

/// What the worker hands to the window, by value: the distance table and the choice in use's
/// attractors (shared, never changed), one summary per neighbourhood, the first being the choice
/// in use.
struct LandscapeResult {
    std::shared_ptr<const DistanceTable> table;
    std::shared_ptr<const std::vector<std::uint32_t>> attractors;  ///< by pose index, for rows[0]
    std::vector<LandscapeSummary> rows;
};

/// The stages ComputeLandscape reports: the table, then each neighbourhood.
inline constexpr int kLandscapeStages = 4;

/// Computes the table and the rows for geometry (every core; about 1 to 2 s on two cores), telling
/// progress (if given) each finished stage, 1..kLandscapeStages.
LandscapeResult ComputeLandscape(const Geometry& geometry, const Neighbourhood& inUse,
                                 const std::function<void(int stage)>& progress = {});

class LandscapeWindow : public QWidget {
    Q_OBJECT
public:
    /// Starts computing the landscape of geometry's target for the choice in use at once.
    LandscapeWindow(const Geometry& geometry, const Algorithm& algorithm, QWidget* parent = nullptr);
    ~LandscapeWindow() override;

    /// The individuals of generation (1..) of a run on geometry (angles 0..255); those whose angle
    /// 1 lies within the band of the slice's are drawn on it. A run on another target draws none.
    void SetPopulation(std::vector<ArmPose> population, int generation, const Geometry& geometry);

    /// The run whose shown generation is drawn: setup as it ran, generations it finished (1..).
    void SetRun(const RunSetup& setup, int generations);
    /// No run to draw (an opened file that no run.json describes): the population goes.
    void ForgetRun();
    /// Makes generation (clamped to 1..the run's) of the run again off the GUI thread, as the
    /// microscope does, and draws its population when done; a newer request stops the one under way.
    void ShowGeneration(int generation);

    /// Half the width of the band of angle 1 around the slice whose individuals are drawn, degrees.
    static constexpr int kDefaultPopulationBand = 8;

    /// True once the landscape is computed and shown.
    bool Ready() const { return result_.table != nullptr; }
    /// The table's text at (row, column), for tests and readers.
    QString Cell(int row, int column) const;
    /// The slice's angle 1, and sets it (0..255).
    int SliceAngle() const;
    void SetSliceAngle(int angle1);
    /// The band's half width, degrees 0..128.
    void SetBand(int band);
    /// Individuals drawn on the slice, of those of the shown generation.
    int DrawnIndividuals() const { return drawn_; }
    int ShownGeneration() const { return generation_; }
    /// The shown generation's individuals, as decoded.
    const std::vector<ArmPose>& Population() const { return population_; }
    /// The caption under the slice and the hover line.
    QString PopulationCaption() const;
    QString HoverText() const;
    /// The pointer over the slice's cell (angle 2, angle 3), or off it (nullopt): its basin lit.
    void HoverCell(std::optional<QPoint> cell);

    /// The landscape map over the main window's plot: read from a landscape-map CSV off the GUI
    /// thread (only a regular file), or computed coarsely (every kCoarseMapStep px, the choice in
    /// use) off it with progress. Once there, the overlay box shows it (MapOverlayChanged).
    void LoadMap(const QString& path);
    void ComputeCoarseMap();
    static constexpr int kCoarseMapStep = 50;
    /// The map's targets (0: none yet), its spacing, and whether the main plot shows it.
    int MapTargets() const { return static_cast<int>(map_.size()); }
    int MapStep() const { return mapStep_; }
    bool MapShown() const;
    void SetMapShown(bool shown);
    QString MapNote() const;

signals:
    /// The landscape has been computed and shown.
    void Computed();
    /// The overlay for the main plot: the map's picture (LandscapeMapOverlay), or a null image
    /// when it is not to be shown.
    void MapOverlayChanged(const QImage& overlay);
    /// A map has been read or computed (or refused: MapTargets() is 0 then).
    void MapReady();
    /// A generation's population is drawn.
    void PopulationShown(int generation);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Show(LandscapeResult result);
    void Repaint();
    struct MapLoad {
        std::vector<LandscapeMapCell> cells;
        QString error;   ///< why it was refused, or ""
        QString source;  ///< the file's name, or "" for a computed map
    };
    void TakeMap(MapLoad load);
    void StartMapWork(std::function<MapLoad(QPromise<MapLoad>&)> work);
    void OnTraced(GenerationStep made);

    Geometry geometry_;
    Neighbourhood inUse_;
    LandscapeResult result_;
    std::vector<ArmPose> population_;
    int generation_ = 0;          ///< the generation population_ is of, 0: none
    bool otherTarget_ = false;    ///< the shown run's target is not this landscape's
    int drawn_ = 0;
    std::optional<QPoint> hover_;
    std::optional<RunSetup> setup_;
    int generations_ = 0;
    GenerationRemaker remaker_;
    QFutureWatcher<LandscapeResult> watcher_;
    QTableWidget* table_ = nullptr;
    QLabel* explanation_ = nullptr;
    QLabel* picture_ = nullptr;
    QLabel* sliceLabel_ = nullptr;
    QLabel* caption_ = nullptr;
    QLabel* hoverLine_ = nullptr;
    QSlider* slider_ = nullptr;
    QSpinBox* band_ = nullptr;
    QCheckBox* outlines_ = nullptr;
    QProgressBar* progress_ = nullptr;
    std::vector<LandscapeMapCell> map_;
    int mapStep_ = 0;
    QString mapSource_;
    std::unique_ptr<QFutureWatcher<MapLoad>> mapWork_;
    std::shared_ptr<std::atomic<bool>> mapStop_;
    QCheckBox* overlay_ = nullptr;
    QPushButton* openMap_ = nullptr;
    QPushButton* coarseMap_ = nullptr;
    QProgressBar* mapProgress_ = nullptr;
    QLabel* mapNote_ = nullptr;
};

}  // namespace kelvora::ui
