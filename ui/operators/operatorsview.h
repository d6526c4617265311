#pragma once
// The view "遺伝的操作" (表示 menu, right-click menu, Ctrl+L), docked beside the dialog like the
// other views: the five operator choices of the window's next runs, encoding, selection, elite
// count, crossover and mutation, and a button back to the classic choice. A change applies at once.

#include <QWidget>

#include "ga/algorithm.h"

class QComboBox;
class QSpinBox;

namespace kelvora::ui {

class OperatorsView : public QWidget {
    Q_OBJECT

public:
    /// A window of its own until a host docks it, showing algorithm (its method is kept as it is).
    explicit OperatorsView(const kelvora::Algorithm& algorithm, QWidget* parent = nullptr);

    /// The choice the controls show.
    kelvora::Algorithm algorithm() const;
    /// Shows algorithm in the controls (no algorithmChosen); a count outside its control's range is
    /// clamped to it.
    void setAlgorithm(const kelvora::Algorithm& algorithm);

    /// The method's name as the window shows it, in the window's language.
    static QString MethodName(kelvora::Method method);
    /// The choices of algorithm that are not classic, in the window's language, for the line under
    /// 計算 and the evolution window's readout ("遺伝的操作: グレイ, ..."), random search named as
    /// such, another baseline by its method ("方法: 山登り法, クリープ (±4)"); empty when all are
    /// classic. Worded from kelvora::AlgorithmParts.
    static QString Summary(const kelvora::Algorithm& algorithm);

signals:
    /// The person changed a control (or pressed 標準に戻す): the choice the controls show now.
    void algorithmChosen(const kelvora::Algorithm& algorithm);

private:
    void updateEnabled();
    void changed();
    void setToolTips();

    kelvora::Algorithm m_algorithm;
    QComboBox* m_encoding;
    QComboBox* m_selection;
    QSpinBox* m_tournamentSize;
    QSpinBox* m_elitism;
    QComboBox* m_crossover;
    QComboBox* m_mutation;
    QSpinBox* m_creepStep;
    bool m_showing = false;  ///< setAlgorithm is filling the controls
};

}  // namespace kelvora::ui
