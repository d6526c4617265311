#pragma once
// The generation microscope: one generation of a run taken apart stage by stage (selection,
// crossover, mutation, elites, the evaluated children), every slot with its parents, bits and
// fitness, its ancestry back through the generations, and how many initial individuals the
// population still descends from. The generation is made again from the run's setup off the GUI
// thread; the window stays responsive and a newer request stops the one under way.

#include <optional>

#include <QMainWindow>

#include "common/generationremaker.h"
#include "io/trace_step.h"
#include "microscope/microscopepainter.h"

class QButtonGroup;
class QLabel;
class QLineSeries;
class QChartView;
class QSpinBox;
class QValueAxis;

namespace kelvora::ui {

class MicroscopeWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MicroscopeWindow(QWidget* parent = nullptr);
    ~MicroscopeWindow() override;

    /// The run to look into: setup as it ran, generations the number it finished (1..). The step
    /// shown goes; one under way is made again from this run, else nothing until showGeneration.
    void setRun(const kelvora::RunSetup& setup, int generations);
    /// No run to look into (an opened file that no run.json describes): what is shown goes, and
    /// the status line says why.
    void forgetRun();
    /// The run looked into, if any.
    const std::optional<kelvora::RunSetup>& run() const { return m_setup; }


public slots:
    /// Makes generation (clamped to the run's 1..generations) again and shows it when done.
    void showGeneration(int generation);
    void setStage(kelvora::ui::MicroscopeStage stage);
    /// Clamped to the population.
    void setSlot(int slot);

signals:
    /// A generation has been made and is shown.
    void generationShown(int generation);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Read by the tests through MicroscopeWindowTestAccess (defined in tests/ui/tst_microscope.cpp).
    friend struct MicroscopeWindowTestAccess;

    /// The text under the stage: the slot's kind, parents, genotype bits and fitness.
    QString slotDetails() const;
    void onMade(kelvora::GenerationStep made);
    void updateViews();

    std::optional<kelvora::RunSetup> m_setup;
    int m_generations = 0;
    kelvora::GenerationStep m_step;  ///< the step shown (empty before the first has been made)
    std::vector<std::vector<kelvora::AncestorNode>> m_ancestry;  ///< of the slot shown (AncestryOf)
    MicroscopeStage m_stage = MicroscopeStage::selection;
    int m_slot = 0;
    GenerationRemaker m_remaker;

    QSpinBox* m_generation = nullptr;
    QLabel* m_status = nullptr;
    QButtonGroup* m_stages = nullptr;
    QWidget* m_stageView = nullptr;
    QLabel* m_details = nullptr;
    QWidget* m_ancestryView = nullptr;
    QChartView* m_takeover = nullptr;
    QLineSeries* m_takeoverSeries = nullptr;
    QValueAxis* m_takeoverX = nullptr;
    QValueAxis* m_takeoverY = nullptr;
};

}  // namespace kelvora::ui
