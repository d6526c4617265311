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
/// progress (if given) each finished stage, 1..kLandscapeStages; progress returning false stops
/// the work there, and the result is then empty (no table).
LandscapeResult ComputeLandscape(const Geometry& geometry, const Neighbourhood& inUse,
                                 const std::function<bool(int stage)>& progress = {});

/// The slice's picture: its pixels exactly at full size (kSliceWidth x kSliceSide), scaled down
/// to fit, aspect kept, from the top left, where the window has less room.
class SliceView : public QWidget {
public:
    explicit SliceView(QWidget* parent = nullptr);
    void setImage(const QImage& image);
    /// Drawn pixels per picture pixel: 1 at full size, less where scaled down (> 0).
    double scale() const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Read by the tests through SliceViewTestAccess (defined in tests/ui/tst_landscape.cpp).
    friend struct SliceViewTestAccess;

    QImage m_image;
};

class LandscapeWindow : public QWidget {
    Q_OBJECT
public:
    /// Starts computing the landscape of geometry's target for the choice in use at once.
    LandscapeWindow(const Geometry& geometry, const Algorithm& algorithm, QWidget* parent = nullptr);
    ~LandscapeWindow() override;

    /// The individuals of generation (1..) of a run on geometry (angles 0..255); those whose angle
    /// 1 lies within the band of the slice's are drawn on it. A run on another target draws none.
    void setPopulation(std::vector<ArmPose> population, int generation, const Geometry& geometry);

    /// The run whose shown generation is drawn: setup as it ran, generations it finished (1..).
    void setRun(const RunSetup& setup, int generations);
    /// No run to draw (an opened file that no run.json describes): the population goes.
    void forgetRun();
    /// Makes generation (clamped to 1..the run's) of the run again off the GUI thread, as the
    /// microscope does, and draws its population when done; a newer request stops the one under way.
    void showGeneration(int generation);

    /// Half the width of the band of angle 1 around the slice whose individuals are drawn, degrees.
    static constexpr int kDefaultPopulationBand = 8;

    /// The landscape map over the main window's plot: read from a landscape-map CSV off the GUI
    /// thread (only a regular file), or computed coarsely (every kCoarseMapStep px, the choice in
    /// use) off it with progress. Once there, the overlay box shows it (MapOverlayChanged).
    void loadMap(const QString& path);
    void computeCoarseMap();
    static constexpr int kCoarseMapStep = 50;

signals:
    /// The landscape has been computed and shown.
    void computed();
    /// The overlay for the main plot: the map's picture (LandscapeMapOverlay), or a null image
    /// when it is not to be shown.
    void mapOverlayChanged(const QImage& overlay);
    /// A map has been read or computed (or refused: mapTargets() is 0 then).
    void mapReady();
    /// A generation's population is drawn.
    void populationShown(int generation);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    /// Room for the slice at full size: the size the window opens with where the screen has it.
    QSize sizeHint() const override;

private:
    void showResult(LandscapeResult result);
    /// The table as high as its header, its rows and, when it scrolls sideways, its scroll bar.
    void fitTableHeight();
    void redraw();
    struct MapLoad {
        std::vector<LandscapeMapCell> cells;
        QString error;   ///< why it was refused, or ""
        QString source;  ///< the file's name, or "" for a computed map
    };
    void takeMap(MapLoad load);
    void startMapWork(std::function<MapLoad(QPromise<MapLoad>&)> work);
    void onTraced(GenerationStep made);

    Geometry m_geometry;
    Neighbourhood m_inUse;
    LandscapeResult m_result;
    std::vector<ArmPose> m_population;
    int m_generation = 0;          ///< the generation m_population is of, 0: none
    bool m_otherTarget = false;    ///< the shown run's target is not this landscape's
    int m_drawn = 0;
    std::optional<QPoint> m_hover;
    std::optional<RunSetup> m_setup;
    int m_generations = 0;
    GenerationRemaker m_remaker;
    QTableWidget* m_table = nullptr;
    QLabel* m_explanation = nullptr;
    SliceView* m_picture = nullptr;
    QLabel* m_sliceLabel = nullptr;
    QLabel* m_caption = nullptr;
    QLabel* m_hoverLine = nullptr;
    QSlider* m_slider = nullptr;
    QSpinBox* m_band = nullptr;
    QCheckBox* m_outlines = nullptr;
    QProgressBar* m_progress = nullptr;
    std::vector<LandscapeMapCell> m_map;
    int m_mapStep = 0;
    QString m_mapSource;
    QFutureWatcher<MapLoad>* m_mapWork = nullptr;  ///< the map being loaded or computed, one at a time
    std::shared_ptr<std::atomic<bool>> m_mapStop;
    QCheckBox* m_overlay = nullptr;
    QPushButton* m_openMap = nullptr;
    QPushButton* m_coarseMap = nullptr;
    QProgressBar* m_mapProgress = nullptr;
    QLabel* m_mapNote = nullptr;

private:
    // Read and driven by the tests through LandscapeWindowTestAccess (defined in tests/ui/tst_landscape.cpp).
    friend struct LandscapeWindowTestAccess;
    /// True once the landscape is computed and shown.
    bool isReady() const { return m_result.table != nullptr; }
    /// The table's text at (row, column), for tests and readers.
    QString cellText(int row, int column) const;
    /// The slice's angle 1, and sets it (0..255).
    int sliceAngle() const;
    void setSliceAngle(int angle1);
    /// The band's half width, degrees 0..128.
    void setBand(int band);
    /// Individuals drawn on the slice, of those of the shown generation.
    int drawnIndividuals() const { return m_drawn; }
    int shownGeneration() const { return m_generation; }
    /// The shown generation's individuals, as decoded.
    const std::vector<ArmPose>& population() const { return m_population; }
    /// The caption under the slice and the hover line.
    QString populationCaption() const;
    QString hoverText() const;
    /// The pointer over the slice's cell (angle 2, angle 3), or off it (nullopt): its basin lit.
    void hoverCell(std::optional<QPoint> cell);
    /// The map's targets (0: none yet), its spacing, and whether the main plot shows it.
    int mapTargets() const { return static_cast<int>(m_map.size()); }
    int mapStep() const { return m_mapStep; }
    bool isMapShown() const;
    void setMapShown(bool shown);
    QString mapNote() const;
};

}  // namespace kelvora::ui
