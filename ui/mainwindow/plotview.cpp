#include "mainwindow/plotview.h"

#include <QPainter>
#include <QWidget>

#include "mainwindow/groundtruthoverlay.h"
#include "mainwindow/plotpainter.h"
#include "common/resource.h"
#include "common/resourceloader.h"
#include "mainwindow/solverstate.h"

namespace kelvora::ui {

PlotView::PlotView(QWidget* window, const SolverState& state, GroundTruthOverlay& overlay)
    : m_window(window), m_state(state), m_overlay(overlay) {}

void PlotView::Open() {
    m_bPointerInPlot = 0;
    m_rcPlot = kPlotRect;
}

bool PlotView::IsInsidePlot(QPoint point) const {
    const int right = m_rcPlot.left() + m_rcPlot.width();   // 500, one past the last column
    const int bottom = m_rcPlot.top() + m_rcPlot.height();  // 420, one past the last row
    return m_rcPlot.left() < point.x() && point.x() < right && m_rcPlot.top() < point.y() && point.y() < bottom;
}

QPoint PlotView::PlotCentre() const {
    const int right = m_rcPlot.left() + m_rcPlot.width();
    const int bottom = m_rcPlot.top() + m_rcPlot.height();
    return QPoint((m_rcPlot.left() + right) / 2, (m_rcPlot.top() + bottom) / 2);  // (300, 220)
}

void PlotView::OnPaint(const PopulationCloud* cloud) const {
    QPainter painter(m_window);
    PlotScene scene;
    scene.plot = m_rcPlot;
    scene.base = QPoint(m_state.baseX, m_state.baseY);
    scene.currentPose = m_state.currentPose;
    scene.elitePose = m_state.elitePose;
    scene.target = QPoint(m_state.targetX, m_state.targetY);
    scene.cloud = cloud;
    // The bitmap is loaded for this paint and released with it; nothing is kept between paints.
    PaintPlot(painter, scene, LoadBitmapResource(IDB_BASE_MARK), m_overlay.Overlays(scene.base, scene.target));
}

bool PlotView::OnMouseMove(QPoint point) {
    m_bPointerInPlot = IsInsidePlot(point) ? 1 : 0;
    SetPlotCursor();
    return m_bPointerInPlot != 0;
}

void PlotView::SetPlotCursor() {
    m_hCursor = LoadCursorResource(m_bPointerInPlot ? IDC_PICK_CURSOR : 0);
    m_window->setCursor(m_hCursor);
}

}  // namespace kelvora::ui
