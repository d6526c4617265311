#include "experiment/experimentwindow.h"

#include <algorithm>

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QSplitter>
#include <QThread>
#include <QVBoxLayout>

#include "batch/sweep_table.h"
#include "common/background.h"
#include "common/messagebox.h"
#include "common/wholefile.h"
#include "experiment/chartspanel.h"
#include "experiment/experimentmenu.h"
#include "experiment/experimentplots.h"
#include "experiment/experimentwords.h"
#include "experiment/runpanel.h"
#include "experiment/summarytable.h"
#include "experiment/sweepopening.h"
#include "experiment/sweeprunner.h"
#include "experiment/tablestore.h"
#include "report/report.h"
#include "session/labels.h"
#include "session/ui_language.h"
#include "session/numbers.h"

namespace kelvora::ui {

namespace {

std::vector<QString> Texts(const std::vector<std::string>& texts) {
    std::vector<QString> shown;
    for (const std::string& text : texts) shown.push_back(QString::fromStdString(text));
    return shown;
}

// A wrapped line of the window's own words, hidden until it has something to say.
QLabel* Note(QWidget* parent, const char* name) {
    auto* note = new QLabel(parent);
    note->setObjectName(QLatin1String(name));
    note->setWordWrap(true);
    note->setTextFormat(Qt::PlainText);
    note->hide();
    return note;
}

ExperimentWindow::DiscardQuestion g_discardQuestion = AskDiscardBox;
ExperimentWindow::OpenSeam g_openSeam = nullptr;

}  // namespace

ExperimentWindow::DiscardQuestion ExperimentWindow::SetDiscardQuestion(DiscardQuestion question) {
    const DiscardQuestion old = g_discardQuestion;
    g_discardQuestion = question ? question : AskDiscardBox;
    return old;
}

std::vector<QString> ExperimentWindow::labels() const { return Texts(m_model.labels()); }

ExperimentWindow::ExperimentWindow(std::function<CurrentSettings()> current, QWidget* parent)
    : QMainWindow(parent, Qt::Window), m_current(std::move(current)), m_runner(new SweepRunner(this)) {
    setObjectName(QStringLiteral("ExperimentWindow"));
    // A sweep CSV dropped opens here; anything else is offered to the main window's replay.
    AcceptFileDrops(this, [this](const QString& path, bool sweep) {
        if (sweep) openSweep(path);
        else emit resultsDropped(path);
    });
    setWindowTitle(tr("Kelvora — 実験"));

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    m_configs = new ConfigurationTable(central);
    connect(m_configs, &ConfigurationTable::addRequested, this, &ExperimentWindow::addCurrent);
    connect(m_configs, &ConfigurationTable::edited, this, &ExperimentWindow::tableEdited);
    // A label typed for a row that ran: its curves and rows are renamed at once, without running again.
    connect(m_configs, &ConfigurationTable::labelTyped, this, [this](int row, const QString& label) {
        if (const int configuration = isRunning() ? -1 : m_model.ConfigurationOfRow(m_configs->rowCombinations(), row); configuration >= 0)
            relabel(static_cast<std::size_t>(configuration), label);
    });

    const CurrentSettings now = m_current ? m_current() : CurrentSettings{};
    m_fields = new RunPanel(QStringLiteral("%1,%2").arg(now.target.x()).arg(now.target.y()), central);
    connect(m_fields, &RunPanel::runClicked, this, &ExperimentWindow::run);
    connect(m_fields, &RunPanel::cancelClicked, this, &ExperimentWindow::cancel);
    connect(m_fields, &RunPanel::edited, this, &ExperimentWindow::tableEdited);
    m_summary = new SummaryTable(central);
    connect(m_summary, &SummaryTable::labelEdited, this, &ExperimentWindow::relabel);
    m_runsEach = new QLabel(central);
    m_runsEach->setObjectName(QStringLiteral("RunsEach"));
    m_fileNote = Note(central, "FileNote");

    auto* left = new QWidget(central);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    m_about = Note(left, "AboutExperiment");
    leftLayout->addWidget(m_about);
    leftLayout->addWidget(m_configs, 1);
    leftLayout->addWidget(m_fileNote);
    leftLayout->addWidget(m_fields);
    leftLayout->addWidget(m_summary, 1);
    leftLayout->addWidget(m_runsEach);

    m_charts = new ChartsPanel(central);
    m_plots = m_charts->plots();
    m_statistics = m_charts->statistics();
    // The summary's success rates carry their test against the baseline the 統計 tab compares with.
    connect(m_statistics, &StatisticsPanel::changed, this, [this] {
        m_summary->showAgainstBaseline(*m_statistics);
        fitSummary();
    });

    m_splitter = new QSplitter(central);
    m_splitter->addWidget(left);
    m_splitter->addWidget(m_charts);
    m_splitter->setStretchFactor(1, 1);
    connect(m_splitter, &QSplitter::splitterMoved, this, [this] { m_splitterMoved = true; });
    layout->addWidget(m_splitter);
    setCentralWidget(central);

    AddExperimentMenu(this, {[this](const QString& path) { openSweep(path); },
                             [this](const QString& path) { openExperiment(path); },
                             [this](const QString& path) { saveExperiment(path); },
                             [this] { return runsCsv(); },
                             [this](const QString& path) {
                                 m_runsName = QFileInfo(path).fileName();
                                 saveLabels(path);
                                 if (!isRunning()) m_model.Saved();
                             },
                             [this] { return summaryCsv(); },
                             [this] {
                                 if (!isRunning()) m_model.Saved();
                             },
                             [this] { return m_statistics->csv(); },
                             [this](bool svg) { m_charts->savePlot(svg); },
                             [this] { return reportRefusal(); },
                             [this](const QString& path) { exportReport(path); }});

    connect(m_runner, &SweepRunner::batchTaken, this, &ExperimentWindow::takeBatch, Qt::DirectConnection);
    connect(m_runner, &SweepRunner::finished, this, &ExperimentWindow::onFinished);
    connect(m_configs, &ConfigurationTable::rowsRemoved, this, &ExperimentWindow::dropConfigurations);
    RestoreTable(*m_configs, *m_fields, kMaxConfigurations);
    setRunning(false);

    resize(1100, 640);
    m_splitter->setSizes({440, 660});  // until shown: then the summary's columns say (fitSummary)
}

ExperimentWindow::~ExperimentWindow() {
    if (m_opening) m_opening->stop = true;
    // Before any member goes: no run or outcome is left on the pool to post to the window.
    m_runner->shutdown();
    saveTable();
}

bool ExperimentWindow::isRunning() const { return m_runner->isRunning() || m_computing; }

bool ExperimentWindow::holdsUnsavedRuns() const { return isRunning() || m_model.unsaved(); }

void ExperimentWindow::askDiscard(QWidget* parent, std::function<void(bool)> answer) {
    if (!holdsUnsavedRuns()) {
        answer(true);
        return;
    }
    const QString text = isRunning() ? tr("実験ウィンドウで実行中のスイープがあります。中止して閉じますか？")
                                     : tr("実験ウィンドウに保存していない実行結果があります。保存せずに閉じますか？");
    g_discardQuestion(parent, text, [this, answer = std::move(answer)](bool discard) {
        if (discard) {
            m_runner->cancel();
            m_model.Saved();
        }
        answer(discard);
    });
}

void ExperimentWindow::SetOpenSeam(OpenSeam seam) { g_openSeam = seam; }

bool ExperimentWindow::openSweep(const QString& path) {
    if (isRunning() || m_opening) return false;
    m_opening = StartSweepOpening(this, path, g_openSeam,
                                  [this](std::shared_ptr<SweepOpening> opened) { finishOpening(std::move(opened)); });
    return true;
}

void ExperimentWindow::finishOpening(std::shared_ptr<SweepOpening> opened) {
    m_opening.reset();
    if (opened->stop) {
        emit sweepOpened(false);
        return;
    }
    if (!opened->sweep.error.empty()) {
        ShowMessageBox(this, QMessageBox::Warning,
                       tr("スイープの CSV を読めません: %1").arg(QString::fromLocal8Bit(opened->sweep.error.c_str())));
        emit sweepOpened(false);
        return;
    }
    m_model.Open(opened->sweep);
    fillFromFile(opened->sweep.configurations, opened->sweep.seeds, opened->sweep.targets);
    // The runs were measured at the file's epsilon: the field says it, or that it was assumed.
    m_fields->setTexts({{}, {}, kelvora::session::NumberText(m_model.epsilon())});
    if (!m_model.epsilonRecorded()) AddNoteLine(m_fileNote, tr("このファイルには ε の記録がありません。0.5 とみなしました。"));
    m_done = m_total = opened->sweep.rows;
    updateProgress();
    setStale(false);
    showOutcome(std::move(opened->outcome));
    setWindowTitle(tr("Kelvora — 実験") + QStringLiteral(" — ") + QFileInfo(opened->path).fileName());
    m_runsName = QFileInfo(opened->path).fileName();
    if (!opened->sweep.labelsError.empty())
        ShowMessageBox(this, QMessageBox::Warning,
                       tr("ラベルのファイルを読めません (ラベルは自動でつけます): %1").arg(QString::fromLocal8Bit(opened->sweep.labelsError.c_str())));
    emit sweepOpened(true);
}

namespace ex = kelvora::experiment;

bool ExperimentWindow::openExperiment(const QString& path) {
    if (isRunning() || m_opening) return false;
    ex::Experiment experiment;
    ex::ExperimentPlan plan;
    if (const ex::ExperimentFault fault = ex::OpenExperimentFile(QFile::encodeName(path).toStdString(), experiment, plan)) {
        ShowMessageBox(this, QMessageBox::Warning,
                       tr("実験ファイル \"%1\" を読めません: %2").arg(path, ExperimentFaultWords(fault)));
        return false;
    }
    const std::vector<ex::TableRow> rows = ex::TableRowsOf(experiment, plan);
    if (rows.size() > static_cast<std::size_t>(kMaxConfigurations)) {
        ShowMessageBox(this, QMessageBox::Warning,
                       tr("実験ファイル \"%1\" の構成は %2 行になります: 表は %3 行までです。").arg(path).arg(rows.size()).arg(kMaxConfigurations));
        return false;
    }
    m_configs->setRows(rows);
    m_fields->setTexts({ex::SeedListText(experiment.seeds), ex::TargetsFieldText(experiment, plan),
                        kelvora::session::NumberText(plan.epsilon)});
    m_model.SetAbout(experiment.title, experiment.notes);
    m_about->setText(QString::fromStdString(m_model.AboutText()));
    m_about->setVisible(!m_about->text().isEmpty());
    m_tableFromFile = true;  // kept for the next session once run
    m_fileNote->hide();
    setWindowTitle(tr("Kelvora — 実験") + QStringLiteral(" — ") + QFileInfo(path).fileName());
    tableEdited();
    return true;
}

QString ExperimentWindow::experimentText(std::string& text) const {
    std::vector<ex::PlannedConfiguration> planned;
    QString problem = m_configs->readPlanned(planned);
    if (problem.isEmpty() && planned.empty()) problem = tr("構成がありません。「追加」で加えてください。");
    const RunPanel::Texts fields = m_fields->texts();
    if (problem.isEmpty())
        problem = FieldFaultWords(ex::ExperimentFileText(planned, fields.seeds, fields.targets, fields.epsilon, m_model.title(),
                                                        m_model.notes(), text));
    return problem;
}

QString ExperimentWindow::saveExperiment(const QString& path) {
    std::string text;
    QString problem = experimentText(text);
    if (problem.isEmpty())
        if (const QString reason = WriteWholeFile(QFile::encodeName(path), QByteArray::fromStdString(text)); !reason.isEmpty())
            problem = tr("\"%1\" に保存できませんでした。").arg(path) + QLatin1Char('\n') + reason;
    if (!problem.isEmpty()) ShowMessageBox(this, QMessageBox::Warning, tr("実験を保存できません: %1").arg(problem));
    return problem;
}

void ExperimentWindow::fillFromFile(const std::vector<kelvora::SweepCombination>& configurations,
                                    const std::vector<std::uint32_t>& seeds, const std::vector<kelvora::SweepTarget>& targets) {
    if (configurations.size() > static_cast<std::size_t>(kMaxConfigurations)) {
        m_fileNote->setText(tr("このファイルには構成が %1 個あります。表には %2 個までしか入らないため、表はそのままです。")
                                .arg(configurations.size())
                                .arg(kMaxConfigurations));
        m_fileNote->show();
        return;
    }
    m_fileNote->clear();
    m_fileNote->hide();
    m_configs->fill(configurations, m_model.labels());
    m_fields->setTexts({ex::SeedsFieldText(seeds), ex::TargetsFieldText(targets), {}});
    m_tableFromFile = true;
}

void ExperimentWindow::fitSummary(bool columns) {
    if (columns) m_summary->fitColumns();
    if (!m_splitterMoved && m_splitter->isVisible()) FitSplitter(m_splitter, m_summary->neededWidth());  // else: showEvent
}

bool ExperimentWindow::addCurrent() {
    if (m_configs->rowCount() >= kMaxConfigurations) {
        ShowMessageBox(this, QMessageBox::Warning, tr("構成は %1 個までです。").arg(kMaxConfigurations));
        return false;
    }
    const CurrentSettings now = m_current ? m_current() : CurrentSettings{};
    m_configs->addRow(QString(), now.params, now.algorithm);
    m_configs->refreshLabels();
    tableEdited();
    return true;
}

bool ExperimentWindow::run() {
    if (isRunning() || m_opening) return false;
    setWindowTitle(tr("Kelvora — 実験"));
    std::vector<ex::TableConfiguration> read;
    QString varied;
    std::vector<kelvora::SweepPlan> plans;
    // Seeds and targets as kelvora-cli sweep takes them, random:K drawn as its --targets draws them,
    // every plan held to its limits.
    QString problem = m_configs->rowCount() == 0 ? tr("構成がありません。「追加」で加えてください。") : m_configs->readAll(read, varied);
    const RunPanel::Texts fields = m_fields->texts();
    if (problem.isEmpty()) problem = RunFaultWords(ex::PlanRun(read, fields.seeds, fields.targets, fields.epsilon, kMaxExpanded, plans));
    if (!problem.isEmpty()) {
        ShowMessageBox(this, QMessageBox::Warning, problem);
        return false;
    }
    std::vector<std::string> labels;
    for (const ex::TableConfiguration& c : read) labels.push_back(c.label);
    m_tableFromFile = false;  // run: the table is the person's now, kept
    setStale(false);
    m_fileNote->hide();
    saveTable();
    m_fields->start();
    m_model.Begin(plans, std::move(labels), varied.toStdString());
    m_runsEach->clear();
    m_total = m_model.RunCount();
    m_done = 0;
    setRunning(true);
    m_charts->hint()->hide();
    updateProgress();
    m_runner->start(std::move(plans), std::max(1, QThread::idealThreadCount()));
    return true;
}

void ExperimentWindow::cancel() { m_runner->cancel(); }

void ExperimentWindow::takeBatch(SweepBatch& batch) {
    std::vector<ex::PlacedRun> runs;
    runs.reserve(batch.runs.size());
    for (FinishedRun& run : batch.runs) runs.push_back({run.plan, run.index, std::move(run.result)});
    m_model.Take(runs, batch.rounds);
    m_done = batch.finished;
    updateProgress();
}

void ExperimentWindow::onFinished(bool cancelled) {
    // The plots' and the table's numbers are sorted out of every run: off the window's thread, so
    // that it keeps answering (a sweep of 10^5 runs takes a few hundred ms). The buttons stay as
    // during the run until they show.
    m_computing = true;
    m_model.End(cancelled);
    // Over a copy of the runs taken here: the window's own stay the window's, and the outcome comes
    // back by value (never to a window that has gone).
    RunInBackground<ExperimentOutcome>(
        this, [model = m_model] { return ComputeOutcome(model); },
        [this, cancelled](ExperimentOutcome outcome) {
            m_computing = false;
            setRunning(false);
            updateProgress();
            if (cancelled) m_fields->setNote(tr("中止しました"));
            showOutcome(std::move(outcome));
            emit sweepFinished(cancelled);
        });
}

void ExperimentWindow::updateProgress() { m_fields->showProgress(m_done, m_total, isRunning()); }

void ExperimentWindow::showOutcome() { showOutcome(ComputeOutcome(m_model)); }

void ExperimentWindow::tableEdited() {
    if (!isRunning() && !m_model.results().empty()) setStale(true);
}

void ExperimentWindow::setStale(bool stale) {
    m_model.SetStale(stale);
    m_charts->setStale(stale);
    Fade(m_summary, stale);  // still readable: the labels may be typed
    Fade(m_runsEach, stale);
}

void ExperimentWindow::dropConfigurations(const std::vector<ConfigurationTable::Configuration>& removed) {
    if (isRunning() || removed.empty()) return;
    std::vector<kelvora::SweepCombination> held, gone;
    for (const auto& row : m_configs->rowCombinations())
        if (row) held.insert(held.end(), row->begin(), row->end());
    for (const ConfigurationTable::Configuration& c : removed) gone.push_back(c.combination());
    if (m_model.Drop(gone, held)) showOutcome();
}

void ExperimentWindow::relabel(std::size_t configuration, const QString& label) {
    if (isRunning() || !m_model.Relabel(configuration, label.toStdString())) return;
    m_summary->setLabel(configuration, label);
    if (const int row = m_model.RowOfConfiguration(m_configs->rowCombinations(), configuration); row >= 0)
        m_configs->setLabel(row, label);  // typed now: no longer automatic
    m_plots->setLabels(m_model.labels());
    m_statistics->setRuns(Texts(m_model.labels()), m_model.results());
}

void ExperimentWindow::showOutcome(ExperimentOutcome outcome) {
    const std::vector<std::vector<kelvora::SweepResult>>& results = m_model.results();
    std::vector<std::size_t> runs;
    for (const auto& list : results) runs.push_back(list.size());
    m_summary->showRows(Texts(m_model.labels()), outcome.rows, runs);
    m_runsEach->setText(RunsEachWords(runs, m_model.cancelled()));
    fitSummary();
    // An opened file's runs were measured at its own epsilon (0.5 where it does not record one).
    m_charts->showRuns(std::move(outcome.groups), m_model.epsilon(), std::move(outcome.statistics), results,
                       QString::fromStdString(m_model.varied()), std::move(outcome.caption));
}


QByteArray ExperimentWindow::runsCsv() const { return QByteArray::fromStdString(m_model.RunsCsv()); }

QString ExperimentWindow::reportRefusal() const {
    if (isRunning() || m_opening) return tr("スイープの実行中です。終わってから書き出してください。");
    if (m_model.ConfigurationsWithRuns() < 2) return tr("レポートは 2 つ以上の構成の結果を比べます。構成を加えて「実行」してください。");
    if (m_model.stale())
        return tr("表示中の結果は、いまの表、シード、目標点、ε のものではありません。「実行」してから書き出してください。");
    return {};
}

QString ExperimentWindow::exportReport(const QString& path) {
    if (const QString refusal = reportRefusal(); !refusal.isEmpty()) {
        ShowMessageBox(this, QMessageBox::Warning, tr("レポートを書き出せません: %1").arg(refusal));
        return refusal;
    }
    // What the window shows is taken here; the page is built and written off the window's thread
    // (thousands of runs take a good part of a second), of a copy of the runs.
    kelvora::report::ReportInput in;
    in.language = kelvora::session::EnglishFromEnvironment() ? kelvora::report::Language::English
                                                             : kelvora::report::Language::Japanese;
    in.inputName = m_runsName.toStdString();
    if (experimentText(in.experimentJson).isEmpty()) in.experimentName = "experiment.kelvora.json";
    else in.experimentJson.clear();
    // The 統計 tab's baseline: a configuration's label, or its last entry, every pair.
    const QComboBox* baseline = m_statistics->baseline();
    const std::string compared = baseline->currentIndex() == baseline->count() - 1 ? std::string("all")
                                                                                   : baseline->currentText().toStdString();
    setCursor(Qt::BusyCursor);
    RunInBackground<QString>(
        this,
        [in = std::move(in), model = m_model, compared, name = QFile::encodeName(path)]() mutable {
            return WriteWholeFile(name, QByteArray::fromStdString(kelvora::report::ExperimentReportHtml(std::move(in), model, compared)));
        },
        [this, path](const QString& reason) {
            unsetCursor();
            const QString problem = reason.isEmpty() ? QString() : tr("\"%1\" に保存できませんでした。").arg(path) + QLatin1Char('\n') + reason;
            if (!problem.isEmpty()) ShowMessageBox(this, QMessageBox::Warning, tr("レポートを書き出せません: %1").arg(problem));
            emit reportWritten(problem);
        });
    return {};
}

QByteArray ExperimentWindow::summaryCsv() const { return QByteArray::fromStdString(m_model.SummaryCsv()); }

void ExperimentWindow::setRunning(bool running) {
    m_fields->setRunning(running);
    m_configs->setEditable(!running);
}

QString ExperimentWindow::saveLabels(const QString& sweepPath) {
    const QByteArray path = QByteArray::fromStdString(kelvora::session::LabelsPath(QFile::encodeName(sweepPath).toStdString()));
    const QString reason = WriteWholeFile(path, QByteArray::fromStdString(m_model.LabelsJson()));
    if (!reason.isEmpty())
        ShowMessageBox(this, QMessageBox::Warning,
                       tr("ラベルを \"%1\" に保存できませんでした。").arg(QFile::decodeName(path)) + QLatin1Char('\n') + reason);
    return reason;
}

void ExperimentWindow::saveTable() const {
    if (!m_tableFromFile) SaveTable(*m_configs, *m_fields);  // an opened file's rows: the table kept is the one last run
}

void ExperimentWindow::closeEvent(QCloseEvent* event) {
    m_runner->cancel();  // nothing runs unseen: the runs of the whole rounds stay
    saveTable();
    QMainWindow::closeEvent(event);
}

void ExperimentWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    fitSummary(false);
}

void ExperimentWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    fitSummary(false);
}

}  // namespace kelvora::ui
