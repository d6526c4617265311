#include "mainwindow/parameterpanel.h"

#include <algorithm>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "common/messagebox.h"
#include "mainwindow/fieldtext.h"
#include "session/numbers.h"

namespace kelvora::ui {

namespace {

using Field = ParameterPanel::Field;

// Where the controls go, in client pixels (IPAPGothic 9 pt at 96 DPI).
struct EditPlace {
    Field field;
    const char* name;  // objectName
    QRect box;
};
constexpr EditPlace kEdits[] = {
    {Field::populationSize, "populationSize", {187, 582, 70, 23}},
    {Field::generationLimit, "generationLimit", {410, 580, 70, 23}},
    {Field::crossoverRate, "crossoverRate", {187, 619, 70, 23}},
    {Field::mutationProbability, "mutationProbability", {410, 621, 70, 23}},
    {Field::generation, "generation", {186, 517, 70, 23}},
    {Field::error, "error", {410, 517, 70, 23}},
    {Field::targetX, "targetX", {186, 489, 70, 23}},
    {Field::targetY, "targetY", {410, 488, 70, 23}},
    {Field::pointerX, "pointerX", {522, 141, 70, 23}},
    {Field::pointerY, "pointerY", {522, 180, 70, 23}},
};
struct LabelPlace {
    const char* text;
    QRect box;
};
constexpr LabelPlace kLabels[] = {
    {QT_TRANSLATE_NOOP("kelvora::ui::CSolverDlg", "集団サイズ(<10000)"), {67, 583, 110, 13}},
    {QT_TRANSLATE_NOOP("kelvora::ui::CSolverDlg", "世代数の上限(<10000)"), {282, 583, 124, 13}},
    {QT_TRANSLATE_NOOP("kelvora::ui::CSolverDlg", "突然変異の確率"), {317, 624, 86, 13}},
    {QT_TRANSLATE_NOOP("kelvora::ui::CSolverDlg", "交差率"), {135, 622, 39, 13}},
    {QT_TRANSLATE_NOOP("kelvora::ui::CSolverDlg", "エリート解の誤差"), {313, 522, 89, 13}},
    {QT_TRANSLATE_NOOP("kelvora::ui::CSolverDlg", "世代"), {263, 520, 26, 13}},
    {QT_TRANSLATE_NOOP("kelvora::ui::CSolverDlg", "第"), {165, 520, 14, 13}},
    {QT_TRANSLATE_NOOP("kelvora::ui::CSolverDlg", "目標点y座標"), {331, 489, 68, 13}},
    {QT_TRANSLATE_NOOP("kelvora::ui::CSolverDlg", "目標点x座標"), {112, 492, 68, 13}},
};
constexpr QRect kComputeBox{257, 660, 88, 23};
constexpr QSize kClientSize{614, 723};

}  // namespace

ParameterPanel::ParameterPanel(QWidget* window) : m_window(window) {
    // Created in tab order, so Qt's focus chain is 計算 and then the four parameters.
    m_compute = new QPushButton(tr("計算"), window);
    m_compute->setObjectName(QStringLiteral("compute"));
    m_compute->setDefault(true);
    m_compute->setGeometry(kComputeBox);
    for (const EditPlace& place : kEdits) {
        auto* edit = new QLineEdit(window);
        const bool typed = place.field <= Field::mutationProbability;
        const bool readout = place.field >= Field::pointerX;
        edit->setObjectName(QString::fromLatin1(place.name));
        edit->setAlignment(readout ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignCenter);
        edit->setEnabled(typed);
        edit->setGeometry(place.box);
        m_fields[static_cast<int>(place.field)] = edit;
    }
    // What each parameter takes, and what the pointer boxes right of the plot show.
    const auto whole = [](const kelvora::session::NumberField& n) {
        return tr("%1 から %2 までの整数を入力してください。")
            .arg(FormatIntText(static_cast<int>(n.low)), FormatIntText(static_cast<int>(n.high)));
    };
    const auto number = [](const kelvora::session::NumberField& n) {
        return tr("%1 から %2 までの数値を入力してください。").arg(FormatDoubleText(n.low), FormatDoubleText(n.high));
    };
    field(Field::populationSize)->setToolTip(whole(kelvora::session::kPopulationField));
    field(Field::generationLimit)->setToolTip(whole(kelvora::session::kGenerationsField));
    field(Field::crossoverRate)->setToolTip(number(kelvora::session::kCrossoverField));
    field(Field::mutationProbability)->setToolTip(number(kelvora::session::kMutationField));
    field(Field::pointerX)->setToolTip(tr("ポインタの x 座標: 腕の付け根から右へ何 px か (プロットの上で動かすと変わります)"));
    field(Field::pointerY)->setToolTip(tr("ポインタの y 座標: 腕の付け根から上へ何 px か (プロットの上で動かすと変わります)"));
    // The tab order: the fields in the order of their rows, population before generations.
    QWidget::setTabOrder(m_compute, field(Field::populationSize));
    QWidget::setTabOrder(field(Field::populationSize), field(Field::generationLimit));
    QWidget::setTabOrder(field(Field::generationLimit), field(Field::crossoverRate));
    QWidget::setTabOrder(field(Field::crossoverRate), field(Field::mutationProbability));
    for (const LabelPlace& place : kLabels) {
        const QString text = QCoreApplication::translate("kelvora::ui::CSolverDlg", place.text);
        auto* label = new QLabel(text, window);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        QRect box = place.box;
        // A translated label wider than its box grows to the left, away from the field it names
        // on its right (into the free margin left of the row): the Japanese texts keep their boxes.
        if (text != QString::fromUtf8(place.text)) {
            const int advance = label->fontMetrics().horizontalAdvance(text);
            if (advance > box.width()) box.setLeft(std::max(0, box.right() + 1 - advance));
        }
        label->setGeometry(box);
    }
}

QSize ParameterPanel::clientSize() { return kClientSize; }

void ParameterPanel::setText(Field which, const QString& text) {
    QLineEdit* edit = field(which);
    edit->setText(text);
    edit->setCursorPosition(0);  // a text wider than the field shows its start
}

void ParameterPanel::showParams(const kelvora::SolverParams& params) {
    m_params = params;
    setText(Field::populationSize, FormatIntText(params.populationSize));
    setText(Field::generationLimit, FormatIntText(params.generationCount));
    setText(Field::crossoverRate, FormatDoubleText(params.crossoverRate));
    setText(Field::mutationProbability, FormatDoubleText(params.mutationProbability));
}

void ParameterPanel::showGeneration(int generation, double error) {
    setText(Field::generation, FormatIntText(generation));
    setText(Field::error, FormatDoubleText(error));
    // The whole value with its unit, which the narrow field cuts from 10 px on.
    field(Field::error)->setToolTip(ErrorTip(error));
}

QString ParameterPanel::ErrorTip(double error) {
    return tr("この欄: 最後の世代の最良解の誤差 %1 px").arg(FormatDoubleText(error));
}

void ParameterPanel::showTarget(kelvora::PixelPoint relative) {
    setText(Field::targetX, FormatIntText(relative.x));
    setText(Field::targetY, FormatIntText(relative.y));
}

void ParameterPanel::showPointer(kelvora::PixelPoint relative) {
    setText(Field::pointerX, QString::number(relative.x));
    setText(Field::pointerY, QString::number(relative.y));
}

std::optional<kelvora::SolverParams> ParameterPanel::readParams() {
    // The mutation probability is read before the crossover rate; the first bad field stops it.
    kelvora::SolverParams params = m_params;
    if (!readPopulationSize(params.populationSize) || !readGenerationLimit(params.generationCount) ||
        !readMutationProbability(params.mutationProbability) || !readCrossoverRate(params.crossoverRate))
        return std::nullopt;
    m_params = params;
    return params;
}

bool ParameterPanel::readPopulationSize(int& value) const {
    return readInt(Field::populationSize, kelvora::session::kPopulationField, value);
}

bool ParameterPanel::readGenerationLimit(int& value) const {
    return readInt(Field::generationLimit, kelvora::session::kGenerationsField, value);
}

bool ParameterPanel::readMutationProbability(double& value) const {
    return readNumber(Field::mutationProbability, kelvora::session::kMutationField, value);
}

bool ParameterPanel::readCrossoverRate(double& value) const {
    return readNumber(Field::crossoverRate, kelvora::session::kCrossoverField, value);
}

std::optional<double> ParameterPanel::typed(Field which, const kelvora::session::NumberField& number) const {
    // The blanks a person leaves around a number are no part of it.
    return kelvora::session::ParseNumberField(number, field(which)->text().trimmed().toStdString());
}

bool ParameterPanel::readInt(Field which, const kelvora::session::NumberField& number, int& value) const {
    if (const auto parsed = typed(which, number)) {
        value = static_cast<int>(*parsed);
        return true;
    }
    reject(which, tr("%1 から %2 までの整数を入力してください。")
                      .arg(FormatIntText(static_cast<int>(number.low)), FormatIntText(static_cast<int>(number.high))));
    return false;
}

bool ParameterPanel::readNumber(Field which, const kelvora::session::NumberField& number, double& value) const {
    // The text the field was given, untouched: the value stays as it was, with the digits beyond
    // the 15 the field shows (a rate read from run.json repeats the very same run).
    if (field(which)->text() == FormatDoubleText(value) && kelvora::session::InRange(number, value)) return true;
    if (const auto parsed = typed(which, number)) {
        value = *parsed;
        return true;
    }
    reject(which, tr("%1 から %2 までの数値を入力してください。").arg(FormatDoubleText(number.low), FormatDoubleText(number.high)));
    return false;
}

void ParameterPanel::reject(Field which, const QString& message) const {
    ShowMessageBox(m_window, QMessageBox::Warning, message);
    QLineEdit* edit = field(which);
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
}

}  // namespace kelvora::ui
