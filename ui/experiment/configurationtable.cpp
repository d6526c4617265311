#include "experiment/configurationtable.h"

#include <algorithm>
#include <set>
#include <tuple>

#include <QColor>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

#include "experiment/experimentwords.h"
#include "ga/algorithm.h"
#include "session/labels.h"
#include "session/numbers.h"

namespace kelvora::ui {

namespace {

using enum ConfigurationTable::Column;

// The automatic label of a row, kept beside its label.
constexpr int kAutomaticLabel = Qt::UserRole + 1;

QString Number(double v) { return QString::fromStdString(kelvora::session::NumberText(v)); }

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
const char* ListParameterOf(int column) {
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

}  // namespace

QStringList ConfigurationTable::choices(int column) {
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

const char* ConfigurationTable::listParameter(int column) { return ListParameterOf(column); }

ConfigurationTable::ConfigurationTable(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_table = new QTableWidget(0, kColumns, this);
    m_table->setObjectName(QStringLiteral("Configurations"));
    m_table->setHorizontalHeaderLabels({tr("ラベル"), tr("手法"), tr("集団"), tr("世代"), tr("交差率"), tr("突然変異の確率"),
                                        tr("符号化"), tr("選択"), tr("エリート"), tr("交差"), tr("変異")});
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setMinimumSize(160, 150);
    for (const int column : {kMethod, kEncoding, kSelection, kCrossoverOperator, kMutationOperator})
        m_table->setItemDelegateForColumn(
            column, new ChoiceDelegate(choices(column), column == kSelection || column == kMutationOperator, m_table));
    m_table->setToolTip(tr("集団・世代・交差率・突然変異の確率・エリート、選択の tournament:K、変異の creep:S は、"
                           "1 つのセルに限りカンマ区切りの値の一覧にできます (例 0.2,0.5,0.8)。値ごとに 1 構成になります。"));
    m_duplicates = new QLabel(this);
    m_duplicates->setObjectName(QStringLiteral("DuplicateRows"));
    m_duplicates->setStyleSheet(QStringLiteral("color: #b00000"));
    // Beside the row buttons, as wide as they leave: nothing moves when it shows (its tooltip is whole).
    m_duplicates->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* rowButtons = new QHBoxLayout;
    m_add = new QPushButton(tr("追加"), this);
    m_add->setObjectName(QStringLiteral("AddConfiguration"));
    m_remove = new QPushButton(tr("削除"), this);
    rowButtons->addWidget(m_add);
    rowButtons->addWidget(m_remove);
    rowButtons->addWidget(m_duplicates, 1);
    layout->addWidget(m_table, 1);
    layout->addLayout(rowButtons);
    connect(m_add, &QPushButton::clicked, this, &ConfigurationTable::addRequested);
    connect(m_remove, &QPushButton::clicked, this, &ConfigurationTable::removeSelected);
    connect(m_table, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        const bool typed = item->column() == kLabel && !item->text().isEmpty();
        if (!typed) refreshLabels();
        updateRows();
        if (typed) emit labelTyped(item->row(), item->text());
        else emit edited();
    });
}

int ConfigurationTable::rowCount() const { return m_table->rowCount(); }

void ConfigurationTable::clear() {
    const QSignalBlocker quiet(m_table);
    m_table->setRowCount(0);
    updateRows();
}

void ConfigurationTable::setRows(const std::vector<kelvora::experiment::TableRow>& rows) {
    clear();
    for (const kelvora::experiment::TableRow& row : rows) addRow(row);
    refreshLabels();
}

void ConfigurationTable::setEditable(bool editable) {
    m_add->setEnabled(editable);
    m_remove->setEnabled(editable);
    m_table->setEditTriggers(editable ? QAbstractItemView::AllEditTriggers : QAbstractItemView::NoEditTriggers);
}

void ConfigurationTable::setLabel(int row, const QString& label) {
    QTableWidgetItem* item = m_table->item(row, kLabel);
    if (!item || item->text() == label) return;
    const QSignalBlocker quiet(m_table);
    item->setText(label);
}

QString ConfigurationTable::readAll(std::vector<kelvora::experiment::TableConfiguration>& out, QString& varied) {
    varied.clear();
    for (int row = 0; row < m_table->rowCount(); ++row) {
        int list = -1;
        std::vector<Configuration> read;
        if (const QString message = readRow(row, read, &list); !message.isEmpty()) {
            m_table->setCurrentCell(row, 0);
            return message;
        }
        for (const Configuration& c : read) out.push_back({c.label.toStdString(), c.params, c.algorithm});
        if (list >= 0 && varied.isEmpty()) varied = QLatin1String(listParameter(list));
    }
    // Two rows of one configuration would be one in the runs' file.
    if (const std::vector<std::pair<int, int>> pairs = duplicateRows(); !pairs.empty()) return DuplicateRowsWords(pairs);
    return {};
}

std::vector<std::optional<std::vector<kelvora::SweepCombination>>> ConfigurationTable::rowCombinations() const {
    std::vector<std::optional<std::vector<kelvora::SweepCombination>>> rows(static_cast<std::size_t>(rowCount()));
    for (int row = 0; row < rowCount(); ++row) {
        std::vector<Configuration> read;
        if (!readRow(row, read).isEmpty()) continue;
        auto& combinations = rows[static_cast<std::size_t>(row)].emplace();
        for (const Configuration& c : read) combinations.push_back(c.combination());
    }
    return rows;
}


// The label of a row holds what sets its configuration apart from the first row's, kept up to date
// as rows are added or edited, until a label is typed: a typed label wins, and an emptied one is
// automatic again. The automatic text is kept beside the label as kAutomaticLabel.
bool ConfigurationTable::isLabelTyped(int row) const {
    const QTableWidgetItem* item = m_table->item(row, kLabel);
    return item && !item->text().isEmpty() && item->text() != item->data(kAutomaticLabel).toString();
}

void ConfigurationTable::refreshLabels() {
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

void ConfigurationTable::addRow(const QString& label, const kelvora::SolverParams& params, const kelvora::Algorithm& algorithm) {
    addRow(cellsOf(label, params, algorithm));
}

kelvora::SweepCombination ConfigurationTable::Configuration::combination() const {
    kelvora::SweepCombination ran;
    ran.params = params;
    ran.algorithm = algorithm;
    return ran;
}

void ConfigurationTable::fill(const std::vector<kelvora::SweepCombination>& configurations,
                              const std::vector<std::string>& labels) {
    clear();
    for (const kelvora::SweepCombination& c : configurations) addRow(QString(), c.params, c.algorithm);
    refreshLabels();
    for (int row = 0; row < rowCount() && row < static_cast<int>(labels.size()); ++row)
        setLabel(row, QString::fromStdString(labels[static_cast<std::size_t>(row)]));
}

QString ConfigurationTable::readPlanned(std::vector<kelvora::experiment::PlannedConfiguration>& planned) const {
    for (int row = 0; row < rowCount(); ++row) {
        std::vector<Configuration> read;
        if (QString problem = readRow(row, read); !problem.isEmpty()) return problem;
        for (const Configuration& c : read)  // an automatic label stays automatic in the file
            planned.push_back({isLabelTyped(row) ? c.label.toStdString() : std::string(), c.params, c.algorithm, 0});
    }
    return {};
}

void ConfigurationTable::addRow(const kelvora::experiment::TableRow& row) {
    // The table's column of each of the file's parameters, in the file's order.
    constexpr int columns[kelvora::experiment::kParameterCount] = {kPopulation, kGenerations, kCrossover, kMutation, kMethod,
                                                                   kEncoding, kSelection, kElitism, kCrossoverOperator,
                                                                   kMutationOperator};
    QStringList cells = cellsOf(QString::fromStdString(row.label), row.params, row.algorithm);
    QStringList values;
    for (const std::string& v : row.values) values << QString::fromStdString(v);
    if (row.listed >= 0) cells[columns[row.listed]] = values.join(QLatin1Char(','));
    addRow(cells);
}

QStringList ConfigurationTable::cellsOf(const QString& label, const kelvora::SolverParams& params, const kelvora::Algorithm& algorithm) {
    return QStringList{
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
    };
}

void ConfigurationTable::addRow(const QStringList& cells) {
    const QSignalBlocker quiet(m_table);
    const int row = m_table->rowCount();
    m_table->insertRow(row);
    for (int c = 0; c < kColumns; ++c) m_table->setItem(row, c, new QTableWidgetItem(c < cells.size() ? cells[c] : QString()));
    updateRows();
}

void ConfigurationTable::removeSelected() {
    if (m_table->editTriggers() == QAbstractItemView::NoEditTriggers) return;  // a sweep goes
    QList<int> rows;
    for (const QModelIndex& index : m_table->selectionModel()->selectedRows()) rows << index.row();
    if (rows.isEmpty() && m_table->currentRow() >= 0) rows << m_table->currentRow();
    std::sort(rows.begin(), rows.end(), std::greater<>());
    if (rows.isEmpty()) return;
    std::vector<Configuration> removed;
    for (int row : rows) {
        std::vector<Configuration> read;
        if (readRow(row, read).isEmpty()) removed.insert(removed.end(), read.begin(), read.end());
        m_table->removeRow(row);
    }
    refreshLabels();
    updateRows();
    emit edited();
    emit rowsRemoved(removed);
}

QStringList ConfigurationTable::rowCells(int row) const {
    QStringList cells;
    for (int c = 0; c < kColumns; ++c) cells << (m_table->item(row, c) ? m_table->item(row, c)->text().trimmed() : QString());
    return cells;
}

QString ConfigurationTable::readCells(int row, const QStringList& cells, kelvora::SolverParams& params,
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
    if (const kelvora::AlgorithmFault fault = kelvora::CheckAlgorithm(algorithm, params.populationSize))
        return tr("%1 行目: ").arg(row + 1) + AlgorithmFaultText(fault);
    return {};
}

QString ConfigurationTable::AlgorithmFaultText(const kelvora::AlgorithmFault& fault) {
    switch (fault.kind) {
    case kelvora::AlgorithmFault::tournamentSize:
        return tr("トーナメントの大きさ %1 は 2 から %2 (集団サイズ) まででなければなりません。").arg(fault.value).arg(fault.limit);
    case kelvora::AlgorithmFault::elitism:
        return tr("エリート数 %1 は 0 から %2 (集団サイズ − 1) まででなければなりません。").arg(fault.value).arg(fault.limit);
    case kelvora::AlgorithmFault::creepStep:
        return tr("creep の幅 %1 は 1 から %2 まででなければなりません。").arg(fault.value).arg(fault.limit);
    default: return {};
    }
}

QString ConfigurationTable::readRow(int row, std::vector<Configuration>& out, int* varied) const {
    const QStringList cells = rowCells(row);
    const auto title = [this](int column) { return m_table->horizontalHeaderItem(column)->text(); };
    int list = -1;
    for (int column = kMethod; column < kColumns; ++column) {
        if (!cells[column].contains(QLatin1Char(','))) continue;
        if (!ListParameterOf(column))
            return tr("%1 行目の「%2」: 値の一覧は 集団・世代・交差率・突然変異の確率・選択 (tournament:K)・エリート・変異 (creep:S) "
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

std::vector<std::pair<int, int>> ConfigurationTable::duplicateRows() const {
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

void ConfigurationTable::updateRows() {
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

}  // namespace kelvora::ui
