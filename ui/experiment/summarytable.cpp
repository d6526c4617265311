#include "experiment/summarytable.h"

#include <algorithm>
#include <cmath>

#include <QHeaderView>
#include <QScrollBar>
#include <QSplitter>
#include <QStyle>

#include "experiment/experimentplots.h"
#include "experiment/experimentwindow.h"
#include "experiment/statisticspanel.h"
#include "report/report.h"
#include "session/numbers.h"

namespace kelvora::ui {

namespace {

// Widest the label column opens; a longer label is elided, whole in its tooltip.
constexpr int kLabelWidth = 110;

QString Number(double v) { return QString::fromStdString(kelvora::session::NumberText(v)); }

// A rate with its interval in percent, as kelvora-cli's summary writes it: "44.0% [34.7, 53.8]".
QString Interval(const kelvora::Proportion& p) {
    return QStringLiteral("%1% [%2, %3]").arg(100 * p.rate, 0, 'f', 1).arg(100 * p.low, 0, 'f', 1).arg(100 * p.high, 0, 'f', 1);
}

}  // namespace

SummaryTable::SummaryTable(QWidget* parent) : QTableWidget(0, kColumns, parent) {
    setObjectName(QStringLiteral("Summary"));
    setHorizontalHeaderLabels({ExperimentWindow::tr("構成"), ExperimentWindow::tr("ε 以内 [95%]"), ExperimentWindow::tr("ERT"),
                               ExperimentWindow::tr("誤差の中央値"), ExperimentWindow::tr("p (対基準)"),
                               ExperimentWindow::tr("ε までの世代 (中央値)"), ExperimentWindow::tr("実行数"),
                               ExperimentWindow::tr("最適解 [95%]")});
    // Short headers, each said in full in its tooltip.
    horizontalHeaderItem(kWithin)->setToolTip(ExperimentWindow::tr("誤差 ε 以内に到達した実行の割合と 95% 信頼区間 (Wilson)"));
    horizontalHeaderItem(kErt)->setToolTip(ExperimentWindow::tr("期待実行時間: ε 以内に到達するまでの評価回数の期待値"));
    horizontalHeaderItem(kDistance)->setToolTip(ExperimentWindow::tr("最終エリート解の誤差の中央値 (px)"));
    horizontalHeaderItem(kP)->setToolTip(ExperimentWindow::tr("ε 以内の成功数の、統計タブの基準に対する Fisher の正確検定 (Holm 補正)"));
    horizontalHeaderItem(kFirst)->setToolTip(ExperimentWindow::tr("ε 以内に到達した実行の、到達した世代の中央値 (到達した実行数/全実行数)"));
    horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    horizontalHeader()->setSectionResizeMode(kLabel, QHeaderView::Interactive);
    setTextElideMode(Qt::ElideRight);
    // Only the labels are edited here (an opened file's too): each item says whether it may be.
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    connect(this, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (item->column() != kLabel) return;
        if (item->text().trimmed().isEmpty()) {
            const QSignalBlocker quiet(this);
            item->setText(item->data(Qt::UserRole).toString());  // a label is never empty
            return;
        }
        emit labelEdited(static_cast<std::size_t>(item->row()), item->text());
    });
}

void SummaryTable::showRows(const std::vector<QString>& labels,
                            const std::vector<std::optional<kelvora::SweepSummaryRow>>& rows,
                            const std::vector<std::size_t>& runs) {
    const QSignalBlocker quiet(this);  // its rows are filled, not edited
    setRowCount(0);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int row = rowCount();
        insertRow(row);
        QString cells[kColumns];
        QString firstTip;
        cells[kLabel] = labels[i];
        cells[kRuns] = QString::number(runs[i]);
        if (const std::optional<kelvora::SweepSummaryRow>& s = rows[i]) {
            const kelvora::Quartiles& first = s->firstWithinEpsilon;
            cells[kWithin] = Interval(s->withinEpsilon);
            cells[kOptimum] = Interval(s->reached);
            cells[kErt] = QString::fromStdString(kelvora::report::ErtText(s->ertEvaluations));
            cells[kDistance] = QString::number(s->eliteDistance.median, 'g', 4);
            // The median is over the runs that came within epsilon: how many says how much it weighs.
            cells[kFirst] = MedianOverRuns(first.median, first.count, s->runs);
            if (first.count > 0)
                firstTip = ExperimentWindow::tr("中央値 %1、四分位 %2–%3 (ε 以内に到達した %4 回の実行)")
                               .arg(Number(first.median), Number(first.q1), Number(first.q3))
                               .arg(first.count);
        }
        for (int c = 0; c < kColumns; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (c != kLabel) item->setFlags(item->flags() & ~Qt::ItemIsEditable);
            if (c == kLabel) {
                item->setToolTip(cells[c]);  // whole, where the column elides it
                item->setData(Qt::UserRole, cells[c]);
            }
            if (c == kFirst) item->setToolTip(firstTip);
            setItem(row, c, item);
        }
    }
}

void SummaryTable::setLabel(std::size_t configuration, const QString& label) {
    if (QTableWidgetItem* item = this->item(static_cast<int>(configuration), kLabel)) {
        const QSignalBlocker quiet(this);
        item->setText(label);
        item->setToolTip(label);
        item->setData(Qt::UserRole, label);
    }
}

void SummaryTable::showAgainstBaseline(const StatisticsPanel& statistics) {
    QFont bold = font();
    bold.setBold(true);
    for (int row = 0; row < rowCount(); ++row) {
        QTableWidgetItem* rate = item(row, kWithin);
        QTableWidgetItem* p = item(row, kP);
        if (!rate || !p) continue;
        const auto configuration = static_cast<std::size_t>(row);  // a row per configuration, in order
        p->setText(statistics.againstBaseline(configuration));
        const bool significant = statistics.baselineP(configuration) < 0.05;
        rate->setFont(significant ? bold : font());
        p->setFont(significant ? bold : font());
    }
}

void SummaryTable::fitColumns() {
    resizeColumnsToContents();
    setColumnWidth(kLabel, std::min(columnWidth(kLabel), kLabelWidth));
}

int SummaryTable::neededWidth() const {
    int needed = 2 * frameWidth() + style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    if (!verticalHeader()->isHidden()) needed += verticalHeader()->sizeHint().width();
    for (int column = kLabel; column <= kP; ++column) needed += columnWidth(column);
    return needed;
}

void FitSplitter(QSplitter* splitter, int needed) {
    const QList<int> sizes = splitter->sizes();
    const int total = sizes.value(0) + sizes.value(1);
    const int most = std::max(0, total - splitter->widget(1)->minimumSizeHint().width());
    const int width = std::min(std::max(needed, splitter->widget(0)->minimumSizeHint().width()), most);
    if (width != sizes.value(0)) splitter->setSizes({width, total - width});
}

}  // namespace kelvora::ui
