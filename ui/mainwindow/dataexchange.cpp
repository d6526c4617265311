#include "mainwindow/dataexchange.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include <QByteArray>
#include <QCoreApplication>
#include <QLineEdit>
#include <QVariant>

#include "common/messagebox.h"

namespace kelvora::ui {

namespace {

// The text of a field, trimmed, as bytes for std::from_chars (which ignores the locale). A single
// leading '+' is allowed, as the C library's conversions allow it; from_chars does not.
QByteArray NumberBytes(const QString& text) {
    QByteArray bytes = text.trimmed().toUtf8();
    if (bytes.size() > 1 && bytes[0] == '+' && bytes[1] != '+' && bytes[1] != '-') bytes.remove(0, 1);
    return bytes;
}

QString RangeMessage(CDataExchange::BadText kind, const QString& minText, const QString& maxText) {
    return kind == CDataExchange::BadText::Integer
               ? QCoreApplication::translate("CDataExchange", "%1 から %2 までの整数を入力してください。").arg(minText, maxText)
               : QCoreApplication::translate("CDataExchange", "%1 から %2 までの数値を入力してください。").arg(minText, maxText);
}

void ReportBadText(CDataExchange* pDX, CDataExchange::BadText kind) {
    ShowMessageBox(pDX->m_pDlgWnd, QMessageBox::Warning,
                   kind == CDataExchange::BadText::Integer ? QCoreApplication::translate("CDataExchange", "整数を入力してください。")
                                                           : QCoreApplication::translate("CDataExchange", "数値を入力してください。"));
    pDX->Fail();
}

}  // namespace

QWidget* FindDlgItem(const QWidget* dialog, int id) {
    const auto children = dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        bool ok = false;
        if (child->property("controlId").toInt(&ok) == id && ok) return child;
    }
    return nullptr;
}

CDataExchange::CDataExchange(QWidget* dialog, bool saveAndValidate)
    : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog) {}

QLineEdit* CDataExchange::PrepareEditCtrl(int id) {
    m_pLastEdit = qobject_cast<QLineEdit*>(FindDlgItem(m_pDlgWnd, id));
    Q_ASSERT_X(m_pLastEdit, "PrepareEditCtrl", "no edit control with this id");
    return m_pLastEdit;
}

void CDataExchange::Fail() {
    m_bFailed = true;
    m_badText = BadText::None;
    if (m_pLastEdit) {
        m_pLastEdit->setFocus(Qt::OtherFocusReason);
        m_pLastEdit->selectAll();
    }
}

bool CDataExchange::Proceed() {
    if (m_bFailed) return false;
    if (m_badText != BadText::None) {
        ReportBadText(this, m_badText);
        return false;
    }
    return true;
}

namespace {

// One field's exchange: writes value as text, or reads the text back into value, noting a text
// that does not convert as the kind of number the field wants.
template <typename T>
void ExchangeText(CDataExchange* pDX, int id, T& value, QString (*format)(T), bool (*parse)(const QString&, T*),
                  CDataExchange::BadText kind) {
    if (!pDX->Proceed()) return;
    QLineEdit* edit = pDX->PrepareEditCtrl(id);
    if (!edit) return;
    if (!pDX->m_bSaveAndValidate) {
        edit->setText(format(value));
        edit->setCursorPosition(0);  // a text wider than the field shows its start
        return;
    }
    // The text the field was given, untouched: the value stays as it was, with the digits beyond
    // the 15 the field shows (a rate read from run.json repeats the very same run).
    if (edit->text() == format(value)) return;
    T parsed{};
    if (parse(edit->text(), &parsed)) value = parsed;
    else pDX->m_badText = kind;
}

}  // namespace

void DDX_Text(CDataExchange* pDX, int id, int& value) {
    ExchangeText(pDX, id, value, FormatIntText, ParseIntText, CDataExchange::BadText::Integer);
}

void DDX_Text(CDataExchange* pDX, int id, double& value) {
    ExchangeText(pDX, id, value, FormatDoubleText, ParseDoubleText, CDataExchange::BadText::Number);
}

void DDV_MinMaxInt(CDataExchange* pDX, int value, int minValue, int maxValue) {
    if (!pDX->m_bSaveAndValidate || pDX->Failed()) return;
    if (pDX->m_badText != CDataExchange::BadText::None || value < minValue || value > maxValue) {
        ShowMessageBox(pDX->m_pDlgWnd, QMessageBox::Warning,
                       RangeMessage(CDataExchange::BadText::Integer, FormatIntText(minValue), FormatIntText(maxValue)));
        pDX->Fail();
    }
}

void DDV_MinMaxDouble(CDataExchange* pDX, double value, double minValue, double maxValue) {
    if (!pDX->m_bSaveAndValidate || pDX->Failed()) return;
    if (pDX->m_badText != CDataExchange::BadText::None || !(value >= minValue && value <= maxValue)) {
        ShowMessageBox(pDX->m_pDlgWnd, QMessageBox::Warning,
                       RangeMessage(CDataExchange::BadText::Number, FormatDoubleText(minValue),
                                    FormatDoubleText(maxValue)));
        pDX->Fail();
    }
}

QString FormatIntText(int value) { return QString::number(value); }

QString FormatDoubleText(double value) {
    // QString::asprintf formats numbers itself, in the C locale, unlike the C library's printf.
    return QString::asprintf("%.15g", value);
}

bool ParseIntText(const QString& text, int* value) {
    const QByteArray bytes = NumberBytes(text);
    const char* first = bytes.constData();
    const char* last = first + bytes.size();
    int parsed = 0;
    const auto [end, error] = std::from_chars(first, last, parsed, 10);
    if (error != std::errc() || end != last) return false;
    *value = parsed;
    return true;
}

bool ParseDoubleText(const QString& text, double* value) {
    const QByteArray bytes = NumberBytes(text);
    const char* first = bytes.constData();
    const char* last = first + bytes.size();
    double parsed = 0.0;
    const auto [end, error] = std::from_chars(first, last, parsed, std::chars_format::general);
    if (error != std::errc() || end != last || !std::isfinite(parsed)) return false;
    *value = parsed;
    return true;
}

}  // namespace kelvora::ui
