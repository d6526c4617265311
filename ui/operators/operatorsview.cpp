#include "operators/operatorsview.h"

#include <algorithm>

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QStringList>
#include <QVBoxLayout>

#include "model/types.h"

namespace kelvora::ui {

namespace {

// A combo box of items whose data are the enum's values, in the enum's order.
QComboBox* Choices(const QString& name, const QStringList& items, QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    box->addItems(items);
    return box;
}

QSpinBox* Count(const QString& name, int minimum, int maximum, QWidget* parent) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(name);
    box->setRange(minimum, maximum);
    return box;
}

// A control with a labelled count to its right.
QWidget* WithCount(QWidget* choice, const QString& label, QSpinBox* count, QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(choice, 1);
    layout->addWidget(new QLabel(label, row));
    layout->addWidget(count);
    return row;
}

}  // namespace

OperatorsView::OperatorsView(const kelvora::Algorithm& algorithm, QWidget* parent)
    : QWidget(parent, Qt::Window), m_algorithm(algorithm) {
    setObjectName(QStringLiteral("OperatorsView"));
    setWindowTitle(tr("Kelvora — 遺伝的操作"));
    m_encoding = Choices(QStringLiteral("EncodingBox"), {tr("2進"), tr("グレイ")}, this);
    m_selection = Choices(QStringLiteral("SelectionBox"), {tr("ルーレット"), tr("トーナメント"), tr("ランキング")}, this);
    m_tournamentSize = Count(QStringLiteral("TournamentSizeBox"), 2, kelvora::kMaxPopulation, this);
    m_elitism = Count(QStringLiteral("ElitismBox"), 0, kelvora::kMaxPopulation - 1, this);
    m_crossover = Choices(QStringLiteral("CrossoverBox"), {tr("一点"), tr("二点"), tr("一様")}, this);
    m_mutation = Choices(QStringLiteral("MutationBox"), {tr("ビット反転"), tr("クリープ")}, this);
    m_creepStep = Count(QStringLiteral("CreepStepBox"), 1, kelvora::kMaxCreepStep, this);
    m_creepStep->setPrefix(QStringLiteral("±"));

    auto* form = new QFormLayout;
    form->addRow(tr("符号化"), m_encoding);
    form->addRow(tr("選択"), WithCount(m_selection, tr("大きさ"), m_tournamentSize, this));
    form->addRow(tr("エリート数"), m_elitism);
    form->addRow(tr("交差"), m_crossover);
    form->addRow(tr("突然変異"), WithCount(m_mutation, tr("幅"), m_creepStep, this));

    auto* classic = new QPushButton(tr("標準に戻す"), this);
    classic->setObjectName(QStringLiteral("ClassicButton"));
    classic->setAutoDefault(false);
    classic->setToolTip(tr("5 つの選択を標準のアルゴリズム (2進、ルーレット、エリートなし、一点交差、ビット反転) に戻します"));
    connect(classic, &QPushButton::clicked, this, [this] {
        kelvora::Algorithm standard;
        standard.method = m_algorithm.method;  // the five choices only
        setAlgorithm(standard);
        changed();
    });

    setToolTips();

    // The controls as wide as a dialog's, top left however large the dock.
    auto* box = new QWidget(this);
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    column->addLayout(form);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(classic);
    column->addLayout(row);
    box->setMaximumWidth(std::max(box->sizeHint().width(), 30 * fontMetrics().averageCharWidth()) + 40);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(box, 0, Qt::AlignLeft | Qt::AlignTop);
    layout->addStretch(1);

    connect(m_selection, &QComboBox::currentIndexChanged, this, &OperatorsView::updateEnabled);
    connect(m_mutation, &QComboBox::currentIndexChanged, this, &OperatorsView::updateEnabled);
    setAlgorithm(algorithm);
    // Every change is the choice of the next run at once.
    for (QComboBox* box : {m_encoding, m_selection, m_crossover, m_mutation})
        connect(box, &QComboBox::currentIndexChanged, this, &OperatorsView::changed);
    for (QSpinBox* box : {m_tournamentSize, m_elitism, m_creepStep})
        connect(box, &QSpinBox::valueChanged, this, &OperatorsView::changed);
}

void OperatorsView::changed() {
    if (m_showing) return;
    m_algorithm = algorithm();
    emit algorithmChosen(m_algorithm);
}

void OperatorsView::setToolTips() {
    // Each choice says in a sentence what it does; a box shows the tip of the choice it holds too.
    const auto items = [](QComboBox* box, const QStringList& tips) {
        for (int i = 0; i < tips.size(); ++i) box->setItemData(i, tips[i], Qt::ToolTipRole);
        const auto follow = [box] { box->setToolTip(box->itemData(box->currentIndex(), Qt::ToolTipRole).toString()); };
        QObject::connect(box, &QComboBox::currentIndexChanged, box, follow);
        follow();
    };
    items(m_encoding, {tr("2進: 遺伝子のバイトがそのまま角度です。127° と 128° のように隣り合う角度が多くのビットで違うことがあります。"),
                       tr("グレイ: 隣り合う角度がちょうど 1 ビットだけ違う符号です。1 ビットの反転で隣の角度に移れます。")});
    items(m_selection, {tr("ルーレット: 適応度に比例した確率で親を選びます。"),
                        tr("トーナメント: 無作為に選んだ「大きさ」個の中で最も良い個体が親になります。大きいほど選択の圧力が強くなります。"),
                        tr("ランキング: 順位に比例した重みで選びます (最良が N、最下位が 1)。どれだけ良いかではなく順位だけが効きます。")});
    items(m_crossover, {tr("一点: 24 ビット列の 1 か所で切り、下位のビットを交換します。"),
                        tr("二点: 2 か所の切れ目の間のビットを交換します。"),
                        tr("一様: ビットごとに無作為に交換するかどうかを決めます。")});
    items(m_mutation, {tr("ビット反転: 遺伝子の無作為な 1 ビットを反転します (2進では角度が 1〜128 度変わります)。"),
                       tr("クリープ: 角度を -幅〜+幅 度の無作為な歩幅で動かします (0 と 255 で止まります)。")});
    m_tournamentSize->setToolTip(tr("トーナメントで比べる個体の数 (2〜集団サイズ)"));
    m_elitism->setToolTip(tr("各世代の上位この数の個体は、変わらずに次の世代へ進みます (0: エリートなし)。"));
    m_creepStep->setToolTip(tr("クリープで角度が一度に動く最大の度数 (1〜128)"));
}

void OperatorsView::setAlgorithm(const kelvora::Algorithm& a) {
    m_showing = true;
    m_algorithm = a;
    m_encoding->setCurrentIndex(static_cast<int>(a.encoding));
    m_selection->setCurrentIndex(static_cast<int>(a.selection));
    m_tournamentSize->setValue(a.tournamentSize);
    m_elitism->setValue(a.elitism);
    m_crossover->setCurrentIndex(static_cast<int>(a.crossover));
    m_mutation->setCurrentIndex(static_cast<int>(a.mutation));
    m_creepStep->setValue(a.creepStep);
    updateEnabled();
    m_showing = false;
}

kelvora::Algorithm OperatorsView::algorithm() const {
    kelvora::Algorithm a = m_algorithm;
    a.encoding = static_cast<kelvora::Encoding>(m_encoding->currentIndex());
    a.selection = static_cast<kelvora::Selection>(m_selection->currentIndex());
    a.tournamentSize = m_tournamentSize->value();
    a.elitism = m_elitism->value();
    a.crossover = static_cast<kelvora::CrossoverOperator>(m_crossover->currentIndex());
    a.mutation = static_cast<kelvora::MutationOperator>(m_mutation->currentIndex());
    a.creepStep = m_creepStep->value();
    return a;
}

void OperatorsView::updateEnabled() {
    m_tournamentSize->setEnabled(m_selection->currentIndex() == static_cast<int>(kelvora::Selection::tournament));
    m_creepStep->setEnabled(m_mutation->currentIndex() == static_cast<int>(kelvora::MutationOperator::creep));
}

QString OperatorsView::MethodName(kelvora::Method method) {
    switch (method) {
    case kelvora::Method::geneticAlgorithm: return tr("遺伝的アルゴリズム");
    case kelvora::Method::randomSearch: return tr("ランダム探索");
    case kelvora::Method::ccd: return tr("循環座標降下法 (CCD)");
    case kelvora::Method::fabrik: return tr("FABRIK");
    case kelvora::Method::jacobianTranspose: return tr("ヤコビ行列の転置法");
    case kelvora::Method::dampedLeastSquares: return tr("減衰最小二乗法 (DLS)");
    case kelvora::Method::differentialEvolution: return tr("差分進化 (DE)");
    case kelvora::Method::particleSwarm: return tr("粒子群最適化 (PSO)");
    case kelvora::Method::cmaEs: return tr("CMA-ES");
    case kelvora::Method::simulatedAnnealing: return tr("焼きなまし法");
    case kelvora::Method::onePlusOne: return tr("(1+1) 進化的アルゴリズム");
    case kelvora::Method::hillClimbing: return tr("山登り法");
    }
    return {};
}

QString OperatorsView::Summary(const kelvora::Algorithm& a) {
    // The words of the algorithm's parts, as the command line's summary has them.
    QStringList parts;
    bool baseline = false;
    for (const kelvora::AlgorithmPart& part : kelvora::AlgorithmParts(a)) {
        switch (part.kind) {
        case kelvora::AlgorithmPart::randomSearch: return tr("ランダム探索 (遺伝的操作なし)");
        case kelvora::AlgorithmPart::method:
            baseline = true;
            parts << MethodName(static_cast<kelvora::Method>(part.count));
            break;
        case kelvora::AlgorithmPart::gray: parts << tr("グレイ符号"); break;
        case kelvora::AlgorithmPart::tournament: parts << tr("トーナメント選択 (%1)").arg(part.count); break;
        case kelvora::AlgorithmPart::rank: parts << tr("ランキング選択"); break;
        case kelvora::AlgorithmPart::elitism: parts << tr("エリート %1").arg(part.count); break;
        case kelvora::AlgorithmPart::twoPoint: parts << tr("二点交差"); break;
        case kelvora::AlgorithmPart::uniform: parts << tr("一様交差"); break;
        case kelvora::AlgorithmPart::creep: parts << tr("クリープ (±%1)").arg(part.count); break;
        }
    }
    if (parts.isEmpty()) return QString();
    if (baseline) return tr("方法: %1").arg(parts.join(tr(", ")));
    return tr("遺伝的操作: %1").arg(parts.join(tr(", ")));
}

}  // namespace kelvora::ui
