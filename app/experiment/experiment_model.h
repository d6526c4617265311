#pragma once
// An experiment as a person edits and runs it: the fields' seeds, targets and epsilon turned into
// one sweep plan per configuration, the runs kept of the last sweep or of a sweep file opened
// (grouped by configuration, in each sweep's combination order), whether they still belong to the
// table shown, and what is saved of them (the runs CSV, the summary CSV, the labels file, the
// experiment file). No window: the experiment window lays it out and words its faults.

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "batch/sweep.h"
#include "experiment/experiment_file.h"
#include "experiment/lists.h"
#include "session/sweep_plan.h"

namespace kelvora::experiment {

/// A configuration as a table of configurations gives it (a row's value list already expanded).
struct TableConfiguration {
    std::string label;
    SolverParams params;
    Algorithm algorithm;
};

/// Where the seeds, targets or epsilon fields are at fault, typed; a front end words it.
struct FieldFault {
    enum class Field {
        none,
        seeds,     ///< list: the seed list's fault
        targets,   ///< list: the target list's fault
        noTarget,  ///< the targets field names none
        epsilon,   ///< item is no epsilon in (0, 1000]
    };
    Field field = Field::none;
    ListFault list;    ///< seeds, targets
    std::string item;  ///< epsilon: the field as typed, blanks around it left out
    explicit operator bool() const { return field != Field::none; }
};

/// The seeds, targets and epsilon every configuration's plan shares, from the fields' texts, read by
/// the one seed-list and target-list parser (kelvora-cli sweep's --seeds and --target/--targets, an
/// experiment file's lists): random:K drawn after the targets given with the default target seed,
/// as kelvora-cli sweep draws them; epsilon in px. Fills shared's seeds, targets and epsilon on success.
FieldFault ParseFields(const std::string& seeds, const std::string& targets, const std::string& epsilon,
                       SweepPlan& shared);

/// Why a sweep of a table and its fields does not start, typed: the first fault of the fields
/// (ParseFields), of a configuration's plan (a seed or a target twice, too many seeds), or of the
/// count the rows' value lists expand into.
struct RunFault {
    enum class Kind { none, fields, plan, tooMany };
    Kind kind = Kind::none;
    FieldFault field;              ///< fields
    session::SweepPlanFault plan;  ///< plan
    std::size_t count = 0;         ///< tooMany: the configurations the table holds
    std::size_t limit = 0;         ///< tooMany: the most a sweep takes
    explicit operator bool() const { return kind != Kind::none; }
};

/// One plan per configuration, in order: the fields' seeds, targets and epsilon (ParseFields) with
/// each configuration's values, held to the limits kelvora-cli sweep holds its plans to, at most
/// limit configurations (1 or more). plans is left as it was on a fault.
RunFault PlanRun(const std::vector<TableConfiguration>& configurations, const std::string& seeds,
                 const std::string& targets, const std::string& epsilon, std::size_t limit,
                 std::vector<SweepPlan>& plans);

/// A finished run placed in its plan: the plan's index and the run's combination index in it.
struct PlacedRun {
    int plan = 0;
    long long index = 0;
    SweepResult result;
};

/// A sweep file read for the window: its configurations (grouped by their values, in first
/// appearance) with their runs and labels, and the seeds and targets its rows ran.
struct OpenedSweep {
    std::string error;        ///< the file's fault, or ""
    std::string labelsError;  ///< the labels file's fault (labels then automatic), or ""
    std::vector<SweepCombination> configurations;
    std::vector<std::vector<SweepResult>> results;  ///< one list per configuration
    std::vector<std::string> labels;                ///< the labels kept beside the file, else automatic
    std::vector<std::uint32_t> seeds;               ///< in the order they first appear
    std::vector<SweepTarget> targets;               ///< the same
    std::string bytes;                              ///< the file's own bytes: its runs CSV
    long long rows = 0;                             ///< rows read
    std::optional<double> epsilon;                  ///< px, the rows' own; none in a file that does not record it
};

/// Reads the sweep file at path into opened, on any thread. stop is polled before each row (true:
/// the reading ends, opened incomplete); bytesRead grows by each row's bytes; seam, when given, is
/// called with the rows read before each row is taken.
void ReadSweepForExperiment(const std::string& path, OpenedSweep& opened, const std::atomic<bool>& stop,
                            std::atomic<long long>& bytesRead, void (*seam)(long long rowsRead) = nullptr);

/// A row of a table of configurations as an experiment file's entry fills it: a plain
/// configuration, or one whose parameter at index listed (0..kParameterCount - 1) is a value list.
struct TableRow {
    std::string label;                ///< "": automatic
    SolverParams params;              ///< the first configuration's
    Algorithm algorithm;
    int listed = -1;                  ///< the parameter given as a list, -1: none
    std::vector<std::string> values;  ///< its values, as the file spells them
};

/// The rows an experiment fills a table with: an entry that varies one parameter as a row with its
/// list, one that varies more as a row per combination (labelled by the plan).
std::vector<TableRow> TableRowsOf(const Experiment& experiment, const ExperimentPlan& plan);

/// The targets field of an experiment: its targets and random:K, or every target written out when
/// they were drawn with another seed than the field's default.
std::string TargetsFieldText(const Experiment& experiment, const ExperimentPlan& plan);

/// Reads the experiment file at path and plans it; the file's fault or the plan's.
ExperimentFault OpenExperimentFile(const std::string& path, Experiment& experiment, ExperimentPlan& plan);

/// Targets as the targets field takes them, in the order given: "68,180 -20,150".
std::string TargetsFieldText(const std::vector<SweepTarget>& targets);

/// Seeds as the seeds field takes them, in the order given: a run of consecutive seeds as A..B.
std::string SeedsFieldText(const std::vector<std::uint32_t>& seeds);

/// The experiment file's text of configurations (an automatic label as ""), the fields' seeds,
/// targets and epsilon, with title and notes; the fields are read by the one list parser.
FieldFault ExperimentFileText(const std::vector<PlannedConfiguration>& configurations, const std::string& seeds,
                             const std::string& targets, const std::string& epsilon,
                             const std::optional<std::string>& title, const std::optional<std::string>& notes,
                             std::string& text);

/// What a person's experiment holds: the configurations of the last sweep run or file opened, their
/// labels and runs, and whether they are stale or saved.
class ExperimentModel {
public:
    /// A sweep of plans starts (labels: one per plan; varied: the parameter a row's list varies, or
    /// ""): the runs shown so far go, nothing is stale.
    void Begin(std::vector<SweepPlan> plans, std::vector<std::string> labels, std::string varied);
    /// Takes the runs of whole rounds, rounds being the seeds every plan has run with them: each
    /// configuration's runs stay in the combination order of a sweep of the seeds run so far
    /// (target after target, the seed fastest).
    void Take(std::vector<PlacedRun>& runs, int rounds);
    /// The sweep ended; cancelled: stopped before its last round.
    void End(bool cancelled) { cancelled_ = cancelled; }
    /// Shows the runs of a sweep file read: no plans, the file's rows its runs CSV.
    void Open(OpenedSweep& opened);

    /// The parameters and algorithm of configuration (of the runs shown), when known.
    std::optional<SweepCombination> Configuration(std::size_t configuration) const;
    /// The configurations of removed that no configuration of held has any more leave the runs
    /// shown; whether any did.
    bool Drop(const std::vector<SweepCombination>& removed, const std::vector<SweepCombination>& held);
    /// The configuration (of the runs shown) that row of a table holds alone: a row without a value
    /// list, read as it was run; -1 for none. rows: each row's configurations, nullopt where a row
    /// does not read (the rows after it are then not placed either).
    int ConfigurationOfRow(const std::vector<std::optional<std::vector<SweepCombination>>>& rows, int row) const;
    /// The row that holds configuration alone, or -1.
    int RowOfConfiguration(const std::vector<std::optional<std::vector<SweepCombination>>>& rows,
                           std::size_t configuration) const;
    /// Names configuration label; false when it has none or that label already.
    bool Relabel(std::size_t configuration, const std::string& label);

    /// The runs as kelvora-cli sweep writes them, one sweep per configuration (after a stop, those of
    /// the seeds run), or an opened file's own bytes.
    std::string RunsCsv() const;
    /// The summary as kelvora-cli sweep --summary writes it, of the configurations with runs.
    std::string SummaryCsv() const;
    /// The labels file kept beside the runs CSV, of the configurations with runs.
    std::string LabelsJson() const;

    const std::vector<SweepPlan>& plans() const { return plans_; }
    const std::vector<std::string>& labels() const { return labels_; }
    const std::vector<std::vector<SweepResult>>& results() const { return results_; }
    const std::string& varied() const { return varied_; }
    bool cancelled() const { return cancelled_; }
    /// The runs shown were read from a file, not run (they carry no improvements).
    bool opened() const { return plans_.empty() && !openedBytes_.empty(); }
    /// The epsilon (px) the runs were measured at: the sweep's, or the opened file's own (0.5 where
    /// it does not record one).
    double epsilon() const;
    /// The runs shown say their epsilon: a sweep's always, an opened file's when it records one.
    bool epsilonRecorded() const { return !opened() || fileEpsilonRecorded_; }
    /// The configurations (of the runs shown) with at least one run.
    std::size_t ConfigurationsWithRuns() const;
    /// The runs a sweep of the plans makes, every plan's combinations.
    long long RunCount() const;
    /// Runs finished since the last save.
    bool unsaved() const { return unsaved_; }
    void Saved() { unsaved_ = false; }
    /// The title and notes of the experiment file opened: saved with it, shown over the table.
    void SetAbout(std::optional<std::string> title, std::optional<std::string> notes);
    const std::optional<std::string>& title() const { return title_; }
    const std::optional<std::string>& notes() const { return notes_; }
    /// The title and the notes on lines of their own; "" when there are none.
    std::string AboutText() const;
    /// The runs shown belong to another table than the one shown.
    bool stale() const { return stale_; }
    void SetStale(bool stale) { stale_ = stale; }

private:
    std::vector<SweepPlan> plans_;                  // one per configuration of the last sweep
    std::vector<std::string> labels_;               // their labels
    std::vector<std::vector<SweepResult>> results_;  // their finished runs
    std::string varied_;
    std::string openedBytes_;                       // the bytes of an opened sweep CSV
    int rounds_ = 0;                                // seeds every configuration has run
    bool cancelled_ = false;
    bool unsaved_ = false;
    bool stale_ = false;
    std::optional<std::string> title_, notes_;
    double fileEpsilon_ = kDefaultEpsilon;          // the epsilon of the runs of the file opened last
    bool fileEpsilonRecorded_ = true;               // that file records it
};

}  // namespace kelvora::experiment
