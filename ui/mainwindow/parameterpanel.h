#pragma once
// The main window's fields: its controls, created from template IDD_MAIN, the values they exchange
// (the four run parameters, the generation, the error and the target) and their checks.

#include <QSize>
#include <QString>

class QWidget;

namespace kelvora::ui {

class CDataExchange;

class ParameterPanel {
public:
    /// Creates the template's controls on window, in template order (the tab order); the Compute
    /// button's clicks are for the window to connect (GetDlgItem(IDOK)).
    explicit ParameterPanel(QWidget* window);

    /// Client-area size of template IDD_MAIN (351 x 445 dialog units, see dialogunits.h).
    static QSize ClientSize();

    /// true: reads and checks the fields from the controls in the exchange order, stopping at the
    /// first bad one (message box, focus into it); false: writes the fields into the controls.
    /// Returns false when a field was rejected.
    bool UpdateData(bool bSaveAndValidate);
    /// The control with resource id id (IDOK, IDC_*), or nullptr.
    QWidget* GetDlgItem(int id) const;
    /// Sets the text of edit control id (output fields written directly, not through the exchange),
    /// showing its start.
    void SetDlgItemText(int id, const QString& text);

    int m_nPopulationSize = 0;           ///< 1..10000
    int m_nGenerationLimit = 0;          ///< 1..10000
    double m_dMutationProbability = 0.0; ///< per gene, 0..1
    double m_dCrossoverRate = 0.0;       ///< 0.001..1
    double m_dError = 0.0;               ///< px, the shown generation's elite distance
    int m_nGeneration = 0;               ///< the shown generation, 0..1000000
    int m_nTargetX = 0;                  ///< target relative to the plot centre, x right
    int m_nTargetY = 0;                  ///< target relative to the plot centre, y up

private:
    void DoDataExchange(CDataExchange* pDX);

    QWidget* m_window;
};

}  // namespace kelvora::ui
