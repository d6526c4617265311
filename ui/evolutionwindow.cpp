#include "evolutionwindow.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QMenuBar>
#include <QPainter>
#include <QSvgGenerator>
#include <QVBoxLayout>

#include "fitnesschart.h"
#include "messagebox.h"
#include "settings.h"
#include "windowplacement.h"

namespace kelvora::ui {

namespace {

constexpr char kGeometryKey[] = "evolution/geometry";
constexpr char kMovedKey[] = "evolution/moved";  // the person has moved it since it was first placed

QString Px(double distance) { return QString::number(distance, 'f', 4); }

}  // namespace

EvolutionWindow::EvolutionWindow(QWidget* parent) : QMainWindow(parent, Qt::Window) {
    setObjectName(QStringLiteral("EvolutionWindow"));
    setWindowTitle(tr("Kelvora — 進化"));
    setAttribute(Qt::WA_DeleteOnClose, false);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    m_chart = new FitnessChart(central);
    m_chart->setObjectName(QStringLiteral("FitnessChart"));
    m_chart->setMinimumSize(480, 280);
    layout->addWidget(m_chart, 1);
    m_scrubberSlot = new QVBoxLayout;
    m_scrubberSlot->setObjectName(QStringLiteral("ScrubberSlot"));
    layout->addLayout(m_scrubberSlot);
    auto* row = new QHBoxLayout;
    m_distanceBox = new QCheckBox(tr("エリート解の誤差 (px, 対数軸)"), central);
    m_readout = new QLabel(central);
    m_readout->setObjectName(QStringLiteral("Readout"));
    m_readout->setTextFormat(Qt::PlainText);
    m_readout->setTextInteractionFlags(Qt::TextSelectableByMouse);
    row->addWidget(m_readout, 1);
    row->addWidget(m_distanceBox, 0, Qt::AlignTop);
    layout->addLayout(row);
    setCentralWidget(central);

    QMenu* file = menuBar()->addMenu(tr("ファイル(&F)"));
    QAction* png = file->addAction(tr("PNG として保存(&P)..."));
    connect(png, &QAction::triggered, this, [this] { exportWithDialog(false); });
    QAction* svg = file->addAction(tr("SVG として保存(&S)..."));
    connect(svg, &QAction::triggered, this, [this] { exportWithDialog(true); });
    file->addSeparator();
    QAction* close = file->addAction(tr("閉じる(&C)"));
    close->setShortcut(QKeySequence::Close);
    connect(close, &QAction::triggered, this, &QWidget::close);
    QMenu* view = menuBar()->addMenu(tr("表示(&V)"));
    m_distanceAction = view->addAction(tr("エリート解の誤差を対数軸で表示(&D)"));
    m_distanceAction->setCheckable(true);
    connect(m_distanceAction, &QAction::toggled, m_distanceBox, &QCheckBox::setChecked);
    connect(m_distanceBox, &QCheckBox::toggled, m_distanceAction, &QAction::setChecked);
    connect(m_distanceAction, &QAction::toggled, m_chart, &FitnessChart::setShowDistance);

    resize(720, 480);
    // Where the person moved it, else beside the main window (its parent). A geometry kept before
    // the moved mark existed was the person's.
    const QSettings settings = AppSettings();
    m_remembered = RestoreOrPlaceBeside(this, parentWidget(), settings.value(QLatin1String(kGeometryKey)).toByteArray(),
                                        settings.value(QLatin1String(kMovedKey), true).toBool());
    m_placedAt = pos();
    updateReadout();
}

EvolutionWindow::~EvolutionWindow() = default;

void EvolutionWindow::beginRun(int limit, QPoint base, QPoint target, const QString& algorithm) {
    m_algorithm = algorithm;
    m_base = base;
    m_target = target;
    m_running = true;
    m_eliteDistance = -1.0;
    m_chart->setGenerationLimit(limit);
    m_chart->setHistory({});
    findOptimum();
    updateReadout();
}

void EvolutionWindow::appendRows(int firstRow, const QList<kelvora::GenerationStat>& rows, double eliteDistance) {
    m_chart->appendRows(firstRow, rows);
    if (!m_chart->history().isEmpty()) m_eliteDistance = eliteDistance;
    updateReadout();
}

void EvolutionWindow::finishRun(const QList<kelvora::GenerationStat>& rows, double eliteDistance) {
    m_running = false;
    setHistory(rows, eliteDistance);
}

void EvolutionWindow::setHistory(const QList<kelvora::GenerationStat>& rows, double eliteDistance) {
    m_chart->setHistory(rows);
    m_eliteDistance = rows.isEmpty() ? -1.0 : eliteDistance;
    updateReadout();
}

void EvolutionWindow::findOptimum() {
    if (!m_optimum || m_optimumBase != m_base || m_optimumTarget != m_target) {
        // The exact search takes well under a millisecond (solver/optimum.h): done here, at once.
        m_optimum = kelvora::FindOptimum(m_base.x(), m_base.y(), m_target.x(), m_target.y());
        m_optimumBase = m_base;
        m_optimumTarget = m_target;
        updateReadout();
        emit optimumFound();
    }
    m_chart->setOptimumFitness(m_optimum->fitness);
}

int EvolutionWindow::firstGenerationAtOptimum() const {
    if (!m_optimum) return 0;
    const QList<kelvora::GenerationStat>& rows = m_chart->history();
    for (int g = 0; g < rows.size(); ++g)
        if (rows[g].best >= m_optimum->fitness) return g + 1;
    return 0;
}

QString EvolutionWindow::readoutText() const { return m_readout->text(); }

void EvolutionWindow::updateReadout() {
    QStringList lines;
    if (m_optimum) {
        const kelvora::ArmPose& p = m_optimum->pose;
        lines << tr("最適解: (%1, %2, %3)  誤差 %4 px").arg(p.a1).arg(p.a2).arg(p.a3).arg(Px(m_optimum->distance));
    } else {
        lines << tr("最適解: 探索中...");
    }
    if (m_eliteDistance < 0.0) {
        lines << tr("エリート解: まだありません");
    } else {
        QString elite = tr("エリート解: 誤差 %1 px").arg(Px(m_eliteDistance));
        if (m_optimum) elite += tr("  (最適解との差 %1 px)").arg(Px(m_eliteDistance - m_optimum->distance));
        lines << elite;
        if (m_optimum) {
            const int first = firstGenerationAtOptimum();
            lines << (first > 0 ? tr("最適解に到達: 第 %1 世代").arg(first)
                                : m_running ? tr("最適解にはまだ到達していません") : tr("最適解には到達しませんでした"));
        }
    }
    if (!m_algorithm.isEmpty()) lines << m_algorithm;
    m_readout->setText(lines.join(QLatin1Char('\n')));
}

bool EvolutionWindow::exportPng(const QString& path) {
    const QImage image = m_chart->grab().toImage();
    if (image.save(path, "PNG")) return true;
    ShowMessageBox(this, QMessageBox::Warning, tr("グラフを \"%1\" に保存できませんでした。").arg(path));
    return false;
}

bool EvolutionWindow::exportSvg(const QString& path) {
    QSvgGenerator generator;
    generator.setFileName(path);
    generator.setSize(m_chart->size());
    generator.setViewBox(QRect(QPoint(0, 0), m_chart->size()));
    generator.setTitle(windowTitle());
    QPainter painter;
    bool ok = painter.begin(&generator);
    if (ok) {
        m_chart->render(&painter);
        ok = painter.end();
    }
    if (ok && QFileInfo(path).size() > 0) return true;
    ShowMessageBox(this, QMessageBox::Warning, tr("グラフを \"%1\" に保存できませんでした。").arg(path));
    return false;
}

void EvolutionWindow::exportWithDialog(bool svg) {
    const QString path = QFileDialog::getSaveFileName(
        this, svg ? tr("SVG として保存") : tr("PNG として保存"),
        svg ? QStringLiteral("fitness.svg") : QStringLiteral("fitness.png"),
        svg ? tr("SVG 画像 (*.svg)") : tr("PNG 画像 (*.png)"));
    if (path.isEmpty()) return;
    if (svg) exportSvg(path);
    else exportPng(path);
}

void EvolutionWindow::saveGeometry() {
    // A window still where it was first placed has no place of its own yet: the next start puts it
    // beside the main window again, wherever that is then (with the size it had).
    m_remembered = m_remembered || pos() != m_placedAt;
    QSettings settings = AppSettings();
    settings.setValue(QLatin1String(kGeometryKey), QMainWindow::saveGeometry());
    settings.setValue(QLatin1String(kMovedKey), m_remembered);
}

void EvolutionWindow::closeEvent(QCloseEvent* event) {
    saveGeometry();
    QMainWindow::closeEvent(event);
}

void EvolutionWindow::hideEvent(QHideEvent* event) {
    saveGeometry();
    QMainWindow::hideEvent(event);
}

}  // namespace kelvora::ui
