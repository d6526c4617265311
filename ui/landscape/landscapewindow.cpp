#include "landscape/landscapewindow.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QPushButton>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScrollArea>
#include <QScrollBar>
#include <QProgressBar>
#include <QPromise>
#include <QSlider>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "common/background.h"
#include "common/filedialog.h"
#include "landscape/landscapepicture.h"
#include "session/landscape_map.h"

namespace kelvora::ui {

Neighbourhood NeighbourhoodOf(const Algorithm& algorithm) {
    if (algorithm.mutation == MutationOperator::creep) return {Neighbourhood::Kind::creep, algorithm.creepStep};
    return {algorithm.encoding == Encoding::gray ? Neighbourhood::Kind::gray : Neighbourhood::Kind::binary, 0};
}

LandscapeResult ComputeLandscape(const Geometry& geometry, const Neighbourhood& inUse,
                                 const std::function<bool(int stage)>& progress) {
    const auto told = [&](int stage) { return !progress || progress(stage); };
    auto table = std::make_shared<DistanceTable>();
    FillDistanceTable(geometry, *table);
    if (!told(1)) return {};
    std::vector<Neighbourhood> list{inUse};
    for (const char* name : {"binary", "gray", "creep:4"})
        if (*ParseNeighbourhood(name) != inUse) list.push_back(*ParseNeighbourhood(name));
    LandscapeResult result;
    // The choice in use keeps its attractors and its optima, for the slices and their basins.
    auto attractors = std::make_shared<std::vector<std::uint32_t>>(SteepestSuccessors(*table, inUse));
    FollowToAttractors(*attractors);
    result.rows.push_back(SummariseLandscape(*table, inUse, *attractors, 0.5));
    if (!told(2)) return {};
    for (std::size_t k = 1; k < list.size(); ++k) {
        result.rows.push_back(AnalyseLandscape(*table, list[k], 0.5));
        result.rows.back().optima = {};
        if (!told(static_cast<int>(k) + 2)) return {};
    }
    told(kLandscapeStages);
    result.table = std::move(table);
    result.attractors = std::move(attractors);
    return result;
}

SliceView::SliceView(QWidget* parent) : QWidget(parent) {
    // Small as a hint, growing into the room there is: a scroll area around the window measures
    // its height for a width from the hints, and a full-size hint would make it scroll.
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void SliceView::setImage(const QImage& image) {
    m_image = image;
    update();
}

double SliceView::scale() const {
    return std::min({1.0, double(width()) / kSliceWidth, double(height()) / kSliceSide});
}

QSize SliceView::sizeHint() const { return minimumSizeHint(); }

QSize SliceView::minimumSizeHint() const { return QSize(kSliceWidth / 4, kSliceSide / 4); }

void SliceView::resizeEvent(QResizeEvent*) {
    // No wider than the picture drawn at this height: the side column takes the rest.
    const int widest = std::clamp(static_cast<int>(std::ceil(height() * double(kSliceWidth) / kSliceSide)),
                                  minimumSizeHint().width(), kSliceWidth);
    if (maximumWidth() != widest) setMaximumWidth(widest);
}

void SliceView::paintEvent(QPaintEvent*) {
    if (m_image.isNull()) return;
    QPainter p(this);
    const double s = scale();
    if (s >= 1.0) {
        p.drawImage(0, 0, m_image);  // cell for cell, as DrawLandscapeSlice made it
        return;
    }
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRectF(0, 0, m_image.width() * s, m_image.height() * s), m_image);
}

LandscapeWindow::LandscapeWindow(const Geometry& geometry, const Algorithm& algorithm, QWidget* parent)
    : QWidget(parent, Qt::Window), m_geometry(geometry), m_inUse(NeighbourhoodOf(algorithm)) {
    setWindowTitle(tr("Kelvora — 地形"));
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(tr("目標 (%1, %2) の適応度地形: 256³ 通りの姿勢すべて, ε = 0.5 px")
                                 .arg(geometry.targetX - geometry.baseX)
                                 .arg(geometry.baseY - geometry.targetY));
    layout->addWidget(title);
    m_progress = new QProgressBar;
    m_progress->setRange(0, kLandscapeStages);
    m_progress->setValue(0);
    m_progress->setFormat(tr("計算中: %v / %m 段階"));
    layout->addWidget(m_progress);
    m_table = new QTableWidget(0, 6);
    m_table->setHorizontalHeaderLabels({tr("近傍"), tr("局所最適の数"), tr("うち ε 以内"), tr("最適解に登る開始点"),
                                       tr("ε 以内に登る開始点"), tr("FDC")});
    // What each column counts, whole, on its header.
    const QString tips[] = {
        tr("突然変異の一歩で動ける姿勢: 2進とグレイは 1 ビットの反転、クリープは ±幅 度"),
        tr("局所最適 (どの近傍も目標点に近くない姿勢) の数"),
        tr("局所最適のうち、先端が目標点から ε 以内にあるものの数 (ε 以内の姿勢の数ではありません)"),
        tr("256³ 通りの開始点のうち、最急上昇で最適解に登り着くものの数と割合 (最適解の吸引域)"),
        tr("256³ 通りの開始点のうち、最急上昇で ε 以内の局所最適に登り着くものの数と割合"),
        tr("適応度と、最適解までの遺伝子型の距離との相関 (-1〜1): -1 に近いほど最適解へ素直に登れる地形")};
    for (int c = 0; c < 6; ++c) m_table->horizontalHeaderItem(c)->setToolTip(tips[c]);
    m_table->verticalHeader()->hide();
    m_table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Narrower than its columns (a view docked beside the dialog on a small screen), the table scrolls
    // sideways on its own rather than widening the whole view past its dock.
    m_table->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_table->installEventFilter(this);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(m_table);
    m_explanation = new QLabel;
    m_explanation->setWordWrap(true);
    layout->addWidget(m_explanation);
    // The slice on the left, what it shows and how to read it on the right.
    auto* sliceRow = new QHBoxLayout;
    layout->addLayout(sliceRow, 1);
    m_picture = new SliceView;
    m_picture->setObjectName(QStringLiteral("Slice"));
    m_picture->setMouseTracking(true);
    m_picture->installEventFilter(this);
    sliceRow->addWidget(m_picture, 1);
    // The side column scrolls on its own where the window is too low for it, never sideways.
    auto* sideArea = new QScrollArea;
    sideArea->setObjectName(QStringLiteral("SideColumn"));
    sideArea->setFrameShape(QFrame::NoFrame);
    sideArea->setWidgetResizable(true);
    sideArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sideArea->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Ignored);  // as high as the slice's row is
    auto* sideWidget = new QWidget;
    auto* side = new QVBoxLayout(sideWidget);
    side->setContentsMargins(0, 0, 0, 0);
    sideArea->setWidget(sideWidget);
    sliceRow->addWidget(sideArea, 0);
    const auto wrapped = [side](QLabel* label) {
        label->setWordWrap(true);
        label->setMinimumWidth(340);
        side->addWidget(label);
        return label;
    };
    m_sliceLabel = wrapped(new QLabel);
    m_slider = new QSlider(Qt::Horizontal);
    m_slider->setRange(0, 255);
    m_slider->setEnabled(false);
    side->addWidget(m_slider);
    auto* controls = new QHBoxLayout;
    controls->addWidget(new QLabel(tr("描く個体: 角度 1 が断面の ±")));
    m_band = new QSpinBox;
    m_band->setRange(0, 128);
    m_band->setValue(kDefaultPopulationBand);
    m_band->setSuffix(tr("°"));
    controls->addWidget(m_band);
    controls->addStretch();
    side->addLayout(controls);
    m_outlines = new QCheckBox(tr("吸引域の境界"));
    m_outlines->setChecked(false);
    side->addWidget(m_outlines);
    wrapped(new QLabel(tr("各マスは角度 1 を固定した 1 つの姿勢で, 明るいほど先端が目標に近く, "
                          "灰色の線は最急上昇で登り着く局所最適が変わる境目です。")));
    m_caption = wrapped(new QLabel);
    m_hoverLine = wrapped(new QLabel);
    // The map across targets, over the main window's plot.
    auto* mapBox = new QGroupBox(tr("目標ごとの地形マップ (主画面のプロットに重ねる)"));
    auto* mapLayout = new QVBoxLayout(mapBox);
    m_openMap = new QPushButton(tr("landscape-map の CSV を開く..."));
    m_coarseMap = new QPushButton(tr("粗いマップを計算 (%1 px 間隔)").arg(kCoarseMapStep));
    m_overlay = new QCheckBox(tr("主画面に重ねる"));
    m_overlay->setEnabled(false);
    mapLayout->addWidget(m_openMap);
    mapLayout->addWidget(m_coarseMap);
    mapLayout->addWidget(m_overlay);
    m_mapProgress = new QProgressBar;
    m_mapProgress->hide();
    mapLayout->addWidget(m_mapProgress);
    m_mapNote = new QLabel(tr("各目標について, 256³ の開始点のうち最急上昇で目標の ε 以内に登る割合を, "
                             "黒 (なし) から青 (10⁻⁶) を経て黄 (すべて) までの対数目盛で主画面のプロットに重ねます。"));
    m_mapNote->setWordWrap(true);
    mapLayout->addWidget(m_mapNote);
    side->addWidget(mapBox);
    side->addStretch();
    connect(m_openMap, &QPushButton::clicked, this, [this] {
        const QString path = GetOpenFileName(this, tr("landscape-map の CSV を開く"), QString(),
                                                          tr("CSV ファイル (*.csv)"));
        if (!path.isEmpty()) loadMap(path);
    });
    connect(m_coarseMap, &QPushButton::clicked, this, &LandscapeWindow::computeCoarseMap);
    connect(m_overlay, &QCheckBox::toggled, this, [this](bool on) {
        emit mapOverlayChanged(on && !m_map.empty() ? LandscapeMapOverlay(m_map, m_mapStep) : QImage());
    });
    connect(&m_remaker, &GenerationRemaker::made, this, &LandscapeWindow::onTraced);
    connect(m_slider, &QSlider::valueChanged, this, &LandscapeWindow::redraw);
    connect(m_band, &QSpinBox::valueChanged, this, &LandscapeWindow::redraw);
    connect(m_outlines, &QCheckBox::toggled, this, &LandscapeWindow::redraw);
    const Geometry g = m_geometry;
    const Neighbourhood n = m_inUse;
    auto* landscape = RunInBackground<LandscapeResult>(
        this,
        [g, n](QPromise<LandscapeResult>& promise) {
            promise.setProgressRange(0, kLandscapeStages);
            // A window closed meanwhile cancels it: the work ends after the stage under way.
            LandscapeResult result = ComputeLandscape(g, n, [&promise](int stage) {
                promise.setProgressValue(stage);
                return !promise.isCanceled();
            });
            if (!promise.isCanceled()) promise.addResult(std::move(result));
        },
        [this](LandscapeResult result) { showResult(std::move(result)); });
    connect(landscape, &QFutureWatcherBase::progressValueChanged, m_progress, &QProgressBar::setValue);
    redraw();
}

// The workers hold no pointer into the window: closed early, the window goes at once and a
// worker's result is dropped when it ends; a trace under way is told to stop.
LandscapeWindow::~LandscapeWindow() {
    if (m_mapStop) m_mapStop->store(true, std::memory_order_release);
}

void LandscapeWindow::startMapWork(std::function<MapLoad(QPromise<MapLoad>&)> work) {
    if (m_mapWork) return;  // one at a time
    m_openMap->setEnabled(false);
    m_coarseMap->setEnabled(false);
    m_mapProgress->setValue(0);
    m_mapProgress->show();
    m_mapWork = RunInBackground<MapLoad>(
        this, [work = std::move(work)](QPromise<MapLoad>& promise) { promise.addResult(work(promise)); },
        [this](MapLoad load) {
            m_mapWork = nullptr;
            takeMap(std::move(load));
        },
        [this] {
            m_mapWork = nullptr;
            takeMap(MapLoad{});
        });
    connect(m_mapWork, &QFutureWatcherBase::progressRangeChanged, m_mapProgress, &QProgressBar::setRange);
    connect(m_mapWork, &QFutureWatcherBase::progressValueChanged, m_mapProgress, &QProgressBar::setValue);
}

void LandscapeWindow::loadMap(const QString& path) {
    startMapWork([path](QPromise<MapLoad>& promise) {
        promise.setProgressRange(0, 0);
        MapLoad load;
        load.source = QFileInfo(path).fileName();
        // Only a regular file: a FIFO would wait for its writer.
        QFile file(path);
        if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
            load.error = QStringLiteral("%1: %2").arg(path, QFileInfo(path).isFile() ? file.errorString()
                                                                                      : QStringLiteral("not a regular file"));
            return load;
        }
        QString error;
        load.cells = ParseLandscapeMap(file.readAll(), &error);
        if (load.cells.empty()) load.error = QStringLiteral("%1: %2").arg(path, error);
        return load;
    });
}

void LandscapeWindow::computeCoarseMap() {
    m_mapStop = std::make_shared<std::atomic<bool>>(false);
    startMapWork([n = m_inUse, stop = m_mapStop](QPromise<MapLoad>& promise) {
        promise.setProgressRange(0, static_cast<int>(LandscapeMapGrid(kCoarseMapStep).size()));
        MapLoad load;
        load.cells = ComputeLandscapeMap(
            kCoarseMapStep, n, [&promise](int done, int) { promise.setProgressValue(done); }, *stop);
        return load;
    });
}

void LandscapeWindow::takeMap(MapLoad load) {
    m_openMap->setEnabled(true);
    m_coarseMap->setEnabled(true);
    m_mapProgress->hide();
    if (!load.error.isEmpty() || load.cells.empty()) {
        m_mapNote->setText(tr("地形マップを読めませんでした: %1").arg(load.error));
        emit mapReady();
        return;
    }
    m_map = std::move(load.cells);
    m_mapStep = session::LandscapeMapStep(m_map);
    m_mapSource = load.source;
    m_mapNote->setText((m_mapSource.isEmpty() ? tr("計算した %1 個の目標 (%2 px 間隔, %3)").arg(m_map.size()).arg(m_mapStep).arg(QString::fromStdString(NeighbourhoodName(m_inUse)))
                                            : tr("%1 の %2 個の目標 (%3 px 間隔)").arg(m_mapSource).arg(m_map.size()).arg(m_mapStep)) +
                      tr(": 各目標について, 256³ の開始点のうち最急上昇で目標の ε 以内に登る割合を, "
                         "黒 (なし) から青 (10⁻⁶) を経て黄 (すべて) までの対数目盛で主画面のプロットに重ねます。"));
    m_overlay->setEnabled(true);
    if (m_overlay->isChecked())
        emit mapOverlayChanged(LandscapeMapOverlay(m_map, m_mapStep));
    else
        m_overlay->setChecked(true);
    emit mapReady();
}

bool LandscapeWindow::isMapShown() const { return m_overlay->isChecked(); }
void LandscapeWindow::setMapShown(bool shown) { m_overlay->setChecked(shown); }
QString LandscapeWindow::mapNote() const { return m_mapNote->text(); }

void LandscapeWindow::setPopulation(std::vector<ArmPose> population, int generation, const Geometry& geometry) {
    m_otherTarget = geometry != m_geometry;
    m_population = m_otherTarget ? std::vector<ArmPose>{} : std::move(population);
    m_generation = generation;
    redraw();
    emit populationShown(generation);
}

void LandscapeWindow::setRun(const RunSetup& setup, int generations) {
    m_setup = setup;
    m_generations = std::max(1, generations);
}

void LandscapeWindow::forgetRun() {
    m_setup.reset();
    m_remaker.cancel();
    m_population.clear();
    m_generation = 0;
    m_otherTarget = false;
    redraw();
}

void LandscapeWindow::showGeneration(int generation) {
    if (!m_setup) return;
    generation = std::clamp(generation, 1, m_generations);
    m_remaker.request(*m_setup, generation);
}

void LandscapeWindow::onTraced(GenerationStep made) {
    if (made.generation == 0 || !m_setup) return;
    // The generation's individuals are the step's new population, decoded as the run decodes it.
    std::vector<std::uint32_t> genotypes;
    genotypes.reserve(made.next.size());
    for (const StepSlot& s : made.next) genotypes.push_back(s.after);
    setPopulation(DecodeGenotypes(genotypes, made.algorithm.encoding), made.generation, made.geometry);
}

QString LandscapeWindow::cellText(int row, int column) const {
    const QTableWidgetItem* item = m_table->item(row, column);
    return item ? item->text() : QString();
}

int LandscapeWindow::sliceAngle() const { return m_slider->value(); }
void LandscapeWindow::setSliceAngle(int angle1) { m_slider->setValue(angle1); }
void LandscapeWindow::setBand(int band) { m_band->setValue(band); }
QString LandscapeWindow::populationCaption() const { return m_caption->text(); }
QString LandscapeWindow::hoverText() const { return m_hoverLine->text(); }

void LandscapeWindow::hoverCell(std::optional<QPoint> cell) {
    if (cell == m_hover) return;
    m_hover = cell;
    redraw();
}

QSize LandscapeWindow::sizeHint() const {
    return QWidget::sizeHint() + (QSize(kSliceWidth, kSliceSide) - m_picture->sizeHint());
}

void LandscapeWindow::fitTableHeight() {
    // Every row in view: the header, the rows and, where the columns are wider than the table, the
    // scroll bar under them. While the landscape is computed, the empty table takes the room there is.
    if (m_table->rowCount() == 0) return;
    int height = m_table->horizontalHeader()->height() + 2 * m_table->frameWidth();
    for (int r = 0; r < m_table->rowCount(); ++r) height += m_table->rowHeight(r);
    if (m_table->horizontalHeader()->length() + 2 * m_table->frameWidth() > m_table->width())
        height += m_table->horizontalScrollBar()->sizeHint().height();
    if (m_table->height() != height) m_table->setFixedHeight(height);
}

bool LandscapeWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_table && event->type() == QEvent::Resize) fitTableHeight();
    if (watched == m_picture) {
        if (event->type() == QEvent::MouseMove) {
            const QPoint p = (static_cast<QMouseEvent*>(event)->position() / m_picture->scale()).toPoint();
            if (p.x() >= 0 && p.y() >= 0 && p.x() < kSliceSide && p.y() < kSliceSide)
                hoverCell(QPoint(p.x() / kSliceCell, 255 - p.y() / kSliceCell));
            else
                hoverCell(std::nullopt);
        } else if (event->type() == QEvent::Leave) {
            hoverCell(std::nullopt);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void LandscapeWindow::showResult(LandscapeResult result) {
    m_result = std::move(result);
    m_progress->hide();
    const double all = kPoseCount;
    m_table->setRowCount(static_cast<int>(m_result.rows.size()));
    for (int r = 0; r < m_table->rowCount(); ++r) {
        const LandscapeSummary& s = m_result.rows[r];
        const QString texts[] = {QString::fromStdString(NeighbourhoodName(s.neighbourhood)) + (r == 0 ? tr(" (使用中)") : ""),
                                 QString::number(s.localOptima), QString::number(s.localOptimaWithin),
                                 QStringLiteral("%1 (%2%)").arg(s.basinOptimum).arg(100 * s.basinOptimum / all, 0, 'f', 4),
                                 QStringLiteral("%1 (%2%)").arg(s.startsWithin).arg(100 * s.startsWithin / all, 0, 'f', 4),
                                 QString::number(s.fdc, 'f', 4)};
        for (int c = 0; c < 6; ++c) m_table->setItem(r, c, new QTableWidgetItem(texts[c]));
    }
    m_table->resizeColumnsToContents();
    fitTableHeight();
    long long binary = 0, gray = 0;
    for (const LandscapeSummary& s : m_result.rows) {
        if (s.neighbourhood.kind == Neighbourhood::Kind::binary) binary = s.localOptima;
        if (s.neighbourhood.kind == Neighbourhood::Kind::gray) gray = s.localOptima;
    }
    m_explanation->setText(tr("グレイ符号化はここで %1 個の行き止まりを %2 個に減らします: 隣り合う角度は 1 ビットしか違いません。"
                             "赤: 局所最適, 緑の枠: 最適解, 白い点 (黒い縁): 表示中の世代の個体。")
                              .arg(binary)
                              .arg(gray));
    m_slider->setEnabled(true);
    const bool moved = m_slider->value() != m_result.table->optimum.pose.a1;
    m_slider->setValue(m_result.table->optimum.pose.a1);
    if (!moved) redraw();
    emit computed();
}

void LandscapeWindow::redraw() {
    const int a1 = m_slider->value();
    const int band = m_band->value();
    // The population first: it is known before the landscape is.
    const std::vector<QPoint> inBand = PopulationInBand(m_population, a1, band);
    m_drawn = static_cast<int>(inBand.size());
    if (m_otherTarget)
        m_caption->setText(tr("表示中の世代は別の目標の実行のものなので, その集団は描きません。"));
    else if (m_generation == 0)
        m_caption->setText(tr("実行するか結果を開くと, 表示中の世代の集団がここに白い点で描かれます。"));
    else
        m_caption->setText(tr("白い点: 世代 %1 の %2 個体のうち, 角度 1 が %3° ± %4° の %5 個体 (ほかの %6 個体は省略)。")
                              .arg(m_generation)
                              .arg(m_population.size())
                              .arg(a1)
                              .arg(band)
                              .arg(m_drawn)
                              .arg(static_cast<int>(m_population.size()) - m_drawn));
    if (!m_result.table) return;
    m_sliceLabel->setText(tr("断面: 角度 1 = %1° (横: 角度 2, 縦: 角度 3, 色: 目標までの距離, 対数目盛)").arg(a1));
    LandscapeSlice slice;
    const double* d = m_result.table->distance.data() + PoseIndex(a1, 0, 0);
    slice.distance.assign(d, d + 65536);
    for (const LocalOptimum& o : m_result.rows.front().optima)
        if (o.pose.a1 == a1) slice.localOptima.emplace_back(o.pose.a2, o.pose.a3);
    const ArmPose best = m_result.table->optimum.pose;
    slice.hasOptimum = best.a1 == a1;
    slice.optimum = QPoint(best.a2, best.a3);
    slice.population = inBand;
    const std::uint32_t* attractor = m_result.attractors->data() + PoseIndex(a1, 0, 0);
    const std::vector<std::uint32_t> cells(attractor, attractor + 65536);
    if (m_outlines->isChecked()) slice.edges = BasinEdges(cells, 256);
    if (m_hover) {
        const std::uint32_t start = PoseIndex(a1, m_hover->x(), m_hover->y());
        const std::uint32_t top = (*m_result.attractors)[start];
        slice.lit.resize(65536);
        int inSlice = 0;
        for (int i = 0; i < 65536; ++i) inSlice += slice.lit[i] = cells[i] == top;
        const std::vector<LocalOptimum>& optima = m_result.rows.front().optima;
        const auto at = std::lower_bound(optima.begin(), optima.end(), top, [](const LocalOptimum& o, std::uint32_t i) {
            return PoseIndex(o.pose.a1, o.pose.a2, o.pose.a3) < i;
        });
        const ArmPose p = PoseAt(top);
        const std::uint32_t size = at != optima.end() ? at->basinSize : 0;
        m_hoverLine->setText(tr("姿勢 (%1, %2, %3) は局所最適 (%4, %5, %6) に登ります: 距離 %7 px, 吸引域は全体で %8 姿勢 "
                               "(%9%), この断面に %10 マス。")
                                .arg(a1)
                                .arg(m_hover->x())
                                .arg(m_hover->y())
                                .arg(p.a1)
                                .arg(p.a2)
                                .arg(p.a3)
                                .arg(m_result.table->distance[top], 0, 'f', 3)
                                .arg(size)
                                .arg(100.0 * size / kPoseCount, 0, 'f', 4)
                                .arg(inSlice));
    }
    if (!m_hover) m_hoverLine->setText(tr("マスの上にポインタを置くと, その姿勢の吸引域が明るく残ります。"));
    m_picture->setImage(DrawLandscapeSlice(slice));
}

}  // namespace kelvora::ui
