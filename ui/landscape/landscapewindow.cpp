#include "landscape/landscapewindow.h"

#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QPushButton>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QProgressBar>
#include <QPromise>
#include <QSlider>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cstdlib>

#include "landscape/landscapepicture.h"

namespace kelvora::ui {

Neighbourhood NeighbourhoodOf(const Algorithm& algorithm) {
    if (algorithm.mutation == MutationOperator::creep) return {Neighbourhood::Kind::creep, algorithm.creepStep};
    return {algorithm.encoding == Encoding::gray ? Neighbourhood::Kind::gray : Neighbourhood::Kind::binary, 0};
}

LandscapeResult ComputeLandscape(const Geometry& geometry, const Neighbourhood& inUse,
                                 const std::function<void(int stage)>& progress) {
    const auto told = [&](int stage) {
        if (progress) progress(stage);
    };
    auto table = std::make_shared<DistanceTable>();
    FillDistanceTable(geometry, *table);
    told(1);
    std::vector<Neighbourhood> list{inUse};
    for (const char* name : {"binary", "gray", "creep:4"})
        if (*ParseNeighbourhood(name) != inUse) list.push_back(*ParseNeighbourhood(name));
    LandscapeResult result;
    // The choice in use keeps its attractors and its optima, for the slices and their basins.
    auto attractors = std::make_shared<std::vector<std::uint32_t>>(SteepestSuccessors(*table, inUse));
    FollowToAttractors(*attractors);
    result.rows.push_back(SummariseLandscape(*table, inUse, *attractors, 0.5));
    told(2);
    for (std::size_t k = 1; k < list.size(); ++k) {
        result.rows.push_back(AnalyseLandscape(*table, list[k], 0.5));
        result.rows.back().optima = {};
        told(static_cast<int>(k) + 2);
    }
    told(kLandscapeStages);
    result.table = std::move(table);
    result.attractors = std::move(attractors);
    return result;
}

LandscapeWindow::LandscapeWindow(const Geometry& geometry, const Algorithm& algorithm, QWidget* parent)
    : QWidget(parent, Qt::Window), geometry_(geometry), inUse_(NeighbourhoodOf(algorithm)) {
    setWindowTitle(tr("地形"));
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(tr("目標 (%1, %2) の適応度地形: 256³ 通りの姿勢すべて, ε = 0.5 px")
                                 .arg(geometry.targetX - geometry.baseX)
                                 .arg(geometry.baseY - geometry.targetY));
    layout->addWidget(title);
    progress_ = new QProgressBar;
    progress_->setRange(0, kLandscapeStages);
    progress_->setValue(0);
    progress_->setFormat(tr("計算中: %v / %m 段階"));
    layout->addWidget(progress_);
    table_ = new QTableWidget(0, 6);
    table_->setHorizontalHeaderLabels({tr("近傍"), tr("局所最適"), tr("ε 以内"), tr("最適解の吸引域"),
                                       tr("ε 以内に登る開始点"), tr("FDC")});
    table_->verticalHeader()->hide();
    table_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(table_);
    explanation_ = new QLabel;
    explanation_->setWordWrap(true);
    layout->addWidget(explanation_);
    // The slice on the left, what it shows and how to read it on the right.
    auto* sliceRow = new QHBoxLayout;
    layout->addLayout(sliceRow);
    picture_ = new QLabel;
    picture_->setFixedSize(kSliceWidth, kSliceSide);
    picture_->setMouseTracking(true);
    picture_->installEventFilter(this);
    sliceRow->addWidget(picture_, 0, Qt::AlignTop);
    auto* side = new QVBoxLayout;
    sliceRow->addLayout(side, 1);
    const auto wrapped = [side](QLabel* label) {
        label->setWordWrap(true);
        label->setMinimumWidth(340);
        side->addWidget(label);
        return label;
    };
    sliceLabel_ = wrapped(new QLabel);
    slider_ = new QSlider(Qt::Horizontal);
    slider_->setRange(0, 255);
    slider_->setEnabled(false);
    side->addWidget(slider_);
    auto* controls = new QHBoxLayout;
    controls->addWidget(new QLabel(tr("描く個体: 角度 1 が断面の ±")));
    band_ = new QSpinBox;
    band_->setRange(0, 128);
    band_->setValue(kDefaultPopulationBand);
    band_->setSuffix(tr("°"));
    controls->addWidget(band_);
    controls->addStretch();
    side->addLayout(controls);
    outlines_ = new QCheckBox(tr("吸引域の境界"));
    outlines_->setChecked(false);
    side->addWidget(outlines_);
    wrapped(new QLabel(tr("各マスは角度 1 を固定した 1 つの姿勢で, 明るいほど先端が目標に近く, "
                          "灰色の線は最急上昇で登り着く局所最適が変わる境目です。")));
    caption_ = wrapped(new QLabel);
    hoverLine_ = wrapped(new QLabel);
    // The map across targets, over the main window's plot.
    auto* mapBox = new QGroupBox(tr("目標ごとの地形マップ (主画面のプロットに重ねる)"));
    auto* mapLayout = new QVBoxLayout(mapBox);
    openMap_ = new QPushButton(tr("landscape-map の CSV を開く..."));
    coarseMap_ = new QPushButton(tr("粗いマップを計算 (%1 px 間隔)").arg(kCoarseMapStep));
    overlay_ = new QCheckBox(tr("主画面に重ねる"));
    overlay_->setEnabled(false);
    mapLayout->addWidget(openMap_);
    mapLayout->addWidget(coarseMap_);
    mapLayout->addWidget(overlay_);
    mapProgress_ = new QProgressBar;
    mapProgress_->hide();
    mapLayout->addWidget(mapProgress_);
    mapNote_ = new QLabel(tr("各目標について, 256³ の開始点のうち最急上昇で目標の ε 以内に登る割合を, "
                             "黒 (なし) から青 (10⁻⁶) を経て黄 (すべて) までの対数目盛で主画面のプロットに重ねます。"));
    mapNote_->setWordWrap(true);
    mapLayout->addWidget(mapNote_);
    side->addWidget(mapBox);
    side->addStretch();
    connect(openMap_, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, tr("landscape-map の CSV を開く"), QString(),
                                                          tr("CSV ファイル (*.csv)"));
        if (!path.isEmpty()) LoadMap(path);
    });
    connect(coarseMap_, &QPushButton::clicked, this, &LandscapeWindow::ComputeCoarseMap);
    connect(overlay_, &QCheckBox::toggled, this, [this](bool on) {
        emit MapOverlayChanged(on && !map_.empty() ? LandscapeMapOverlay(map_, mapStep_) : QImage());
    });
    connect(&remaker_, &GenerationRemaker::made, this, &LandscapeWindow::OnTraced);
    connect(slider_, &QSlider::valueChanged, this, &LandscapeWindow::Repaint);
    connect(band_, &QSpinBox::valueChanged, this, &LandscapeWindow::Repaint);
    connect(outlines_, &QCheckBox::toggled, this, &LandscapeWindow::Repaint);
    connect(&watcher_, &QFutureWatcher<LandscapeResult>::progressValueChanged, progress_, &QProgressBar::setValue);
    connect(&watcher_, &QFutureWatcher<LandscapeResult>::finished, this, [this] {
        if (watcher_.future().resultCount() > 0) Show(watcher_.result());
    });
    const Geometry g = geometry_;
    const Neighbourhood n = inUse_;
    watcher_.setFuture(QtConcurrent::run([g, n](QPromise<LandscapeResult>& promise) {
        promise.setProgressRange(0, kLandscapeStages);
        promise.addResult(ComputeLandscape(g, n, [&promise](int stage) { promise.setProgressValue(stage); }));
    }));
    Repaint();
}

// The workers hold no pointer into the window: closed early, the window goes at once and a
// worker's result is dropped when it ends; a trace under way is told to stop.
LandscapeWindow::~LandscapeWindow() {
    if (mapStop_) mapStop_->store(true, std::memory_order_release);
}

void LandscapeWindow::StartMapWork(std::function<MapLoad(QPromise<MapLoad>&)> work) {
    if (mapWork_) return;  // one at a time
    openMap_->setEnabled(false);
    coarseMap_->setEnabled(false);
    mapProgress_->setValue(0);
    mapProgress_->show();
    mapWork_ = std::make_unique<QFutureWatcher<MapLoad>>();
    connect(mapWork_.get(), &QFutureWatcher<MapLoad>::progressRangeChanged, mapProgress_, &QProgressBar::setRange);
    connect(mapWork_.get(), &QFutureWatcher<MapLoad>::progressValueChanged, mapProgress_, &QProgressBar::setValue);
    connect(mapWork_.get(), &QFutureWatcher<MapLoad>::finished, this, [this] {
        MapLoad load = mapWork_->future().resultCount() > 0 ? mapWork_->result() : MapLoad{};
        mapWork_.reset();
        TakeMap(std::move(load));
    });
    mapWork_->setFuture(QtConcurrent::run([work = std::move(work)](QPromise<MapLoad>& promise) {
        promise.addResult(work(promise));
    }));
}

void LandscapeWindow::LoadMap(const QString& path) {
    StartMapWork([path](QPromise<MapLoad>& promise) {
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

void LandscapeWindow::ComputeCoarseMap() {
    mapStop_ = std::make_shared<std::atomic<bool>>(false);
    StartMapWork([n = inUse_, stop = mapStop_](QPromise<MapLoad>& promise) {
        promise.setProgressRange(0, static_cast<int>(LandscapeMapGrid(kCoarseMapStep).size()));
        MapLoad load;
        load.cells = ComputeLandscapeMap(
            kCoarseMapStep, n, [&promise](int done, int) { promise.setProgressValue(done); }, *stop);
        return load;
    });
}

void LandscapeWindow::TakeMap(MapLoad load) {
    openMap_->setEnabled(true);
    coarseMap_->setEnabled(true);
    mapProgress_->hide();
    if (!load.error.isEmpty() || load.cells.empty()) {
        mapNote_->setText(tr("地形マップを読めませんでした: %1").arg(load.error));
        emit MapReady();
        return;
    }
    map_ = std::move(load.cells);
    mapStep_ = LandscapeMapStep(map_);
    mapSource_ = load.source;
    mapNote_->setText((mapSource_.isEmpty() ? tr("計算した %1 個の目標 (%2 px 間隔, %3)").arg(map_.size()).arg(mapStep_).arg(QString::fromStdString(NeighbourhoodName(inUse_)))
                                            : tr("%1 の %2 個の目標 (%3 px 間隔)").arg(mapSource_).arg(map_.size()).arg(mapStep_)) +
                      tr(": 各目標について, 256³ の開始点のうち最急上昇で目標の ε 以内に登る割合を, "
                         "黒 (なし) から青 (10⁻⁶) を経て黄 (すべて) までの対数目盛で主画面のプロットに重ねます。"));
    overlay_->setEnabled(true);
    if (overlay_->isChecked())
        emit MapOverlayChanged(LandscapeMapOverlay(map_, mapStep_));
    else
        overlay_->setChecked(true);
    emit MapReady();
}

bool LandscapeWindow::MapShown() const { return overlay_->isChecked(); }
void LandscapeWindow::SetMapShown(bool shown) { overlay_->setChecked(shown); }
QString LandscapeWindow::MapNote() const { return mapNote_->text(); }

void LandscapeWindow::SetPopulation(std::vector<ArmPose> population, int generation, const Geometry& geometry) {
    otherTarget_ = geometry != geometry_;
    population_ = otherTarget_ ? std::vector<ArmPose>{} : std::move(population);
    generation_ = generation;
    Repaint();
    emit PopulationShown(generation);
}

void LandscapeWindow::SetRun(const RunSetup& setup, int generations) {
    setup_ = setup;
    generations_ = std::max(1, generations);
}

void LandscapeWindow::ForgetRun() {
    setup_.reset();
    remaker_.cancel();
    population_.clear();
    generation_ = 0;
    otherTarget_ = false;
    Repaint();
}

void LandscapeWindow::ShowGeneration(int generation) {
    if (!setup_) return;
    generation = std::clamp(generation, 1, generations_);
    remaker_.request(*setup_, generation);
}

void LandscapeWindow::OnTraced(GenerationStep made) {
    if (made.generation == 0 || !setup_) return;
    // The generation's individuals are the step's new population, decoded as the run decodes it.
    std::vector<std::uint32_t> genotypes;
    genotypes.reserve(made.next.size());
    for (const StepSlot& s : made.next) genotypes.push_back(s.after);
    SetPopulation(DecodeGenotypes(genotypes, made.algorithm.encoding), made.generation, made.geometry);
}

QString LandscapeWindow::Cell(int row, int column) const {
    const QTableWidgetItem* item = table_->item(row, column);
    return item ? item->text() : QString();
}

int LandscapeWindow::SliceAngle() const { return slider_->value(); }
void LandscapeWindow::SetSliceAngle(int angle1) { slider_->setValue(angle1); }
void LandscapeWindow::SetBand(int band) { band_->setValue(band); }
QString LandscapeWindow::PopulationCaption() const { return caption_->text(); }
QString LandscapeWindow::HoverText() const { return hoverLine_->text(); }

void LandscapeWindow::HoverCell(std::optional<QPoint> cell) {
    if (cell == hover_) return;
    hover_ = cell;
    Repaint();
}

bool LandscapeWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == picture_) {
        if (event->type() == QEvent::MouseMove) {
            const QPoint p = static_cast<QMouseEvent*>(event)->position().toPoint();
            if (p.x() >= 0 && p.y() >= 0 && p.x() < kSliceSide && p.y() < kSliceSide)
                HoverCell(QPoint(p.x() / kSliceCell, 255 - p.y() / kSliceCell));
            else
                HoverCell(std::nullopt);
        } else if (event->type() == QEvent::Leave) {
            HoverCell(std::nullopt);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void LandscapeWindow::Show(LandscapeResult result) {
    result_ = std::move(result);
    progress_->hide();
    const double all = kPoseCount;
    table_->setRowCount(static_cast<int>(result_.rows.size()));
    for (int r = 0; r < table_->rowCount(); ++r) {
        const LandscapeSummary& s = result_.rows[r];
        const QString texts[] = {QString::fromStdString(NeighbourhoodName(s.neighbourhood)) + (r == 0 ? tr(" (使用中)") : ""),
                                 QString::number(s.localOptima), QString::number(s.localOptimaWithin),
                                 QStringLiteral("%1 (%2%)").arg(s.basinOptimum).arg(100 * s.basinOptimum / all, 0, 'f', 4),
                                 QStringLiteral("%1 (%2%)").arg(s.startsWithin).arg(100 * s.startsWithin / all, 0, 'f', 4),
                                 QString::number(s.fdc, 'f', 4)};
        for (int c = 0; c < 6; ++c) table_->setItem(r, c, new QTableWidgetItem(texts[c]));
    }
    // Every row in view, without a scroll bar.
    int height = table_->horizontalHeader()->height() + 2 * table_->frameWidth();
    for (int r = 0; r < table_->rowCount(); ++r) height += table_->rowHeight(r);
    table_->setFixedHeight(height);
    table_->resizeColumnsToContents();
    int width = 2 * table_->frameWidth();
    for (int c = 0; c < table_->columnCount(); ++c) width += table_->columnWidth(c);
    table_->setMinimumWidth(width);
    long long binary = 0, gray = 0;
    for (const LandscapeSummary& s : result_.rows) {
        if (s.neighbourhood.kind == Neighbourhood::Kind::binary) binary = s.localOptima;
        if (s.neighbourhood.kind == Neighbourhood::Kind::gray) gray = s.localOptima;
    }
    explanation_->setText(tr("グレイ符号化はここで %1 個の行き止まりを %2 個に減らします: 隣り合う角度は 1 ビットしか違いません。"
                             "赤: 局所最適, 緑の枠: 最適解, 白い点 (黒い縁): 表示中の世代の個体。")
                              .arg(binary)
                              .arg(gray));
    slider_->setEnabled(true);
    const bool moved = slider_->value() != result_.table->optimum.pose.a1;
    slider_->setValue(result_.table->optimum.pose.a1);
    if (!moved) Repaint();
    emit Computed();
}

void LandscapeWindow::Repaint() {
    const int a1 = slider_->value();
    const int band = band_->value();
    // The population first: it is known before the landscape is.
    const std::vector<QPoint> inBand = PopulationInBand(population_, a1, band);
    drawn_ = static_cast<int>(inBand.size());
    if (otherTarget_)
        caption_->setText(tr("表示中の世代は別の目標の実行のものなので, その集団は描きません。"));
    else if (generation_ == 0)
        caption_->setText(tr("実行するか結果を開くと, 表示中の世代の集団がここに白い点で描かれます。"));
    else
        caption_->setText(tr("白い点: 世代 %1 の %2 個体のうち, 角度 1 が %3° ± %4° の %5 個体 (ほかの %6 個体は省略)。")
                              .arg(generation_)
                              .arg(population_.size())
                              .arg(a1)
                              .arg(band)
                              .arg(drawn_)
                              .arg(static_cast<int>(population_.size()) - drawn_));
    if (!result_.table) return;
    sliceLabel_->setText(tr("断面: 角度 1 = %1° (横: 角度 2, 縦: 角度 3, 色: 目標までの距離, 対数目盛)").arg(a1));
    LandscapeSlice slice;
    const double* d = result_.table->distance.data() + PoseIndex(a1, 0, 0);
    slice.distance.assign(d, d + 65536);
    for (const LocalOptimum& o : result_.rows.front().optima)
        if (o.pose.a1 == a1) slice.localOptima.emplace_back(o.pose.a2, o.pose.a3);
    const ArmPose best = result_.table->optimum.pose;
    slice.hasOptimum = best.a1 == a1;
    slice.optimum = QPoint(best.a2, best.a3);
    slice.population = inBand;
    const std::uint32_t* attractor = result_.attractors->data() + PoseIndex(a1, 0, 0);
    const std::vector<std::uint32_t> cells(attractor, attractor + 65536);
    if (outlines_->isChecked()) slice.edges = BasinEdges(cells, 256);
    if (hover_) {
        const std::uint32_t start = PoseIndex(a1, hover_->x(), hover_->y());
        const std::uint32_t top = (*result_.attractors)[start];
        slice.lit.resize(65536);
        int inSlice = 0;
        for (int i = 0; i < 65536; ++i) inSlice += slice.lit[i] = cells[i] == top;
        const std::vector<LocalOptimum>& optima = result_.rows.front().optima;
        const auto at = std::lower_bound(optima.begin(), optima.end(), top, [](const LocalOptimum& o, std::uint32_t i) {
            return PoseIndex(o.pose.a1, o.pose.a2, o.pose.a3) < i;
        });
        const ArmPose p = PoseAt(top);
        const std::uint32_t size = at != optima.end() ? at->basinSize : 0;
        hoverLine_->setText(tr("姿勢 (%1, %2, %3) は局所最適 (%4, %5, %6) に登ります: 距離 %7 px, 吸引域は全体で %8 姿勢 "
                               "(%9%), この断面に %10 マス。")
                                .arg(a1)
                                .arg(hover_->x())
                                .arg(hover_->y())
                                .arg(p.a1)
                                .arg(p.a2)
                                .arg(p.a3)
                                .arg(result_.table->distance[top], 0, 'f', 3)
                                .arg(size)
                                .arg(100.0 * size / kPoseCount, 0, 'f', 4)
                                .arg(inSlice));
    }
    if (!hover_) hoverLine_->setText(tr("マスの上にポインタを置くと, その姿勢の吸引域が明るく残ります。"));
    picture_->setPixmap(QPixmap::fromImage(DrawLandscapeSlice(slice)));
}

}  // namespace kelvora::ui
