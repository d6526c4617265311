#pragma once
// A generation scrubber: a slider and a spin box over generations 1..count, kept in step.
// Left/Right step by one, Page Up/Page Down by ten, Home/End go to the first and last generation,
// whichever of the two has the focus (and the scrubber itself).

#include <QWidget>

class QSlider;
class QSpinBox;

namespace kelvora::ui {

class SolverModel;

class GenerationScrubber : public QWidget {
    Q_OBJECT

public:
    explicit GenerationScrubber(QWidget* parent = nullptr);

    /// Generations to choose from, 0..kMaxGenerations; 0 disables the scrubber. The generation is
    /// kept where it is when it still exists, otherwise it moves to the last one (with a signal).
    void setGenerationCount(int count);
    int generationCount() const { return m_count; }
    /// The generation shown, 1..generationCount(), or 0 when there is none.
    int generation() const;
    /// From now on the generations are model's replay's (SolverModel::replayGenerations): each
    /// change of it moves the scrubber to its last generation, announced. model outlives it.
    void follow(const SolverModel& model);

public slots:
    /// Moves to generation (clamped to 1..generationCount()); emits generationChanged when it moves.
    void setGeneration(int generation);

signals:
    /// The user or setGeneration moved to another generation, 1..generationCount().
    void generationChanged(int generation);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /// Moves for a scrubber key (true), or leaves the key alone (false).
    bool handleKey(int key);

    QSlider* m_slider;
    QSpinBox* m_spin;
    int m_count = 0;
    int m_last = 0;  ///< the generation last announced
};

}  // namespace kelvora::ui
