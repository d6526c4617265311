#pragma once
// Configuration labels: the short names a comparison's legends and tables use, and the labels file
// kept beside an exported sweep CSV (NAME.labels.json) so that labels typed in the window come back
// when the file is opened again, while the CSV's own bytes stay what kelvora-cli writes.

#include <string>
#include <vector>

#include "batch/sweep.h"

namespace kelvora::session {

/// A name per configuration that says only what sets it apart from the first one: its parameters
/// that differ from the first's ("pop 50", "gen 200", "cross 0.7", "mut 0.05", rates as the
/// shortest text that reads back exactly), then its algorithm as AlgorithmSummary spells it when
/// that differs ("gray", "gray, creep:4", "random-search", "classic"). The first configuration,
/// and any equal to it, is named by its algorithm alone ("classic" for the classic GA).
std::vector<std::string> DifferingLabels(const std::vector<SweepCombination>& configurations);

/// A configuration's identity as a sweep row spells it, seeds and targets aside:
/// "population,generations,crossover,mutation," then AlgorithmColumns ("100,100,0.5,0.1,ga,binary,...").
std::string ConfigurationKey(const SweepCombination& configuration);

/// The labels file of a sweep CSV: its name with ".csv" (any case) replaced by ".labels.json", or
/// ".labels.json" appended when it has no such suffix.
std::string LabelsPath(const std::string& sweepPath);

/// The labels file's text: {"labels": [{"configuration": KEY, "label": TEXT}, ...]} in the
/// configurations' order, LF-terminated. configurations and labels have the same size.
std::string LabelsJson(const std::vector<SweepCombination>& configurations, const std::vector<std::string>& labels);

/// Reads a labels file and puts each label it holds for one of configurations into labels (sized as
/// configurations; the others are left as they are). Returns "" or "SHOWN: REASON" (cannot be read,
/// not JSON, not a labels file); labels are unchanged then.
std::string ReadLabels(const std::string& path, const std::string& shown,
                       const std::vector<SweepCombination>& configurations, std::vector<std::string>& labels);

/// The labels of a sweep file's configurations, as every reader shows them: DifferingLabels, each
/// replaced by the label the labels file beside sweepPath keeps for it, when there is such a file.
/// warning receives "" or why that file was left out ("SHOWN: not JSON", ...).
std::vector<std::string> SweepFileLabels(const std::string& sweepPath, const std::vector<SweepCombination>& configurations,
                                         std::string& warning);

}  // namespace kelvora::session
