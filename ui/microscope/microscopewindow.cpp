#include "microscope/microscopewindow.h"

#include <QButtonGroup>
#include <QChart>
#include <QChartView>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineSeries>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QValueAxis>
#include <QVBoxLayout>

#include <functional>

#include "ga/baseline.h"

namespace kelvora::ui {
namespace {

// A widget that paints with a function and hands clicks to another.
class PictureView final : public QWidget {
public:
    using Paint = std::function<void(QPainter&, QSize)>;
    using Click = std::function<void(QPoint)>;
    PictureView(Paint paint, Click click, QWidget* parent)
        : QWidget(parent), m_paint(std::move(paint)), m_click(std::move(click)) {
        setFocusPolicy(Qt::StrongFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        m_paint(painter, size());
    }
    void mousePressEvent(QMouseEvent* event) override {
        setFocus(Qt::MouseFocusReason);
        if (m_click) m_click(event->position().toPoint());
    }

private:
    Paint m_paint;
    Click m_click;
};

}  // namespace

MicroscopeWindow::MicroscopeWindow(QWidget* parent) : QMainWindow(parent, Qt::Window) {
    setObjectName(QStringLiteral("MicroscopeWindow"));
    setWindowTitle(tr("Kelvora — 世代の顕微鏡"));
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(tr("世代:"), central));
    m_generation = new QSpinBox(central);
    m_generation->setObjectName(QStringLiteral("Generation"));
    m_generation->setRange(1, 1);
    m_generation->setKeyboardTracking(false);
    connect(m_generation, &QSpinBox::valueChanged, this, &MicroscopeWindow::showGeneration);
    top->addWidget(m_generation);
    m_stages = new QButtonGroup(this);
    const char* const names[] = {QT_TR_NOOP("選択"), QT_TR_NOOP("交差"), QT_TR_NOOP("突然変異"), QT_TR_NOOP("エリート"),
                                 QT_TR_NOOP("評価")};
    for (int i = 0; i < kMicroscopeStageCount; ++i) {
        auto* button = new QPushButton(tr(names[i]), central);
        button->setCheckable(true);
        button->setFocusPolicy(Qt::NoFocus);
        m_stages->addButton(button, i);
        top->addWidget(button);
    }
    m_stages->button(0)->setChecked(true);
    connect(m_stages, &QButtonGroup::idClicked, this, [this](int id) { setStage(static_cast<MicroscopeStage>(id)); });
    top->addStretch(1);
    layout->addLayout(top);

    m_stageView = new PictureView(
        [this](QPainter& p, QSize size) { PaintStage(p, size, m_step, m_stage, m_slot); },
        [this](QPoint point) {
            if (const int slot = SlotAt(m_stageView->size(), m_step, m_stage, point); slot >= 0) setSlot(slot);
        },
        central);
    m_stageView->setObjectName(QStringLiteral("StageView"));
    m_stageView->setMinimumSize(640, 260);
    layout->addWidget(m_stageView, 3);
    // The slot's details with the buttons that step through the slots beside them, one over the other.
    auto* slotRow = new QHBoxLayout;
    auto* slotButtons = new QVBoxLayout;
    m_details = new QLabel(central);
    m_details->setObjectName(QStringLiteral("SlotDetails"));
    m_details->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_details->setTextFormat(Qt::PlainText);
    slotRow->addWidget(m_details, 1);
    auto* previousSlot = new QPushButton(tr("↑ 前のスロット"), central);
    auto* nextSlot = new QPushButton(tr("↓ 次のスロット"), central);
    for (QPushButton* b : {previousSlot, nextSlot}) b->setFocusPolicy(Qt::NoFocus), slotButtons->addWidget(b);
    slotRow->addLayout(slotButtons);
    connect(previousSlot, &QPushButton::clicked, this, [this] { setSlot(m_slot - 1); });
    connect(nextSlot, &QPushButton::clicked, this, [this] { setSlot(m_slot + 1); });
    layout->addLayout(slotRow);

    auto* bottom = new QHBoxLayout;
    m_ancestryView = new PictureView([this](QPainter& p, QSize size) { PaintAncestry(p, size, m_ancestry); }, {}, central);
    m_ancestryView->setObjectName(QStringLiteral("AncestryView"));
    m_ancestryView->setMinimumSize(380, 180);
    bottom->addWidget(m_ancestryView, 3);
    auto* chart = new QChart;
    chart->legend()->hide();
    chart->setTitle(tr("初期個体のうち子孫が残っている数"));
    m_takeoverSeries = new QLineSeries(chart);
    chart->addSeries(m_takeoverSeries);
    m_takeoverX = new QValueAxis(chart);
    m_takeoverX->setTitleText(tr("世代"));
    m_takeoverX->setLabelFormat(QStringLiteral("%d"));
    m_takeoverX->setTickType(QValueAxis::TicksDynamic);
    m_takeoverX->setTickAnchor(0);
    m_takeoverY = new QValueAxis(chart);
    m_takeoverY->setLabelFormat(QStringLiteral("%d"));
    chart->addAxis(m_takeoverX, Qt::AlignBottom);
    chart->addAxis(m_takeoverY, Qt::AlignLeft);
    m_takeoverSeries->attachAxis(m_takeoverX);
    m_takeoverSeries->attachAxis(m_takeoverY);
    m_takeover = new QChartView(chart, central);
    m_takeover->setObjectName(QStringLiteral("TakeoverChart"));
    m_takeover->setRenderHint(QPainter::Antialiasing);
    m_takeover->setMinimumSize(280, 180);
    bottom->addWidget(m_takeover, 2);
    layout->addLayout(bottom, 2);

    m_status = new QLabel(central);
    m_status->setObjectName(QStringLiteral("Status"));
    layout->addWidget(m_status);
    setCentralWidget(central);
    resize(900, 640);
    m_stageView->setFocus();
    connect(&m_remaker, &GenerationRemaker::made, this, &MicroscopeWindow::onMade);
    updateViews();
}

// A generation under way is stopped, not waited for: its thread reads nothing of the window.
MicroscopeWindow::~MicroscopeWindow() = default;

void MicroscopeWindow::setRun(const kelvora::RunSetup& setup, int generations) {
    // A baseline spends its evaluations in blocks that no selection, crossover or mutation made.
    if (kelvora::IsBaseline(setup.algorithm.method)) {
        forgetRun();
        m_status->setText(tr("手法 %1 の実行には親から子を作る世代がないため、作り直せません (ga と random-search のみ)")
                              .arg(QString::fromStdString(kelvora::MethodName(setup.algorithm))));
        return;
    }
    m_setup = setup;
    m_generations = std::max(1, generations);
    const QSignalBlocker blocker(m_generation);
    m_generation->setRange(1, m_generations);
    // What is shown or under way belongs to the run before: it goes, and a generation under way
    // is made again from this run.
    m_step = {};
    if (m_remaker.busy()) m_remaker.request(*m_setup, m_generation->value());
    updateViews();
    m_status->setText(tr("シード %1、集団 %2、%3 世代").arg(setup.seed).arg(setup.params.populationSize).arg(m_generations));
}

void MicroscopeWindow::forgetRun() {
    m_setup.reset();
    m_step = {};
    m_remaker.cancel();
    m_status->setText(tr("この結果ファイルを記録した run.json がないため、世代を作り直せません"));
    updateViews();
}

void MicroscopeWindow::showGeneration(int generation) {
    if (!m_setup) return;
    generation = std::clamp(generation, 1, m_generations);
    {
        const QSignalBlocker blocker(m_generation);
        m_generation->setValue(generation);
    }
    m_status->setText(tr("世代 %1 を作り直しています...").arg(generation));
    m_remaker.request(*m_setup, generation);
}

void MicroscopeWindow::onMade(kelvora::GenerationStep made) {
    if (made.generation == 0) {
        m_status->setText(tr("この世代は作り直せませんでした"));
        return;
    }
    m_step = std::move(made);
    m_status->setText(tr("世代 %1 / %2: シード %3 から作り直しました")
                          .arg(m_step.generation)
                          .arg(m_generations)
                          .arg(m_setup->seed));
    m_slot = std::clamp(m_slot, 0, static_cast<int>(m_step.next.size()) - 1);
    updateViews();
    emit generationShown(m_step.generation);
}

void MicroscopeWindow::setStage(MicroscopeStage stage) {
    m_stage = stage;
    m_stages->button(static_cast<int>(stage))->setChecked(true);
    updateViews();
}

void MicroscopeWindow::setSlot(int slot) {
    if (m_step.next.empty()) return;
    m_slot = std::clamp(slot, 0, static_cast<int>(m_step.next.size()) - 1);
    updateViews();
}

void MicroscopeWindow::keyPressEvent(QKeyEvent* event) {
    const int stage = static_cast<int>(m_stage);
    switch (event->key()) {
    case Qt::Key_Left: setStage(static_cast<MicroscopeStage>(std::max(0, stage - 1))); break;
    case Qt::Key_Right: setStage(static_cast<MicroscopeStage>(std::min(kMicroscopeStageCount - 1, stage + 1))); break;
    case Qt::Key_Up: setSlot(m_slot - 1); break;
    case Qt::Key_Down: setSlot(m_slot + 1); break;
    default: QMainWindow::keyPressEvent(event); return;
    }
    event->accept();
}

void MicroscopeWindow::closeEvent(QCloseEvent* event) {
    m_remaker.cancel();
    QMainWindow::closeEvent(event);
}

QString MicroscopeWindow::slotDetails() const {
    if (m_step.next.empty()) return tr("世代を選ぶと、その世代がどうできたかを段階ごとに示します。");
    const kelvora::StepSlot& s = m_step.next[static_cast<std::size_t>(m_slot)];
    QString origin;
    switch (s.kind) {
    case kelvora::SlotKind::elite: origin = tr("エリート (親 %1 をそのまま)").arg(s.parents[0]); break;
    case kelvora::SlotKind::child: origin = tr("子 (親 %1 と %2、マスク %3)").arg(s.parents[0]).arg(s.parents[1]).arg(GenotypeBits(s.mask)); break;
    case kelvora::SlotKind::random: origin = tr("ランダム (親なし)"); break;
    default: origin = tr("コピー (親 %1)").arg(s.parents[0]); break;
    }
    return tr("スロット %1: %2\n遺伝子型 %3  適応度 %4")
        .arg(m_slot)
        .arg(origin, GenotypeBits(s.after))
        .arg(s.fitness, 0, 'g', 6);
}

void MicroscopeWindow::updateViews() {
    m_ancestry = m_step.next.empty() ? std::vector<std::vector<kelvora::AncestorNode>>{} : kelvora::AncestryOf(m_step, m_slot);
    m_details->setText(slotDetails());
    QList<QPointF> points;
    for (std::size_t t = 0; t < m_step.ancestors.size(); ++t) points.append(QPointF(double(t), m_step.ancestors[t]));
    m_takeoverSeries->replace(points);
    const int last = std::max(1, static_cast<int>(m_step.ancestors.size()) - 1);
    m_takeoverX->setRange(0, last);
    m_takeoverX->setTickInterval(std::max(1, (last + 7) / 8));  // whole generations
    m_takeoverY->setRange(0, m_step.ancestors.empty() ? 1 : std::max(1, m_step.ancestors[0]));
    m_stageView->update();
    m_ancestryView->update();
}

}  // namespace kelvora::ui
