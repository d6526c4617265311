#pragma once
// The experiment window's table of configurations: one row per configuration (a cell of a row may
// hold a list of values, one configuration per value), its choice drop-downs, the greying of the
// cells a method does not take, the rows that repeat another's, and each row's automatic label.

#include <optional>
#include <utility>
#include <vector>

#include <QStringList>
#include <QWidget>

#include "experiment/experiment_model.h"
#include "ga/algorithm.h"
#include "model/types.h"

class QLabel;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;

namespace kelvora::ui {

class ConfigurationTable : public QWidget {
    Q_OBJECT

public:
    /// An algorithm's count that does not suit the population, in the window's language.
    static QString AlgorithmFaultText(const kelvora::AlgorithmFault& fault);

    enum Column { kLabel, kMethod, kPopulation, kGenerations, kCrossover, kMutation, kEncoding, kSelection, kElitism,
                  kCrossoverOperator, kMutationOperator, kColumns };

    /// One configuration of a row: a row with a value list gives one per value.
    struct Configuration {
        QString label;
        kelvora::SolverParams params;
        kelvora::Algorithm algorithm;
        /// A run of it (no seed or target).
        kelvora::SweepCombination combination() const;
    };

    explicit ConfigurationTable(QWidget* parent = nullptr);

    /// The spellings the drop-down of a column offers (method, encoding, selection, crossover and
    /// mutation operators, as kelvora-cli takes them); empty for other columns.
    static QStringList choices(int column);
    /// The parameter a value list in column varies, as the 応答 tab names it; nullptr for a column
    /// that takes no list.
    static const char* listParameter(int column);

    QTableWidget* table() const { return m_table; }
    /// The line naming rows that repeat another's ("" when none do).
    QLabel* duplicatesNote() const { return m_duplicates; }
    int rowCount() const;
    /// The cells of a row of that configuration (label "" names it automatically).
    static QStringList cellsOf(const QString& label, const kelvora::SolverParams& params, const kelvora::Algorithm& algorithm);
    /// Whether row's label was typed (not the automatic one).
    bool isLabelTyped(int row) const;
    /// Appends a row (label "" names it automatically).
    void addRow(const QString& label, const kelvora::SolverParams& params, const kelvora::Algorithm& algorithm);
    /// Appends a row of kColumns cells as typed.
    void addRow(const QStringList& cells);
    /// A row as an experiment file's entry fills it: a list's values joined by commas in its column.
    void addRow(const kelvora::experiment::TableRow& row);
    /// Plain rows of configurations (a file's), each labelled by labels where it has one (else
    /// automatically; a label that differs from the automatic one stands as typed).
    void fill(const std::vector<kelvora::SweepCombination>& configurations, const std::vector<std::string>& labels);
    /// Every row's configurations as an experiment file keeps them (an automatic label as ""); ""
    /// or the first row's fault.
    QString readPlanned(std::vector<kelvora::experiment::PlannedConfiguration>& planned) const;
    /// Every row replaced by rows, labelled.
    void setRows(const std::vector<kelvora::experiment::TableRow>& rows);
    /// A row's cells, trimmed.
    QStringList rowCells(int row) const;
    /// Row's configurations, one per value of its list (varied: the list's column, or -1); "" or the
    /// message naming the cell and what it accepts.
    QString readRow(int row, std::vector<Configuration>& out, int* varied = nullptr) const;
    /// Every row's configurations in order, as a sweep runs them (varied: the parameter the first
    /// list varies, or ""); "" or the message of the first row that does not read (made the current
    /// cell) or naming the rows that repeat another's configuration.
    QString readAll(std::vector<kelvora::experiment::TableConfiguration>& out, QString& varied);
    /// Each row's configurations (a list's values expanded), nullopt where a row does not read.
    std::vector<std::optional<std::vector<kelvora::SweepCombination>>> rowCombinations() const;
    /// Rows are edited, added and removed (false while a sweep goes).
    void setEditable(bool editable);
    /// Names the row's label typed (its automatic label no longer follows the other rows).
    void setLabel(int row, const QString& label);
    /// Names every row not typed by what sets its configuration apart from the others'.
    void refreshLabels();

signals:
    /// "追加" was pressed.
    void addRequested();
    /// A cell other than a label, or the rows, changed (a label emptied back to automatic counts).
    void edited();
    /// Rows were removed; removed holds their configurations (the rows that read).
    void rowsRemoved(const std::vector<kelvora::ui::ConfigurationTable::Configuration>& removed);
    /// A label was typed in row.
    void labelTyped(int row, const QString& label);

private:
    void clear();
    /// Pairs of rows (1-based) with a configuration in common.
    std::vector<std::pair<int, int>> duplicateRows() const;
    QString readCells(int row, const QStringList& cells, kelvora::SolverParams& params, kelvora::Algorithm& algorithm) const;
    void removeSelected();
    /// Greys the cells the row's method does not take and flags rows that repeat another's.
    void updateRows();

    QTableWidget* m_table;
    QPushButton* m_add;
    QPushButton* m_remove;
    QLabel* m_duplicates;
};

}  // namespace kelvora::ui
