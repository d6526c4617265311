#pragma once
// The main window's plot: painting it from what the window shows (SolverState) and hit-testing the
// pointer against it. The plot has no widget of its own; it paints on the window and the window
// hands it the pointer.

#include <QCursor>
#include <QPoint>
#include <QRect>

class QWidget;

namespace kelvora::ui {

struct SolverState;
struct PopulationCloud;
class GroundTruthOverlay;

class PlotView {
public:
    /// The plot on window, painted from state with overlay's layers; all three outlive the view.
    PlotView(QWidget* window, const SolverState& state, GroundTruthOverlay& overlay);

    /// The plot in client pixels, (100, 20)-(500, 420): Qt's right()
    /// and bottom() are the last pixel, 499 and 419.
    static constexpr QRect kPlotRect{100, 20, 400, 400};

    /// The window has opened: the plot at kPlotRect, the pointer taken as outside it.
    void open();

    /// Strictly inside the plot: left < x < right and top < y < bottom, with right and bottom one
    /// past the plot's last column and row. The frame's left column and top row are outside.
    bool isInsidePlot(QPoint point) const;
    /// Centre of the plot in client pixels, (left + right) / 2 and (top + bottom) / 2: (300, 220).
    QPoint plotCentre() const;

    /// Paints the plot on the window from the state; cloud (the shown generation's population) is
    /// drawn under the arms when not null.
    void OnPaint(const PopulationCloud* cloud) const;
    /// Where the client area's (0, 0) lies in the window (px): below the window's menu bar.
    void setOrigin(QPoint origin) { m_origin = origin; }

    /// Pointer move to client pixel point: sets the cursor the plot calls for (pick cursor inside,
    /// arrow elsewhere). Returns true when point is inside the plot.
    bool OnMouseMove(QPoint point);
    /// Makes the cursor that the pointer's last position calls for the window's, and keeps it.
    void setPlotCursor();

    /// The cursor the pointer handler last set (the window's cursor when no run shows the busy one).
    const QCursor& cursor() const { return m_cursor; }

private:
    // Read by the tests through PlotViewTestAccess (defined in tests/ui/uitestsupport.h).
    friend struct PlotViewTestAccess;

    QWidget* m_window;
    QPoint m_origin;  ///< the client area's top left in the window, px
    const SolverState& m_state;
    GroundTruthOverlay& m_overlay;
    int m_pointerInPlot = 0;  ///< 1 while the pointer was last strictly inside the plot
    QCursor m_cursor;
    QRect m_plotRect;  ///< kPlotRect once the window is open
};

}  // namespace kelvora::ui
