#include "mainwindow/plotview.h"

#include <QPainter>
#include <QWidget>

#include "mainwindow/groundtruthoverlay.h"
#include "mainwindow/plotpainter.h"
#include "common/resource.h"
#include "common/resourceloader.h"
#include "common/solverstate.h"

namespace kelvora::ui {

PlotView::PlotView(QWidget* window, const SolverState& state, GroundTruthOverlay& overlay)
    : m_window(window), m_state(state), m_overlay(overlay) {}

void PlotView::open() {
    m_pointerInPlot = 0;
    m_plotRect = kPlotRect;
}

bool PlotView::isInsidePlot(QPoint point) const {
    const int right = m_plotRect.left() + m_plotRect.width();   // 500, one past the last column
    const int bottom = m_plotRect.top() + m_plotRect.height();  // 420, one past the last row
    return m_plotRect.left() < point.x() && point.x() < right && m_plotRect.top() < point.y() && point.y() < bottom;
}

QPoint PlotView::plotCentre() const {
    const int right = m_plotRect.left() + m_plotRect.width();
    const int bottom = m_plotRect.top() + m_plotRect.height();
    return QPoint((m_plotRect.left() + right) / 2, (m_plotRect.top() + bottom) / 2);  // (300, 220)
}

void PlotView::OnPaint(const PopulationCloud* cloud) const {
    QPainter painter(m_window);
    painter.translate(m_origin);
    PlotScene scene;
    scene.plot = m_plotRect;
    scene.base = QPoint(m_state.baseX, m_state.baseY);
    scene.currentPose = m_state.currentPose;
    scene.elitePose = m_state.elitePose;
    scene.target = QPoint(m_state.targetX, m_state.targetY);
    scene.cloud = cloud;
    // The bitmap is loaded for this paint and released with it; nothing is kept between paints.
    PaintPlot(painter, scene, LoadBitmapResource(IDB_BASE_MARK), m_overlay.overlays(scene.base, scene.target));
}

bool PlotView::OnMouseMove(QPoint point) {
    m_pointerInPlot = isInsidePlot(point) ? 1 : 0;
    setPlotCursor();
    return m_pointerInPlot != 0;
}

void PlotView::setPlotCursor() {
    m_cursor = LoadCursorResource(m_pointerInPlot ? IDC_PICK_CURSOR : 0);
    m_window->setCursor(m_cursor);
}

}  // namespace kelvora::ui
