#pragma once
// Helpers shared by the window's Qt tests: a dialog whose protected state the tests can read and
// which counts its paints, a temporary current directory for runs, result-file line counts, and
// pointer moves that always reach the dialog.

#include <functional>
#include <memory>

#include <QCursor>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QtTest>

#include "common/messagebox.h"
#include "mainwindow/parameterpanel.h"
#include "mainwindow/plotpainter.h"
#include "common/resource.h"
#include "common/resourceloader.h"
#include "common/settings.h"
#include "evolution/diversitychart.h"
#include "evolution/evolutionwindow.h"
#include "evolution/fitnesschart.h"
#include "mainwindow/solverdlg.h"

using namespace kelvora::ui;

/// What the tests may set on the window: the pace of its run's worker and its clock; and what they
/// read: its views once opened (else nullptr), and where the client area's (0, 0) lies in it.
struct kelvora::ui::SolverDlgTestAccess {
    static void setEveryGeneration(CSolverDlg& dlg, bool every) { dlg.m_everyGeneration = every; }
    static void setClock(CSolverDlg& dlg, std::function<std::int64_t()> clock) { dlg.m_clock = std::move(clock); }
    static EvolutionWindow* evolutionWindow(const CSolverDlg& dlg) { return dlg.m_evolution; }
    static HelpWindow* helpWindow(const CSolverDlg& dlg) { return dlg.m_help; }
    static ExperimentWindow* experimentWindow(const CSolverDlg& dlg) { return dlg.m_experiment; }
    static QPoint clientOrigin(const CSolverDlg& dlg) { return dlg.m_clientOrigin; }
    /// The window's own menu, which a right click on the dialog opens.
    static QMenu* windowMenu(const CSolverDlg& dlg) { return dlg.windowMenu(); }
    static bool isSweepFile(const QString& path) { return CSolverDlg::isSweepFile(path); }
    /// The generation scrubber, in the evolution window's scrubber slot once that window exists.
    static GenerationScrubber* scrubber(const CSolverDlg& dlg) { return dlg.scrubber(); }
};

namespace kelvora::ui {

/// The chart's series, axes and legend as the tests read them.
struct FitnessChartTestAccess {
    static QLineSeries* bestSeries(const FitnessChart& c) { return c.m_best; }
    static QLineSeries* averageSeries(const FitnessChart& c) { return c.m_average; }
    static QLineSeries* distanceSeries(const FitnessChart& c) { return c.m_distance; }
    static QLineSeries* optimumSeries(const FitnessChart& c) { return c.m_showDistance ? c.m_optimumDistance : c.m_optimumFitness; }
    static QLineSeries* earlierOptimumSeries(const FitnessChart& c, int index) { return c.earlierOptimumSeries(index); }
    static QLegendMarker* earlierMarker(const FitnessChart& c, int index) { return c.earlierMarker(index); }
    static QCategoryAxis* generationAxis(const FitnessChart& c) { return c.m_axisX; }
    static QLogValueAxis* distanceAxis(const FitnessChart& c) { return c.m_axisDistance; }
    static int generationLimit(const FitnessChart& c) { return c.m_limit; }
    static int markedGeneration(const FitnessChart& c) { return c.m_marked; }
    static bool showsDistance(const FitnessChart& c) { return c.m_showDistance; }
    static int earlierRunCount(const FitnessChart& c) { return static_cast<int>(c.m_earlier.size()); }
    static QString currentLegendName(const FitnessChart& c) { return c.currentLegendName(); }
    static QLineSeries* earlierSeries(const FitnessChart& c, int index) { return c.earlierSeries(index); }
    static int bucketCount(const FitnessChart& c) { return c.bucketCount(); }
};

struct PlotViewTestAccess {
    /// 1 while the pointer was last strictly inside the plot.
    static int pointerInPlot(const PlotView& plot) { return plot.m_pointerInPlot; }
};

struct DiversityChartTestAccess {
    static QLineSeries* hammingSeries(const DiversityChart& c) { return c.m_series[1]; }
};

/// The evolution view's diversity chart, readout and 表示 actions.
struct EvolutionWindowTestAccess {
    static DiversityChart* diversityChart(const EvolutionWindow& w) { return w.m_diversity; }
    static QAction* diversityAction(const EvolutionWindow& w) { return w.m_diversityAction; }
    static QAction* distanceAction(const EvolutionWindow& w) { return w.m_distanceAction; }
    static QAction* clearComparisonAction(const EvolutionWindow& w) { return w.m_clearComparisonAction; }
    static QString diversityReading(const EvolutionWindow& w) { return w.m_diversityLabel->text(); }
    /// The readout's lines whole (the label shows them cut to its width).
    static QString readoutText(const EvolutionWindow& w) { return w.m_readoutFull; }
    /// The optimum of the current target, once found.
    static std::optional<kelvora::Optimum> optimum(const EvolutionWindow& w) { return w.m_optimum; }
    static int firstGenerationAtOptimum(const EvolutionWindow& w) { return w.firstGenerationAtOptimum(); }
};

}  // namespace kelvora::ui

/// The window's controls as the tests name them: 計算, then its fields in ParameterPanel::Field's order.
inline constexpr int IDOK = 1;
inline constexpr int IDC_POPULATION_SIZE = 1000;
inline constexpr int IDC_GENERATION_LIMIT = 1001;
inline constexpr int IDC_CROSSOVER_RATE = 1002;
inline constexpr int IDC_MUTATION_PROBABILITY = 1003;
inline constexpr int IDC_GENERATION = 1004;
inline constexpr int IDC_ERROR = 1005;
inline constexpr int IDC_TARGET_X = 1006;
inline constexpr int IDC_TARGET_Y = 1007;
inline constexpr int IDC_POINTER_X = 1008;
inline constexpr int IDC_POINTER_Y = 1009;

namespace uitest {

struct Message {
    QMessageBox::Icon icon;
    QString text;
};

/// Message boxes recorded by RecordMessage instead of shown.
inline QList<Message>& Messages() {
    static QList<Message> messages;
    return messages;
}

inline void RecordMessage(QWidget*, QMessageBox::Icon icon, const QString& text) { Messages().append({icon, text}); }

/// The dialog with its protected state readable, counting paints and generation notifications, and
/// calling onProgress after each notification has been shown (the run's progress path). By default
/// the run's worker posts every generation and waits until it has been shown, so that onProgress
/// acts after a known generation; setEveryGeneration(false) for the window's own pace.
class ProbeDlg : public CSolverDlg {
public:
    explicit ProbeDlg(kelvora::ui::SolverState& state) : CSolverDlg(state) { setEveryGeneration(true); }

    using CSolverDlg::isInsidePlot;
    void setEveryGeneration(bool every) { kelvora::ui::SolverDlgTestAccess::setEveryGeneration(*this, every); }
    /// The control the tests name id (IDOK, IDC_*), or nullptr.
    QWidget* Control(int id) const {
        if (id == IDOK) return panel().compute();
        if (id < IDC_POPULATION_SIZE || id > IDC_POINTER_Y) return nullptr;
        return panel().field(ParameterPanel::Field(id - IDC_POPULATION_SIZE));
    }
    /// The entry of the window's menu named name ("CloseAction", "EvolutionAction", "AboutAction").
    QAction* MenuAction(const char* name) const { return findChild<QAction*>(QLatin1String(name)); }
    int pointerInPlot() const { return PlotViewTestAccess::pointerInPlot(plot()); }
    QCursor PlotCursor() const { return plot().cursor(); }
    int ShownGeneration() const { return panel().field(ParameterPanel::Field::generation)->text().toInt(); }
    /// 計算's reading of the four parameters, and their writing back into the fields.
    bool ReadParams() { return panel().readParams().has_value(); }
    void ShowParams() { panel().showParams(panel().params()); }
    /// The last run's target, relative to the base, as the command in the generation field's tooltip
    /// that repeats the run names it.
    QPoint RunTarget() const {
        const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("--target=(-?\\d+),(-?\\d+)"))
                                              .match(panel().field(ParameterPanel::Field::generation)->toolTip());
        return m.hasMatch() ? QPoint(m.captured(1).toInt(), m.captured(2).toInt()) : QPoint(INT_MIN, INT_MIN);
    }

    int paints = 0;
    QList<int> generations;  ///< every notification of every run, in order
    std::function<void(ProbeDlg& dlg, int generation)> onProgress;

protected:
    void paintEvent(QPaintEvent* event) override {
        ++paints;
        CSolverDlg::paintEvent(event);
    }
    void onGenerationProgress(int generation, double error) override {
        generations << generation;
        CSolverDlg::onGenerationProgress(generation, error);
        if (onProgress) onProgress(*this, generation);
    }
};

/// Opens path in dlg and waits (bounded) until its check has ended: whether the file is shown.
inline bool openResults(CSolverDlg& dlg, const QString& path, int timeoutMs = 60000) {
    QSignalSpy opened(&dlg, &CSolverDlg::resultsOpened);
    dlg.openResults(path);
    if (opened.isEmpty() && !opened.wait(timeoutMs)) return false;
    return opened.first().first().toBool();
}

/// Every test program keeps its settings in a directory of its own, made before main() runs, so
/// that programs running at the same time never see each other's check marks (one that shows the
/// population would change another's pixels). A suite may still point them elsewhere with
/// QSettings::setPath.
struct ProcessSettings {
    QTemporaryDir dir;
    ProcessSettings() { QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path()); }
};
inline const ProcessSettings processSettings;

/// Settings in the test location, the evolution window's emptied: the tests never read or write
/// the user's.
inline bool UseScratchSettings() {
    QStandardPaths::setTestModeEnabled(true);
    kelvora::ui::AppSettings().remove(QStringLiteral("evolution"));
    kelvora::ui::AppSettings().remove(QStringLiteral("algorithm"));
    return true;
}

/// The dialog, opened as InitInstance opens it but without its modal loop, on a state of its own.
class Fixture {
public:
    explicit Fixture(bool scratchSettings = true)
        : state(std::make_unique<kelvora::ui::SolverState>()),
          dlg((scratchSettings && UseScratchSettings(), std::make_unique<ProbeDlg>(*state))) {
        dlg->show();
    }
    /// Presses 計算 and, when that started a run, waits (bounded) until the run has ended and
    /// the dialog shows its outcome. false if it did not end in time.
    bool run(int timeoutMs = 300000) const {
        QSignalSpy done(dlg.get(), &CSolverDlg::runFinished);
        compute()->click();
        return !dlg->isRunning() || done.size() > 0 || done.wait(timeoutMs);
    }
    QLineEdit* edit(int id) const { return qobject_cast<QLineEdit*>(dlg->Control(id)); }
    QString text(int id) const { return edit(id) ? edit(id)->text() : QStringLiteral("<no edit %1>").arg(id); }
    void setText(int id, const QString& text) const { edit(id)->setText(text); }
    QPushButton* compute() const { return qobject_cast<QPushButton*>(dlg->Control(IDOK)); }
    /// Waits (bounded) until the window can receive pointer moves and paints.
    bool exposed() const { return QTest::qWaitForWindowExposed(dlg.get()); }

    std::unique_ptr<kelvora::ui::SolverState> state;
    std::unique_ptr<ProbeDlg> dlg;
};

/// Where client point p (the dialog's own pixels, below its menu bar) lies in widget: moved by the
/// menu bar's height when widget is the main window, else p.
inline QPoint At(const QWidget& widget, QPoint p) {
    const auto* dlg = qobject_cast<const CSolverDlg*>(&widget);
    return dlg ? p + SolverDlgTestAccess::clientOrigin(*dlg) : p;
}

/// Moves the pointer to client point p of widget, as the platform does (a move with no button held,
/// delivered only to widgets that track the mouse). The platform sends no move to where the pointer
/// already is, so it first leaves for a point of the dialog that is outside the plot.
inline void MovePointer(QWidget* widget, QPoint p) {
    if (QCursor::pos() == widget->mapToGlobal(At(*widget, p)))
        QTest::mouseMove(widget, At(*widget, p == QPoint(5, 5) ? QPoint(6, 5) : QPoint(5, 5)));
    QTest::mouseMove(widget, At(*widget, p));
}

/// Runs a test in a fresh temporary current directory, where Compute writes its two files.
class TemporaryCurrentDirectory {
public:
    TemporaryCurrentDirectory() : m_previous(QDir::currentPath()) { QDir::setCurrent(m_dir.path()); }
    ~TemporaryCurrentDirectory() { QDir::setCurrent(m_previous); }
    bool isValid() const { return m_dir.isValid(); }

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

inline QByteArray ReadAll(const QString& name) {
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) return QByteArray();
    return file.readAll();
}

/// Lines of a result file; -1 when a line does not end in CR LF (a torn or bare line).
inline int CrLfLines(const QString& name) {
    const QByteArray bytes = ReadAll(name);
    const int lf = static_cast<int>(bytes.count('\n'));
    const int crlf = static_cast<int>(bytes.count("\r\n"));
    if (lf != crlf || (!bytes.isEmpty() && !bytes.endsWith("\r\n"))) return -1;
    return crlf;
}

/// area of the dialog as PaintPlot paints it from the state on the dialog's background.
inline QImage ExpectedPlot(const QWidget& dlg, const kelvora::ui::SolverState& s, QRect area = CSolverDlg::kPlotRect) {
    QImage image(CSolverDlg::clientSize(), QImage::Format_RGB32);
    image.fill(dlg.palette().color(QPalette::Window));
    QPainter painter(&image);
    PaintPlot(painter,
              PlotScene{CSolverDlg::kPlotRect, QPoint(s.baseX, s.baseY), s.currentPose, s.elitePose,
                        QPoint(s.targetX, s.targetY)},
              LoadBitmapResource(IDB_BASE_MARK));
    return image.copy(area);
}

/// area of the dialog's client area (below its menu bar) as it shows now.
inline QImage ShownPlot(QWidget& dlg, QRect area = CSolverDlg::kPlotRect) {
    return dlg.grab().toImage().convertToFormat(QImage::Format_RGB32).copy(area.translated(At(dlg, QPoint())));
}

}  // namespace uitest
