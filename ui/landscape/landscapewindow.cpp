#include "landscape/landscapewindow.h"

#include <QHeaderView>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QSlider>
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

LandscapeResult ComputeLandscape(const Geometry& geometry, const Neighbourhood& inUse) {
    auto table = std::make_shared<DistanceTable>();
    FillDistanceTable(geometry, *table);
    std::vector<Neighbourhood> list{inUse};
    for (const char* name : {"binary", "gray", "creep:4"})
        if (*ParseNeighbourhood(name) != inUse) list.push_back(*ParseNeighbourhood(name));
    LandscapeResult result;
    for (const Neighbourhood& n : list) result.rows.push_back(AnalyseLandscape(*table, n, 0.5));
    // Only the choice in use keeps its optima, for the slices.
    for (std::size_t k = 1; k < result.rows.size(); ++k) result.rows[k].optima = {};
    result.table = std::move(table);
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
    progress_->setRange(0, 0);  // busy until the worker is done
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
    sliceLabel_ = new QLabel;
    layout->addWidget(sliceLabel_);
    slider_ = new QSlider(Qt::Horizontal);
    slider_->setRange(0, 255);
    slider_->setEnabled(false);
    layout->addWidget(slider_);
    picture_ = new QLabel;
    picture_->setFixedSize(kSliceWidth, kSliceSide);
    layout->addWidget(picture_);
    connect(slider_, &QSlider::valueChanged, this, &LandscapeWindow::Repaint);
    connect(&watcher_, &QFutureWatcher<LandscapeResult>::finished, this, [this] { Show(watcher_.result()); });
    const Geometry g = geometry_;
    const Neighbourhood n = inUse_;
    watcher_.setFuture(QtConcurrent::run([g, n] { return ComputeLandscape(g, n); }));
}

// The worker holds no pointer into the window: closed early, the window goes at once and the
// worker's result is dropped when it ends.
LandscapeWindow::~LandscapeWindow() = default;

void LandscapeWindow::SetPopulation(std::vector<ArmPose> population) {
    population_ = std::move(population);
    Repaint();
}

QString LandscapeWindow::Cell(int row, int column) const {
    const QTableWidgetItem* item = table_->item(row, column);
    return item ? item->text() : QString();
}

int LandscapeWindow::SliceAngle() const { return slider_->value(); }

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
                             "赤: 局所最適, 緑の枠: 最適解, 黒: 角度 1 が断面の ±%3° 以内の個体。")
                              .arg(binary)
                              .arg(gray)
                              .arg(kPopulationBand));
    slider_->setEnabled(true);
    const bool moved = slider_->value() != result_.table->optimum.pose.a1;
    slider_->setValue(result_.table->optimum.pose.a1);
    if (!moved) Repaint();
    emit Computed();
}

void LandscapeWindow::Repaint() {
    if (!result_.table) return;
    const int a1 = slider_->value();
    sliceLabel_->setText(tr("断面: 角度 1 = %1° (横: 角度 2, 縦: 角度 3, 色: 目標までの距離, 対数目盛)").arg(a1));
    LandscapeSlice slice;
    const double* d = result_.table->distance.data() + PoseIndex(a1, 0, 0);
    slice.distance.assign(d, d + 65536);
    for (const LocalOptimum& o : result_.rows.front().optima)
        if (o.pose.a1 == a1) slice.localOptima.emplace_back(o.pose.a2, o.pose.a3);
    const ArmPose best = result_.table->optimum.pose;
    slice.hasOptimum = best.a1 == a1;
    slice.optimum = QPoint(best.a2, best.a3);
    for (const ArmPose& p : population_)
        if (std::abs(p.a1 - a1) <= kPopulationBand) slice.population.emplace_back(p.a2, p.a3);
    picture_->setPixmap(QPixmap::fromImage(DrawLandscapeSlice(slice)));
}

}  // namespace kelvora::ui
