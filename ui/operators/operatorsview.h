#pragma once
// The dialog "遺伝的操作" (right-click menu, Ctrl+L): the five operator choices of the window's runs,
// encoding, selection, elite count, crossover and mutation, and a button back to the classic
// choice.

#include <QDialog>

#include "ga/algorithm.h"

class QComboBox;
class QSpinBox;

namespace kelvora::ui {

class OperatorDialog : public QDialog {
    Q_OBJECT

public:
    /// The dialog over parent, showing algorithm (its method is kept as it is).
    explicit OperatorDialog(const kelvora::Algorithm& algorithm, QWidget* parent = nullptr);

    /// The choice the controls show.
    kelvora::Algorithm algorithm() const;
    /// Shows algorithm in the controls; a count outside its control's range is clamped to it.
    void setAlgorithm(const kelvora::Algorithm& algorithm);

    /// Runs the dialog modally (through the window's modal-loop function): QDialog::Accepted for
    /// OK, QDialog::Rejected otherwise.
    int DoModal();

    /// The method's name as the window shows it, in the window's language.
    static QString MethodName(kelvora::Method method);
    /// The choices of algorithm that are not classic, in the window's language, for the line under
    /// 計算 and the evolution window's readout ("遺伝的操作: グレイ, ..."), random search named as
    /// such, another baseline by its method ("方法: 山登り法, クリープ (±4)"); empty when all are
    /// classic. Worded from kelvora::AlgorithmParts.
    static QString Summary(const kelvora::Algorithm& algorithm);

private:
    void updateEnabled();
    void setToolTips();

    kelvora::Algorithm m_algorithm;
    QComboBox* m_encoding;
    QComboBox* m_selection;
    QSpinBox* m_tournamentSize;
    QSpinBox* m_elitism;
    QComboBox* m_crossover;
    QComboBox* m_mutation;
    QSpinBox* m_creepStep;
};

}  // namespace kelvora::ui
