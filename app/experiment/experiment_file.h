#pragma once
// The experiment file (NAME.kelvora.json): everything an experiment is (its configurations, seeds,
// targets, epsilon, the test level and the baseline) and nothing it found, so that it can be handed
// out, run again and checked. Read with every key held to its range, written in one fixed key order
// with the shortest numbers that read back exactly, so that reading and writing again gives the
// same bytes.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "batch/sweep.h"
#include "experiment/lists.h"

namespace kelvora::experiment {

/// The file's "format" value.
inline constexpr char kFormat[] = "kelvora-experiment";
/// The only version written and read.
inline constexpr int kVersion = 1;
/// The file name's ending.
inline constexpr char kExtension[] = ".kelvora.json";

/// The parameters of a configuration, in the file's key order (the sweep CSV's columns').
enum Parameter : int {
    population,
    generations,
    crossover,
    mutation,
    algorithm,
    encoding,
    selection,
    elitism,
    crossoverOperator,
    mutationOperator,
    kParameterCount
};

/// Each parameter's key, as the sweep CSV's column spells it: "population", ..., "mutation_operator".
extern const std::array<const char*, kParameterCount> kParameterNames;

/// A parameter's values as the file gives them, each spelled as its sweep column spells it ("20",
/// "0.5", "1e-05", "tournament:3"; numbers as the shortest text that reads back exactly).
struct ParameterValues {
    std::vector<std::string> values;  ///< empty: not given, the command line's default
    bool list = false;                ///< written as a JSON list (even of one value)
    friend bool operator==(const ParameterValues&, const ParameterValues&) = default;
};

/// One entry of "configurations". A parameter with several values expands into one configuration per
/// value; several such parameters expand into every combination, the later key varying faster.
struct ExperimentConfiguration {
    std::optional<std::string> label;  ///< none: the short label of what sets it apart
    std::array<ParameterValues, kParameterCount> parameters;
    friend bool operator==(const ExperimentConfiguration&, const ExperimentConfiguration&) = default;
};

/// The whole file. Optional members absent are absent from the file written.
struct Experiment {
    std::optional<std::string> title;
    std::optional<std::string> notes;             ///< free text for the handout
    std::vector<ExperimentConfiguration> configurations;  ///< at least one
    SeedList seeds;                               ///< at least one seed
    bool seedsAsList = false;                     ///< written as a list of integers, not as "1..100"
    std::optional<TargetList> targets;            ///< none: the command line's default target 68,180
    std::optional<std::uint32_t> targetSeed;      ///< the draws' seed; none: 1 (targets->randomSeed is unused)
    std::optional<double> epsilon;                ///< pixels, (0, 1000]; none: 0.5
    std::optional<double> alpha;                  ///< the tests' level, (0, 1); none: 0.05
    std::optional<std::string> baseline;          ///< a configuration's label or "all"
    bool problemGiven = false;                    ///< "problem": {"links": [60, 100, 40]} was written
};

/// What is wrong with an experiment file.
struct ExperimentFault {
    enum Kind {
        none,
        unreadable,     ///< detail: why the file could not be read
        notJson,        ///< detail: where the text stops being JSON
        notExperiment,  ///< no object with "format": "kelvora-experiment"
        version,        ///< value: the version, not kVersion
        unknownKey,     ///< path names the key
        missing,        ///< path names the key that is required
        wrongType,      ///< value as written; expected: "a number", "an integer", "text", "a list", ...
        outOfRange,     ///< value as written; expected: the range ("0..1", "(0, 1000]")
        badValue,       ///< detail: what is wrong with value (the algorithm's own words)
        algorithm,      ///< algorithmFault: a count that does not suit the configuration's population
        list,           ///< listFault: the seeds' or targets' fault
        problem,        ///< value: the problem asked for; only the arm of links 60, 100, 40 is solved
        sameConfiguration,  ///< value: the earlier entry's path that names the same configuration
        sameLabel,      ///< value: the label two configurations share
        noBaseline,     ///< value: the baseline, which is no configuration's label
    };
    Kind kind = none;
    std::string path;      ///< the key path: "configurations[2].mutation", "seeds", "targets[1]"
    std::string value;     ///< the value at fault, as the file writes it
    std::string expected;  ///< what is accepted (type or range)
    std::string detail;    ///< more words for unreadable, notJson and badValue
    ListFault listFault;
    AlgorithmFault algorithmFault;
    explicit operator bool() const { return kind != none; }
};

/// The fault in English: "configurations[2].mutation: 1.5 is outside 0..1"; "" for none.
std::string ExperimentFaultText(const ExperimentFault& fault);

/// Reads an experiment from text (the file's bytes); fills experiment on success.
ExperimentFault ParseExperiment(std::string_view text, Experiment& experiment);

/// Reads the experiment file path (at most 64 MiB; never blocks on a FIFO) into experiment.
ExperimentFault ReadExperimentFile(const std::string& path, Experiment& experiment);

/// The file's bytes: keys in one fixed order, two-space indentation, one configuration a line,
/// numbers as the shortest text that reads back exactly, LF line ends, a final LF.
std::string ExperimentText(const Experiment& experiment);

/// One configuration of the experiment, expanded from its entry.
struct PlannedConfiguration {
    std::string label;
    SolverParams params;
    Algorithm algorithm;
    std::size_t entry = 0;  ///< its entry in Experiment::configurations
};

/// What the experiment runs: each configuration over every target and seed, as a sweep of that
/// configuration alone (kelvora-cli sweep with its values) runs it.
struct ExperimentPlan {
    std::vector<PlannedConfiguration> configurations;
    std::vector<SweepTarget> targets;  ///< given, then drawn
    SeedList seeds;
    double epsilon = 0.5;
    double alpha = 0.05;
    std::string baseline;  ///< a label, "all", or "" for none given
    /// The sweep of configuration k alone: its rows are those kelvora-cli sweep writes for it.
    SweepPlan SweepOf(std::size_t k) const;
};

/// Expands the experiment's configurations (defaults filled, lists expanded, labels given), draws its
/// targets and checks the whole: each configuration's algorithm against its population, no
/// configuration or label twice, the baseline one of the labels.
ExperimentFault PlanExperiment(const Experiment& experiment, ExperimentPlan& plan);

/// The experiment that runs configurations (each with its label, "" for the short one) over
/// targets and seeds at epsilon: one entry per configuration, its numbers always written and its
/// algorithm's choices where they are not the classic ones.
Experiment ExperimentOf(const std::vector<PlannedConfiguration>& configurations, const std::vector<SweepTarget>& targets,
                        const SeedList& seeds, double epsilon);

}  // namespace kelvora::experiment
