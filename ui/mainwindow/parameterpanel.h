#pragma once
// The main window's controls: the Compute button, the four run parameter fields, the read-only
// generation, error, target and pointer fields and their labels, placed by a table in pixels; the
// parameters read and checked at 計算, one check per field, and the read-only fields written.

#include <optional>

#include <QCoreApplication>
#include <QSize>
#include <QString>

#include "ga/run.h"
#include "model/arm.h"
#include "session/numbers.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace kelvora::ui {

class ParameterPanel {
    Q_DECLARE_TR_FUNCTIONS(kelvora::ui::CSolverDlg)

public:
    /// The fields, in tab order for the four parameters, then the read-only ones.
    enum class Field {
        populationSize,       ///< 1..10000, typed
        generationLimit,      ///< 1..10000, typed
        crossoverRate,        ///< 0.001..1, typed
        mutationProbability,  ///< 0..1 per gene, typed
        generation,           ///< the shown generation
        error,                ///< px, the shown generation's best distance to the target
        targetX,              ///< target relative to the plot centre, x right
        targetY,              ///< target relative to the plot centre, y up
        pointerX,             ///< pointer relative to the plot centre, x right
        pointerY,             ///< pointer relative to the plot centre, y up
    };

    /// Creates the controls on window in tab order (計算 first, then the four parameters); the
    /// Compute button's clicks are for the window to connect.
    explicit ParameterPanel(QWidget* window);

    /// Client-area size in pixels, 614 x 723.
    static QSize clientSize();

    QPushButton* compute() const { return m_compute; }
    QLineEdit* field(Field which) const { return m_fields[static_cast<int>(which)]; }

    /// 計算's reading of the four parameters, in the order population, generation limit, mutation
    /// probability, crossover rate: the first field whose text is not a number in its range shows
    /// its range in a message box, gets the focus with its whole text selected, and nullopt comes
    /// back; the others are not looked at.
    /// Accepted parameters become params().
    std::optional<kelvora::SolverParams> readParams();
    /// Writes params into the four parameter fields; they become params().
    void showParams(const kelvora::SolverParams& params);
    /// The parameters last read at 計算 or written into the fields.
    const kelvora::SolverParams& params() const { return m_params; }
    /// Writes a generation's number and its error (px) into their fields, and the error's tooltip.
    void showGeneration(int generation, double error);
    /// The error field's tooltip for error (pixels): its whole value with the unit.
    static QString ErrorTip(double error);
    /// Writes a target relative to the plot centre (x right, y up) into the target fields.
    void showTarget(kelvora::PixelPoint relative);
    /// Writes a pointer position relative to the plot centre into the pointer readouts.
    void showPointer(kelvora::PixelPoint relative);
    /// Sets a field's text, showing its start when it is wider than the field.
    void setText(Field which, const QString& text);

private:
    bool readPopulationSize(int& value) const;
    bool readGenerationLimit(int& value) const;
    bool readMutationProbability(double& value) const;
    bool readCrossoverRate(double& value) const;
    /// The field's text, blanks around it dropped, as number's parser reads it.
    std::optional<double> typed(Field which, const kelvora::session::NumberField& number) const;
    bool readInt(Field which, const kelvora::session::NumberField& number, int& value) const;
    bool readNumber(Field which, const kelvora::session::NumberField& number, double& value) const;
    void reject(Field which, const QString& message) const;

    QWidget* m_window;
    QPushButton* m_compute = nullptr;
    QLineEdit* m_fields[10] = {};
    kelvora::SolverParams m_params;
};

}  // namespace kelvora::ui
