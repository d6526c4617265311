#include "experiment/experiment_model.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <unordered_set>
#include <utility>

#include "batch/sweep_table.h"
#include "experiment/outcomes.h"
#include "experiment/runs.h"
#include "model/text.h"
#include "session/configurations.h"
#include "session/labels.h"
#include "session/numbers.h"
#include "session/sweep_file.h"
#include "session/sweep_targets.h"

namespace kelvora::experiment {

namespace {

// The fields read by the one list parser: the seeds as typed, the targets resolved, epsilon in px.
FieldFault ReadFields(const std::string& seedsText, const std::string& targetsText, const std::string& epsilonText,
                      SeedList& seeds, std::vector<SweepTarget>& targets, double& epsilon) {
    using Field = FieldFault::Field;
    if (const ListFault f = ParseSeedList(seedsText, seeds)) return {Field::seeds, f, {}};
    TargetList targetList;
    ListFault f = ParseTargetList(targetsText, targetList);
    if (!f) f = ResolveTargets(targetList, targets);
    if (f) return {Field::targets, f, {}};
    if (targets.empty()) return {Field::noTarget, {}, {}};
    const std::string epsilonItem = TrimBlanks(epsilonText);
    const auto read = session::ParseNumberField(session::kEpsilonField, epsilonItem);
    if (!read) return {Field::epsilon, {}, epsilonItem};
    epsilon = *read;
    return {};
}

// A plan's seeds, targets and values: the configuration it runs.
SweepCombination CombinationOf(const SweepPlan& plan) {
    SweepCombination c;
    c.algorithm = plan.algorithms.front();
    c.params = {plan.populations.front(), plan.generations.front(), plan.crossovers.front(), plan.mutations.front()};
    return c;
}

}  // namespace

FieldFault ParseFields(const std::string& seedsText, const std::string& targetsText, const std::string& epsilonText,
                       SweepPlan& shared) {
    SeedList seeds;
    std::vector<SweepTarget> targets;
    double epsilon = 0;
    if (FieldFault fault = ReadFields(seedsText, targetsText, epsilonText, seeds, targets, epsilon)) return fault;
    shared.seeds = seeds.seeds();
    shared.targets = std::move(targets);
    shared.epsilon = epsilon;
    return {};
}

RunFault PlanRun(const std::vector<TableConfiguration>& configurations, const std::string& seeds,
                 const std::string& targets, const std::string& epsilon, std::size_t limit,
                 std::vector<SweepPlan>& plans) {
    SweepPlan shared;
    RunFault fault;
    if ((fault.field = ParseFields(seeds, targets, epsilon, shared))) {
        fault.kind = RunFault::Kind::fields;
        return fault;
    }
    std::vector<SweepPlan> made;
    for (const TableConfiguration& c : configurations) {
        SweepPlan plan = shared;
        plan.algorithms = {c.algorithm};
        plan.populations = {c.params.populationSize};
        plan.generations = {c.params.generationCount};
        plan.crossovers = {c.params.crossoverRate};
        plan.mutations = {c.params.mutationProbability};
        if ((fault.plan = session::CheckSweepPlan(plan))) {
            fault.kind = RunFault::Kind::plan;
            return fault;
        }
        made.push_back(std::move(plan));
    }
    if (made.size() > limit) {
        fault.kind = RunFault::Kind::tooMany;
        fault.count = made.size();
        fault.limit = limit;
        return fault;
    }
    plans = std::move(made);
    return {};
}

void ReadSweepForExperiment(const std::string& path, OpenedSweep& opened, const std::atomic<bool>& stop,
                            std::atomic<long long>& bytesRead, void (*seam)(long long)) {
    session::ConfigurationGroups groups;
    std::unordered_set<std::uint32_t> seen;  // a million rows: a hash, not a tree
    std::set<std::pair<int, int>> placed;
    opened.error = session::ReadSweepFile(path, path, session::SweepFileRules{},
                                          [&](const ParsedSweepRow& row, long long, std::string_view text) {
        if (seam) seam(opened.rows);
        if (stop) return false;
        bytesRead.fetch_add(static_cast<long long>(text.size()) + 1, std::memory_order_relaxed);
        ++opened.rows;
        opened.epsilon = row.epsilon;
        const SweepCombination& c = row.result.combination;
        if (seen.insert(c.seed).second) opened.seeds.push_back(c.seed);
        if (placed.insert({c.target.x, c.target.y}).second) opened.targets.push_back(c.target);
        const std::size_t k = groups.Add(c);
        if (k == opened.results.size()) opened.results.emplace_back();
        opened.results[k].push_back(row.result);
        return true;
    });
    if (!opened.error.empty() || stop) return;
    opened.configurations = groups.configurations();
    // What sets each configuration apart, or the label it was saved with beside the file.
    opened.labels = session::DifferingLabels(opened.configurations);
    const std::string labelsPath = session::LabelsPath(path);
    std::error_code error;
    if (std::filesystem::exists(labelsPath, error))
        opened.labelsError = session::ReadLabels(labelsPath, labelsPath, opened.configurations, opened.labels);
    // Its bytes whole, in one block of its size (a character at a time took as long as the parsing).
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    opened.bytes.resize(static_cast<std::size_t>(std::max<std::streamoff>(0, file.tellg())));
    file.seekg(0);
    file.read(opened.bytes.data(), static_cast<std::streamsize>(opened.bytes.size()));
    opened.bytes.resize(static_cast<std::size_t>(file.gcount()));
}

std::vector<TableRow> TableRowsOf(const Experiment& experiment, const ExperimentPlan& plan) {
    std::vector<TableRow> rows;
    for (std::size_t entry = 0; entry < experiment.configurations.size(); ++entry) {
        const ExperimentConfiguration& e = experiment.configurations[entry];
        std::vector<const PlannedConfiguration*> planned;
        for (const PlannedConfiguration& c : plan.configurations)
            if (c.entry == entry) planned.push_back(&c);
        int lists = 0;
        int listed = -1;
        for (int k = 0; k < kParameterCount; ++k)
            if (e.parameters[static_cast<std::size_t>(k)].values.size() > 1) ++lists, listed = k;
        if (lists > 1) {
            for (const PlannedConfiguration* c : planned) rows.push_back({c->label, c->params, c->algorithm, -1, {}});
            continue;
        }
        TableRow row{e.label.value_or(std::string()), planned.front()->params, planned.front()->algorithm, listed, {}};
        if (listed >= 0) row.values = e.parameters[static_cast<std::size_t>(listed)].values;
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string TargetsFieldText(const Experiment& experiment, const ExperimentPlan& plan) {
    const bool random = experiment.targets && experiment.targets->randomCount > 0;
    // The field draws with the default seed: targets drawn with another are written out.
    const bool drawnElsewhere = random && experiment.targetSeed.value_or(1) != session::kDefaultTargetSeed;
    std::string text;
    std::vector<std::string> items;
    for (const SweepTarget& t : drawnElsewhere || !experiment.targets ? plan.targets : experiment.targets->given)
        items.push_back(TargetText(t));
    if (random && !drawnElsewhere) items.push_back("random:" + std::to_string(experiment.targets->randomCount));
    for (const std::string& item : items) {
        if (!text.empty()) text += ' ';
        text += item;
    }
    return text;
}

ExperimentFault OpenExperimentFile(const std::string& path, Experiment& experiment, ExperimentPlan& plan) {
    ExperimentFault fault = ReadExperimentFile(path, experiment);
    if (!fault) fault = PlanExperiment(experiment, plan);
    return fault;
}

std::string TargetsFieldText(const std::vector<SweepTarget>& targets) {
    std::string text;
    for (const SweepTarget& t : targets) {
        if (!text.empty()) text += ' ';
        text += std::to_string(t.x) + "," + std::to_string(t.y);
    }
    return text;
}

std::string SeedsFieldText(const std::vector<std::uint32_t>& seeds) {
    std::string text;
    for (std::size_t i = 0; i < seeds.size();) {
        std::size_t j = i;
        while (j + 1 < seeds.size() && std::uint64_t{seeds[j + 1]} == std::uint64_t{seeds[j]} + 1) ++j;
        if (!text.empty()) text += ',';
        text += std::to_string(seeds[i]);
        if (j != i) text += ".." + std::to_string(seeds[j]);
        i = j + 1;
    }
    return text;
}

FieldFault ExperimentFileText(const std::vector<PlannedConfiguration>& configurations, const std::string& seedsText,
                              const std::string& targetsText, const std::string& epsilonText,
                              const std::optional<std::string>& title, const std::optional<std::string>& notes,
                              std::string& text) {
    SeedList seeds;
    std::vector<SweepTarget> targets;
    double epsilon = 0;
    if (FieldFault fault = ReadFields(seedsText, targetsText, epsilonText, seeds, targets, epsilon)) return fault;
    Experiment experiment = ExperimentOf(configurations, targets, seeds, epsilon);
    experiment.title = title;
    experiment.notes = notes;
    text = ExperimentText(experiment);
    return {};
}

void ExperimentModel::Begin(std::vector<SweepPlan> plans, std::vector<std::string> labels, std::string varied) {
    plans_ = std::move(plans);
    labels_ = std::move(labels);
    varied_ = std::move(varied);
    results_.assign(plans_.size(), {});
    openedBytes_.clear();
    rounds_ = 0;
    cancelled_ = false;
    stale_ = false;
}

void ExperimentModel::Take(std::vector<PlacedRun>& runs, int rounds) {
    // One target: the rounds append; several: each target's block grows by the batch's rounds,
    // merged in one pass.
    const auto before = static_cast<std::size_t>(rounds_);
    std::vector<std::vector<std::vector<SweepResult>>> added(results_.size());  // configuration, target
    for (PlacedRun& run : runs) {
        const auto plan = static_cast<std::size_t>(run.plan);
        const std::size_t targets = plans_[plan].targets.size();
        if (targets == 1) {
            results_[plan].push_back(std::move(run.result));
            continue;
        }
        added[plan].resize(targets);
        added[plan][static_cast<std::size_t>(run.index) / plans_[plan].seeds.size()].push_back(std::move(run.result));
    }
    for (std::size_t plan = 0; plan < added.size(); ++plan) {
        if (added[plan].empty()) continue;
        std::vector<SweepResult>& results = results_[plan];
        std::vector<SweepResult> merged;
        merged.reserve(results.size() + added[plan].size() * added[plan].front().size());
        for (std::size_t t = 0; t < added[plan].size(); ++t) {
            const auto block = results.begin() + static_cast<std::ptrdiff_t>(t * before);
            merged.insert(merged.end(), std::make_move_iterator(block), std::make_move_iterator(block + static_cast<std::ptrdiff_t>(before)));
            merged.insert(merged.end(), std::make_move_iterator(added[plan][t].begin()), std::make_move_iterator(added[plan][t].end()));
        }
        results = std::move(merged);
    }
    if (!runs.empty()) unsaved_ = true;
    rounds_ = rounds;
}

void ExperimentModel::Open(OpenedSweep& opened) {
    plans_.clear();
    labels_ = std::move(opened.labels);
    results_ = std::move(opened.results);
    openedBytes_ = std::move(opened.bytes);
    fileEpsilon_ = opened.epsilon.value_or(kDefaultEpsilon);
    fileEpsilonRecorded_ = opened.epsilon.has_value();
    varied_.clear();
    unsaved_ = false;
    cancelled_ = false;
    stale_ = false;
}

std::optional<SweepCombination> ExperimentModel::Configuration(std::size_t configuration) const {
    if (configuration < plans_.size()) return CombinationOf(plans_[configuration]);
    if (plans_.empty() && configuration < results_.size() && !results_[configuration].empty())
        return results_[configuration].front().combination;  // as an opened file's runs hold it
    return std::nullopt;
}

bool ExperimentModel::Drop(const std::vector<SweepCombination>& removed, const std::vector<SweepCombination>& held) {
    const auto among = [](const SweepCombination& ran, const std::vector<SweepCombination>& list) {
        return std::any_of(list.begin(), list.end(), [&](const SweepCombination& c) { return SameConfiguration(ran, c); });
    };
    bool any = false;
    for (std::size_t i = results_.size(); i-- > 0;) {
        const std::optional<SweepCombination> ran = Configuration(i);
        if (!ran || !among(*ran, removed) || among(*ran, held)) continue;
        const auto at = static_cast<std::ptrdiff_t>(i);
        results_.erase(results_.begin() + at);
        labels_.erase(labels_.begin() + at);
        if (i < plans_.size()) plans_.erase(plans_.begin() + at);
        any = true;
    }
    return any;
}

int ExperimentModel::ConfigurationOfRow(const std::vector<std::optional<std::vector<SweepCombination>>>& rows,
                                        int row) const {
    if (row < 0 || row >= static_cast<int>(rows.size())) return -1;
    std::size_t configuration = 0;  // the rows before it, each value of a list counted
    for (int r = 0; r < row; ++r) {
        if (!rows[static_cast<std::size_t>(r)]) return -1;
        configuration += rows[static_cast<std::size_t>(r)]->size();
    }
    const auto& read = rows[static_cast<std::size_t>(row)];
    const std::optional<SweepCombination> ran = Configuration(configuration);
    return read && read->size() == 1 && ran && SameConfiguration(*ran, read->front()) ? static_cast<int>(configuration) : -1;
}

int ExperimentModel::RowOfConfiguration(const std::vector<std::optional<std::vector<SweepCombination>>>& rows,
                                        std::size_t configuration) const {
    for (int row = 0; row < static_cast<int>(rows.size()); ++row)
        if (ConfigurationOfRow(rows, row) == static_cast<int>(configuration)) return row;
    return -1;
}

bool ExperimentModel::Relabel(std::size_t configuration, const std::string& label) {
    if (configuration >= labels_.size() || labels_[configuration] == label) return false;
    labels_[configuration] = label;
    return true;
}

std::string ExperimentModel::RunsCsv() const {
    if (opened()) return openedBytes_;
    std::string text = SweepHeader();
    for (std::size_t i = 0; i < plans_.size(); ++i) {
        // The seeds run so far: after a stop, the runs are those of a sweep of the first seeds alone.
        SweepPlan ran = plans_[i];
        ran.seeds.resize(std::min(ran.seeds.size(), static_cast<std::size_t>(rounds_)));
        if (ran.seeds.empty()) continue;
        const long long runs = CombinationCount(ran);
        const std::string fingerprint = SweepFingerprint(ran);
        for (std::size_t k = 0; k < results_[i].size(); ++k)
            text += SweepRow(results_[i][k], static_cast<long long>(k), runs, fingerprint, ran.epsilon);
    }
    return text;
}

std::string ExperimentModel::SummaryCsv() const {
    std::vector<SweepSummaryRow> rows;
    std::vector<std::string> labels;
    for (std::size_t i = 0; i < results_.size(); ++i)
        if (!results_[i].empty()) {
            rows.push_back(Outcome(results_[i]));
            labels.push_back(i < labels_.size() ? labels_[i] : std::string());
        }
    return LabelledSummaryCsv(rows, labels);
}

std::string ExperimentModel::LabelsJson() const {
    std::vector<SweepCombination> configurations;
    std::vector<std::string> labels;
    for (std::size_t i = 0; i < results_.size() && i < labels_.size(); ++i) {
        if (results_[i].empty()) continue;  // no rows in the file to name
        configurations.push_back(results_[i].front().combination);
        labels.push_back(labels_[i]);
    }
    return session::LabelsJson(configurations, labels);
}

void ExperimentModel::SetAbout(std::optional<std::string> title, std::optional<std::string> notes) {
    title_ = std::move(title);
    notes_ = std::move(notes);
}

std::string ExperimentModel::AboutText() const {
    if (title_ && notes_) return *title_ + "\n" + *notes_;
    return title_ ? *title_ : notes_.value_or(std::string());
}

std::size_t ExperimentModel::ConfigurationsWithRuns() const {
    return static_cast<std::size_t>(std::count_if(results_.begin(), results_.end(), [](const auto& runs) { return !runs.empty(); }));
}

long long ExperimentModel::RunCount() const {
    long long runs = 0;
    for (const SweepPlan& plan : plans_) runs += CombinationCount(plan);
    return runs;
}

double ExperimentModel::epsilon() const { return plans_.empty() ? fileEpsilon_ : plans_.front().epsilon; }

}  // namespace kelvora::experiment
