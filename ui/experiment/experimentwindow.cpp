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
#include <QtConcurrent/QtConcurrentRun>

#include "experiment/experimentdata.h"
#include "experiment/experimentplots.h"
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

enum Column { kLabel, kMethod, kPopulation, kGenerations, kCrossover, kMutation, kEncoding, kSelection, kElitism,
              kCrossoverOperator, kMutationOperator, kColumns };

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

// A choice cell's editor: a drop-down of the accepted spellings; editable where a spelling takes
// a count (tournament:K, creep:S), so that the count or a list of counts can be typed.
class ChoiceDelegate : public QStyledItemDelegate {
public:
    ChoiceDelegate(QStringList items, bool editable, QObject* parent)
        : QStyledItemDelegate(parent), m_items(std::move(items)), m_editable(editable) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override {
        auto* box = new QComboBox(parent);
        box->addItems(m_items);
        box->setEditable(m_editable);
        return box;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        auto* box = static_cast<QComboBox*>(editor);
        const QString text = index.data(Qt::EditRole).toString().trimmed();
        const int at = box->findText(text);
        if (at >= 0) box->setCurrentIndex(at);
        else if (m_editable) box->setEditText(text);
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
        model->setData(index, static_cast<QComboBox*>(editor)->currentText().trimmed(), Qt::EditRole);
    }

private:
    QStringList m_items;
    bool m_editable;
};

// The parameter a value list in that column varies, as the 応答 tab names it; nullptr for a column
// that takes no list.
const char* ListParameter(int column) {
    switch (column) {
    case kPopulation: return "population";
    case kGenerations: return "generations";
    case kCrossover: return "crossover";
    case kMutation: return "mutation";
    case kSelection: return "tournament";
    case kElitism: return "elitism";
    case kMutationOperator: return "creep";
    default: return nullptr;
    }
}

// The values of a cell's comma list, each spelled whole: "tournament:2,4" gives "tournament:2" and
// "tournament:4". One value for a cell without a comma.
QStringList ListValues(const QString& text) {
    QStringList values = text.split(QLatin1Char(','));
    const QString prefix = values.first().contains(QLatin1Char(':')) ? values.first().section(QLatin1Char(':'), 0, 0) + QLatin1Char(':') : QString();
    for (QString& v : values) {
        v = v.trimmed();
        if (!prefix.isEmpty() && !v.contains(QLatin1Char(':'))) v.prepend(prefix);
    }
    return values;
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

ExperimentWindow::DiscardQuestion ExperimentWindow::SetDiscardQuestion(DiscardQuestion question) {
    const DiscardQuestion old = g_discardQuestion;
    g_discardQuestion = question ? question : DefaultDiscardQuestion;
    return old;
}

QStringList ExperimentWindow::choices(int column) {
    // Each choice of core's enumerations, spelled by core's own names.
    QStringList items;
    const auto add = [&items](const kelvora::Algorithm& a, std::string (*name)(const kelvora::Algorithm&)) {
        items << QString::fromStdString(name(a));
    };
    kelvora::Algorithm a;
    switch (column) {
    case kMethod:
        for (const kelvora::Method m : kelvora::kMethods) a.method = m, add(a, kelvora::MethodName);
        break;
    case kEncoding:
        for (const auto e : {kelvora::Encoding::binary, kelvora::Encoding::gray}) a.encoding = e, add(a, kelvora::EncodingName);
        break;
    case kSelection:
        for (const auto e : {kelvora::Selection::roulette, kelvora::Selection::tournament, kelvora::Selection::rank})
            a.selection = e, add(a, kelvora::SelectionName);
        break;
    case kCrossoverOperator:
        for (const auto e : {kelvora::CrossoverOperator::onePoint, kelvora::CrossoverOperator::twoPoint,
                             kelvora::CrossoverOperator::uniform})
            a.crossover = e, add(a, kelvora::CrossoverName);
        break;
    case kMutationOperator:
        for (const auto e : {kelvora::MutationOperator::bitFlip, kelvora::MutationOperator::creep})
            a.mutation = e, add(a, kelvora::MutationName);
        break;
    default: break;
    }
    return items;
}

ExperimentWindow::ExperimentWindow(std::function<CurrentSettings()> current, QWidget* parent)
    : QMainWindow(parent, Qt::Window), m_current(std::move(current)), m_runner(new SweepRunner(this)) {
    setObjectName(QStringLiteral("ExperimentWindow"));
    setAcceptDrops(true);
    setWindowTitle(tr("Kelvora — 実験"));

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    m_table = new QTableWidget(0, kColumns, central);
    m_table->setObjectName(QStringLiteral("Configurations"));
    m_table->setHorizontalHeaderLabels({tr("ラベル"), tr("手法"), tr("集団"), tr("世代"), tr("交差率"), tr("突然変異"),
                                        tr("符号化"), tr("選択"), tr("エリート"), tr("交差"), tr("変異")});
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setMinimumSize(160, 150);
    for (const int column : {kMethod, kEncoding, kSelection, kCrossoverOperator, kMutationOperator})
        m_table->setItemDelegateForColumn(
            column, new ChoiceDelegate(choices(column), column == kSelection || column == kMutationOperator, m_table));
    m_table->setToolTip(tr("集団・世代・交差率・突然変異・エリート、選択の tournament:K、変異の creep:S は、"
                           "1 つのセルに限りカンマ区切りの値の一覧にできます (例 0.2,0.5,0.8)。値ごとに 1 構成になります。"));
    m_duplicates = new QLabel(central);
    m_duplicates->setObjectName(QStringLiteral("DuplicateRows"));
    m_duplicates->setStyleSheet(QStringLiteral("color: #b00000"));
    // Beside the row buttons, as wide as they leave: nothing moves when it shows (its tooltip is whole).
    m_duplicates->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    auto* rowButtons = new QHBoxLayout;
    m_add = new QPushButton(tr("追加"), central);
    m_remove = new QPushButton(tr("削除"), central);
    rowButtons->addWidget(m_add);
    rowButtons->addWidget(m_remove);
    rowButtons->addWidget(m_duplicates, 1);
    connect(m_add, &QPushButton::clicked, this, &ExperimentWindow::addCurrent);
    connect(m_table, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (item->column() != kLabel || item->text().isEmpty()) refreshLabels();
        // A label typed for a row that ran: its curves and rows are renamed at once, without running again.
        if (item->column() == kLabel && !item->text().isEmpty())
            if (const int configuration = configurationOfRow(item->row()); configuration >= 0)
                relabel(static_cast<std::size_t>(configuration), item->text());
    });
    connect(m_remove, &QPushButton::clicked, this, &ExperimentWindow::removeSelected);

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
    leftLayout->addWidget(m_table, 1);
    leftLayout->addLayout(rowButtons);
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
    connect(m_table, &QTableWidget::itemChanged, this, &ExperimentWindow::updateRows);
    restoreTable();
    setRunning(false);

    resize(1100, 640);
    m_splitter->setSizes({440, 660});  // until shown: then the summary's columns say (fitSummary)
}

ExperimentWindow::~ExperimentWindow() {
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

bool ExperimentWindow::openSweep(const QString& path) {
    if (isRunning()) return false;
    std::vector<kelvora::SweepResult> rows;
    const std::string name = QFile::encodeName(path).toStdString();
    if (const std::string error = kelvora::session::ReadSweepFile(name, name, rows); !error.empty()) {
        ShowMessageBox(this, QMessageBox::Warning,
                       tr("スイープの CSV を読めません: %1").arg(QString::fromLocal8Bit(error.c_str())));
        return false;
    }
    // One configuration per parameter values and algorithm, in the order each first appears; the
    // file's own rows, so its runs CSV is what the file holds.
    m_plans.clear();
    m_labels.clear();
    m_results.clear();
    m_unsaved = false;
    m_cancelled = false;
    m_varied.clear();
    kelvora::session::ConfigurationGroups groups;
    for (const kelvora::SweepResult& r : rows) {
        const std::size_t k = groups.Add(r.combination);
        if (k == m_results.size()) m_results.emplace_back();
        m_results[k].push_back(r);
    }
    // What sets each configuration apart, or the label it was saved with beside the file.
    std::vector<std::string> labels = kelvora::session::DifferingLabels(groups.configurations());
    const std::string labelsPath = kelvora::session::LabelsPath(name);
    if (QFileInfo::exists(QFile::decodeName(QByteArray::fromStdString(labelsPath)))) {
        if (const std::string error = kelvora::session::ReadLabels(labelsPath, labelsPath, groups.configurations(), labels);
            !error.empty())
            ShowMessageBox(this, QMessageBox::Warning,
                           tr("ラベルのファイルを読めません (ラベルは自動でつけます): %1").arg(QString::fromLocal8Bit(error.c_str())));
    }
    for (const std::string& label : labels) m_labels.push_back(QString::fromStdString(label));
    fillFromFile(groups.configurations(), rows);
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) m_loadedRuns = file.readAll();
    m_done = m_total = static_cast<long long>(rows.size());
    updateProgress();
    showOutcome();
    setWindowTitle(tr("Kelvora — 実験") + QStringLiteral(" — ") + QFileInfo(path).fileName());
    return true;
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
                                    const std::vector<kelvora::SweepResult>& rows) {
    if (configurations.size() > static_cast<std::size_t>(kMaxConfigurations)) {
        m_fileNote->setText(tr("このファイルには構成が %1 個あります。表には %2 個までしか入らないため、表はそのままです。")
                                .arg(configurations.size())
                                .arg(kMaxConfigurations));
        m_fileNote->show();
        return;
    }
    m_fileNote->clear();
    m_fileNote->hide();
    {
        const QSignalBlocker quiet(m_table);
        m_table->setRowCount(0);
    }
    // Plain rows, named automatically as any row is; a label kept beside the file that says
    // something else stands as typed.
    for (const kelvora::SweepCombination& c : configurations) addRow(QString(), c.params, c.algorithm);
    refreshLabels();
    {
        const QSignalBlocker quiet(m_table);
        for (int row = 0; row < m_table->rowCount() && row < static_cast<int>(m_labels.size()); ++row)
            if (m_table->item(row, kLabel)->text() != m_labels[static_cast<std::size_t>(row)])
                m_table->item(row, kLabel)->setText(m_labels[static_cast<std::size_t>(row)]);
    }
    updateRows();
    std::vector<std::uint32_t> seeds;
    std::set<std::uint32_t> seen;
    QStringList targets;
    std::set<std::pair<int, int>> placed;
    for (const kelvora::SweepResult& r : rows) {
        if (seen.insert(r.combination.seed).second) seeds.push_back(r.combination.seed);
        if (placed.insert({r.combination.target.x, r.combination.target.y}).second)
            targets << QStringLiteral("%1,%2").arg(r.combination.target.x).arg(r.combination.target.y);
    }
    m_seeds->setText(SeedsText(seeds));
    m_targets->setText(targets.join(QLatin1Char(' ')));
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
    if (m_table->rowCount() >= kMaxConfigurations) {
        ShowMessageBox(this, QMessageBox::Warning, tr("構成は %1 個までです。").arg(kMaxConfigurations));
        return false;
    }
    const CurrentSettings now = m_current ? m_current() : CurrentSettings{};
    addRow(QString(), now.params, now.algorithm);
    refreshLabels();
    return true;
}

// The label of a row holds what sets its configuration apart from the first row's, kept up to date
// as rows are added or edited, until a label is typed: a typed label wins, and an emptied one is
// automatic again. The automatic text is kept beside the label as kAutomaticLabel.
void ExperimentWindow::refreshLabels() {
    constexpr int kAutomaticLabel = Qt::UserRole + 1;
    std::vector<kelvora::SweepCombination> rows(static_cast<std::size_t>(m_table->rowCount()));
    for (int row = 0; row < m_table->rowCount(); ++row) {
        kelvora::SweepCombination& c = rows[static_cast<std::size_t>(row)];
        for (int column = 0; column < kColumns; ++column)
            if (!m_table->item(row, column)) return;  // a row being filled in
        std::vector<Configuration> read;  // a row with a value list is named by its first value's
        if (!readRow(row, read).isEmpty() || read.empty()) return;  // named again once it reads
        c.params = read.front().params;
        c.algorithm = read.front().algorithm;
    }
    const std::vector<std::string> labels = kelvora::session::DifferingLabels(rows);
    const QSignalBlocker quiet(m_table);  // its own changes call for no other round
    for (int row = 0; row < m_table->rowCount(); ++row) {
        QTableWidgetItem* item = m_table->item(row, kLabel);
        const QString automatic = QString::fromStdString(labels[static_cast<std::size_t>(row)]);
        if (!item->text().isEmpty() && item->text() != item->data(kAutomaticLabel).toString()) continue;  // typed
        item->setData(kAutomaticLabel, automatic);
        if (item->text() != automatic) item->setText(automatic);
    }
}

void ExperimentWindow::addRow(const QString& label, const kelvora::SolverParams& params, const kelvora::Algorithm& algorithm) {
    addRow(QStringList{
        label,
        QString::fromStdString(kelvora::MethodName(algorithm)),
        QString::number(params.populationSize),
        QString::number(params.generationCount),
        Number(params.crossoverRate),
        Number(params.mutationProbability),
        QString::fromStdString(kelvora::EncodingName(algorithm)),
        QString::fromStdString(kelvora::SelectionName(algorithm)),
        QString::fromStdString(kelvora::ElitismName(algorithm)),
        QString::fromStdString(kelvora::CrossoverName(algorithm)),
        QString::fromStdString(kelvora::MutationName(algorithm)),
    });
}

void ExperimentWindow::addRow(const QStringList& cells) {
    const QSignalBlocker quiet(m_table);
    const int row = m_table->rowCount();
    m_table->insertRow(row);
    for (int c = 0; c < kColumns; ++c) m_table->setItem(row, c, new QTableWidgetItem(c < cells.size() ? cells[c] : QString()));
    updateRows();
}

void ExperimentWindow::removeSelected() {
    if (isRunning()) return;
    QList<int> rows;
    for (const QModelIndex& index : m_table->selectionModel()->selectedRows()) rows << index.row();
    if (rows.isEmpty() && m_table->currentRow() >= 0) rows << m_table->currentRow();
    std::sort(rows.begin(), rows.end(), std::greater<>());
    for (int row : rows) m_table->removeRow(row);
    updateRows();
}

QStringList ExperimentWindow::rowCells(int row) const {
    QStringList cells;
    for (int c = 0; c < kColumns; ++c) cells << (m_table->item(row, c) ? m_table->item(row, c)->text().trimmed() : QString());
    return cells;
}

QString ExperimentWindow::readCells(int row, const QStringList& cells, kelvora::SolverParams& params,
                                    kelvora::Algorithm& algorithm) const {
    const auto cell = [&](int column) { return cells[column]; };
    auto where = [&](int column) {
        return tr("%1 行目の「%2」: ").arg(row + 1).arg(m_table->horizontalHeaderItem(column)->text());
    };
    // Each number as its flag takes it, with the flag's range.
    const auto number = [&](int column, const kelvora::session::NumberField& field) {
        return kelvora::session::ParseNumberField(field, cell(column).toStdString());
    };
    const auto population = number(kPopulation, kelvora::session::kPopulationField);
    if (!population) return where(kPopulation) + tr("1 から %1 までの整数を入力してください。").arg(kelvora::kMaxPopulation);
    params.populationSize = static_cast<int>(*population);
    const auto generations = number(kGenerations, kelvora::session::kGenerationsField);
    if (!generations) return where(kGenerations) + tr("1 から %1 までの整数を入力してください。").arg(kelvora::kMaxGenerations);
    params.generationCount = static_cast<int>(*generations);
    const auto crossover = number(kCrossover, kelvora::session::kCrossoverField);
    if (!crossover) return where(kCrossover) + tr("%1 から 1 までの数値を入力してください。").arg(kelvora::kMinCrossoverRate);
    params.crossoverRate = *crossover;
    const auto mutation = number(kMutation, kelvora::session::kMutationField);
    if (!mutation) return where(kMutation) + tr("0 から 1 までの数値を入力してください。");
    params.mutationProbability = *mutation;
    const std::string method = kelvora::ParseMethod(cell(kMethod).toStdString(), algorithm);
    if (!method.empty()) return where(kMethod) + QString::fromStdString(method);
    // The choices the method does not take are greyed and left out: the classic ones stand for them.
    using Parser = std::string (*)(std::string_view, kelvora::Algorithm&);
    const bool selection = kelvora::TakesSelection(algorithm.method);
    const std::tuple<int, Parser, bool> choices[] = {{kEncoding, kelvora::ParseEncoding, kelvora::TakesEncoding(algorithm.method)},
                                                     {kSelection, kelvora::ParseSelection, selection},
                                                     {kElitism, kelvora::ParseElitism, selection},
                                                     {kCrossoverOperator, kelvora::ParseCrossover, selection},
                                                     {kMutationOperator, kelvora::ParseMutation, kelvora::TakesMutation(algorithm.method)}};
    for (const auto& [column, parse, taken] : choices) {
        if (!taken) continue;
        const std::string error = parse(cell(column).toStdString(), algorithm);
        if (!error.empty()) return where(column) + QString::fromStdString(error);
    }
    const std::string error = kelvora::ValidateAlgorithm(algorithm, params.populationSize);
    if (!error.empty()) return tr("%1 行目: ").arg(row + 1) + QString::fromStdString(error);
    return {};
}

QString ExperimentWindow::readRow(int row, std::vector<Configuration>& out, int* varied) const {
    const QStringList cells = rowCells(row);
    const auto title = [this](int column) { return m_table->horizontalHeaderItem(column)->text(); };
    int list = -1;
    for (int column = kMethod; column < kColumns; ++column) {
        if (!cells[column].contains(QLatin1Char(','))) continue;
        if (!ListParameter(column))
            return tr("%1 行目の「%2」: 値の一覧は 集団・世代・交差率・突然変異・選択 (tournament:K)・エリート・変異 (creep:S) "
                      "にだけ書けます。")
                .arg(row + 1)
                .arg(title(column));
        if (list >= 0)
            return tr("%1 行目: 値の一覧は 1 つのセルにだけ書けます (「%2」と「%3」)。").arg(row + 1).arg(title(list), title(column));
        list = column;
    }
    if (varied) *varied = list;
    const QStringList values = list < 0 ? QStringList{QString()} : ListValues(cells[list]);
    const QString label = cells[kLabel];
    for (int i = 0; i < values.size(); ++i) {
        QStringList one = cells;
        if (list >= 0) {
            if (values.indexOf(values[i]) != i)
                return tr("%1 行目の「%2」: 値 %3 が 2 回あります。").arg(row + 1).arg(title(list), values[i]);
            one[list] = values[i];
        }
        Configuration c;
        if (const QString message = readCells(row, one, c.params, c.algorithm); !message.isEmpty()) return message;
        if (list == kSelection && c.algorithm.selection != kelvora::Selection::tournament)
            return tr("%1 行目の「%2」: 一覧にできるのは tournament:K の K だけです。").arg(row + 1).arg(title(list));
        if (list == kMutationOperator && c.algorithm.mutation != kelvora::MutationOperator::creep)
            return tr("%1 行目の「%2」: 一覧にできるのは creep:S の S だけです。").arg(row + 1).arg(title(list));
        c.label = list < 0 ? label : QStringLiteral("%1 %2=%3").arg(label, title(list), values[i]);
        out.push_back(std::move(c));
    }
    return {};
}

std::vector<std::pair<int, int>> ExperimentWindow::duplicateRows() const {
    std::vector<std::vector<Configuration>> rows(static_cast<std::size_t>(m_table->rowCount()));
    for (int row = 0; row < m_table->rowCount(); ++row)
        if (!readRow(row, rows[static_cast<std::size_t>(row)]).isEmpty()) rows[static_cast<std::size_t>(row)].clear();
    const auto same = [](const Configuration& a, const Configuration& b) {
        return a.params.populationSize == b.params.populationSize && a.params.generationCount == b.params.generationCount &&
               a.params.crossoverRate == b.params.crossoverRate && a.params.mutationProbability == b.params.mutationProbability &&
               a.algorithm == b.algorithm;
    };
    std::vector<std::pair<int, int>> pairs;
    for (std::size_t j = 0; j < rows.size(); ++j)
        for (std::size_t i = 0; i < j; ++i) {
            bool shared = false;
            for (const Configuration& a : rows[i])
                for (const Configuration& b : rows[j]) shared = shared || same(a, b);
            if (shared) pairs.emplace_back(static_cast<int>(i) + 1, static_cast<int>(j) + 1);
        }
    return pairs;
}

void ExperimentWindow::updateRows() {
    const QSignalBlocker quiet(m_table);  // the flags and colours set here are no edits
    for (int row = 0; row < m_table->rowCount(); ++row) {
        kelvora::Algorithm algorithm;
        const bool known = m_table->item(row, kMethod) &&
                           kelvora::ParseMethod(m_table->item(row, kMethod)->text().trimmed().toStdString(), algorithm).empty();
        const bool selection = !known || kelvora::TakesSelection(algorithm.method);
        const std::pair<int, bool> taken[] = {{kEncoding, !known || kelvora::TakesEncoding(algorithm.method)},
                                              {kSelection, selection},
                                              {kElitism, selection},
                                              {kCrossoverOperator, selection},
                                              {kMutationOperator, !known || kelvora::TakesMutation(algorithm.method)}};
        for (const auto& [column, takes] : taken)
            if (QTableWidgetItem* item = m_table->item(row, column))
                item->setFlags(takes ? Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable : Qt::ItemIsSelectable);
    }
    const std::vector<std::pair<int, int>> pairs = duplicateRows();
    std::set<int> repeated;
    QStringList words;
    for (const auto& [a, b] : pairs) {
        repeated.insert(a);
        repeated.insert(b);
        words << tr("%1 行目と %2 行目").arg(a).arg(b);
    }
    for (int row = 0; row < m_table->rowCount(); ++row)
        for (int c = 0; c < kColumns; ++c)
            if (QTableWidgetItem* item = m_table->item(row, c))
                item->setData(Qt::BackgroundRole, repeated.count(row + 1) ? QVariant(QColor(255, 214, 214)) : QVariant());
    m_duplicates->setText(words.isEmpty() ? QString() : tr("同じ構成の行があります: %1").arg(words.join(tr("、"))));
    m_duplicates->setToolTip(m_duplicates->text());
}

bool ExperimentWindow::run() {
    if (isRunning()) return false;
    m_loadedRuns.clear();
    setWindowTitle(tr("Kelvora — 実験"));
    if (m_table->rowCount() == 0) {
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
    for (int row = 0; row < m_table->rowCount(); ++row) {
        std::vector<Configuration> configurations;
        int list = -1;
        const QString message = readRow(row, configurations, &list);
        if (!message.isEmpty()) {
            ShowMessageBox(this, QMessageBox::Warning, message);
            m_table->setCurrentCell(row, 0);
            return false;
        }
        if (list >= 0 && varied.isEmpty()) varied = QLatin1String(ListParameter(list));
        for (const Configuration& c : configurations) {
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
    }
    // Two rows of one configuration would be one in the runs' file: refused, naming them.
    if (const std::vector<std::pair<int, int>> pairs = duplicateRows(); !pairs.empty()) {
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
    // On the runner's pool, which the window's end waits for; m_results stays as it is meanwhile.
    (void)QtConcurrent::run(m_runner->pool(), [this, cancelled, labels = labelTexts()] {
        Outcome outcome = ComputeOutcome(labels, m_results, true);
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

ExperimentWindow::Outcome ExperimentWindow::ComputeOutcome(const std::vector<std::string>& labels,
                                                           const std::vector<std::vector<kelvora::SweepResult>>& results,
                                                           bool convergence) {
    Outcome outcome;
    for (std::size_t i = 0; i < results.size(); ++i) {
        outcome.groups.push_back(GroupOfResults(labels[i], results[i], convergence));
        outcome.rows.push_back(results[i].empty() ? std::nullopt
                                                  : std::optional(kelvora::Summarise(results[i]).front()));
    }
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
    showOutcome(ComputeOutcome(labelTexts(), m_results, !opened));
}

int ExperimentWindow::configurationOfRow(int row) const {
    if (isRunning() || row < 0 || row >= m_table->rowCount()) return -1;
    std::size_t configuration = 0;  // the rows before it, each value of a list counted
    for (int r = 0; r <= row; ++r) {
        for (int column = 0; column < kColumns; ++column)
            if (!m_table->item(r, column)) return -1;
        std::vector<Configuration> read;
        if (!readRow(r, read).isEmpty()) return -1;
        if (r < row) {
            configuration += read.size();
            continue;
        }
        if (read.size() != 1) return -1;
        // The configuration as it was run, or as an opened file's runs hold it.
        kelvora::SweepCombination ran;
        if (configuration < m_plans.size()) {
            const kelvora::SweepPlan& plan = m_plans[configuration];
            ran.algorithm = plan.algorithms.front();
            ran.params = {plan.populations.front(), plan.generations.front(), plan.crossovers.front(), plan.mutations.front()};
        } else if (m_plans.empty() && configuration < m_results.size() && !m_results[configuration].empty()) {
            ran = m_results[configuration].front().combination;
        } else {
            return -1;
        }
        const Configuration& c = read.front();
        const bool same = ran.algorithm == c.algorithm && ran.params.populationSize == c.params.populationSize &&
                          ran.params.generationCount == c.params.generationCount &&
                          ran.params.crossoverRate == c.params.crossoverRate &&
                          ran.params.mutationProbability == c.params.mutationProbability;
        return same ? static_cast<int>(configuration) : -1;
    }
    return -1;
}

int ExperimentWindow::rowOfConfiguration(std::size_t configuration) const {
    for (int row = 0; row < m_table->rowCount(); ++row)
        if (configurationOfRow(row) == static_cast<int>(configuration)) return row;
    return -1;
}

void ExperimentWindow::relabel(std::size_t configuration, const QString& label) {
    if (isRunning() || configuration >= m_labels.size() || m_labels[configuration] == label) return;
    m_labels[configuration] = label;
    if (QTableWidgetItem* item = m_summary->item(static_cast<int>(configuration), kSummaryLabel)) {
        const QSignalBlocker quiet(m_summary);
        item->setText(label);
        item->setToolTip(label);
    }
    if (const int row = rowOfConfiguration(configuration); row >= 0 && m_table->item(row, kLabel)->text() != label) {
        const QSignalBlocker quiet(m_table);
        m_table->item(row, kLabel)->setText(label);  // typed now: no longer automatic
    }
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
    // A sweep file does not say its epsilon: no epsilon is drawn for its runs.
    m_plots->setGroups(std::move(outcome.groups), m_plans.empty() ? std::nan("") : m_plans.front().epsilon);
    m_statistics->setRuns(m_labels, m_results);
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
            text += kelvora::SweepRow(m_results[i][k], static_cast<long long>(k), runs, fingerprint);
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
    m_add->setEnabled(!running);
    m_remove->setEnabled(!running);
    m_table->setEditTriggers(running ? QAbstractItemView::NoEditTriggers : QAbstractItemView::AllEditTriggers);
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
    settings.beginWriteArray(QLatin1String(kRowsKey), m_table->rowCount());
    for (int row = 0; row < m_table->rowCount(); ++row) {
        settings.setArrayIndex(row);
        settings.setValue(QStringLiteral("cells"), rowCells(row));
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
        if (cells.size() == kColumns) addRow(cells);
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
    const QByteArray header = QByteArray::fromStdString(kelvora::SweepHeader()).trimmed();
    // Only a regular file is read here: a FIFO would wait for its writer.
    const bool sweep = QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly) && file.readLine(header.size() + 3).trimmed() == header;
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
