#include "evolution/generationscrubber.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>

#include "common/solvermodel.h"

namespace kelvora::ui {

namespace {
constexpr int kPageStep = 10;
}

GenerationScrubber::GenerationScrubber(QWidget* parent)
    : QWidget(parent), m_slider(new QSlider(Qt::Horizontal, this)), m_spin(new QSpinBox(this)) {
    m_slider->setObjectName(QStringLiteral("GenerationSlider"));
    m_spin->setObjectName(QStringLiteral("GenerationSpinBox"));
    m_slider->setSingleStep(1);
    m_slider->setPageStep(kPageStep);
    m_slider->setTracking(true);
    m_spin->setAccelerated(true);
    m_spin->setKeyboardTracking(false);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_slider, 1);
    layout->addWidget(m_spin);
    connect(m_slider, &QSlider::valueChanged, this, &GenerationScrubber::setGeneration);
    connect(m_spin, &QSpinBox::valueChanged, this, &GenerationScrubber::setGeneration);
    setFocusProxy(m_slider);
    // In the spin box too the keys move through the generations, not the text cursor.
    m_spin->installEventFilter(this);
    setGenerationCount(0);
}

int GenerationScrubber::generation() const { return m_count > 0 ? m_last : 0; }

void GenerationScrubber::follow(const SolverModel& model) {
    connect(&model, &SolverModel::replayChanged, this, [this](int count) {
        setGenerationCount(0);
        setGenerationCount(count);  // the last generation, announced
    });
}

void GenerationScrubber::setGenerationCount(int count) {
    m_count = std::max(0, count);
    const int first = m_count > 0 ? 1 : 0;
    {
        const QSignalBlocker a(m_slider), b(m_spin);
        m_slider->setRange(first, m_count);
        m_spin->setRange(first, m_count);
    }
    setEnabled(m_count > 0);
    if (m_count == 0) {
        m_last = 0;
        return;
    }
    setGeneration(m_last < 1 ? m_count : std::min(m_last, m_count));
}

void GenerationScrubber::setGeneration(int generation) {
    if (m_count == 0) return;
    generation = std::clamp(generation, 1, m_count);
    {
        const QSignalBlocker a(m_slider), b(m_spin);
        m_slider->setValue(generation);
        m_spin->setValue(generation);
    }
    if (generation == m_last) return;
    m_last = generation;
    emit generationChanged(generation);
}

bool GenerationScrubber::handleKey(int key) {
    switch (key) {
    case Qt::Key_Left: setGeneration(m_last - 1); return true;
    case Qt::Key_Right: setGeneration(m_last + 1); return true;
    case Qt::Key_PageUp: setGeneration(m_last + kPageStep); return true;
    case Qt::Key_PageDown: setGeneration(m_last - kPageStep); return true;
    case Qt::Key_Home: setGeneration(1); return true;
    case Qt::Key_End: setGeneration(m_count); return true;
    default: return false;
    }
}

void GenerationScrubber::keyPressEvent(QKeyEvent* event) {
    if (handleKey(event->key())) event->accept();
    else QWidget::keyPressEvent(event);
}

bool GenerationScrubber::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_spin && event->type() == QEvent::KeyPress && handleKey(static_cast<QKeyEvent*>(event)->key()))
        return true;
    return QWidget::eventFilter(watched, event);
}

}  // namespace kelvora::ui
