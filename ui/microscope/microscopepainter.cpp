#include "microscope/microscopepainter.h"

#include <algorithm>
#include <cmath>

#include <QCoreApplication>
#include <QPainter>
#include <QPainterPath>

#include "ga/algorithm.h"

namespace kelvora::ui {
namespace {

QString Tr(const char* text) { return QCoreApplication::translate("kelvora::ui::MicroscopeWindow", text); }

constexpr int kMargin = 8;
constexpr int kHeader = 22;     // the stage's title line
constexpr int kLabelWidth = 90; // the row names left of the bit cells
constexpr int kRowHeight = 22;

QColor KindColor(SlotKind kind) {
    switch (kind) {
    case SlotKind::elite: return QColor(0xd4, 0xa0, 0x17);
    case SlotKind::child: return QColor(0x3a, 0x7b, 0xd5);
    case SlotKind::random: return QColor(0x4c, 0xa8, 0x5a);
    default: return QColor(0x9a, 0x9a, 0x9a);
    }
}

const QColor kParentA(0x3a, 0x7b, 0xd5), kParentB(0xe0, 0x80, 0x30), kMarked(0xd0, 0x20, 0x20);

int Bit(std::uint32_t genotype, int column) { return static_cast<int>(genotype >> (23 - column) & 1u); }

QString KindName(SlotKind kind) {
    switch (kind) {
    case SlotKind::elite: return QCoreApplication::translate("kelvora::ui::MicroscopeWindow", "エリート");
    case SlotKind::child: return QCoreApplication::translate("kelvora::ui::MicroscopeWindow", "子");
    case SlotKind::random: return QCoreApplication::translate("kelvora::ui::MicroscopeWindow", "ランダム");
    default: return QCoreApplication::translate("kelvora::ui::MicroscopeWindow", "コピー");
    }
}

QString Fit(double f) { return QString::number(f, 'g', 6); }

// The area above the slot strip.
QRect StageArea(QSize size) {
    return QRect(kMargin, kMargin + kHeader, size.width() - 2 * kMargin,
                 size.height() - 2 * kMargin - kHeader - kSlotStripHeight - 4);
}

QRect StripArea(QSize size) {
    return QRect(kMargin, size.height() - kMargin - kSlotStripHeight, size.width() - 2 * kMargin, kSlotStripHeight);
}

// One row of 24 bit cells: a 1 filled in its colour, a 0 in its colour's pale tint; cells whose bit
// is in `marked` framed in red.
void PaintBits(QPainter& p, QRect row, const QString& label, std::uint32_t genotype, const QColor* colors,
               std::uint32_t marked = 0) {
    p.setPen(Qt::black);
    p.drawText(QRect(row.left(), row.top(), kLabelWidth - 4, row.height()), Qt::AlignRight | Qt::AlignVCenter, label);
    const double cell = (row.width() - kLabelWidth) / 24.0;
    for (int c = 0; c < 24; ++c) {
        const QRectF r(row.left() + kLabelWidth + c * cell, row.top() + 2, cell - 1, row.height() - 4);
        const QColor color = colors[c];
        p.fillRect(r, Bit(genotype, c) ? color : color.lighter(170));
        if (cell >= 10) {
            p.setPen(Bit(genotype, c) ? Qt::white : Qt::black);
            p.drawText(r, Qt::AlignCenter, QString::number(Bit(genotype, c)));
        }
        if (marked >> (23 - c) & 1u) {
            p.setPen(QPen(kMarked, 2));
            p.drawRect(r.adjusted(1, 1, -1, -1));
        }
    }
}

void Fill(QColor* colors, const QColor& c) { std::fill(colors, colors + 24, c); }

// The arms of genotypes (each with its colour; dashed when the flag is set) on the run's base,
// its target a red cross, scaled so the arm's whole reach (200 px) fits rect.
struct Arm {
    std::uint32_t genotype;
    QColor color;
    bool dashed = false;
};

void PaintArms(QPainter& p, QRectF rect, const GenerationStep& step, const std::vector<Arm>& arms) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(200, 200, 200));
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect);
    const double scale = std::min(rect.width(), rect.height()) / 420.0;
    const QPointF base = rect.center();
    const Geometry& g = step.geometry;
    const auto at = [&](double x, double y) { return QPointF(base.x() + (x - g.baseX) * scale, base.y() + (y - g.baseY) * scale); };
    const QPointF target = at(g.targetX, g.targetY);
    p.setPen(QPen(kMarked, 2));
    p.drawLine(target + QPointF(-5, -5), target + QPointF(5, 5));
    p.drawLine(target + QPointF(-5, 5), target + QPointF(5, -5));
    const bool gray = step.algorithm.method == Method::geneticAlgorithm && step.algorithm.encoding == Encoding::gray;
    for (const Arm& arm : arms) {
        double x = g.baseX, y = g.baseY, angle = 0;
        const double lengths[] = {60, 100, 40};
        QPolygonF line{at(x, y)};
        for (int k = 0; k < 3; ++k) {
            const int byte = static_cast<int>(arm.genotype >> (16 - 8 * k) & 0xFF);
            angle += gray ? GrayDecode(byte) : byte;
            x += lengths[k] * std::cos(angle * M_PI / 180);
            y -= lengths[k] * std::sin(angle * M_PI / 180);
            line << at(x, y);
        }
        p.setPen(QPen(arm.color, 2.5, arm.dashed ? Qt::DashLine : Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(line);
    }
    p.setPen(Qt::black);
    p.setBrush(Qt::black);
    p.drawEllipse(base, 3, 3);
    p.restore();
}

// The arm panel's place: the stage area's right end.
QRectF ArmPanel(QRect area) {
    const double side = std::min(area.height() - 4.0, 220.0);
    return QRectF(area.right() - side, area.top(), side, side);
}

// Width of the rows of bit cells left of the arm panel.
int BitsWidth(QRect area) {
    return std::min(static_cast<int>(area.width() - ArmPanel(area).width() - 10), kLabelWidth + 24 * 26);
}

int PairStart(const GenerationStep& step, int slot) {
    const int elites = step.algorithm.method == Method::geneticAlgorithm ? step.algorithm.elitism : 0;
    return slot - (slot - elites) % 2;
}

void PaintSelection(QPainter& p, QRect area, const GenerationStep& step, int slot) {
    const int n = static_cast<int>(step.parents.size());
    const StepSlot& s = step.next[static_cast<std::size_t>(slot)];
    const bool drawn = s.kind == SlotKind::child || s.kind == SlotKind::copy;
    std::vector<int> draws(static_cast<std::size_t>(n), 0);  // how often each parent was drawn
    for (const StepSlot& t : step.next) {
        if (t.kind == SlotKind::copy) ++draws[static_cast<std::size_t>(t.parents[0])];
        if (t.kind == SlotKind::child) ++draws[static_cast<std::size_t>(t.parents[0])], ++draws[static_cast<std::size_t>(t.parents[1])];
    }
    const auto isParent = [&](int i) { return drawn && (s.parents[0] == i || (s.kind == SlotKind::child && s.parents[1] == i)); };
    const int diameter = std::max(40, std::min(area.height() - 20, area.width() / 2 - 20));
    const QRect wheel(area.left() + 10, area.top() + 10, diameter, diameter);
    const QPointF centre = QRectF(wheel).center();
    QStringList lines;
    if (!step.weights.empty() && step.weightTotal > 0) {
        // The wheel: each parent's slice its share of the weights, from twelve o'clock clockwise.
        double start = 0.0;
        p.setPen(Qt::NoPen);
        std::vector<double> middle(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            const double span = 360.0 * step.weights[static_cast<std::size_t>(i)] / step.weightTotal;
            QColor c = QColor::fromHsv((i * 47) % 360, isParent(i) ? 255 : 90, isParent(i) ? 220 : 235);
            p.setBrush(c);
            QPainterPath slice;
            slice.moveTo(centre);
            slice.arcTo(QRectF(wheel), 90.0 - start, -span);
            slice.closeSubpath();
            p.drawPath(slice);
            middle[static_cast<std::size_t>(i)] = start + span / 2;
            start += span;
        }
        // Each draw a tick outside the rim, longer for a parent drawn more often; the slot's own
        // parents in red.
        const double radius = diameter / 2.0;
        for (int i = 0; i < n; ++i) {
            const int k = draws[static_cast<std::size_t>(i)];
            if (k == 0) continue;
            const double a = (90.0 - middle[static_cast<std::size_t>(i)]) * M_PI / 180.0;
            const double outer = radius + 3 + std::min(3 + 2 * k, 16);
            p.setPen(QPen(isParent(i) ? kMarked : QColor(40, 40, 40), isParent(i) ? 3 : 1));
            p.drawLine(QPointF(centre.x() + (radius + 2) * std::cos(a), centre.y() - (radius + 2) * std::sin(a)),
                       QPointF(centre.x() + outer * std::cos(a), centre.y() - outer * std::sin(a)));
        }
        lines << (step.algorithm.selection == Selection::rank ? QCoreApplication::translate("kelvora::ui::MicroscopeWindow", "ルーレット: 順位の重み N … 1 による扇")
                                                             : QCoreApplication::translate("kelvora::ui::MicroscopeWindow", "ルーレット: 適応度に比例する扇"));
    } else if (step.algorithm.method == Method::randomSearch) {
        lines << QCoreApplication::translate("kelvora::ui::MicroscopeWindow", "ランダム探索: 選択はありません");
    } else {
        // Tournament: the parents' fitness as bars, each winner's draws as ticks under it.
        lines << QCoreApplication::translate("kelvora::ui::MicroscopeWindow", "トーナメント: 記録されるのは各回の勝者だけで、対戦者は記録されません");
        const double best = *std::max_element(step.parentFitness.begin(), step.parentFitness.end());
        const double w = double(wheel.width()) / n;
        for (int i = 0; i < n; ++i) {
            const double h = (wheel.height() - 20) * step.parentFitness[static_cast<std::size_t>(i)] / best;
            p.fillRect(QRectF(wheel.left() + i * w, wheel.bottom() - 20 - h, std::max(1.0, w - 1), h),
                       isParent(i) ? kMarked : QColor(120, 140, 170));
            if (draws[static_cast<std::size_t>(i)] > 0)
                p.fillRect(QRectF(wheel.left() + i * w, wheel.bottom() - 16, std::max(1.0, w - 1),
                                  std::min(16, 3 * draws[static_cast<std::size_t>(i)])), Qt::black);
        }
    }
    if (drawn) {
        for (int j = 0; j < (s.kind == SlotKind::child ? 2 : 1); ++j) {
            const int i = s.parents[static_cast<std::size_t>(j)];
            QString line = (j == 0 ? QCoreApplication::translate("kelvora::ui::MicroscopeWindow", "親 A: %1  適応度 %2") : QCoreApplication::translate("kelvora::ui::MicroscopeWindow", "親 B: %1  適応度 %2"))
                               .arg(i)
                               .arg(Fit(step.parentFitness[static_cast<std::size_t>(i)]));
            if (!step.weights.empty())
                line += QCoreApplication::translate("kelvora::ui::MicroscopeWindow", "  扇 %1%").arg(100.0 * step.weights[static_cast<std::size_t>(i)] / step.weightTotal, 0, 'g', 4);
            lines << line << QCoreApplication::translate("kelvora::ui::MicroscopeWindow", "    選ばれた回数 %1").arg(draws[static_cast<std::size_t>(i)]);
        }
        if (s.redraws > 0) lines << QCoreApplication::translate("kelvora::ui::MicroscopeWindow", "同じ親が %1 回続けて選ばれ、選び直されました").arg(s.redraws);
        std::vector<Arm> arms{{step.parents[static_cast<std::size_t>(s.parents[0])], kParentA}};
        if (s.kind == SlotKind::child) arms.push_back({step.parents[static_cast<std::size_t>(s.parents[1])], kParentB});
        PaintArms(p, ArmPanel(area), step, arms);
    } else if (s.kind == SlotKind::elite) {
        lines << QCoreApplication::translate("kelvora::ui::MicroscopeWindow", "スロット %1 はエリートで、選択を通りません").arg(slot);
    }
    p.setPen(Qt::black);
    p.drawText(QRect(wheel.right() + 30, area.top() + 10, static_cast<int>(ArmPanel(area).left()) - wheel.right() - 40, area.height() - 10),
               Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, lines.join(QLatin1Char('\n')));
}

void PaintCrossover(QPainter& p, QRect area, const GenerationStep& step, int slot) {
    const StepSlot& s = step.next[static_cast<std::size_t>(slot)];
    if (s.kind != SlotKind::child) {
        p.drawText(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                   QCoreApplication::translate("kelvora::ui::MicroscopeWindow", "スロット %1 (%2) は交差でできていません").arg(slot).arg(KindName(s.kind)));
        return;
    }
    const int first = PairStart(step, slot);
    const StepSlot& c1 = step.next[static_cast<std::size_t>(first)];
    const StepSlot& c2 = step.next[static_cast<std::size_t>(first) + 1];
    const std::uint32_t a = step.parents[static_cast<std::size_t>(s.parents[0])];
    const std::uint32_t b = step.parents[static_cast<std::size_t>(s.parents[1])];
    QColor colors[24];
    int y = area.top();
    const auto row = [&](const QString& label, std::uint32_t g) {
        PaintBits(p, QRect(area.left(), y, BitsWidth(area), kRowHeight), label, g, colors);
        y += kRowHeight;
    };
    Fill(colors, kParentA);
    row(QCoreApplication::translate("kelvora::ui::MicroscopeWindow", "親 A %1").arg(s.parents[0]), a);
    Fill(colors, kParentB);
    row(QCoreApplication::translate("kelvora::ui::MicroscopeWindow", "親 B %1").arg(s.parents[1]), b);
    Fill(colors, QColor(60, 60, 60));
    row(QCoreApplication::translate("kelvora::ui::MicroscopeWindow", "マスク"), s.mask);
    y += 8;
    for (int c = 0; c < 24; ++c) colors[c] = (s.mask >> (23 - c) & 1u) ? kParentB : kParentA;
    row(QCoreApplication::translate("kelvora::ui::MicroscopeWindow", "子 1 (%1)").arg(first), c1.before);
    for (int c = 0; c < 24; ++c) colors[c] = (s.mask >> (23 - c) & 1u) ? kParentA : kParentB;
    row(QCoreApplication::translate("kelvora::ui::MicroscopeWindow", "子 2 (%1)").arg(first + 1), c2.before);
    PaintArms(p, ArmPanel(area), step, {{a, kParentA}, {b, kParentB}, {c1.before, kParentA.darker(150), true}, {c2.before, kParentB.darker(150), true}});
    p.setPen(Qt::black);
    p.drawText(QRect(area.left(), y + 6, BitsWidth(area), area.bottom() - y - 6), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
               QCoreApplication::translate("kelvora::ui::MicroscopeWindow", "子 1 = (A & ~M) | (B & M)、子 2 = (B & ~M) | (A & M)。マスクが 1 のビットを入れ替えます。"));
}

void PaintMutation(QPainter& p, QRect area, const GenerationStep& step, int slot) {
    const StepSlot& s = step.next[static_cast<std::size_t>(slot)];
    QColor colors[24];
    Fill(colors, KindColor(s.kind));
    const QRect row(area.left(), area.top(), BitsWidth(area), kRowHeight);
    PaintBits(p, row, QCoreApplication::translate("kelvora::ui::MicroscopeWindow", "変異前"), s.before, colors);
    PaintBits(p, row.translated(0, kRowHeight), QCoreApplication::translate("kelvora::ui::MicroscopeWindow", "変異後"), s.after, colors, s.before ^ s.after);
    PaintArms(p, ArmPanel(area), step, {{s.before, QColor(120, 120, 120), true}, {s.after, KindColor(s.kind)}});
    QStringList lines;
    const bool gray = step.algorithm.method == Method::geneticAlgorithm && step.algorithm.encoding == Encoding::gray;
    for (int k = 0; k < 3; ++k) {
        const int b = static_cast<int>(s.before >> (16 - 8 * k) & 0xFF), a = static_cast<int>(s.after >> (16 - 8 * k) & 0xFF);
        const int from = gray ? GrayDecode(b) : b, to = gray ? GrayDecode(a) : a;
        if (from != to) lines << QCoreApplication::translate("kelvora::ui::MicroscopeWindow", "関節 %1: 角度 %2 → %3 (%4)").arg(k + 1).arg(from).arg(to).arg(to - from > 0 ? QStringLiteral("+%1").arg(to - from) : QString::number(to - from));
    }
    if (lines.isEmpty()) lines << (s.kind == SlotKind::elite ? QCoreApplication::translate("kelvora::ui::MicroscopeWindow", "エリートは変異しません") : QCoreApplication::translate("kelvora::ui::MicroscopeWindow", "どの遺伝子も変異しませんでした"));
    int mutated = 0;
    for (const StepSlot& t : step.next) mutated += t.before != t.after;
    lines << QCoreApplication::translate("kelvora::ui::MicroscopeWindow", "この世代で変異した個体: %1 / %2").arg(mutated).arg(step.next.size());
    p.setPen(Qt::black);
    p.drawText(QRect(area.left(), area.top() + 2 * kRowHeight + 8, BitsWidth(area), area.height() - 2 * kRowHeight - 8),
               Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, lines.join(QLatin1Char('\n')));
}

int EliteCount(const GenerationStep& step) {
    int e = 0;
    while (e < static_cast<int>(step.next.size()) && step.next[static_cast<std::size_t>(e)].kind == SlotKind::elite) ++e;
    return e;
}

void PaintElites(QPainter& p, QRect area, const GenerationStep& step, int slot) {
    const int elites = EliteCount(step);
    if (elites == 0) {
        p.drawText(area, Qt::AlignLeft | Qt::AlignTop, QCoreApplication::translate("kelvora::ui::MicroscopeWindow", "エリートなし: 親はだれも次の世代へそのまま残りません"));
        return;
    }
    QColor colors[24];
    Fill(colors, KindColor(SlotKind::elite));
    const int rows = std::min(elites, area.height() / kRowHeight);
    for (int j = 0; j < rows; ++j) {
        const StepSlot& s = step.next[static_cast<std::size_t>(j)];
        const QRect row(area.left(), area.top() + j * kRowHeight, std::min(area.width() - 160, kLabelWidth + 24 * 22), kRowHeight);
        PaintBits(p, row, QCoreApplication::translate("kelvora::ui::MicroscopeWindow", "%1 ← 親 %2").arg(j).arg(s.parents[0]), s.after, colors, j == slot ? 0xFFFFFFu : 0u);
        p.setPen(Qt::black);
        p.drawText(QRect(row.right() + 8, row.top(), 150, row.height()), Qt::AlignLeft | Qt::AlignVCenter,
                   QCoreApplication::translate("kelvora::ui::MicroscopeWindow", "適応度 %1").arg(Fit(s.fitness)));
    }
}

QRect ChildrenChart(QRect area) { return area.adjusted(0, 20, 0, 0); }

void PaintChildren(QPainter& p, QRect area, const GenerationStep& step, int slot) {
    const int n = static_cast<int>(step.next.size());
    double best = 0, sum = 0, parentBest = 0;
    for (const StepSlot& s : step.next) best = std::max(best, s.fitness), sum += s.fitness;
    for (double f : step.parentFitness) parentBest = std::max(parentBest, f);
    p.setPen(Qt::black);
    p.drawText(QRect(area.left(), area.top(), area.width(), 18), Qt::AlignLeft | Qt::AlignVCenter,
               QCoreApplication::translate("kelvora::ui::MicroscopeWindow", "子の最良 %1、平均 %2 (親の最良 %3)").arg(Fit(best), Fit(sum / n), Fit(parentBest)));
    const QRect chart = ChildrenChart(area);
    const double w = double(chart.width()) / n;
    for (int i = 0; i < n; ++i) {
        const StepSlot& s = step.next[static_cast<std::size_t>(i)];
        const double h = chart.height() * s.fitness / best;
        p.fillRect(QRectF(chart.left() + i * w, chart.bottom() - h, std::max(1.0, w - (w > 3 ? 1 : 0)), h),
                   i == slot ? kMarked : KindColor(s.kind));
    }
}

}  // namespace

QString GenotypeBits(std::uint32_t genotype) {
    QString text;
    for (int c = 0; c < 24; ++c) {
        if (c > 0 && c % 8 == 0) text += QLatin1Char(' ');
        text += QLatin1Char(Bit(genotype, c) ? '1' : '0');
    }
    return text;
}

void PaintStage(QPainter& p, QSize size, const GenerationStep& step, MicroscopeStage stage, int slot) {
    p.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    const int n = static_cast<int>(step.next.size());
    if (n == 0) return;
    slot = std::clamp(slot, 0, n - 1);
    static const char* const titles[] = {
        QT_TRANSLATE_NOOP("kelvora::ui::MicroscopeWindow", "選択"), QT_TRANSLATE_NOOP("kelvora::ui::MicroscopeWindow", "交差"),
        QT_TRANSLATE_NOOP("kelvora::ui::MicroscopeWindow", "突然変異"),
        QT_TRANSLATE_NOOP("kelvora::ui::MicroscopeWindow", "エリート"),
        QT_TRANSLATE_NOOP("kelvora::ui::MicroscopeWindow", "評価された子")};
    p.setPen(Qt::black);
    QFont bold = p.font();
    bold.setBold(true);
    const QFont plain = p.font();
    p.setFont(bold);
    p.drawText(QRect(kMargin, kMargin, size.width() - 2 * kMargin, kHeader), Qt::AlignLeft | Qt::AlignTop,
               QCoreApplication::translate("kelvora::ui::MicroscopeWindow", "世代 %1 — %2 — スロット %3 / %4")
                   .arg(step.generation)
                   .arg(Tr(titles[static_cast<int>(stage)]))
                   .arg(slot)
                   .arg(n));
    p.setFont(plain);
    const QRect area = StageArea(size);
    switch (stage) {
    case MicroscopeStage::selection: PaintSelection(p, area, step, slot); break;
    case MicroscopeStage::crossover: PaintCrossover(p, area, step, slot); break;
    case MicroscopeStage::mutation: PaintMutation(p, area, step, slot); break;
    case MicroscopeStage::elites: PaintElites(p, area, step, slot); break;
    case MicroscopeStage::children: PaintChildren(p, area, step, slot); break;
    }
    // The strip: every slot in its kind's colour, the slot looked at marked.
    const QRect strip = StripArea(size);
    const double w = double(strip.width()) / n;
    for (int i = 0; i < n; ++i)
        p.fillRect(QRectF(strip.left() + i * w, strip.top(), std::max(1.0, w - (w > 3 ? 1 : 0)), strip.height()),
                   KindColor(step.next[static_cast<std::size_t>(i)].kind));
    p.setPen(QPen(Qt::black, 2));
    p.drawRect(QRectF(strip.left() + slot * w, strip.top() - 2, std::max(3.0, w), strip.height() + 4));
}

int SlotAt(QSize size, const GenerationStep& step, MicroscopeStage stage, QPoint point) {
    const int n = static_cast<int>(step.next.size());
    if (n == 0) return -1;
    const auto along = [n](QRect r, QPoint q) {
        if (!r.contains(q)) return -1;
        return std::min(n - 1, static_cast<int>((q.x() - r.left()) * static_cast<double>(n) / r.width()));
    };
    if (const int i = along(StripArea(size).adjusted(0, -2, 0, 2), point); i >= 0) return i;
    const QRect area = StageArea(size);
    if (stage == MicroscopeStage::children) return along(ChildrenChart(area), point);
    if (stage == MicroscopeStage::elites && area.contains(point)) {
        const int row = (point.y() - area.top()) / kRowHeight;
        return row < EliteCount(step) ? row : -1;
    }
    return -1;
}

std::vector<AncestryLabel> AncestryLabels(const QFontMetricsF& metrics, QSize size,
                                          const std::vector<std::vector<AncestorNode>>& levels) {
    std::vector<AncestryLabel> labels;
    if (levels.empty()) return labels;
    const int columns = static_cast<int>(levels.size());
    const double columnWidth = double(size.width() - 2 * kMargin) / columns;
    const double room = std::max(0.0, columnWidth - 4);  // a gap of 4 px between neighbours
    for (int k = 0; k < columns; ++k) {
        const int generation = levels[static_cast<std::size_t>(k)].empty() ? 0 : levels[static_cast<std::size_t>(k)][0].generation;
        QString text = QCoreApplication::translate("kelvora::ui::MicroscopeWindow", "世代 %1").arg(generation);
        if (metrics.horizontalAdvance(text) > room) text = QString::number(generation);
        if (metrics.horizontalAdvance(text) > room) text = metrics.elidedText(text, Qt::ElideRight, room);
        const double width = std::min(room, metrics.horizontalAdvance(text));
        const double centre = size.width() - kMargin - (k + 0.5) * columnWidth;
        labels.push_back({text, QRectF(centre - width / 2, 0, width, kMargin + 14)});
    }
    return labels;
}

void PaintAncestry(QPainter& p, QSize size, const std::vector<std::vector<AncestorNode>>& levels) {
    p.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    if (levels.empty()) return;
    const int columns = static_cast<int>(levels.size());
    const double columnWidth = double(size.width() - 2 * kMargin) / columns;
    const double boxWidth = std::min(110.0, columnWidth - 14);
    QFont small = p.font();
    small.setPixelSize(10);
    p.setFont(small);
    const std::vector<AncestryLabel> labels = AncestryLabels(QFontMetricsF(small, p.device()), size, levels);
    std::vector<std::vector<QRectF>> boxes(levels.size());
    for (int k = 0; k < columns; ++k) {
        const auto& level = levels[static_cast<std::size_t>(k)];
        const double x = size.width() - kMargin - (k + 1) * columnWidth + (columnWidth - boxWidth) / 2;
        const double rowHeight = double(size.height() - 2 * kMargin - 16) / level.size();
        const double boxHeight = std::min(34.0, rowHeight - 2);
        for (std::size_t j = 0; j < level.size(); ++j)
            boxes[static_cast<std::size_t>(k)].push_back(
                QRectF(x, kMargin + 16 + j * rowHeight + (rowHeight - boxHeight) / 2, boxWidth, boxHeight));
    }
    for (int k = 0; k < columns; ++k) {
        // Older generations fainter.
        const int alpha = 255 - 150 * k / std::max(1, columns - 1);
        p.setPen(QColor(0, 0, 0, alpha));
        const AncestryLabel& label = labels[static_cast<std::size_t>(k)];
        p.drawText(label.rect, Qt::AlignCenter, label.text);
        for (std::size_t j = 0; j < levels[static_cast<std::size_t>(k)].size(); ++j) {
            const AncestorNode& node = levels[static_cast<std::size_t>(k)][j];
            const QRectF box = boxes[static_cast<std::size_t>(k)][j];
            p.setPen(QPen(QColor(90, 90, 90, alpha), 1));
            for (int parent : node.parents) {
                const QRectF to = boxes[static_cast<std::size_t>(k) + 1][static_cast<std::size_t>(parent)];
                p.drawLine(QPointF(box.left(), box.center().y()), QPointF(to.right(), to.center().y()));
            }
            QColor fill = QColor::fromHsvF(0.33 * node.fitness, 0.6, 0.95);  // red (poor) to green (fit)
            fill.setAlpha(alpha);
            p.fillRect(box, fill);
            p.setPen(QColor(0, 0, 0, alpha));
            p.drawRect(box);
            if (box.height() >= 14)
                p.drawText(box, Qt::AlignCenter, QStringLiteral("#%1 %2").arg(node.index).arg(node.fitness, 0, 'f', 3));
        }
    }
}

}  // namespace kelvora::ui
