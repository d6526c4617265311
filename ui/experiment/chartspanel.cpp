#include "experiment/chartspanel.h"

#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "common/filedialog.h"
#include "common/messagebox.h"
#include "experiment/experimentplots.h"
#include "experiment/experimentwindow.h"

namespace kelvora::ui {

void Fade(QWidget* widget, bool faded) {
    if (!faded) {
        widget->setGraphicsEffect(nullptr);
        return;
    }
    auto* effect = new QGraphicsOpacityEffect(widget);
    effect->setOpacity(0.4);
    widget->setGraphicsEffect(effect);
}

ChartsPanel::ChartsPanel(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* plotRow = new QHBoxLayout;
    auto* xAxis = new QComboBox(this);
    xAxis->addItems({ExperimentWindow::tr("世代"), ExperimentWindow::tr("評価回数")});
    auto* logX = new QCheckBox(ExperimentWindow::tr("対数軸"), this);
    auto* target = new QComboBox(this);
    target->addItems({ExperimentWindow::tr("誤差 ε 以内"), ExperimentWindow::tr("最適解")});
    // Two short rows rather than one long one: the window stays narrow enough to open beside the
    // main window on a common screen.
    auto* targetRow = new QHBoxLayout;
    plotRow->addWidget(new QLabel(ExperimentWindow::tr("横軸"), this));
    plotRow->addWidget(xAxis);
    plotRow->addWidget(logX);
    plotRow->addStretch(1);
    targetRow->addWidget(new QLabel(ExperimentWindow::tr("到達の基準"), this));
    targetRow->addWidget(target);
    targetRow->addStretch(1);
    m_plots = new ExperimentPlots(this);
    m_statistics = new StatisticsPanel(m_plots);
    m_plots->addTab(m_statistics, ExperimentWindow::tr("統計"));
    m_response = new ResponsePanel(m_plots);
    m_plots->addTab(m_response, ExperimentWindow::tr("応答"));
    layout->addLayout(plotRow);
    layout->addLayout(targetRow);
    m_hint = new QLabel(ExperimentWindow::tr("「追加」で主画面の設定を行に加え、「実行」を押してください。"), this);
    m_hint->setObjectName(QStringLiteral("EmptyHint"));
    m_hint->setWordWrap(true);
    layout->addWidget(m_hint);
    m_staleNote = new QLabel(ExperimentWindow::tr("表示中の結果は変更前の表のものです。「実行」で更新します。"), this);
    m_staleNote->setObjectName(QStringLiteral("StaleNote"));
    m_staleNote->setWordWrap(true);
    m_staleNote->setStyleSheet(QStringLiteral("color: #8a5a00"));
    m_staleNote->hide();
    layout->addWidget(m_staleNote);
    layout->addWidget(m_plots, 1);
    connect(xAxis, &QComboBox::currentIndexChanged, m_plots, [this](int i) { m_plots->setEvaluations(i == 1); });
    connect(logX, &QCheckBox::toggled, m_plots, &ExperimentPlots::setLogarithmic);
    connect(target, &QComboBox::currentIndexChanged, m_plots, [this](int i) { m_plots->setOptimumTarget(i == 1); });
}

void ChartsPanel::showRuns(std::vector<PlotGroup> groups, double epsilon, StatisticsPanel::Gathered statistics,
                           const std::vector<std::vector<kelvora::SweepResult>>& results, const QString& varied,
                           QString caption) {
    if (!varied.isEmpty())
        if (const int at = m_response->parameter()->findData(varied); at >= 0) m_response->parameter()->setCurrentIndex(at);
    m_hint->setVisible(results.empty());
    m_plots->setGroups(std::move(groups), epsilon);
    m_statistics->setRuns(std::move(statistics));
    std::vector<const kelvora::SweepResult*> runs;
    for (const auto& list : results)
        for (const kelvora::SweepResult& r : list) runs.push_back(&r);
    m_caption = std::move(caption);
    m_response->setRuns(std::move(runs));
}

void ChartsPanel::setStale(bool stale) {
    m_staleNote->setVisible(stale);
    Fade(m_plots, stale);
}

void ChartsPanel::savePlot(bool svg) {
    auto* view = m_plots->currentWidget() == m_response ? m_response->view() : qobject_cast<QChartView*>(m_plots->currentWidget());
    const bool diagram = m_plots->currentWidget() == m_statistics && m_statistics->criticalDifference();
    if (!view && !diagram) return;
    const QString path = GetSaveFileName(
        this, svg ? ExperimentWindow::tr("SVG として保存") : ExperimentWindow::tr("PNG として保存"),
        svg ? QStringLiteral("experiment.svg") : QStringLiteral("experiment.png"),
        svg ? ExperimentWindow::tr("SVG 画像 (*.svg)") : ExperimentWindow::tr("PNG 画像 (*.png)"));
    if (path.isEmpty()) return;
    const QByteArray name = QFile::encodeName(path);
    if (const QString reason = diagram ? SaveCriticalDifference(name, *m_statistics->criticalDifference())
                                       : ExperimentPlots::save(view, name, m_caption);
        !reason.isEmpty())
        ShowMessageBox(this, QMessageBox::Warning,
                       ExperimentWindow::tr("グラフを \"%1\" に保存できませんでした。").arg(path) + QLatin1Char('\n') + reason);
}

}  // namespace kelvora::ui
