#pragma once
// The experiment window's fields and run controls: seeds, targets and epsilon as typed, 実行 and
// 中止, and the progress of a sweep with the time it has left.

#include <chrono>
#include <string>

#include <QWidget>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace kelvora::ui {

class RunPanel : public QWidget {
    Q_OBJECT

public:
    /// The fields' defaults: seeds 1..100, target (x,y as typed), epsilon 0.5.
    RunPanel(const QString& target, QWidget* parent);

    QLineEdit* seeds() const { return m_seeds; }
    QLineEdit* targets() const { return m_targets; }
    QLineEdit* epsilon() const { return m_epsilon; }
    /// The seeds, targets and epsilon fields' texts, as the experiment model reads them.
    struct Texts {
        std::string seeds, targets, epsilon;
    };
    Texts texts() const;
    /// Fills the fields from texts; an empty text leaves its field as it is.
    void setTexts(const Texts& texts);
    /// 実行 enabled while nothing goes, 中止 while a sweep goes.
    void setRunning(bool running);
    /// A sweep starts now: the time left is measured from here.
    void start();
    /// done of total runs; running: the time left, else no note.
    void showProgress(long long done, long long total, bool running);
    /// A note where the time left shows ("中止しました").
    void setNote(const QString& text);

signals:
    void runClicked();
    void cancelClicked();
    /// A field was edited by hand.
    void edited();

private:
    QLineEdit* m_seeds;
    QLineEdit* m_targets;
    QLineEdit* m_epsilon;
    QPushButton* m_run;
    QPushButton* m_cancel;
    QProgressBar* m_progress;
    QLabel* m_timeLeft;
    std::chrono::steady_clock::time_point m_started;
};

}  // namespace kelvora::ui
