#include "mainwindow/parameterpanel.h"

#include <algorithm>

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "mainwindow/dataexchange.h"
#include "common/dialogunits.h"
#include "model/types.h"
#include "common/resource.h"

namespace kelvora::ui {

namespace {

// Kinds of control in template IDD_MAIN.
enum class ControlKind {
    DefPushButton,   // the default button
    ParameterEdit,   // centred text, border, auto-scroll, tab stop
    OutputEdit,      // centred text, border, disabled
    ReadoutEdit,     // left-aligned text, border, disabled
    Static,          // left-aligned text, starts a group
};

struct ControlTemplate {
    int id;  // -1 for statics, which have none
    const char* name;
    ControlKind kind;
    const char* text;
    int x, y, cx, cy;  // dialog units
};

// Template IDD_MAIN: template order, which is also the tab order.
constexpr ControlTemplate kMainTemplate[] = {
    {IDOK, "IDOK", ControlKind::DefPushButton, QT_TRANSLATE_NOOP("kelvora::ui::CSolverDlg", "計算"), 147, 406, 50, 14},
    {IDC_POPULATION_SIZE, "IDC_POPULATION_SIZE", ControlKind::ParameterEdit, "", 107, 358, 40, 14},
    {-1, nullptr, ControlKind::Static, QT_TRANSLATE_NOOP("kelvora::ui::CSolverDlg", "集団サイズ(<10000)"), 38, 359, 63, 8},
    {IDC_GENERATION_LIMIT, "IDC_GENERATION_LIMIT", ControlKind::ParameterEdit, "", 234, 357, 40, 14},
    {-1, nullptr, ControlKind::Static, QT_TRANSLATE_NOOP("kelvora::ui::CSolverDlg", "世代数の上限(<10000)"), 161, 359, 71, 8},
    {IDC_CROSSOVER_RATE, "IDC_CROSSOVER_RATE", ControlKind::ParameterEdit, "", 107, 381, 40, 14},
    {-1, nullptr, ControlKind::Static, QT_TRANSLATE_NOOP("kelvora::ui::CSolverDlg", "突然変異の確率"), 181, 384, 49, 8},
    {IDC_MUTATION_PROBABILITY, "IDC_MUTATION_PROBABILITY", ControlKind::ParameterEdit, "", 234, 382, 40, 14},
    {-1, nullptr, ControlKind::Static, QT_TRANSLATE_NOOP("kelvora::ui::CSolverDlg", "交差率"), 77, 383, 22, 8},
    {-1, nullptr, ControlKind::Static, QT_TRANSLATE_NOOP("kelvora::ui::CSolverDlg", "エリート解の誤差"), 179, 321, 51, 8},
    {-1, nullptr, ControlKind::Static, QT_TRANSLATE_NOOP("kelvora::ui::CSolverDlg", "世代"), 150, 320, 15, 8},
    {-1, nullptr, ControlKind::Static, QT_TRANSLATE_NOOP("kelvora::ui::CSolverDlg", "第"), 94, 320, 8, 8},
    {IDC_GENERATION, "IDC_GENERATION", ControlKind::OutputEdit, "", 106, 318, 40, 14},
    {IDC_ERROR, "IDC_ERROR", ControlKind::OutputEdit, "", 234, 318, 40, 14},
    {-1, nullptr, ControlKind::Static, QT_TRANSLATE_NOOP("kelvora::ui::CSolverDlg", "目標点y座標"), 189, 301, 39, 8},
    {-1, nullptr, ControlKind::Static, QT_TRANSLATE_NOOP("kelvora::ui::CSolverDlg", "目標点x座標"), 64, 303, 39, 8},
    {IDC_TARGET_X, "IDC_TARGET_X", ControlKind::OutputEdit, "", 106, 301, 40, 14},
    {IDC_TARGET_Y, "IDC_TARGET_Y", ControlKind::OutputEdit, "", 234, 300, 40, 14},
    {IDC_POINTER_X, "IDC_POINTER_X", ControlKind::ReadoutEdit, "", 298, 87, 40, 14},
    {IDC_POINTER_Y, "IDC_POINTER_Y", ControlKind::ReadoutEdit, "", 298, 111, 40, 14},
};

// Template size in dialog units.
constexpr int kTemplateWidth = 351;
constexpr int kTemplateHeight = 445;

}  // namespace

ParameterPanel::ParameterPanel(QWidget* window) : m_window(window) {
    // Widgets are created in template order, so Qt's focus chain is the template's tab order.
    for (const ControlTemplate& t : kMainTemplate) {
        QWidget* control = nullptr;
        const QString text = QCoreApplication::translate("kelvora::ui::CSolverDlg", t.text);  // the template's Japanese, or its translation
        switch (t.kind) {
        case ControlKind::DefPushButton: {
            auto* button = new QPushButton(text, window);
            button->setDefault(true);
            control = button;
            break;
        }
        case ControlKind::ParameterEdit:
        case ControlKind::OutputEdit:
        case ControlKind::ReadoutEdit: {
            auto* edit = new QLineEdit(window);
            edit->setAlignment(t.kind == ControlKind::ReadoutEdit ? Qt::AlignLeft | Qt::AlignVCenter
                                                                   : Qt::AlignCenter);
            edit->setEnabled(t.kind == ControlKind::ParameterEdit);
            control = edit;
            break;
        }
        case ControlKind::Static: {
            auto* label = new QLabel(text, window);
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            control = label;
            break;
        }
        }
        control->setProperty("controlId", t.id);
        if (t.name) control->setObjectName(QString::fromLatin1(t.name));
        QRect box(DialogUnitsToPixelsX(t.x), DialogUnitsToPixelsY(t.y), DialogUnitsToPixelsX(t.cx),
                  DialogUnitsToPixelsY(t.cy));
        // A translated label wider than the template's box grows to the left, away from the field
        // it names on its right (into the free margin left of the row): the template's own texts
        // keep their boxes.
        if (t.kind == ControlKind::Static && text != QString::fromUtf8(t.text)) {
            const int advance = control->fontMetrics().horizontalAdvance(text);
            if (advance > box.width()) box.setLeft(std::max(0, box.right() + 1 - advance));
        }
        control->setGeometry(box);
    }
}

QSize ParameterPanel::ClientSize() {
    return QSize(DialogUnitsToPixelsX(kTemplateWidth), DialogUnitsToPixelsY(kTemplateHeight));
}

QWidget* ParameterPanel::GetDlgItem(int id) const { return FindDlgItem(m_window, id); }

bool ParameterPanel::UpdateData(bool bSaveAndValidate) {
    CDataExchange dx(m_window, bSaveAndValidate);
    DoDataExchange(&dx);
    dx.Proceed();  // reports a last field whose text did not convert
    return !dx.Failed();
}

void ParameterPanel::DoDataExchange(CDataExchange* pDX) {
    // The mutation probability is exchanged before the crossover rate; the first bad field stops it.
    DDX_Text(pDX, IDC_POPULATION_SIZE, m_nPopulationSize);
    DDV_MinMaxInt(pDX, m_nPopulationSize, kelvora::kMinPopulation, kelvora::kMaxPopulation);
    DDX_Text(pDX, IDC_GENERATION_LIMIT, m_nGenerationLimit);
    DDV_MinMaxInt(pDX, m_nGenerationLimit, kelvora::kMinGenerations, kelvora::kMaxGenerations);
    DDX_Text(pDX, IDC_MUTATION_PROBABILITY, m_dMutationProbability);
    DDV_MinMaxDouble(pDX, m_dMutationProbability, kelvora::kMinMutationProbability, kelvora::kMaxMutationProbability);
    DDX_Text(pDX, IDC_CROSSOVER_RATE, m_dCrossoverRate);
    DDV_MinMaxDouble(pDX, m_dCrossoverRate, kelvora::kMinCrossoverRate, kelvora::kMaxCrossoverRate);
    DDX_Text(pDX, IDC_ERROR, m_dError);
    DDX_Text(pDX, IDC_GENERATION, m_nGeneration);
    DDV_MinMaxInt(pDX, m_nGeneration, 0, 1000000);
    DDX_Text(pDX, IDC_TARGET_X, m_nTargetX);
    DDX_Text(pDX, IDC_TARGET_Y, m_nTargetY);
}

void ParameterPanel::SetDlgItemText(int id, const QString& text) {
    if (auto* edit = qobject_cast<QLineEdit*>(GetDlgItem(id))) {
        edit->setText(text);
        edit->setCursorPosition(0);  // a text wider than the field shows its start
    }
}

}  // namespace kelvora::ui
