#pragma once
// The chart of a population's diversity per generation, below the fitness chart: the share of
// distinct genotypes, the mean Hamming distance over 24 bits, the mean bit entropy and the share
// equal to the best, each normalised to 0..1, with a one-line reading of the latest generation.

#include <QChartView>
#include <QList>
#include <QString>

#include "analysis/diversity.h"

class QLineSeries;
class QValueAxis;

namespace kelvora::ui {

/// One generation's measures, each in 0..1.
struct DiversityPoint {
    int generation = 0;    ///< 1..
    double distinct = 0;   ///< distinct genotypes / N
    double hamming = 0;    ///< mean Hamming distance / 24
    double entropy = 0;    ///< mean bit entropy, bits
    double bestShare = 0;  ///< share equal to the best genotype
};

class DiversityChart : public QChartView {
    Q_OBJECT

public:
    explicit DiversityChart(QWidget* parent = nullptr);

    /// The measures of generation (1..) of population (1..) individuals, normalised.
    static DiversityPoint Normalised(int generation, const kelvora::Diversity& d, int population);
    /// A sentence on what the measures of a generation say, in the window's language.
    static QString Reading(const DiversityPoint& point);

    /// Empties the chart; generations 1..limit on the x axis.
    void clear(int limit);
    /// Generations from history index firstRow on (later ones are dropped first); entries with
    /// distinct 0 were not measured and are left out.
    void append(int firstRow, const QList<kelvora::Diversity>& rows, int population);
    /// Every generation at once.
    void setPoints(const QList<DiversityPoint>& points);
    const QList<DiversityPoint>& points() const { return m_points; }
    /// Reading of generation (the last one measured up to it; 0: the last of all), or a placeholder.
    QString reading(int generation = 0) const;

signals:
    /// The points changed (the reading with them).
    void changed();

private:
    // Read by the tests through DiversityChartTestAccess (defined in tests/ui/uitestsupport.h).
    friend struct DiversityChartTestAccess;

    void refresh();

    QList<DiversityPoint> m_points;
    QLineSeries* m_series[4];
    QValueAxis* m_axisX;
    QValueAxis* m_axisY;
    int m_limit = 1;
    bool m_refreshPending = false;
};

}  // namespace kelvora::ui
