#include "common/background.h"
#include "evolution/evolutionwindow.h"

#include <algorithm>

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QChildEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QLocale>
#include <QMenuBar>
#include <QPainter>
#include <QBuffer>
#include <QFile>
#include <QSvgGenerator>
#include <QVBoxLayout>


#include "evolution/diversitychart.h"
#include "ga/algorithm.h"
#include "io/results_reader.h"
#include "session/numbers.h"
#include "evolution/fitnesschart.h"
#include "common/filedialog.h"
#include "evolution/generationscrubber.h"
#include "common/messagebox.h"
#include "common/optimumcache.h"
#include "common/settings.h"
#include "common/solvermodel.h"
#include "common/wholefile.h"
#include "model/arm.h"

namespace kelvora::ui {

namespace {

QString Px(double distance) { return QString::number(distance, 'f', 4); }

// Margin around the caption under the chart in an exported picture, px.
constexpr int kCaptionMargin = 6;

}  // namespace

/// A replayed file's diversity, measured off the GUI thread and handed over by value.
struct MeasuredDiversity {
    QString path;
    QList<DiversityPoint> points;
};

namespace {

// Every complete generation of the results.csv at path; stops at the first that cannot be read.
MeasuredDiversity MeasureFile(const QString& path, bool gray) {
    MeasuredDiversity out{path, {}};
    kelvora::ResultsFile file;
    kelvora::ResultsIndex index;
    std::string why;
    if (!file.open(QFile::encodeName(path).toStdString(), why) || kelvora::IndexResults(file, index)) return out;
    kelvora::LoggedGeneration generation;
    kelvora::DiversityScratch scratch;
    std::vector<std::uint32_t> genotypes;
    for (long long g = 0; g < index.generations(); ++g) {
        if (kelvora::ReadGeneration(file, index, g, generation)) break;
        genotypes.clear();
        for (const kelvora::LoggedIndividual& individual : generation.individuals) {
            std::uint32_t genotype = 0;
            for (const std::uint8_t angle : individual.genes.gene)
                genotype = (genotype << 8) | static_cast<std::uint32_t>(gray ? kelvora::GrayEncode(angle) : angle);
            genotypes.push_back(genotype);
        }
        const int n = static_cast<int>(genotypes.size());
        const kelvora::Diversity d = kelvora::MeasureDiversity(genotypes.data(), n, generation.bestIndex, scratch);
        out.points.append(DiversityChart::Normalised(static_cast<int>(g) + 1, d, n));
    }
    return out;
}

}  // namespace

EvolutionWindow::EvolutionWindow(const SolverModel& model, QWidget* parent)
    : QMainWindow(parent, Qt::Window), m_model(model) {
    setObjectName(QStringLiteral("EvolutionWindow"));
    setWindowTitle(tr("Kelvora — 進化"));
    setAttribute(Qt::WA_DeleteOnClose, false);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    m_chart = new FitnessChart(central);
    m_chart->setObjectName(QStringLiteral("FitnessChart"));
    m_chart->setMinimumSize(480, 150);  // it takes the height the readout leaves
    layout->addWidget(m_chart, 3);
    m_diversity = new DiversityChart(central);
    m_diversity->setObjectName(QStringLiteral("DiversityChart"));
    m_diversity->setMinimumSize(480, 110);
    layout->addWidget(m_diversity, 2);
    m_diversityLabel = new QLabel(central);
    m_diversityLabel->setObjectName(QStringLiteral("DiversityReading"));
    m_diversityLabel->setWordWrap(true);
    m_diversityLabel->setToolTip(
        tr("異なる遺伝子型の割合、2 個体のビットが異なる割合の平均 (ハミング距離 / 24)、各ビット位置の"
           "エントロピーの平均、最良の個体と同じ遺伝子型の割合。どれも 0 に近づくほど集団は一様です"
           " (最良と同じ割合は 1 に近づきます)。"));
    layout->addWidget(m_diversityLabel);
    connect(m_diversity, &DiversityChart::changed, this,
            [this] { m_diversityLabel->setText(m_diversity->reading(m_marked)); });
    m_scrubberSlot = new QVBoxLayout;
    m_scrubberSlot->setObjectName(QStringLiteral("ScrubberSlot"));
    layout->addLayout(m_scrubberSlot);
    auto* row = new QHBoxLayout;
    m_distanceBox = new QCheckBox(tr("これまでの最良解の誤差 (px, 対数軸)"), central);
    m_readout = new QLabel(central);
    m_readout->setObjectName(QStringLiteral("Readout"));
    m_readout->setTextFormat(Qt::PlainText);
    m_readout->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A long line (a replayed file's run.json command, say) is cut to the width, whole in the
    // tooltip: it never widens the window nor takes the charts' height.
    m_readout->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_readout->installEventFilter(this);
    row->addWidget(m_readout, 1);
    row->addWidget(m_distanceBox, 0, Qt::AlignTop);
    layout->addLayout(row);
    setCentralWidget(central);

    QMenu* file = menuBar()->addMenu(tr("ファイル(&F)"));
    QAction* png = file->addAction(tr("PNG として保存(&P)..."));
    connect(png, &QAction::triggered, this, [this] { exportWithDialog(false, 0.0); });
    QAction* png2 = file->addAction(tr("PNG として保存 (2倍)(&2)..."));
    connect(png2, &QAction::triggered, this, [this] { exportWithDialog(false, 2.0); });
    QAction* svg = file->addAction(tr("SVG として保存(&S)..."));
    connect(svg, &QAction::triggered, this, [this] { exportWithDialog(true, 1.0); });
    file->addSeparator();
    QAction* close = file->addAction(tr("閉じる(&C)"));
    close->setShortcut(QKeySequence::Close);
    // Docked in the program's window: Ctrl+W closes the view that has the focus.
    close->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(close);
    connect(close, &QAction::triggered, this, &QWidget::close);
    QMenu* view = menuBar()->addMenu(tr("表示(&V)"));
    m_distanceAction = view->addAction(tr("これまでの最良解の誤差を対数軸で表示(&D)"));
    m_distanceAction->setCheckable(true);
    connect(m_distanceAction, &QAction::toggled, m_distanceBox, &QCheckBox::setChecked);
    connect(m_distanceBox, &QCheckBox::toggled, m_distanceAction, &QAction::setChecked);
    connect(m_distanceAction, &QAction::toggled, m_chart, &FitnessChart::setShowDistance);
    m_diversityAction = view->addAction(tr("集団の多様性を表示(&I)"));
    m_diversityAction->setCheckable(true);
    m_diversityAction->setObjectName(QStringLiteral("DiversityAction"));
    view->addSeparator();
    m_clearComparisonAction = view->addAction(tr("比較をクリア"));
    connect(m_clearComparisonAction, &QAction::triggered, m_chart, &FitnessChart::clearEarlierRuns);
    const QSettings settings = AppSettings();
    m_distanceAction->setChecked(settings.value(QLatin1String(kLogAxisKey), false).toBool());
    connect(m_distanceAction, &QAction::toggled, this,
            [](bool on) { AppSettings().setValue(QLatin1String(kLogAxisKey), on); });
    m_diversityAction->setChecked(settings.value(QLatin1String(kDiversityKey), false).toBool());
    showDiversity(m_diversityAction->isChecked());
    connect(m_diversityAction, &QAction::toggled, this, [this](bool on) {
        AppSettings().setValue(QLatin1String(kDiversityKey), on);
        showDiversity(on);
        emit diversityShownChanged(on);
    });
    // The scrubber, once placed in its slot, marks its generation on the chart.
    central->installEventFilter(this);

    resize(720, 480);  // the size it asks for as a dock or a window of its own
    updateReadout();

    // What the main window charts, as it is now and from now on.
    connect(&m_model, &SolverModel::chartBegun, this, &EvolutionWindow::takeChart);
    connect(&m_model, &SolverModel::rowsTaken, this, &EvolutionWindow::takeRows);
    connect(&m_model, &SolverModel::chartFinished, this, &EvolutionWindow::takeChartEnd);
    takeChart();
    const QList<kelvora::GenerationStat> rows = m_model.chartRows();
    if (m_model.chart().ended) takeChartEnd();
    else if (!rows.isEmpty()) appendRows(0, rows, m_model.chartEliteDistance());
}

void EvolutionWindow::takeChart() {
    const ChartedRun& run = m_model.chart();
    beginRun(run.limit, m_model.base(), m_model.target(), run.readout);
    setRunName(run.name);
}

void EvolutionWindow::takeRows() {
    if (m_model.chart().rows != ChartedRun::Rows::history || m_model.chart().ended) return;
    // The rows the chart has not had yet, from the model's history, and their diversity.
    const int from = static_cast<int>(m_chart->history().size());
    appendRows(from, m_model.historyRows().mid(from), m_model.chartEliteDistance());
    if (const int first = m_model.diversityFrom(); first >= 0)
        m_diversity->append(first, m_model.diversityRows().mid(first), m_model.diversityPopulation());
}

void EvolutionWindow::takeChartEnd() {
    const ChartedRun& run = m_model.chart();
    finishRun(m_model.chartRows(), m_model.chartEliteDistance());
    if (!run.diversityPath.isEmpty()) setDiversitySource(run.diversityPath, run.diversityGray);
}

EvolutionWindow::~EvolutionWindow() = default;

void EvolutionWindow::beginRun(int limit, QPoint base, QPoint target, const QString& algorithm) {
    // A finished or stopped run (or an opened file) stays beside the next one, fainter.
    if (!m_runName.isEmpty())
        m_chart->addEarlierRun(earlierRunName(), m_chart->history(), targetText(),
                               m_optimum ? std::optional<double>(m_optimum->fitness) : std::nullopt);
    m_runName.clear();
    m_limit = limit;
    m_marked = 0;
    m_diversityPath.clear();
    m_diversity->clear(limit);
    m_algorithm = algorithm;
    m_chart->setMarkedGeneration(0);
    m_base = base;
    m_target = target;
    m_chart->setCurrentRun(QString(), targetText());
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
    if (!rows.isEmpty()) m_chart->setGenerationLimit(static_cast<int>(rows.size()));
    m_chart->setHistory(rows);
    m_eliteDistance = rows.isEmpty() ? -1.0 : eliteDistance;
    updateReadout();
}

void EvolutionWindow::setRunName(const QString& name) {
    m_runName = name;
    m_chart->setCurrentRun(name, targetText());
}

QString EvolutionWindow::earlierRunName() const {
    const int ran = static_cast<int>(m_chart->history().size());
    return ran < m_limit ? tr("%1、%2/%3 世代").arg(m_runName).arg(ran).arg(m_limit) : m_runName;
}

QString EvolutionWindow::targetText() const {
    if (m_target.x() < 0) return {};
    const kelvora::PixelPoint t = kelvora::RelativeFromPixel({m_target.x(), m_target.y()}, m_base.x(), m_base.y());
    return QStringLiteral("(%1, %2)").arg(t.x).arg(t.y);
}

void EvolutionWindow::setMarkedGeneration(int generation) {
    m_marked = std::max(generation, 0);
    updateReadout();
    if (!m_diversity->points().isEmpty()) m_diversityLabel->setText(m_diversity->reading(m_marked));
}

bool EvolutionWindow::showsDiversity() const { return m_diversityAction->isChecked(); }

void EvolutionWindow::showDiversity(bool shown) {
    // The two charts share the height the fitness chart had alone.
    m_chart->setMinimumHeight(shown ? 110 : 150);
    m_diversity->setVisible(shown);
    m_diversityLabel->setVisible(shown);
    if (shown) measureDiversity();
}

void EvolutionWindow::setDiversitySource(const QString& path, bool gray) {
    m_diversityPath = path;
    m_diversityGray = gray;
    m_diversityMeasured = false;
    if (showsDiversity()) measureDiversity();
}

void EvolutionWindow::measureDiversity() {
    if (m_diversityPath.isEmpty() || m_diversityMeasured) return;
    m_diversityMeasured = true;
    m_diversityLabel->setText(tr("多様性を計算しています..."));
    RunInBackground<MeasuredDiversity>(
        this, [path = m_diversityPath, gray = m_diversityGray] { return MeasureFile(path, gray); },
        [this](const MeasuredDiversity& measured) {
            if (measured.path != m_diversityPath) return;  // another file or run since
            m_diversity->setPoints(measured.points);
            emit diversityMeasured();
        });
}

QString EvolutionWindow::RunName(const kelvora::SolverParams& params, const kelvora::Algorithm& algorithm) {
    const auto exact = [](double v) { return QString::fromStdString(kelvora::session::NumberText(v)); };
    return tr("%1 × %2, %3, %4, %5")
        .arg(params.populationSize)
        .arg(params.generationCount)
        .arg(exact(params.crossoverRate), exact(params.mutationProbability),
             QString::fromStdString(kelvora::AlgorithmSummary(algorithm)));
}

QString EvolutionWindow::caption() const {
    if (!m_model.chart().caption.isEmpty()) return m_model.chart().caption;
    const kelvora::PixelPoint target = kelvora::RelativeFromPixel({m_target.x(), m_target.y()}, m_base.x(), m_base.y());
    QString text = tr("目標点 (%1, %2)、%3 世代")
                       .arg(target.x)
                       .arg(target.y)
                       .arg(m_chart->history().size());
    if (!m_algorithm.isEmpty()) text += QStringLiteral("、") + m_algorithm;
    return text;
}

bool EvolutionWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_readout && event->type() == QEvent::Resize) fitReadout();
    if (event->type() == QEvent::ChildAdded) {
        if (auto* scrubber = qobject_cast<GenerationScrubber*>(static_cast<QChildEvent*>(event)->child()))
        {
            connect(scrubber, &GenerationScrubber::generationChanged, m_chart, &FitnessChart::setMarkedGeneration,
                    Qt::UniqueConnection);
            connect(scrubber, &GenerationScrubber::generationChanged, this, &EvolutionWindow::setMarkedGeneration,
                    Qt::UniqueConnection);
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void EvolutionWindow::findOptimum() {
    if (!m_optimum || m_optimumBase != m_base || m_optimumTarget != m_target) {
        // The exact search takes well under a millisecond (solver/optimum.h): done here, at once.
        m_optimum = OptimumFor(m_base, m_target);
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

void EvolutionWindow::fitReadout() {
    const QFontMetrics metrics(m_readout->font());
    const int width = m_readout->contentsRect().width();
    QStringList shown;
    for (const QString& line : m_readoutFull.split(QLatin1Char('\n')))
        shown << metrics.elidedText(line, Qt::ElideRight, width);
    const QString text = shown.join(QLatin1Char('\n'));
    m_readout->setToolTip(text == m_readoutFull ? QString() : m_readoutFull);
    if (text != m_readout->text()) m_readout->setText(text);
}

void EvolutionWindow::updateReadout() {
    QStringList lines;
    if (m_optimum) {
        const kelvora::ArmPose& p = m_optimum->pose;
        lines << tr("最適解: (%1, %2, %3)  誤差 %4 px").arg(p.a1).arg(p.a2).arg(p.a3).arg(Px(m_optimum->distance));
    } else {
        lines << tr("最適解: 探索中...");
    }
    const QList<kelvora::GenerationStat>& rows = m_chart->history();
    if (m_eliteDistance >= 0.0 && m_marked > 0 && m_marked < rows.size()) {
        // The scrubbed generation: the best of the run up to it, and how far it was from the optimum.
        double elite = 0.0;
        for (int g = 0; g < m_marked; ++g) elite = std::max(elite, rows[g].best);
        const double distance = 1.0 / elite - 1.0;
        QString line = tr("第 %1 世代までの最良解: 誤差 %2 px").arg(m_marked).arg(Px(distance));
        if (m_optimum)
            line += elite >= m_optimum->fitness ? tr("  (最適解に到達)")
                                                : tr("  (最適解との差 %1 px)").arg(Px(distance - m_optimum->distance));
        lines << line;
    } else if (m_eliteDistance < 0.0) {
        lines << tr("これまでの最良解: まだありません");
    } else {
        QString elite = tr("これまでの最良解: 誤差 %1 px").arg(Px(m_eliteDistance));
        if (m_optimum) {
            elite += firstGenerationAtOptimum() > 0 ? tr("  (最適解に到達)")
                                                     : tr("  (最適解との差 %1 px)").arg(Px(m_eliteDistance - m_optimum->distance));
        }
        lines << elite;
        if (m_optimum) {
            const int first = firstGenerationAtOptimum();
            lines << (first > 0 ? tr("最適解に到達: 第 %1 世代").arg(first)
                                : m_running ? tr("最適解にはまだ到達していません") : tr("最適解には到達しませんでした"));
        }
    }
    if (!m_algorithm.isEmpty()) lines << m_algorithm;
    m_readoutFull = lines.join(QLatin1Char('\n'));
    fitReadout();
}

int EvolutionWindow::captionHeight() const {
    // The caption is wrapped to the chart's width, never cut.
    const QRect room(0, 0, m_chart->width() - 2 * kCaptionMargin, 100000);
    return QFontMetrics(font()).boundingRect(room, Qt::TextWordWrap, caption()).height() + 2 * kCaptionMargin;
}

QSize EvolutionWindow::exportSize() const { return m_chart->size() + QSize(0, captionHeight()); }

void EvolutionWindow::paintExport(QPainter& painter) {
    painter.fillRect(QRect(QPoint(0, 0), exportSize()), Qt::white);
    m_chart->render(&painter);
    painter.setPen(Qt::black);
    painter.setFont(font());
    const QRect text(kCaptionMargin, m_chart->height() + kCaptionMargin, m_chart->width() - 2 * kCaptionMargin,
                     captionHeight() - 2 * kCaptionMargin);
    painter.drawText(text, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, caption());
}

bool EvolutionWindow::exportPng(const QString& path, double scale) {
    if (!(scale > 0.0)) scale = devicePixelRatioF();
    QImage image((QSizeF(exportSize()) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    paintExport(painter);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    return writePicture(path, image.save(&buffer, "PNG") ? bytes : QByteArray(), QStringLiteral("PNG"));
}

bool EvolutionWindow::writePicture(const QString& path, const QByteArray& bytes, const QString& format) {
    const QString reason = bytes.isEmpty() ? QStringLiteral("the %1 picture could not be made").arg(format)
                                           : WriteWholeFile(QFile::encodeName(path), bytes);
    if (reason.isEmpty()) return true;
    ShowMessageBox(this, QMessageBox::Warning,
                   tr("グラフを \"%1\" に保存できませんでした。").arg(path) + QLatin1Char('\n') + reason);
    return false;
}

bool EvolutionWindow::exportSvg(const QString& path) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(exportSize());
    generator.setViewBox(QRect(QPoint(0, 0), exportSize()));
    generator.setTitle(windowTitle());
    generator.setDescription(caption());
    QPainter painter;
    bool ok = painter.begin(&generator);
    if (ok) {
        paintExport(painter);
        ok = painter.end();
    }
    return writePicture(path, ok ? bytes : QByteArray(), QStringLiteral("SVG"));
}

void EvolutionWindow::exportWithDialog(bool svg, double scale) {
    const QString path = GetSaveFileName(
        this, svg ? tr("SVG として保存") : tr("PNG として保存"),
        svg ? QStringLiteral("fitness.svg") : QStringLiteral("fitness.png"),
        svg ? tr("SVG 画像 (*.svg)") : tr("PNG 画像 (*.png)"));
    if (path.isEmpty()) return;
    if (svg) exportSvg(path);
    else exportPng(path, scale);
}

}  // namespace kelvora::ui
