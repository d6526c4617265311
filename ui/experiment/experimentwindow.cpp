#include "experiment/experimentwindow.h"

#include <cmath>
#include <set>

#include <algorithm>
#include <climits>

#include <QChartView>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QThread>
#include <QVBoxLayout>
#include <QGraphicsOpacityEffect>
#include <QProgressDialog>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>
#include <atomic>

#include "experiment/experimentdata.h"
#include "experiment/experimentplots.h"
#include "experiment/experiment_file.h"
#include "model/text.h"
#include "common/messagebox.h"
#include "common/settings.h"
#include "experiment/statisticspanel.h"
#include "batch/sweep_table.h"
#include "session/configurations.h"
#include "session/labels.h"
#include "session/numbers.h"
#include "session/sweep_file.h"
#include "session/sweep_plan.h"
#include "session/sweep_targets.h"
#include "experiment/sweeprunner.h"
#include "common/wholefile.h"

namespace kelvora::ui {

namespace {

// The table and the fields as they were left, kept between sessions.
constexpr char kRowsKey[] = "experiment/table/rows";
constexpr char kSeedsKey[] = "experiment/table/seeds";
constexpr char kTargetsKey[] = "experiment/table/targets";
constexpr char kEpsilonKey[] = "experiment/table/epsilon";

// The summary's columns, the ones read first leftmost: at the window's opening size the label, the
// success within epsilon, the ERT and the median distance show without scrolling.
enum SummaryColumn { kSummaryLabel, kSummaryWithin, kSummaryErt, kSummaryDistance, kSummaryP, kSummaryFirst,
                     kSummaryRuns, kSummaryOptimum, kSummaryColumns };

// Widest the summary's label column opens; a longer label is elided, whole in its tooltip.
constexpr int kSummaryLabelWidth = 110;

QString Number(double v) { return QString::fromStdString(kelvora::session::NumberText(v)); }

// A plan's fault in the window's words; the ranges were held field by field already.
QString PlanFaultText(const kelvora::session::SweepPlanFault& fault) {
    using Fault = kelvora::session::SweepPlanFault;
    const QString value = QString::fromStdString(fault.value);
    if (fault.kind == Fault::twice && fault.flag == "--seeds") return ExperimentWindow::tr("シード %1 が 2 回あります。").arg(value);
    if (fault.kind == Fault::twice && fault.flag == "--target")
        return ExperimentWindow::tr("目標点 %1 が 2 回あります。").arg(value);
    if (fault.kind == Fault::tooMany)
        return ExperimentWindow::tr("シードが %1 個あります: %2 個までです。").arg(value).arg(kelvora::session::kMaxSweepSeeds);
    return QString::fromStdString(kelvora::session::SweepPlanFaultText(fault));
}

// A rate with its interval in percent, as kelvora-cli's summary writes it: "44.0% [34.7, 53.8]".
QString Interval(const kelvora::Proportion& p) {
    return QStringLiteral("%1% [%2, %3]").arg(100 * p.rate, 0, 'f', 1).arg(100 * p.low, 0, 'f', 1).arg(100 * p.high, 0, 'f', 1);
}

void DefaultDiscardQuestion(QWidget* parent, const QString& text, std::function<void(bool)> answer) {
    auto* box = new QMessageBox(QMessageBox::Question, QStringLiteral("Kelvora"), text, QMessageBox::NoButton, parent);
    box->setObjectName(QStringLiteral("DiscardQuestion"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    QPushButton* discard = box->addButton(ExperimentWindow::tr("保存せずに閉じる"), QMessageBox::DestructiveRole);
    QPushButton* keep = box->addButton(ExperimentWindow::tr("キャンセル"), QMessageBox::RejectRole);
    box->setDefaultButton(keep);
    box->setEscapeButton(keep);
    QObject::connect(box, &QMessageBox::finished, box,
                     [box, discard, answer = std::move(answer)] { answer(box->clickedButton() == discard); });
    box->open();
}

ExperimentWindow::DiscardQuestion g_discardQuestion = DefaultDiscardQuestion;

}  // namespace

// A sweep file read off the window's thread: what the window shows of it, all computed there.
struct ExperimentWindow::Opened {
    QString path;
    std::atomic<bool> stop{false};
    std::atomic<long long> bytesRead{0};
    std::string error;        ///< the file's fault, or ""
    std::string labelsError;  ///< the labels file's fault (labels then automatic), or ""
    std::vector<kelvora::SweepCombination> configurations;
    std::vector<std::vector<kelvora::SweepResult>> results;  ///< one list per configuration
    std::vector<std::string> labels;
    std::vector<std::uint32_t> seeds;                 ///< in the order they first appear
    std::vector<std::pair<int, int>> targets;         ///< the same
    QByteArray bytes;
    long long rows = 0;
    std::optional<double> epsilon;  ///< px, the rows' own; none in a file that does not record it
    Outcome outcome;
};

namespace {

ExperimentWindow::OpenSeam g_openSeam = nullptr;

}  // namespace

ExperimentWindow::DiscardQuestion ExperimentWindow::SetDiscardQuestion(DiscardQuestion question) {
    const DiscardQuestion old = g_discardQuestion;
    g_discardQuestion = question ? question : DefaultDiscardQuestion;
    return old;
}

QStringList ExperimentWindow::choices(int column) { return ConfigurationTable::choices(column); }

QTableWidget* ExperimentWindow::configurations() const { return m_configs->table(); }

QLabel* ExperimentWindow::duplicatesNote() const { return m_configs->duplicatesNote(); }

ExperimentWindow::ExperimentWindow(std::function<CurrentSettings()> current, QWidget* parent)
    : QMainWindow(parent, Qt::Window), m_current(std::move(current)), m_runner(new SweepRunner(this)) {
    setObjectName(QStringLiteral("ExperimentWindow"));
    setAcceptDrops(true);
    setWindowTitle(tr("Kelvora — 実験"));

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    m_configs = new ConfigurationTable(central);
    connect(m_configs, &ConfigurationTable::addRequested, this, &ExperimentWindow::addCurrent);
    connect(m_configs, &ConfigurationTable::edited, this, &ExperimentWindow::tableEdited);
    // A label typed for a row that ran: its curves and rows are renamed at once, without running again.
    connect(m_configs, &ConfigurationTable::labelTyped, this, [this](int row, const QString& label) {
        if (const int configuration = configurationOfRow(row); configuration >= 0)
            relabel(static_cast<std::size_t>(configuration), label);
    });

    auto* form = new QFormLayout;
    m_seeds = new QLineEdit(QStringLiteral("1..100"), central);
    const CurrentSettings now = m_current ? m_current() : CurrentSettings{};
    m_targets = new QLineEdit(QStringLiteral("%1,%2").arg(now.target.x()).arg(now.target.y()), central);
    m_targets->setToolTip(tr("x,y の組を空白で区切って複数指定できます。random:K で到達範囲内の目標点を K 個引きます"));
    m_epsilon = new QLineEdit(QStringLiteral("0.5"), central);
    form->addRow(tr("シード"), m_seeds);
    form->addRow(tr("目標点"), m_targets);
    form->addRow(tr("ε (px)"), m_epsilon);

    auto* runRow = new QHBoxLayout;
    m_run = new QPushButton(tr("実行"), central);
    m_cancel = new QPushButton(tr("中止"), central);
    m_progress = new QProgressBar(central);
    m_progress->setFormat(QStringLiteral("%v / %m"));
    m_timeLeft = new QLabel(central);
    runRow->addWidget(m_run);
    runRow->addWidget(m_cancel);
    runRow->addStretch(1);
    m_progress->setMinimumWidth(60);
    connect(m_run, &QPushButton::clicked, this, &ExperimentWindow::run);
    connect(m_cancel, &QPushButton::clicked, this, &ExperimentWindow::cancel);

    m_summary = new QTableWidget(0, kSummaryColumns, central);
    m_summary->setObjectName(QStringLiteral("Summary"));
    m_summary->setHorizontalHeaderLabels({tr("構成"), tr("ε 以内 [95%]"), tr("ERT"), tr("誤差の中央値"), tr("p (対基準)"),
                                          tr("ε までの世代 (中央値)"), tr("実行数"), tr("最適解 [95%]")});
    // Short headers, each said in full in its tooltip.
    m_summary->horizontalHeaderItem(kSummaryWithin)->setToolTip(tr("誤差 ε 以内に到達した実行の割合と 95% 信頼区間 (Wilson)"));
    m_summary->horizontalHeaderItem(kSummaryErt)->setToolTip(tr("期待実行時間: ε 以内に到達するまでの評価回数の期待値"));
    m_summary->horizontalHeaderItem(kSummaryDistance)->setToolTip(tr("最終エリート解の誤差の中央値 (px)"));
    m_summary->horizontalHeaderItem(kSummaryP)->setToolTip(tr("ε 以内の成功数の、統計タブの基準に対する Fisher の正確検定 (Holm 補正)"));
    m_summary->horizontalHeaderItem(kSummaryFirst)->setToolTip(tr("ε 以内に到達した実行の、到達した世代の中央値 (到達した実行数/全実行数)"));
    m_summary->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_summary->horizontalHeader()->setSectionResizeMode(kSummaryLabel, QHeaderView::Interactive);
    m_summary->setTextElideMode(Qt::ElideRight);
    // Only the labels are edited here (an opened file's too): each item says whether it may be.
    m_summary->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    connect(m_summary, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (item->column() != kSummaryLabel) return;
        const auto configuration = static_cast<std::size_t>(item->row());
        if (item->text().trimmed().isEmpty() && configuration < m_labels.size()) {
            const QSignalBlocker quiet(m_summary);
            item->setText(m_labels[configuration]);  // a label is never empty
            return;
        }
        relabel(configuration, item->text());
    });
    m_runsEach = new QLabel(central);
    m_runsEach->setObjectName(QStringLiteral("RunsEach"));
    m_fileNote = new QLabel(central);
    m_fileNote->setObjectName(QStringLiteral("FileNote"));
    m_fileNote->setWordWrap(true);
    m_fileNote->hide();

    auto* left = new QWidget(central);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    m_about = new QLabel(left);
    m_about->setObjectName(QStringLiteral("AboutExperiment"));
    m_about->setWordWrap(true);
    m_about->setTextFormat(Qt::PlainText);
    m_about->hide();
    leftLayout->addWidget(m_about);
    leftLayout->addWidget(m_configs, 1);
    leftLayout->addWidget(m_fileNote);
    leftLayout->addLayout(form);
    leftLayout->addLayout(runRow);
    // The bar and the time left under the buttons: the window stays narrow enough for every chart's tab.
    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(m_progress, 1);
    progressRow->addWidget(m_timeLeft);
    leftLayout->addLayout(progressRow);
    leftLayout->addWidget(m_summary, 1);
    leftLayout->addWidget(m_runsEach);

    auto* right = new QWidget(central);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    auto* plotRow = new QHBoxLayout;
    m_xAxis = new QComboBox(right);
    m_xAxis->addItems({tr("世代"), tr("評価回数")});
    m_logX = new QCheckBox(tr("対数軸"), right);
    m_target = new QComboBox(right);
    m_target->addItems({tr("誤差 ε 以内"), tr("最適解")});
    // Two short rows rather than one long one: the window stays narrow enough to open beside the
    // main window on a common screen.
    auto* targetRow = new QHBoxLayout;
    plotRow->addWidget(new QLabel(tr("横軸"), right));
    plotRow->addWidget(m_xAxis);
    plotRow->addWidget(m_logX);
    plotRow->addStretch(1);
    targetRow->addWidget(new QLabel(tr("到達の基準"), right));
    targetRow->addWidget(m_target);
    targetRow->addStretch(1);
    m_plots = new ExperimentPlots(right);
    m_statistics = new StatisticsPanel(m_plots);
    m_plots->addTab(m_statistics, tr("統計"));
    // The summary's success rates carry their test against the baseline the 統計 tab compares with.
    connect(m_statistics, &StatisticsPanel::changed, this, [this] {
        QFont bold = m_summary->font();
        bold.setBold(true);
        for (int row = 0; row < m_summary->rowCount(); ++row) {
            QTableWidgetItem* rate = m_summary->item(row, kSummaryWithin);
            QTableWidgetItem* p = m_summary->item(row, kSummaryP);
            if (!rate || !p) continue;
            const auto configuration = static_cast<std::size_t>(row);  // a row per configuration, in order
            p->setText(m_statistics->againstBaseline(configuration));
            const bool significant = m_statistics->baselineP(configuration) < 0.05;
            rate->setFont(significant ? bold : m_summary->font());
            p->setFont(significant ? bold : m_summary->font());
        }
        fitSummary();
    });
    m_response = new ResponsePanel(m_plots);
    m_plots->addTab(m_response, tr("応答"));
    rightLayout->addLayout(plotRow);
    rightLayout->addLayout(targetRow);
    m_hint = new QLabel(tr("「追加」で主画面の設定を行に加え、「実行」を押してください。"), right);
    m_hint->setObjectName(QStringLiteral("EmptyHint"));
    m_hint->setWordWrap(true);
    rightLayout->addWidget(m_hint);
    m_staleNote = new QLabel(tr("表示中の結果は変更前の表のものです。「実行」で更新します。"), right);
    m_staleNote->setObjectName(QStringLiteral("StaleNote"));
    m_staleNote->setWordWrap(true);
    m_staleNote->setStyleSheet(QStringLiteral("color: #8a5a00"));
    m_staleNote->hide();
    rightLayout->addWidget(m_staleNote);
    rightLayout->addWidget(m_plots, 1);
    connect(m_xAxis, &QComboBox::currentIndexChanged, m_plots, [this](int i) { m_plots->setEvaluations(i == 1); });
    connect(m_logX, &QCheckBox::toggled, m_plots, &ExperimentPlots::setLogarithmic);
    connect(m_target, &QComboBox::currentIndexChanged, m_plots, [this](int i) { m_plots->setOptimumTarget(i == 1); });

    m_splitter = new QSplitter(central);
    m_splitter->addWidget(left);
    m_splitter->addWidget(right);
    m_splitter->setStretchFactor(1, 1);
    connect(m_splitter, &QSplitter::splitterMoved, this, [this] { m_splitterMoved = true; });
    layout->addWidget(m_splitter);
    setCentralWidget(central);

    QMenu* file = menuBar()->addMenu(tr("ファイル(&F)"));
    QAction* open = file->addAction(tr("スイープの CSV を開く(&O)..."));
    open->setObjectName(QStringLiteral("OpenSweepAction"));
    open->setShortcut(QKeySequence::Open);
    // Docked in the program's window: its keys where the focus is in this view, the dialog's elsewhere.
    open->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(open);
    connect(open, &QAction::triggered, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, tr("スイープの CSV を開く"), QString(),
                                                          tr("CSV ファイル (*.csv);;すべてのファイル (*)"));
        if (!path.isEmpty()) openSweep(path);
    });
    const QString experiments = tr("実験ファイル (*.kelvora.json);;すべてのファイル (*)");
    QAction* openExperimentAction = file->addAction(tr("実験を開く(&E)..."));
    openExperimentAction->setObjectName(QStringLiteral("OpenExperimentAction"));
    connect(openExperimentAction, &QAction::triggered, this, [this, experiments] {
        const QString path = QFileDialog::getOpenFileName(this, tr("実験を開く"), QString(), experiments);
        if (!path.isEmpty()) openExperiment(path);
    });
    QAction* saveExperimentAction = file->addAction(tr("実験を保存(&X)..."));
    saveExperimentAction->setObjectName(QStringLiteral("SaveExperimentAction"));
    connect(saveExperimentAction, &QAction::triggered, this, [this, experiments] {
        const QString path = QFileDialog::getSaveFileName(this, tr("実験を保存"), QStringLiteral("experiment.kelvora.json"), experiments);
        if (!path.isEmpty()) saveExperiment(path);
    });
    file->addSeparator();
    // The runs are saved once either holds them; the labels go beside the runs' file.
    connect(file->addAction(tr("実行結果を CSV で保存(&R)...")), &QAction::triggered, this, [this] {
        const QString path = saveText(tr("実行結果を CSV で保存"), QStringLiteral("sweep.csv"), runsCsv());
        if (path.isEmpty()) return;
        saveLabels(path);
        if (!isRunning()) m_unsaved = false;
    });
    connect(file->addAction(tr("集計を CSV で保存(&U)...")), &QAction::triggered, this, [this] {
        if (!saveText(tr("集計を CSV で保存"), QStringLiteral("summary.csv"), summaryCsv()).isEmpty() && !isRunning())
            m_unsaved = false;
    });
    connect(file->addAction(tr("統計を CSV で保存(&T)...")), &QAction::triggered, this,
            [this] { saveText(tr("統計を CSV で保存"), QStringLiteral("statistics.csv"), m_statistics->csv()); });
    file->addSeparator();
    connect(file->addAction(tr("グラフを PNG として保存(&P)...")), &QAction::triggered, this, [this] { savePlot(false); });
    connect(file->addAction(tr("グラフを SVG として保存(&S)...")), &QAction::triggered, this, [this] { savePlot(true); });
    file->addSeparator();
    QAction* close = file->addAction(tr("閉じる(&C)"));
    close->setShortcut(QKeySequence::Close);
    close->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(close);
    connect(close, &QAction::triggered, this, &QWidget::close);

    connect(m_runner, &SweepRunner::batchTaken, this, &ExperimentWindow::takeBatch, Qt::DirectConnection);
    connect(m_runner, &SweepRunner::finished, this, &ExperimentWindow::onFinished);
    connect(m_configs, &ConfigurationTable::rowsRemoved, this, &ExperimentWindow::dropConfigurations);
    for (QLineEdit* field : {m_seeds, m_targets, m_epsilon})
        connect(field, &QLineEdit::textEdited, this, &ExperimentWindow::tableEdited);
    restoreTable();
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

bool ExperimentWindow::holdsUnsavedRuns() const { return isRunning() || m_unsaved; }

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
            m_unsaved = false;
        }
        answer(discard);
    });
}

void ExperimentWindow::SetOpenSeam(OpenSeam seam) { g_openSeam = seam; }

bool ExperimentWindow::openSweep(const QString& path) {
    if (isRunning() || m_opening) return false;
    auto opened = std::make_shared<Opened>();
    opened->path = path;
    m_opening = opened;
    const qint64 size = std::max<qint64>(1, QFileInfo(path).size());
    auto* progress = new QProgressDialog(tr("スイープの CSV を読んでいます: %1").arg(QFileInfo(path).fileName()), tr("中止"), 0, 1000, this);
    progress->setObjectName(QStringLiteral("OpenSweepProgress"));
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(300);
    progress->setAutoReset(false);
    progress->setAutoClose(false);
    connect(progress, &QProgressDialog::canceled, this, [opened] { opened->stop = true; });
    auto* poll = new QTimer(progress);
    connect(poll, &QTimer::timeout, progress, [progress, opened, size] {
        progress->setValue(static_cast<int>(std::min<long long>(1000, 1000 * opened->bytesRead / size)));
    });
    poll->start(50);
    (void)QtConcurrent::run(m_runner->pool(), [this, opened, progress] {
        const std::string name = QFile::encodeName(opened->path).toStdString();
        kelvora::session::ConfigurationGroups groups;
        std::set<std::uint32_t> seen;
        std::set<std::pair<int, int>> placed;
        opened->error = kelvora::session::ReadSweepFile(
            name, name, kelvora::session::SweepFileRules{},
            [&](const kelvora::ParsedSweepRow& row, long long, std::string_view text) {
                if (g_openSeam) g_openSeam(opened->rows);
                if (opened->stop) return false;
                opened->bytesRead.fetch_add(static_cast<long long>(text.size()) + 1, std::memory_order_relaxed);
                ++opened->rows;
                opened->epsilon = row.epsilon;
                const kelvora::SweepCombination& c = row.result.combination;
                if (seen.insert(c.seed).second) opened->seeds.push_back(c.seed);
                if (placed.insert({c.target.x, c.target.y}).second) opened->targets.emplace_back(c.target.x, c.target.y);
                // One configuration per parameter values and algorithm, in the order each first appears.
                const std::size_t k = groups.Add(c);
                if (k == opened->results.size()) opened->results.emplace_back();
                opened->results[k].push_back(row.result);
                return true;
            });
        if (opened->error.empty() && !opened->stop) {
            opened->configurations = groups.configurations();
            // What sets each configuration apart, or the label it was saved with beside the file.
            opened->labels = kelvora::session::DifferingLabels(opened->configurations);
            const std::string labelsPath = kelvora::session::LabelsPath(name);
            if (QFileInfo::exists(QFile::decodeName(QByteArray::fromStdString(labelsPath))))
                opened->labelsError =
                    kelvora::session::ReadLabels(labelsPath, labelsPath, opened->configurations, opened->labels);
            QFile file(opened->path);  // the file's own rows are its runs CSV
            if (file.open(QIODevice::ReadOnly)) opened->bytes = file.readAll();
            // Runs read from a file carry no improvements: no convergence curve for them.
            std::vector<QString> labels;
            for (const std::string& label : opened->labels) labels.push_back(QString::fromStdString(label));
            opened->outcome = ComputeOutcome(labels, opened->results, false);
        }
        QMetaObject::invokeMethod(
            this,
            [this, opened, progress] {
                delete progress;  // gone before any message box: never two modals on the window
                finishOpening(opened);
            },
            Qt::QueuedConnection);
    });
    return true;
}

void ExperimentWindow::finishOpening(std::shared_ptr<Opened> opened) {
    m_opening.reset();
    if (opened->stop) {
        emit sweepOpened(false);
        return;
    }
    if (!opened->error.empty()) {
        ShowMessageBox(this, QMessageBox::Warning,
                       tr("スイープの CSV を読めません: %1").arg(QString::fromLocal8Bit(opened->error.c_str())));
        emit sweepOpened(false);
        return;
    }
    m_plans.clear();
    m_labels.clear();
    m_results = std::move(opened->results);
    m_unsaved = false;
    m_cancelled = false;
    m_varied.clear();
    for (const std::string& label : opened->labels) m_labels.push_back(QString::fromStdString(label));
    fillFromFile(opened->configurations, opened->seeds, opened->targets);
    // The runs were measured at the file's epsilon: the field says it, or that it was assumed.
    m_fileEpsilon = opened->epsilon.value_or(kelvora::kDefaultEpsilon);
    m_epsilon->setText(Number(m_fileEpsilon));
    if (!opened->epsilon) {
        const QString note = tr("このファイルには ε の記録がありません。0.5 とみなしました。");
        m_fileNote->setText(m_fileNote->isVisible() ? m_fileNote->text() + QLatin1Char('\n') + note : note);
        m_fileNote->show();
    }
    m_loadedRuns = std::move(opened->bytes);
    m_done = m_total = opened->rows;
    updateProgress();
    setStale(false);
    showOutcome(std::move(opened->outcome));
    setWindowTitle(tr("Kelvora — 実験") + QStringLiteral(" — ") + QFileInfo(opened->path).fileName());
    if (!opened->labelsError.empty())
        ShowMessageBox(this, QMessageBox::Warning,
                       tr("ラベルのファイルを読めません (ラベルは自動でつけます): %1").arg(QString::fromLocal8Bit(opened->labelsError.c_str())));
    emit sweepOpened(true);
}

namespace {

namespace ex = kelvora::experiment;

// A seed or target list's fault in the window's words.
QString ListWords(const ex::ListFault& fault) {
    const QString value = QString::fromStdString(fault.value);
    using F = ex::ListFault;
    switch (fault.kind) {
    case F::none: return {};
    case F::empty: return ExperimentWindow::tr("空です");
    case F::emptyItem: return ExperimentWindow::tr("空の項目があります (%1)").arg(value);
    case F::notSeed: return ExperimentWindow::tr("%1 は 0 から 4294967295 までのシードか範囲 A..B ではありません").arg(value);
    case F::reversed: return ExperimentWindow::tr("範囲 %1 にシードがありません").arg(value);
    case F::seedTwice: return ExperimentWindow::tr("シード %1 が 2 回あります").arg(value);
    case F::tooManySeeds: return ExperimentWindow::tr("シードが %1 個あります: %2 個までです").arg(value).arg(ex::kMaxSeeds);
    case F::notTarget: return ExperimentWindow::tr("%1 は -199 から 199 までの整数の組 x,y ではありません").arg(value);
    case F::targetTwice: return ExperimentWindow::tr("目標点 %1 が 2 回あります").arg(value);
    case F::notRandom:
        return ExperimentWindow::tr("%1 は K が 1 から %2 までの random:K ではありません").arg(value).arg(kelvora::session::kMaxRandomTargets);
    case F::randomTwice: return ExperimentWindow::tr("random:K は 1 つだけ書けます (%1)").arg(value);
    case F::drawnGiven: return ExperimentWindow::tr("引いた目標点 %1 が、書かれた目標点にもあります").arg(value);
    }
    return {};
}

// An experiment file's fault in the window's words, its key path first.
QString ExperimentFaultWords(const ex::ExperimentFault& fault) {
    const QString path = QString::fromStdString(fault.path);
    const QString value = QString::fromStdString(fault.value);
    const QString expected = QString::fromStdString(fault.expected);
    const QString detail = QString::fromStdString(fault.detail);
    using F = ex::ExperimentFault;
    switch (fault.kind) {
    case F::none: return {};
    case F::unreadable: return ExperimentWindow::tr("読めません (%1)").arg(detail);
    case F::notJson: return ExperimentWindow::tr("JSON ではありません (%1)").arg(detail);
    case F::notExperiment: return ExperimentWindow::tr("実験ファイルではありません (\"format\": \"%1\" がありません)").arg(QLatin1String(ex::kFormat));
    case F::version: return ExperimentWindow::tr("版 %1 は読めません (読めるのは %2 です)").arg(value).arg(ex::kVersion);
    case F::unknownKey: return ExperimentWindow::tr("%1: 知らないキーです").arg(path);
    case F::missing: return ExperimentWindow::tr("%1: このキーが要ります").arg(path);
    case F::wrongType: return ExperimentWindow::tr("%1: %2 ではなく %3 を書いてください").arg(path, value, expected);
    case F::outOfRange: return ExperimentWindow::tr("%1: %2 が範囲 %3 の外です").arg(path, value, expected);
    case F::badValue: return ExperimentWindow::tr("%1: %2 は使えません (%3)").arg(path, value, detail);
    case F::list: return path + QStringLiteral(": ") + ListWords(fault.listFault);
    case F::problem: return ExperimentWindow::tr("%1: 解けるのはリンク 60, 100, 40 の腕だけです (%2)").arg(path, value);
    case F::sameConfiguration: return ExperimentWindow::tr("%1: %2 と同じ構成です").arg(path, value);
    case F::sameLabel: return ExperimentWindow::tr("%1: ラベル %2 が 2 回あります").arg(path, value);
    case F::noBaseline: return ExperimentWindow::tr("%1: 基準 %2 はどの構成のラベルでもありません").arg(path, value);
    }
    return {};
}

// The table's column of a parameter of the file.
int ColumnOf(int parameter) {
    constexpr int columns[ex::kParameterCount] = {
        ConfigurationTable::kPopulation, ConfigurationTable::kGenerations, ConfigurationTable::kCrossover,
        ConfigurationTable::kMutation,   ConfigurationTable::kMethod,      ConfigurationTable::kEncoding,
        ConfigurationTable::kSelection,  ConfigurationTable::kElitism,     ConfigurationTable::kCrossoverOperator,
        ConfigurationTable::kMutationOperator};
    return columns[parameter];
}

}  // namespace

bool ExperimentWindow::openExperiment(const QString& path) {
    if (isRunning() || m_opening) return false;
    ex::Experiment experiment;
    ex::ExperimentPlan plan;
    ex::ExperimentFault fault = ex::ReadExperimentFile(QFile::encodeName(path).toStdString(), experiment);
    if (!fault) fault = ex::PlanExperiment(experiment, plan);
    if (fault) {
        ShowMessageBox(this, QMessageBox::Warning,
                       tr("実験ファイル \"%1\" を読めません: %2").arg(path, ExperimentFaultWords(fault)));
        return false;
    }
    // An entry that varies one parameter is a row with its list; one that varies more, a row per combination.
    std::vector<QStringList> rows;
    for (std::size_t entry = 0; entry < experiment.configurations.size(); ++entry) {
        const ex::ExperimentConfiguration& e = experiment.configurations[entry];
        std::vector<const ex::PlannedConfiguration*> planned;
        for (const ex::PlannedConfiguration& c : plan.configurations)
            if (c.entry == entry) planned.push_back(&c);
        int lists = 0;
        int listed = -1;
        for (int k = 0; k < ex::kParameterCount; ++k)
            if (e.parameters[static_cast<std::size_t>(k)].values.size() > 1) ++lists, listed = k;
        if (lists > 1) {
            for (const ex::PlannedConfiguration* c : planned)
                rows.push_back(ConfigurationTable::cellsOf(QString::fromStdString(c->label), c->params, c->algorithm));
            continue;
        }
        QStringList cells = ConfigurationTable::cellsOf(e.label ? QString::fromStdString(*e.label) : QString(),
                                                        planned.front()->params, planned.front()->algorithm);
        if (listed >= 0) {
            QStringList values;
            for (const std::string& v : e.parameters[static_cast<std::size_t>(listed)].values) values << QString::fromStdString(v);
            cells[ColumnOf(listed)] = values.join(QLatin1Char(','));
        }
        rows.push_back(cells);
    }
    if (rows.size() > static_cast<std::size_t>(kMaxConfigurations)) {
        ShowMessageBox(this, QMessageBox::Warning,
                       tr("実験ファイル \"%1\" の構成は %2 行になります: 表は %3 行までです。").arg(path).arg(rows.size()).arg(kMaxConfigurations));
        return false;
    }
    m_configs->clear();
    for (const QStringList& cells : rows) m_configs->addRow(cells);
    m_configs->refreshLabels();
    m_seeds->setText(QString::fromStdString(ex::SeedListText(experiment.seeds)));
    QStringList targets;
    const bool drawnElsewhere = experiment.targets && experiment.targets->randomCount > 0 &&
                                experiment.targetSeed.value_or(1) != kelvora::session::kDefaultTargetSeed;
    // The field draws with the default seed: targets drawn from another are written out.
    for (const kelvora::SweepTarget& t : drawnElsewhere ? plan.targets : experiment.targets ? experiment.targets->given : plan.targets)
        targets << QString::fromStdString(ex::TargetText(t));
    if (experiment.targets && experiment.targets->randomCount > 0 && !drawnElsewhere)
        targets << QStringLiteral("random:%1").arg(experiment.targets->randomCount);
    m_targets->setText(targets.join(QLatin1Char(' ')));
    m_epsilon->setText(Number(plan.epsilon));
    m_title = experiment.title;
    m_notes = experiment.notes;
    QStringList about;
    if (m_title) about << QString::fromStdString(*m_title);
    if (m_notes) about << QString::fromStdString(*m_notes);
    m_about->setText(about.join(QLatin1Char('\n')));
    m_about->setVisible(!about.isEmpty());
    m_tableFromFile = true;  // kept for the next session once run
    m_fileNote->hide();
    setWindowTitle(tr("Kelvora — 実験") + QStringLiteral(" — ") + QFileInfo(path).fileName());
    tableEdited();
    return true;
}

QString ExperimentWindow::saveExperiment(const QString& path) {
    std::vector<ex::PlannedConfiguration> planned;
    QString problem;
    for (int row = 0; row < m_configs->rowCount() && problem.isEmpty(); ++row) {
        std::vector<ConfigurationTable::Configuration> read;
        problem = m_configs->readRow(row, read);
        // An automatic label stays automatic in the file.
        for (const ConfigurationTable::Configuration& c : read)
            planned.push_back({m_configs->isLabelTyped(row) ? c.label.toStdString() : std::string(), c.params, c.algorithm, 0});
    }
    if (problem.isEmpty() && planned.empty()) problem = tr("構成がありません。「追加」で加えてください。");
    ex::SeedList seeds;
    ex::TargetList targetList;
    std::vector<kelvora::SweepTarget> targets;
    if (problem.isEmpty())
        if (const ex::ListFault f = ex::ParseSeedList(m_seeds->text().trimmed().toStdString(), seeds))
            problem = tr("シード: %1").arg(ListWords(f));
    if (problem.isEmpty()) {
        ex::ListFault f = ex::ParseTargetList(m_targets->text().toStdString(), targetList);
        if (!f) f = ex::ResolveTargets(targetList, targets);
        if (f) problem = tr("目標点: %1").arg(ListWords(f));
    }
    const auto epsilon = kelvora::session::ParseNumberField(kelvora::session::kEpsilonField, m_epsilon->text().trimmed().toStdString());
    if (problem.isEmpty() && !epsilon) problem = tr("ε: 0 より大きく 1000 以下の数値を入力してください。");
    if (problem.isEmpty()) {
        ex::Experiment experiment = ex::ExperimentOf(planned, targets, seeds, *epsilon);
        experiment.title = m_title;
        experiment.notes = m_notes;
        if (const QString reason = WriteWholeFile(QFile::encodeName(path), QByteArray::fromStdString(ex::ExperimentText(experiment)));
            !reason.isEmpty())
            problem = tr("\"%1\" に保存できませんでした。").arg(path) + QLatin1Char('\n') + reason;
    }
    if (!problem.isEmpty()) ShowMessageBox(this, QMessageBox::Warning, tr("実験を保存できません: %1").arg(problem));
    return problem;
}

namespace {

// Seeds as the seeds field takes them, in the order given: a run of consecutive seeds as A..B.
QString SeedsText(const std::vector<std::uint32_t>& seeds) {
    QStringList items;
    for (std::size_t i = 0; i < seeds.size();) {
        std::size_t j = i;
        while (j + 1 < seeds.size() && std::uint64_t{seeds[j + 1]} == std::uint64_t{seeds[j]} + 1) ++j;
        items << (j == i ? QString::number(seeds[i]) : QStringLiteral("%1..%2").arg(seeds[i]).arg(seeds[j]));
        i = j + 1;
    }
    return items.join(QLatin1Char(','));
}

}  // namespace

void ExperimentWindow::fillFromFile(const std::vector<kelvora::SweepCombination>& configurations,
                                    const std::vector<std::uint32_t>& seeds, const std::vector<std::pair<int, int>>& targets) {
    if (configurations.size() > static_cast<std::size_t>(kMaxConfigurations)) {
        m_fileNote->setText(tr("このファイルには構成が %1 個あります。表には %2 個までしか入らないため、表はそのままです。")
                                .arg(configurations.size())
                                .arg(kMaxConfigurations));
        m_fileNote->show();
        return;
    }
    m_fileNote->clear();
    m_fileNote->hide();
    m_configs->clear();
    // Plain rows, named automatically as any row is; a label kept beside the file that says
    // something else stands as typed.
    for (const kelvora::SweepCombination& c : configurations) m_configs->addRow(QString(), c.params, c.algorithm);
    m_configs->refreshLabels();
    for (int row = 0; row < m_configs->rowCount() && row < static_cast<int>(m_labels.size()); ++row)
        m_configs->setLabel(row, m_labels[static_cast<std::size_t>(row)]);
    QStringList pairs;
    for (const auto& [x, y] : targets) pairs << QStringLiteral("%1,%2").arg(x).arg(y);
    m_seeds->setText(SeedsText(seeds));
    m_targets->setText(pairs.join(QLatin1Char(' ')));
    m_tableFromFile = true;
}

void ExperimentWindow::fitSummary(bool columns) {
    if (columns) {
        m_summary->resizeColumnsToContents();
        m_summary->setColumnWidth(kSummaryLabel, std::min(m_summary->columnWidth(kSummaryLabel), kSummaryLabelWidth));
    }
    if (m_splitterMoved || !m_splitter->isVisible()) return;  // shown: the showEvent fits it
    // The columns read first (up to the p), the row numbers, the frame and room for a vertical
    // scroll bar.
    int needed = 2 * m_summary->frameWidth() + m_summary->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_summary);
    if (!m_summary->verticalHeader()->isHidden()) needed += m_summary->verticalHeader()->sizeHint().width();
    for (int column = kSummaryLabel; column <= kSummaryP; ++column) needed += m_summary->columnWidth(column);
    const QList<int> sizes = m_splitter->sizes();
    const int total = sizes.value(0) + sizes.value(1);
    QWidget* left = m_splitter->widget(0);
    QWidget* right = m_splitter->widget(1);
    const int most = std::max(0, total - right->minimumSizeHint().width());
    const int width = std::min(std::max(needed, left->minimumSizeHint().width()), most);
    if (width != sizes.value(0)) m_splitter->setSizes({width, total - width});
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
    m_loadedRuns.clear();
    setWindowTitle(tr("Kelvora — 実験"));
    if (m_configs->rowCount() == 0) {
        ShowMessageBox(this, QMessageBox::Warning, tr("構成がありません。「追加」で加えてください。"));
        return false;
    }
    kelvora::SweepPlan shared;
    // Seeds and targets as kelvora-cli sweep takes them: seeds and ranges A..B, comma-separated.
    for (const QString& seedItem : m_seeds->text().trimmed().split(QLatin1Char(','))) {
        const std::string item = seedItem.trimmed().toStdString();
        const auto range = kelvora::ParseRange(item, 0, 4294967295LL);
        if (!range || range->second < range->first || range->second - range->first >= 1000000) {
            ShowMessageBox(this, QMessageBox::Warning,
                           tr("シード \"%1\": 0 から 4294967295 までの整数か範囲 A..B (100 万個まで) を入力してください。")
                               .arg(QString::fromStdString(item)));
            return false;
        }
        for (long long s = range->first; s <= range->second; ++s) shared.seeds.push_back(static_cast<std::uint32_t>(s));
    }
    // Targets as pairs x,y and at most one random:K, drawn after them as kelvora-cli sweep
    // --target ... --targets random:K draws them (its default --target-seed).
    const QStringList targets = m_targets->text().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    std::optional<int> random;
    for (const QString& text : targets) {
        if (text.startsWith(QLatin1String("random"))) {
            const std::optional<int> k = kelvora::session::ParseRandomTargets(text.toStdString());
            if (!k || random) {
                ShowMessageBox(this, QMessageBox::Warning,
                               random ? tr("目標点 \"%1\": random:K は 1 つだけ書けます。").arg(text)
                                      : tr("目標点 \"%1\": random:K の K は 1 から %2 までの整数です。")
                                            .arg(text)
                                            .arg(kelvora::session::kMaxRandomTargets));
                return false;
            }
            random = k;
            continue;
        }
        const auto pair = kelvora::ParseIntegerPair(text.toStdString(), ',');
        if (!pair || std::abs(pair->first) > kelvora::kMaxTargetOffset || std::abs(pair->second) > kelvora::kMaxTargetOffset) {
            ShowMessageBox(this, QMessageBox::Warning,
                           tr("目標点 \"%1\": x,y をそれぞれ -%2 から %2 までの整数で入力してください。").arg(text).arg(kelvora::kMaxTargetOffset));
            return false;
        }
        shared.targets.push_back({static_cast<int>(pair->first), static_cast<int>(pair->second)});
    }
    kelvora::SweepTarget clash;
    if (random && !kelvora::session::AddRandomTargets(shared.targets, *random, kelvora::session::kDefaultTargetSeed, &clash).empty()) {
        ShowMessageBox(this, QMessageBox::Warning,
                       tr("random:%1 で引いた目標点 %2,%3 が、書かれた目標点にもあります。").arg(*random).arg(clash.x).arg(clash.y));
        return false;
    }
    if (shared.targets.empty()) {
        ShowMessageBox(this, QMessageBox::Warning, tr("目標点を入力してください。"));
        return false;
    }
    const auto epsilon = kelvora::session::ParseNumberField(kelvora::session::kEpsilonField, m_epsilon->text().trimmed().toStdString());
    if (!epsilon) {
        ShowMessageBox(this, QMessageBox::Warning, tr("ε: 0 より大きく 1000 以下の数値を入力してください。"));
        return false;
    }
    shared.epsilon = *epsilon;
    std::vector<kelvora::SweepPlan> plans;
    std::vector<QString> labels;
    QString varied;
    std::vector<ConfigurationTable::Configuration> configurations;
    int failedRow = -1;
    if (const QString message = m_configs->readAll(configurations, varied, failedRow); !message.isEmpty()) {
        ShowMessageBox(this, QMessageBox::Warning, message);
        m_configs->table()->setCurrentCell(failedRow, 0);
        return false;
    }
    for (const ConfigurationTable::Configuration& c : configurations) {
        kelvora::SweepPlan plan = shared;
        plan.algorithms = {c.algorithm};
        plan.populations = {c.params.populationSize};
        plan.generations = {c.params.generationCount};
        plan.crossovers = {c.params.crossoverRate};
        plan.mutations = {c.params.mutationProbability};
        // The limits kelvora-cli sweep holds its plans to: a seed or a target twice, say.
        if (const kelvora::session::SweepPlanFault fault = kelvora::session::CheckSweepPlan(plan)) {
            ShowMessageBox(this, QMessageBox::Warning, PlanFaultText(fault));
            return false;
        }
        plans.push_back(std::move(plan));
        labels.push_back(c.label);
    }
    // Two rows of one configuration would be one in the runs' file: refused, naming them.
    if (const std::vector<std::pair<int, int>> pairs = m_configs->duplicateRows(); !pairs.empty()) {
        QStringList words;
        for (const auto& [a, b] : pairs) words << tr("%1 行目と %2 行目").arg(a).arg(b);
        ShowMessageBox(this, QMessageBox::Warning, tr("同じ構成の行があります: %1。どちらかを変えるか削除してください。").arg(words.join(tr("、"))));
        return false;
    }
    if (static_cast<int>(plans.size()) > kMaxExpanded) {
        ShowMessageBox(this, QMessageBox::Warning,
                       tr("値の一覧を展開すると構成が %1 個になります: %2 個までです。").arg(plans.size()).arg(kMaxExpanded));
        return false;
    }
    m_tableFromFile = false;  // run: the table is the person's now, kept
    setStale(false);
    m_fileNote->hide();
    saveTable();
    m_plans = plans;
    m_labels = std::move(labels);
    m_varied = varied;
    m_results.assign(m_plans.size(), {});
    m_rounds = 0;
    m_cancelled = false;
    m_runsEach->clear();
    m_total = 0;
    for (const kelvora::SweepPlan& plan : m_plans) m_total += kelvora::CombinationCount(plan);
    m_done = 0;
    m_started = std::chrono::steady_clock::now();
    setRunning(true);
    m_hint->hide();
    updateProgress();
    m_runner->start(std::move(plans), std::max(1, QThread::idealThreadCount()));
    return true;
}

void ExperimentWindow::cancel() { m_runner->cancel(); }

void ExperimentWindow::takeBatch(SweepBatch& batch) {
    // Whole rounds, each configuration's runs kept in the combination order of a sweep of the
    // seeds run so far: target after target, the seed fastest. One target: the rounds append;
    // several: each target's block grows by the batch's rounds, merged in one pass.
    const auto before = static_cast<std::size_t>(m_rounds);
    std::vector<std::vector<std::vector<kelvora::SweepResult>>> added(m_results.size());  // configuration, target
    for (FinishedRun& run : batch.runs) {
        const auto plan = static_cast<std::size_t>(run.plan);
        const std::size_t targets = m_plans[plan].targets.size();
        if (targets == 1) {
            m_results[plan].push_back(std::move(run.result));
            continue;
        }
        added[plan].resize(targets);
        added[plan][static_cast<std::size_t>(run.index) / m_plans[plan].seeds.size()].push_back(std::move(run.result));
    }
    for (std::size_t plan = 0; plan < added.size(); ++plan) {
        if (added[plan].empty()) continue;
        std::vector<kelvora::SweepResult>& results = m_results[plan];
        std::vector<kelvora::SweepResult> merged;
        merged.reserve(results.size() + added[plan].size() * added[plan].front().size());
        for (std::size_t t = 0; t < added[plan].size(); ++t) {
            const auto block = results.begin() + static_cast<std::ptrdiff_t>(t * before);
            merged.insert(merged.end(), std::make_move_iterator(block), std::make_move_iterator(block + static_cast<std::ptrdiff_t>(before)));
            merged.insert(merged.end(), std::make_move_iterator(added[plan][t].begin()), std::make_move_iterator(added[plan][t].end()));
        }
        results = std::move(merged);
    }
    if (!batch.runs.empty()) m_unsaved = true;
    m_rounds = batch.rounds;
    m_done = batch.finished;
    updateProgress();
}

void ExperimentWindow::onFinished(bool cancelled) {
    // The plots' and the table's numbers are sorted out of every run: off the window's thread, so
    // that it keeps answering (a sweep of 10^5 runs takes a few hundred ms). The buttons stay as
    // during the run until they show.
    m_computing = true;
    m_cancelled = cancelled;
    // On the runner's pool, which the window's end waits for, over a copy of the runs: the window's
    // own stay the window's.
    (void)QtConcurrent::run(m_runner->pool(), [this, cancelled, labels = m_labels, results = m_results] {
        Outcome outcome = ComputeOutcome(labels, results, true);
        QMetaObject::invokeMethod(
            this,
            [this, cancelled, outcome = std::move(outcome)]() mutable {
                m_computing = false;
                setRunning(false);
                updateProgress();
                if (cancelled) m_timeLeft->setText(tr("中止しました"));
                showOutcome(std::move(outcome));
                emit sweepFinished(cancelled);
            },
            Qt::QueuedConnection);
    });
}

void ExperimentWindow::updateProgress() {
    m_progress->setRange(0, static_cast<int>(std::min<long long>(m_total, INT_MAX)));
    m_progress->setValue(static_cast<int>(std::min<long long>(m_done, INT_MAX)));
    if (!isRunning()) {
        m_timeLeft->clear();
        return;
    }
    if (m_done == 0) {
        m_timeLeft->setText(tr("残り時間: 計算中"));
        return;
    }
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_started).count();
    const double left = elapsed * static_cast<double>(m_total - m_done) / static_cast<double>(m_done);
    m_timeLeft->setText(tr("残り %1 秒").arg(std::ceil(left)));
}

ExperimentWindow::Outcome ExperimentWindow::ComputeOutcome(const std::vector<QString>& labels,
                                                           const std::vector<std::vector<kelvora::SweepResult>>& results,
                                                           bool convergence) {
    Outcome outcome;
    for (std::size_t i = 0; i < results.size(); ++i) {
        outcome.groups.push_back(GroupOfResults(labels[i].toStdString(), results[i], convergence));
        outcome.rows.push_back(results[i].empty() ? std::nullopt
                                                  : std::optional(kelvora::Summarise(results[i]).front()));
    }
    outcome.statistics = StatisticsPanel::Gather(labels, results);
    return outcome;
}

std::vector<std::string> ExperimentWindow::labelTexts() const {
    std::vector<std::string> labels;
    for (const QString& label : m_labels) labels.push_back(label.toStdString());
    return labels;
}

void ExperimentWindow::showOutcome() {
    // Runs read from a file carry no improvements: no convergence curve for them.
    const bool opened = m_plans.empty() && !m_loadedRuns.isEmpty();
    showOutcome(ComputeOutcome(m_labels, m_results, !opened));
}

std::optional<kelvora::SweepCombination> ExperimentWindow::shownConfiguration(std::size_t configuration) const {
    kelvora::SweepCombination ran;
    if (configuration < m_plans.size()) {
        const kelvora::SweepPlan& plan = m_plans[configuration];
        ran.algorithm = plan.algorithms.front();
        ran.params = {plan.populations.front(), plan.generations.front(), plan.crossovers.front(), plan.mutations.front()};
        return ran;
    }
    if (m_plans.empty() && configuration < m_results.size() && !m_results[configuration].empty())
        return m_results[configuration].front().combination;  // as an opened file's runs hold it
    return std::nullopt;
}

namespace {

bool SameConfiguration(const kelvora::SweepCombination& ran, const ConfigurationTable::Configuration& c) {
    return ran.algorithm == c.algorithm && ran.params.populationSize == c.params.populationSize &&
           ran.params.generationCount == c.params.generationCount && ran.params.crossoverRate == c.params.crossoverRate &&
           ran.params.mutationProbability == c.params.mutationProbability;
}

}  // namespace

int ExperimentWindow::configurationOfRow(int row) const {
    if (isRunning() || row < 0 || row >= m_configs->rowCount()) return -1;
    std::size_t configuration = 0;  // the rows before it, each value of a list counted
    for (int r = 0; r <= row; ++r) {
        std::vector<ConfigurationTable::Configuration> read;
        if (!m_configs->readRow(r, read).isEmpty()) return -1;
        if (r < row) {
            configuration += read.size();
            continue;
        }
        const std::optional<kelvora::SweepCombination> ran = shownConfiguration(configuration);
        return read.size() == 1 && ran && SameConfiguration(*ran, read.front()) ? static_cast<int>(configuration) : -1;
    }
    return -1;
}

int ExperimentWindow::rowOfConfiguration(std::size_t configuration) const {
    for (int row = 0; row < m_configs->rowCount(); ++row)
        if (configurationOfRow(row) == static_cast<int>(configuration)) return row;
    return -1;
}

void ExperimentWindow::tableEdited() {
    if (!isRunning() && !m_results.empty()) setStale(true);
}

void ExperimentWindow::setStale(bool stale) {
    m_stale = stale;
    m_staleNote->setVisible(stale);
    // Greyed, still readable and scrollable: the labels may be typed, the tabs looked through.
    for (QWidget* shown : {static_cast<QWidget*>(m_summary), static_cast<QWidget*>(m_plots), static_cast<QWidget*>(m_runsEach)}) {
        if (!stale) {
            shown->setGraphicsEffect(nullptr);
            continue;
        }
        auto* faded = new QGraphicsOpacityEffect(shown);
        faded->setOpacity(0.4);
        shown->setGraphicsEffect(faded);
    }
}

void ExperimentWindow::dropConfigurations(const std::vector<ConfigurationTable::Configuration>& removed) {
    if (isRunning() || removed.empty()) return;
    std::vector<ConfigurationTable::Configuration> held;
    for (int row = 0; row < m_configs->rowCount(); ++row) (void)m_configs->readRow(row, held);
    const auto among = [](const kelvora::SweepCombination& ran, const std::vector<ConfigurationTable::Configuration>& list) {
        return std::any_of(list.begin(), list.end(), [&](const auto& c) { return SameConfiguration(ran, c); });
    };
    std::vector<bool> drop(m_results.size(), false);
    bool any = false;
    for (std::size_t i = 0; i < m_results.size(); ++i) {
        const std::optional<kelvora::SweepCombination> ran = shownConfiguration(i);
        drop[i] = ran && among(*ran, removed) && !among(*ran, held);
        any = any || drop[i];
    }
    if (!any) return;
    for (std::size_t i = m_results.size(); i-- > 0;) {
        if (!drop[i]) continue;
        const auto at = static_cast<std::ptrdiff_t>(i);
        m_results.erase(m_results.begin() + at);
        m_labels.erase(m_labels.begin() + at);
        if (i < m_plans.size()) m_plans.erase(m_plans.begin() + at);
    }
    showOutcome();
}

void ExperimentWindow::relabel(std::size_t configuration, const QString& label) {
    if (isRunning() || configuration >= m_labels.size() || m_labels[configuration] == label) return;
    m_labels[configuration] = label;
    if (QTableWidgetItem* item = m_summary->item(static_cast<int>(configuration), kSummaryLabel)) {
        const QSignalBlocker quiet(m_summary);
        item->setText(label);
        item->setToolTip(label);
    }
    if (const int row = rowOfConfiguration(configuration); row >= 0)
        m_configs->setLabel(row, label);  // typed now: no longer automatic
    m_plots->setLabels(labelTexts());
    m_statistics->setRuns(m_labels, m_results);
}

void ExperimentWindow::showOutcome(Outcome outcome) {
    const QSignalBlocker quiet(m_summary);  // its rows are filled, not edited
    m_summary->setRowCount(0);
    for (std::size_t i = 0; i < outcome.rows.size(); ++i) {
        const int row = m_summary->rowCount();
        m_summary->insertRow(row);
        QString cells[kSummaryColumns];
        QString firstTip;
        cells[kSummaryLabel] = m_labels[i];
        cells[kSummaryRuns] = QString::number(m_results[i].size());
        if (const std::optional<kelvora::SweepSummaryRow>& s = outcome.rows[i]) {
            const kelvora::Quartiles& first = s->firstWithinEpsilon;
            cells[kSummaryWithin] = Interval(s->withinEpsilon);
            cells[kSummaryOptimum] = Interval(s->reached);
            cells[kSummaryErt] = std::isinf(s->ertEvaluations) ? QStringLiteral("∞") : QString::number(s->ertEvaluations, 'f', 0);
            cells[kSummaryDistance] = QString::number(s->eliteDistance.median, 'g', 4);
            // The median is over the runs that came within epsilon: how many says how much it weighs.
            cells[kSummaryFirst] = MedianOverRuns(first.median, first.count, s->runs);
            if (first.count > 0)
                firstTip = tr("中央値 %1、四分位 %2–%3 (ε 以内に到達した %4 回の実行)")
                               .arg(Number(first.median), Number(first.q1), Number(first.q3))
                               .arg(first.count);
        }
        for (int c = 0; c < kSummaryColumns; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (c != kSummaryLabel) item->setFlags(item->flags() & ~Qt::ItemIsEditable);
            if (c == kSummaryLabel) item->setToolTip(cells[c]);  // whole, where the column elides it
            if (c == kSummaryFirst) item->setToolTip(firstTip);
            m_summary->setItem(row, c, item);
        }
    }
    // How many runs each holds: after 中止 every configuration has run the same seeds (whole rounds).
    std::set<std::size_t> counts;
    for (const auto& results : m_results) counts.insert(results.size());
    if (counts.size() == 1 && !m_results.empty())
        m_runsEach->setText(m_cancelled ? tr("各構成 %1 回 (中止)").arg(*counts.begin()) : tr("各構成 %1 回").arg(*counts.begin()));
    else
        m_runsEach->setText(m_results.empty() ? QString() : tr("構成ごとの実行数は「実行数」の列のとおりです"));
    if (!m_varied.isEmpty())
        if (const int at = m_response->parameter()->findData(m_varied); at >= 0) m_response->parameter()->setCurrentIndex(at);
    m_hint->setVisible(m_results.empty());
    fitSummary();
    // An opened file's runs were measured at its own epsilon (0.5 where it does not record one).
    m_plots->setGroups(std::move(outcome.groups), m_plans.empty() ? m_fileEpsilon : m_plans.front().epsilon);
    m_statistics->setRuns(std::move(outcome.statistics));
    std::vector<const kelvora::SweepResult*> runs;
    for (const auto& list : m_results)
        for (const kelvora::SweepResult& r : list) runs.push_back(&r);
    m_response->setRuns(std::move(runs));
}

QByteArray ExperimentWindow::runsCsv() const {
    if (m_plans.empty() && !m_loadedRuns.isEmpty()) return m_loadedRuns;  // an opened file: its own rows
    std::string text = kelvora::SweepHeader();
    for (std::size_t i = 0; i < m_plans.size(); ++i) {
        // The seeds run so far: after 中止, the runs are those of a sweep of the first seeds alone.
        kelvora::SweepPlan ran = m_plans[i];
        ran.seeds.resize(std::min(ran.seeds.size(), static_cast<std::size_t>(m_rounds)));
        if (ran.seeds.empty()) continue;
        const long long runs = kelvora::CombinationCount(ran);
        const std::string fingerprint = kelvora::SweepFingerprint(ran);
        for (std::size_t k = 0; k < m_results[i].size(); ++k)
            text += kelvora::SweepRow(m_results[i][k], static_cast<long long>(k), runs, fingerprint, ran.epsilon);
    }
    return QByteArray::fromStdString(text);
}

QByteArray ExperimentWindow::summaryCsv() const {
    std::vector<kelvora::SweepSummaryRow> rows;
    for (const auto& results : m_results)
        if (!results.empty()) rows.push_back(kelvora::Summarise(results).front());
    return QByteArray::fromStdString(kelvora::SummaryCsv(rows));
}

void ExperimentWindow::setRunning(bool running) {
    m_run->setEnabled(!running);
    m_cancel->setEnabled(running);
    m_configs->setEditable(!running);
}

QString ExperimentWindow::saveText(const QString& title, const QString& name, const QByteArray& bytes) {
    const QString path = QFileDialog::getSaveFileName(this, title, name, tr("CSV ファイル (*.csv)"));
    if (path.isEmpty()) return {};
    if (const QString reason = WriteWholeFile(QFile::encodeName(path), bytes); !reason.isEmpty()) {
        ShowMessageBox(this, QMessageBox::Warning, tr("\"%1\" に保存できませんでした。").arg(path) + QLatin1Char('\n') + reason);
        return {};
    }
    return path;
}

QString ExperimentWindow::saveLabels(const QString& sweepPath) {
    std::vector<kelvora::SweepCombination> configurations;
    std::vector<std::string> labels;
    for (std::size_t i = 0; i < m_results.size() && i < m_labels.size(); ++i) {
        if (m_results[i].empty()) continue;  // no rows in the file to name
        configurations.push_back(m_results[i].front().combination);
        labels.push_back(m_labels[i].toStdString());
    }
    const QByteArray path = QByteArray::fromStdString(kelvora::session::LabelsPath(QFile::encodeName(sweepPath).toStdString()));
    const QString reason =
        WriteWholeFile(path, QByteArray::fromStdString(kelvora::session::LabelsJson(configurations, labels)));
    if (!reason.isEmpty())
        ShowMessageBox(this, QMessageBox::Warning,
                       tr("ラベルを \"%1\" に保存できませんでした。").arg(QFile::decodeName(path)) + QLatin1Char('\n') + reason);
    return reason;
}

void ExperimentWindow::saveTable() const {
    if (m_tableFromFile) return;  // an opened file's rows: the table kept is the one last run
    QSettings settings = AppSettings();
    settings.remove(QLatin1String(kRowsKey));
    settings.beginWriteArray(QLatin1String(kRowsKey), m_configs->rowCount());
    for (int row = 0; row < m_configs->rowCount(); ++row) {
        settings.setArrayIndex(row);
        settings.setValue(QStringLiteral("cells"), m_configs->rowCells(row));
    }
    settings.endArray();
    settings.setValue(QLatin1String(kSeedsKey), m_seeds->text());
    settings.setValue(QLatin1String(kTargetsKey), m_targets->text());
    settings.setValue(QLatin1String(kEpsilonKey), m_epsilon->text());
}

void ExperimentWindow::restoreTable() {
    QSettings settings = AppSettings();
    if (!settings.childGroups().contains(QStringLiteral("experiment")) ||
        !settings.contains(QLatin1String(kSeedsKey)))
        return;  // never kept: the fields' defaults
    const int rows = std::min(settings.beginReadArray(QLatin1String(kRowsKey)), kMaxConfigurations);
    for (int row = 0; row < rows; ++row) {
        settings.setArrayIndex(row);
        const QStringList cells = settings.value(QStringLiteral("cells")).toStringList();
        if (cells.size() == ConfigurationTable::kColumns) m_configs->addRow(cells);
    }
    settings.endArray();
    m_seeds->setText(settings.value(QLatin1String(kSeedsKey)).toString());
    m_targets->setText(settings.value(QLatin1String(kTargetsKey), m_targets->text()).toString());
    m_epsilon->setText(settings.value(QLatin1String(kEpsilonKey), m_epsilon->text()).toString());
}

void ExperimentWindow::savePlot(bool svg) {
    auto* view = m_plots->currentWidget() == m_response ? m_response->view() : qobject_cast<QChartView*>(m_plots->currentWidget());
    const bool diagram = m_plots->currentWidget() == m_statistics && m_statistics->criticalDifference();
    if (!view && !diagram) return;
    const QString path = QFileDialog::getSaveFileName(this, svg ? tr("SVG として保存") : tr("PNG として保存"),
                                                      svg ? QStringLiteral("experiment.svg") : QStringLiteral("experiment.png"),
                                                      svg ? tr("SVG 画像 (*.svg)") : tr("PNG 画像 (*.png)"));
    if (path.isEmpty()) return;
    const QByteArray name = QFile::encodeName(path);
    if (const QString reason = diagram ? SaveCriticalDifference(name, *m_statistics->criticalDifference())
                                       : ExperimentPlots::save(view, name);
        !reason.isEmpty())
        ShowMessageBox(this, QMessageBox::Warning,
                       tr("グラフを \"%1\" に保存できませんでした。").arg(path) + QLatin1Char('\n') + reason);
}

namespace {

// The one local file a drag carries, or "".
QString DroppedFile(const QMimeData* mime) {
    const QList<QUrl> urls = mime->urls();
    return urls.size() == 1 && urls.first().isLocalFile() ? urls.first().toLocalFile() : QString();
}

}  // namespace

void ExperimentWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void ExperimentWindow::dropEvent(QDropEvent* event) {
    const QString path = DroppedFile(event->mimeData());
    if (path.isEmpty()) return;
    event->acceptProposedAction();
    QFile file(path);
    // Only a regular file is read here: a FIFO would wait for its writer.
    const bool sweep = QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly) &&
                       kelvora::session::IsSweepHeader(file.readLine(kelvora::SweepHeader().size() + 3).trimmed().toStdString());
    // After the drop has finished: a message box may follow.
    QMetaObject::invokeMethod(this, [this, path, sweep] {
        if (sweep) openSweep(path);
        else emit resultsDropped(QFileInfo(path).absoluteFilePath());
    }, Qt::QueuedConnection);
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
