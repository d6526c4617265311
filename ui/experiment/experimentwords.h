#pragma once
// The experiment model's typed faults in the experiment window's words (Japanese, translated).

#include <cstddef>
#include <utility>
#include <vector>

#include <QString>

class QLabel;

#include "experiment/experiment_file.h"
#include "experiment/experiment_model.h"
#include "experiment/lists.h"
#include "session/sweep_plan.h"

namespace kelvora::ui {

/// A seed or target list's fault: "シード 2 が 2 回あります".
QString ListWords(const kelvora::experiment::ListFault& fault);
/// An experiment file's fault, its key path first.
QString ExperimentFaultWords(const kelvora::experiment::ExperimentFault& fault);
/// A fault of the seeds, targets or epsilon fields of 実行, as a message box says it.
QString FieldFaultWords(const kelvora::experiment::FieldFault& fault);
/// Why 実行 starts no sweep (the fields', a plan's or the count's fault), as a message box says it.
QString RunFaultWords(const kelvora::experiment::RunFault& fault);
/// Shows line in note, under what it shows already.
void AddNoteLine(QLabel* note, const QString& line);
/// Rows that repeat another's configuration (1-based pairs), refused.
QString DuplicateRowsWords(const std::vector<std::pair<int, int>>& pairs);
/// How many runs each configuration holds (runs: each one's), "" without configurations.
QString RunsEachWords(const std::vector<std::size_t>& runs, bool cancelled);

}  // namespace kelvora::ui
