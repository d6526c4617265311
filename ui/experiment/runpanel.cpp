#include "experiment/runpanel.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "experiment/experimentwindow.h"

namespace kelvora::ui {

RunPanel::RunPanel(const QString& target, QWidget* parent) : QWidget(parent) {
    auto* form = new QFormLayout;
    m_seeds = new QLineEdit(QStringLiteral("1..100"), this);
    m_targets = new QLineEdit(target, this);
    m_targets->setToolTip(ExperimentWindow::tr("x,y の組を空白で区切って複数指定できます。random:K で到達範囲内の目標点を K 個引きます"));
    m_epsilon = new QLineEdit(QStringLiteral("0.5"), this);
    m_seeds->setObjectName(QStringLiteral("Seeds"));
    m_targets->setObjectName(QStringLiteral("Targets"));
    m_epsilon->setObjectName(QStringLiteral("Epsilon"));
    form->addRow(ExperimentWindow::tr("シード"), m_seeds);
    form->addRow(ExperimentWindow::tr("目標点"), m_targets);
    form->addRow(ExperimentWindow::tr("ε (px)"), m_epsilon);
    for (QLineEdit* field : {m_seeds, m_targets, m_epsilon}) connect(field, &QLineEdit::textEdited, this, &RunPanel::edited);

    auto* runRow = new QHBoxLayout;
    m_run = new QPushButton(ExperimentWindow::tr("実行"), this);
    m_cancel = new QPushButton(ExperimentWindow::tr("中止"), this);
    m_progress = new QProgressBar(this);
    m_progress->setFormat(QStringLiteral("%v / %m"));
    m_progress->setMinimumWidth(60);
    m_timeLeft = new QLabel(this);
    runRow->addWidget(m_run);
    runRow->addWidget(m_cancel);
    runRow->addStretch(1);
    connect(m_run, &QPushButton::clicked, this, &RunPanel::runClicked);
    connect(m_cancel, &QPushButton::clicked, this, &RunPanel::cancelClicked);

    // The bar and the time left under the buttons: the window stays narrow enough for every chart's tab.
    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(m_progress, 1);
    progressRow->addWidget(m_timeLeft);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(form);
    layout->addLayout(runRow);
    layout->addLayout(progressRow);
}

void RunPanel::setRunning(bool running) {
    m_run->setEnabled(!running);
    m_cancel->setEnabled(running);
}

void RunPanel::start() { m_started = std::chrono::steady_clock::now(); }

void RunPanel::showProgress(long long done, long long total, bool running) {
    m_progress->setRange(0, static_cast<int>(std::min<long long>(total, INT_MAX)));
    m_progress->setValue(static_cast<int>(std::min<long long>(done, INT_MAX)));
    if (!running) {
        m_timeLeft->clear();
        return;
    }
    if (done == 0) {
        m_timeLeft->setText(ExperimentWindow::tr("残り時間: 計算中"));
        return;
    }
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_started).count();
    const double left = elapsed * static_cast<double>(total - done) / static_cast<double>(done);
    m_timeLeft->setText(ExperimentWindow::tr("残り %1 秒").arg(std::ceil(left)));
}

void RunPanel::setNote(const QString& text) { m_timeLeft->setText(text); }

RunPanel::Texts RunPanel::texts() const {
    return {m_seeds->text().toStdString(), m_targets->text().toStdString(), m_epsilon->text().toStdString()};
}

void RunPanel::setTexts(const Texts& texts) {
    for (const auto& [field, text] : {std::pair{m_seeds, &texts.seeds}, {m_targets, &texts.targets}, {m_epsilon, &texts.epsilon}})
        if (!text->empty()) field->setText(QString::fromStdString(*text));
}

}  // namespace kelvora::ui
