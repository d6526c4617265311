#include "mainwindow/groundtruthoverlay.h"

#include "common/optimumcache.h"

#include <memory>

#include <QAction>
#include <QMenu>
#include <QWidget>

#include "analysis/reachmap.h"
#include "mainwindow/parameterpanel.h"
#include "mainwindow/reachmaploader.h"
#include "common/settings.h"
#include "common/solverstate.h"

namespace kelvora::ui {

namespace {

QString Pixels(double distance) { return QString::number(distance, 'f', 4); }

}  // namespace

GroundTruthOverlay::GroundTruthOverlay(QObject* parent) : QObject(parent) {
    const QSettings settings = AppSettings();
    m_unreachable = new QAction(tr("到達できない領域を表示"), this);
    m_unreachable->setObjectName(QStringLiteral("ShowUnreachableAction"));
    m_unreachable->setCheckable(true);
    m_unreachable->setChecked(settings.value(QLatin1String(kShowUnreachableKey), false).toBool());
    m_optimum = new QAction(tr("最適解を表示"), this);
    m_optimum->setObjectName(QStringLiteral("ShowOptimumAction"));
    m_optimum->setCheckable(true);
    m_optimum->setChecked(settings.value(QLatin1String(kShowOptimumKey), false).toBool());
    m_family = new QAction(tr("目標点に届く腕をすべて表示"), this);
    m_family->setObjectName(QStringLiteral("ShowFamilyAction"));
    m_family->setCheckable(true);
    m_family->setChecked(settings.value(QLatin1String(kShowFamilyKey), false).toBool());
    m_family->setToolTip(tr("目標点から %1 px 以内に先端が届く腕をすべて薄い緑で描きます。\n"
                            "関節が三つで目標点の座標は二つなので、届く腕は一本ではなく一続きの族になります。")
                             .arg(kReachLimit));

    connect(m_unreachable, &QAction::toggled, this, [this](bool on) {
        save(kShowUnreachableKey, on);
        if (on) requestMap();
        emit changed();
    });
    connect(m_optimum, &QAction::toggled, this, [this](bool on) {
        save(kShowOptimumKey, on);
        emit changed();
    });
    connect(m_family, &QAction::toggled, this, [this](bool on) {
        save(kShowFamilyKey, on);
        emit changed();
    });
    if (m_unreachable->isChecked()) requestMap();
}

void GroundTruthOverlay::addToMenu(QMenu* menu) {
    menu->addSeparator();
    menu->addAction(m_unreachable);
    menu->addAction(m_optimum);
    menu->addAction(m_family);
}

void GroundTruthOverlay::save(const char* key, bool on) {
    QSettings settings = AppSettings();
    settings.setValue(QLatin1String(key), on);
}

void GroundTruthOverlay::requestMap() {
    if (!m_wash.isNull() || m_mapAsked) return;
    const std::shared_ptr<const kelvora::ReachMap> map =
        ReachMapLoader::Request(this, [this](const std::shared_ptr<const kelvora::ReachMap>& ready) {
            m_wash = unreachableWash(*ready);
            emit changed();
        });
    if (map)
        m_wash = unreachableWash(*map);
    else
        m_mapAsked = true;
}

PlotOverlays GroundTruthOverlay::overlays(QPoint base, QPoint target) {
    PlotOverlays layers;
    if (m_unreachable->isChecked() && !m_wash.isNull()) {
        layers.unreachableWash = m_wash;
        layers.washOrigin = base - QPoint(kelvora::kMaxTargetOffset, kelvora::kMaxTargetOffset);
    }
    if (!m_landscapeMap.isNull()) {
        layers.landscapeMap = m_landscapeMap;
        layers.landscapeOrigin = base - QPoint(kelvora::kMaxTargetOffset, kelvora::kMaxTargetOffset);
    }
    if (m_optimum->isChecked()) {
        layers.optimumPose = OptimumFor(base, target).pose;
    }
    if (m_family->isChecked()) {
        // Found once per base and target (about a millisecond), not on every paint.
        if (!m_familyFound || m_familyBase != base || m_familyTarget != target) {
            m_familyPoses = kelvora::PosesWithin(base.x(), base.y(), target.x(), target.y(), kReachLimit, kFamilyLimit);
            m_familyBase = base;
            m_familyTarget = target;
            m_familyFound = true;
        }
        layers.familyPoses = m_familyPoses;
    }
    return layers;
}

void GroundTruthOverlay::setLandscapeMap(const QImage& map) {
    m_landscapeMap = map;
    emit changed();
}

void GroundTruthOverlay::showRunGap(QWidget* field, const SolverState& state) {
    const kelvora::Optimum& optimum = OptimumFor(QPoint(state.baseX, state.baseY), QPoint(state.targetX, state.targetY));
    field->setToolTip(gapText(optimum, TipDistance(state, state.elitePose), state.eliteFitness,
                              TipDistance(state, state.currentPose)));
}

QString GroundTruthOverlay::gapText(const kelvora::Optimum& optimum, double eliteDistance, double eliteFitness,
                                    double fieldDistance) {
    const kelvora::ArmPose& p = optimum.pose;
    QString text = ParameterPanel::ErrorTip(fieldDistance);
    text += QLatin1Char('\n') +
            tr("最適解 (%1, %2, %3): 目標点まで %4 px").arg(p.a1).arg(p.a2).arg(p.a3).arg(Pixels(optimum.distance));
    text += QLatin1Char('\n') + (eliteFitness == optimum.fitness
                                     ? tr("これまでの最良解: 目標点まで %1 px、最適解に到達").arg(Pixels(eliteDistance))
                                     : tr("これまでの最良解: 目標点まで %1 px、最適解との差 %2 px")
                                           .arg(Pixels(eliteDistance), Pixels(eliteDistance - optimum.distance)));
    return text;
}

QImage GroundTruthOverlay::unreachableWash(const kelvora::ReachMap& map) {
    QImage wash(kelvora::kReachMapSide, kelvora::kReachMapSide, QImage::Format_ARGB32_Premultiplied);
    const QRgb grey = qPremultiply(qRgba(96, 96, 96, 110));
    for (int row = 0; row < kelvora::kReachMapSide; ++row) {
        QRgb* line = reinterpret_cast<QRgb*>(wash.scanLine(row));
        for (int col = 0; col < kelvora::kReachMapSide; ++col)
            line[col] = map.distance[row * kelvora::kReachMapSide + col] > kReachLimit ? grey : 0;
    }
    return wash;
}

}  // namespace kelvora::ui
