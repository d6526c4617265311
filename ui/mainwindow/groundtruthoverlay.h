#pragma once
// The ground truth in the window: the menu entries that show the unreachable targets and the
// optimum arm in the plot (both remembered between sessions), the layers they paint, and after a
// run the error field's tooltip telling which distance the field shows and how far the best of the
// run so far is from the optimum.

#include <cstddef>
#include <vector>

#include <QImage>
#include <QObject>
#include <QPoint>

#include "analysis/optimum.h"
#include "mainwindow/plotpainter.h"

class QAction;
class QMenu;

namespace kelvora {
struct ReachMap;
}  // namespace kelvora

namespace kelvora::ui {

struct SolverState;

class GroundTruthOverlay : public QObject {
    Q_OBJECT

public:
    /// Settings keys of the two entries (in AppSettings).
    static constexpr const char* kShowUnreachableKey = "plot/showUnreachable";
    static constexpr const char* kShowOptimumKey = "plot/showOptimum";
    static constexpr const char* kShowFamilyKey = "plot/showFamily";
    /// Targets whose optimum lies farther than this, in pixels, are washed grey; the family shown
    /// is the poses within it.
    static constexpr double kReachLimit = 0.5;
    /// At most this many poses of the family are drawn.
    static constexpr std::size_t kFamilyLimit = 4096;

    /// Entries checked as last saved (off the first time). parent owns the overlay.
    explicit GroundTruthOverlay(QObject* parent);

    /// The checkable entries "到達できない領域を表示", "最適解を表示" and the one that shows every
    /// pose within kReachLimit of the target.
    QAction* unreachableAction() const { return m_unreachable; }
    QAction* optimumAction() const { return m_optimum; }
    QAction* familyAction() const { return m_family; }
    /// Appends a separator and the entries to menu.
    void addToMenu(QMenu* menu);

    /// The layers the checked entries ask for, for an arm on base and a target, in client pixels.
    /// The wash is left out until the reach map is ready (changed() follows then).
    PlotOverlays overlays(QPoint base, QPoint target);

    /// The landscape map to draw over the plot (its top-left the target (-199, +199) from the base),
    /// or a null image for none; changed() follows.
    void setLandscapeMap(const QImage& map);

    /// After a run on state: sets field's tooltip to what the field shows (the last generation's
    /// best), the optimum for the state's target and its distance, and the run's best so far, its
    /// distance and its gap to the optimum or that it reached the optimum.
    void showRunGap(QWidget* field, const SolverState& state);

    /// The tooltip text for an optimum, the distance in px of the run's best so far and its
    /// fitness, and the distance in px of the last generation's best (the field's).
    static QString gapText(const kelvora::Optimum& optimum, double eliteDistance, double eliteFitness,
                           double fieldDistance);
    /// Translucent grey where map's distance exceeds kReachLimit, clear elsewhere: one pixel per
    /// target, the top-left one at offset (-kMaxTargetOffset, +kMaxTargetOffset) from the base.
    static QImage unreachableWash(const kelvora::ReachMap& map);

signals:
    /// What the overlays paint has changed: an entry was toggled, or the reach map became ready.
    void changed();

private:
    void save(const char* key, bool on);
    void requestMap();

    QAction* m_unreachable = nullptr;
    QAction* m_optimum = nullptr;
    QAction* m_family = nullptr;
    QPoint m_familyBase, m_familyTarget;   ///< what m_familyPoses was found for
    std::vector<kelvora::ArmPose> m_familyPoses;
    bool m_familyFound = false;
    bool m_mapAsked = false;        ///< the reach map is being computed for this overlay
    QImage m_wash;                  ///< built once the map is ready
    QImage m_landscapeMap;          ///< the landscape window's map, or null
};

}  // namespace kelvora::ui
