#pragma once
// An experiment's runs made: its runs CSV written row by row, a runs CSV checked against the
// experiment by making every row's run again, and the summary CSV of runs with their labels. What kelvora-cli experiment run and verify do, and
// what a report of an experiment file does before it shows the runs.

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "batch/sweep.h"

#include "experiment/experiment_file.h"

namespace kelvora::experiment {

/// Where a runs file of the experiment file at path goes unless told: beside it, "NAME.runs.csv" for
/// "NAME.kelvora.json" (else the name without its ".json", or the whole name, and ".runs.csv").
std::string RunsPathOf(const std::string& experimentPath);

/// Runs of the plan: configurations x targets x seeds.
long long TotalRuns(const ExperimentPlan& plan);

/// Makes every run of the plan on threads (1..1024) threads and hands the runs CSV to write in
/// pieces, in order: the header, then each configuration's rows as kelvora-cli sweep writes them for
/// it alone. progress(done, total) about every 20 ms and at the end, on the calling thread. stop (may be nullptr)
/// ends it early. False when write refused a piece or stop was raised (nothing more written).
bool RunExperiment(const ExperimentPlan& plan, int threads, const std::atomic<bool>* stop,
                   const std::function<bool(const std::string& text)>& write,
                   const std::function<void(long long done, long long total)>& progress = {});

/// How a runs file stands against its experiment.
struct RunsCheck {
    enum class Kind {
        reproduced,  ///< every run of the experiment, each row made again exactly
        differs,     ///< the row at line is written otherwise by its run made again
        foreign,     ///< the row at line is no run of the experiment (see why)
        incomplete,  ///< every row reproduced, but held < expected runs
        stopped,     ///< stop was raised: nothing known
    };
    enum class Foreign { configuration, target, seed };
    Kind kind = Kind::stopped;
    long long line = 0;     ///< differs, foreign: the file's line (1 is the header)
    Foreign why = Foreign::configuration;
    long long held = 0;     ///< rows of the file
    long long expected = 0; ///< runs of the experiment
};

/// The reason of a foreign row in English: "its seed is none of the experiment's".
std::string ForeignText(RunsCheck::Foreign why);

/// Reads the runs file at path (shown in faults as shown) and makes each of its rows again on
/// threads threads, the optimum of each target first; progress(done, total) counts runs made
/// again. Returns the file's fault ("" when it reads), check filled when it does. The first row in
/// file order that is not reproduced is the one named.
std::string VerifyRuns(const ExperimentPlan& plan, const std::string& path, const std::string& shown, int threads,
                       const std::atomic<bool>* stop, RunsCheck& check,
                       const std::function<void(long long done, long long total)>& progress = {});

/// The summary CSV of kelvora-cli sweep --summary and the window: SummaryCsv's columns, then label,
/// labels[k] for row k (quoted where it holds a comma, a quote or a line end; "" beyond labels).
std::string LabelledSummaryCsv(const std::vector<SweepSummaryRow>& rows, const std::vector<std::string>& labels);

/// The same, each row labelled by what sets its configuration apart (session::DifferingLabels).
std::string LabelledSummaryCsv(const std::vector<SweepSummaryRow>& rows);

}  // namespace kelvora::experiment
