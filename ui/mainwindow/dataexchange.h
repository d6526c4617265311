#pragma once
// Dialog data exchange: moves a dialog's fields into its edit controls as text, or reads the text
// back with conversion and range checks. Qt's validators would stop the user typing; here any text
// may be typed and only the exchange judges it, reporting the first bad field in a message box
// (ShowMessageBox) and putting the focus into that field with its text selected.

#include <QString>

class QLineEdit;
class QWidget;

namespace kelvora::ui {

/// The control of dialog whose "controlId" property is id, or nullptr.
QWidget* FindDlgItem(const QWidget* dialog, int id);

/// One exchange between a dialog's fields and its controls, in one direction.
class CDataExchange {
public:
    CDataExchange(QWidget* dialog, bool saveAndValidate);

    /// true: controls to fields, with checks; false: fields to controls.
    const bool m_bSaveAndValidate;
    QWidget* const m_pDlgWnd;

    /// Finds edit control id and remembers it as the one a failure points at.
    QLineEdit* PrepareEditCtrl(int id);
    /// Puts the focus into the last prepared control with its text selected; ends the exchange.
    void Fail();
    bool Failed() const { return m_bFailed; }

    /// Reports the text that did not convert, naming only the type: for a field that has no range
    /// check after its conversion. Returns false once the exchange has failed.
    bool Proceed();

    /// Text of the last prepared control that did not convert, waiting for the range check that
    /// follows so that the message can name the range as well.
    enum class BadText { None, Integer, Number };
    BadText m_badText = BadText::None;

private:
    QLineEdit* m_pLastEdit = nullptr;
    bool m_bFailed = false;
};

void DDX_Text(CDataExchange* pDX, int id, int& value);
void DDX_Text(CDataExchange* pDX, int id, double& value);
void DDV_MinMaxInt(CDataExchange* pDX, int value, int minValue, int maxValue);
void DDV_MinMaxDouble(CDataExchange* pDX, double value, double minValue, double maxValue);

/// Integer field text: decimal, as "%d".
QString FormatIntText(int value);
/// Double field text: up to 15 significant digits, as "%.15g" ("0.1", "0.5", "0", "1e-05").
/// Always in the C locale, whatever the user's.
QString FormatDoubleText(double value);

/// Reads an integer field: the whole text, spaces around it allowed, must be one decimal integer
/// within int's range. C locale; no digit grouping.
bool ParseIntText(const QString& text, int* value);
/// Reads a double field: the whole text, spaces around it allowed, must be one finite decimal
/// number (fixed or exponent form). C locale: the decimal point is '.', whatever the user's locale.
/// nan, inf and values beyond double's range (1e999) are rejected.
bool ParseDoubleText(const QString& text, double* value);

}  // namespace kelvora::ui
