#pragma once
// The experiment window's summary: a row per configuration with its outcome (within epsilon and at
// the optimum with their 95% intervals, ERT, medians) and its test against the 統計 tab's
// baseline. Only the labels are edited here.

#include <cstddef>
#include <optional>
#include <vector>

#include <QTableWidget>

class QSplitter;

#include "batch/sweep.h"

namespace kelvora::ui {

class StatisticsPanel;

class SummaryTable : public QTableWidget {
    Q_OBJECT

public:
    /// The columns, the ones read first leftmost: at the window's opening size the label, the
    /// success within epsilon, the ERT and the median distance show without scrolling.
    enum Column { kLabel, kWithin, kErt, kDistance, kP, kFirst, kRuns, kOptimum, kColumns };

    explicit SummaryTable(QWidget* parent);

    /// A row per configuration, in order: its label, its runs and, when it has runs, its outcome.
    void showRows(const std::vector<QString>& labels, const std::vector<std::optional<kelvora::SweepSummaryRow>>& rows,
                  const std::vector<std::size_t>& runs);
    /// Names configuration's row label (a label typed elsewhere).
    void setLabel(std::size_t configuration, const QString& label);
    /// Each row's test against the baseline statistics compares with; rates significant at 5% bold.
    void showAgainstBaseline(const StatisticsPanel& statistics);
    /// Sizes the columns to their contents, the label's capped.
    void fitColumns();
    /// The width the columns read first (up to the p) need, with the row numbers, the frame and
    /// room for a vertical scroll bar.
    int neededWidth() const;

signals:
    /// A label was typed for configuration (never empty: an emptied label is put back).
    void labelEdited(std::size_t configuration, const QString& label);
};

/// Gives the splitter's first side needed (its least at least), the second side keeping its least.
void FitSplitter(QSplitter* splitter, int needed);

}  // namespace kelvora::ui
