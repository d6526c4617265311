#pragma once
// The microscope's pictures, each a function of its inputs alone: a stage of one generation, the
// strip of its slots, and a slot's ancestry.

#include <vector>

#include <QFontMetricsF>
#include <QPoint>
#include <QRectF>
#include <QSize>
#include <QString>

#include "io/trace_step.h"

class QPainter;

namespace kelvora::ui {

/// The stages of a generation, in the order the step takes them.
enum class MicroscopeStage { selection, crossover, mutation, elites, children };
inline constexpr int kMicroscopeStageCount = 5;

/// Height of the slot strip along the bottom of a stage picture, px.
inline constexpr int kSlotStripHeight = 18;

/// Paints stage of step into a picture of size (px), slot (0..N-1) the one looked at: the stage
/// above, the strip of every slot (coloured by kind, slot marked) along the bottom.
void PaintStage(QPainter& painter, QSize size, const GenerationStep& step, MicroscopeStage stage, int slot);

/// The slot under point in a picture PaintStage painted, or -1: a slot of the strip, a bar of the
/// evaluated children, a row of the elites.
int SlotAt(QSize size, const GenerationStep& step, MicroscopeStage stage, QPoint point);

/// A generation's label above its column of an ancestry picture: the text and the rect it takes, px.
struct AncestryLabel {
    QString text;
    QRectF rect;
};

/// The labels PaintAncestry paints above its columns in a picture of size (px), measured with
/// metrics: "世代 N" where the column has room, else the number alone, else elided; each within its
/// own column, so no two overlap.
std::vector<AncestryLabel> AncestryLabels(const QFontMetricsF& metrics, QSize size,
                                          const std::vector<std::vector<AncestorNode>>& levels);

/// Paints an ancestry (AncestryOf) as boxes, the slot on the right, each generation back a column
/// further left and fainter, lines from each box to its parents.
void PaintAncestry(QPainter& painter, QSize size, const std::vector<std::vector<AncestorNode>>& levels);

/// The 24 bits of a genotype, most significant first, as "0101 ..." in groups of eight.
QString GenotypeBits(std::uint32_t genotype);

}  // namespace kelvora::ui
