// The worker's module. A run as kelvora-cli makes it, from the same flags: its two result files and
// run.json written into the module's in-memory file system for the page to read back; the exact
// optimum of a target; an experiment (the experiment file's text) run a slice at a time, so that
// the worker can take a Stop between slices, and what it found: the outcome table, the run-length
// distributions, the verdicts, the runs CSV, the report and the experiment file.
#include <emscripten.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "options.h"
#include "analysis/optimum.h"
#include "batch/runlength.h"
#include "experiment/experiment_file.h"
#include "experiment/experiment_model.h"
#include "experiment/outcomes.h"
#include "experiment/rounds.h"
#include "io/result_files.h"
#include "io/run_record.h"
#include "model/arm.h"
#include "model/kelvora_version.h"
#include "report/report.h"
#include "session/run_record.h"
#include "session/numbers.h"
#include "session/sweep_targets.h"

namespace {

using namespace kelvora;

std::string message;  // the last refusal, in kelvora-cli's words
std::string answer;   // the last text handed back

EM_JS(void, ReportGeneration, (int generation, int generations, double error, double best, double average, int a1,
                                int a2, int a3, int e1, int e2, int e3), {
    if (Module.onGeneration) Module.onGeneration(generation, generations, error, best, average, [a1, a2, a3], [e1, e2, e3]);
});

class Progress final : public RunObserver {
public:
    Progress(int generations, int stopAfter, std::atomic<bool>& stop)
        : generations_(generations), stopAfter_(stopAfter), stop_(stop) {}
    void onGeneration(const GenerationView& view) override {
        if (stopAfter_ == 0)
            ReportGeneration(view.generation, generations_, view.error, view.best, view.average, view.currentPose.a1,
                             view.currentPose.a2, view.currentPose.a3, view.elitePose.a1, view.elitePose.a2,
                             view.elitePose.a3);
        if (stopAfter_ > 0 && view.generation >= stopAfter_) stop_.store(true, std::memory_order_release);
    }

private:
    int generations_;
    int stopAfter_;
    std::atomic<bool>& stop_;
};

const char* Answer(std::string text) {
    answer = std::move(text);
    return answer.c_str();
}

const char* Fault(const std::string& text) { return Answer(nlohmann::json{{"error", text}}.dump()); }

constexpr const char* kExperimentKinds[] = {"none",      "unreadable", "notJson",  "notExperiment", "version",
                                            "unknownKey", "missing",    "wrongType", "outOfRange",   "badValue",
                                            "algorithm", "list",       "problem",  "sameConfiguration",
                                            "sameLabel", "noBaseline"};
constexpr const char* kListKinds[] = {"none",      "empty",     "emptyItem",   "notSeed",   "reversed",   "seedTwice",
                                      "tooManySeeds", "notTarget", "targetTwice", "notRandom", "randomTwice",
                                      "drawnGiven"};
constexpr const char* kAlgorithmKinds[] = {"none", "tournamentSize", "elitism", "creepStep"};
static_assert(std::size(kExperimentKinds) == experiment::ExperimentFault::noBaseline + 1);
static_assert(std::size(kListKinds) == experiment::ListFault::drawnGiven + 1);
static_assert(std::size(kAlgorithmKinds) == AlgorithmFault::creepStep + 1);

// An experiment's fault as its parts, for the page to word in its language, with the limits its
// words name; "error" holds it in English.
const char* ExperimentFaultAnswer(const experiment::ExperimentFault& f) {
    const nlohmann::json fault{
        {"kind", kExperimentKinds[f.kind]},
        {"path", f.path},
        {"value", f.value},
        {"expected", f.expected},
        {"detail", f.detail},
        {"list", {{"kind", kListKinds[f.listFault.kind]}, {"value", f.listFault.value}}},
        {"algorithm",
         {{"kind", kAlgorithmKinds[f.algorithmFault.kind]}, {"value", f.algorithmFault.value}, {"limit", f.algorithmFault.limit}}},
        {"limits",
         {{"maxSeeds", experiment::kMaxSeeds}, {"maxRandomTargets", session::kMaxRandomTargets},
          {"version", experiment::kVersion}, {"format", experiment::kFormat}, {"maxPopulation", kMaxPopulation},
          {"maxGenerations", kMaxGenerations}, {"minCrossover", kMinCrossoverRate}}}};
    return Answer(nlohmann::json{{"error", experiment::ExperimentFaultText(f)}, {"fault", fault}}.dump());
}

// An experiment under way or finished: its plan, the order its runs are taken in and what they found.
struct Session {
    experiment::Experiment experiment;
    experiment::ExperimentPlan plan;
    std::vector<SweepPlan> plans;
    std::optional<experiment::RoundOrder> order;
    std::vector<double> optimum;  // per target of the order, NaN until found
    std::vector<experiment::PlacedRun> round;  // the round under way
    experiment::ExperimentModel model;
    long long next = 0;
    int rounds = 0;
    RunBuffers buffers;
};
std::unique_ptr<Session> current;  // the experiment of the last start

nlohmann::json ProportionJson(const Proportion& p) {
    return {{"successes", p.successes}, {"trials", p.trials}, {"rate", p.rate}, {"low", p.low}, {"high", p.high}};
}

}  // namespace

extern "C" {

/// Runs the run that kelvora-cli's flags in args (one flag or value a line) describe, writing
/// results.csv, fitness.csv and run.json into directory. stopAfter 1..: the run stops after that
/// generation, as a Stop there ends it; 0: it runs to its end, each generation reported. 0: run and
/// written; 2: the flags were refused (kv_message says why); 1: a file could not be written.
EMSCRIPTEN_KEEPALIVE int kv_run(const char* args, const char* directory, int stopAfter) {
    std::vector<std::string> list;
    std::string line;
    for (const char* p = args; *p; ++p) {
        if (*p == '\n') {
            list.push_back(line);
            line.clear();
        } else {
            line += *p;
        }
    }
    if (!line.empty()) list.push_back(line);
    const cli::ParseResult parsed = cli::ParseCommandLine(list);
    if (!parsed.ok()) {
        message = parsed.error;
        return 2;
    }
    const cli::CliOptions& o = parsed.options;
    if (!o.seed) {
        message = "a seed is needed";
        return 2;
    }
    message.clear();
    const std::string started = RecordTimeNow();
    const RunSetup setup{o.params, GeometryFor(o.targetX, o.targetY), *o.seed, o.algorithm};
    ResultWriter writer(o.flush);
    std::atomic<bool> stop{false};
    Progress progress(o.params.generationCount, stopAfter, stop);
    RunObserver* observers[] = {&progress};
    static RunBuffers buffers;
    const RunReport report = RunWithFiles(setup, writer, directory, observers, buffers, &stop);
    RunRecord record = session::RecordOfRun("kelvora-cli", setup, report, started, "");
    record.flush = o.flush;
    const bool recorded = WriteRunRecord(record, directory).empty();
    return report.filesComplete() && recorded ? 0 : 1;
}

EMSCRIPTEN_KEEPALIVE const char* kv_message() { return message.c_str(); }

/// The lab's fields (fields: JSON {"population", "generations", "crossover", "mutation", "seed",
/// "algorithm", "encoding", "selection", "elitism", "crossover_operator", "mutation_operator"}, each
/// the text typed; "seed" may be empty) checked in the order of the page: {} when all are good, else
/// the first field at fault, for the page to word: {"field", "kind": "range", "low", "high",
/// "integer"} for a number, {"field", "kind": "badValue", "detail": the choice's own words}, or
/// {"field", "kind": "algorithm", "algorithm": {"kind", "value", "limit"}} for a count that does
/// not suit the population.
EMSCRIPTEN_KEEPALIVE const char* kv_check_fields(const char* fields) {
    const nlohmann::json in = nlohmann::json::parse(fields, nullptr, false);
    const auto text = [&in](const char* key) {
        const auto it = in.find(key);
        return it != in.end() && it->is_string() ? experiment::TrimBlanks(it->get<std::string>()) : std::string();
    };
    struct Number {
        const char* key;
        const session::NumberField* field;
    };
    static constexpr Number kNumbers[] = {{"population", &session::kPopulationField},
                                          {"generations", &session::kGenerationsField},
                                          {"crossover", &session::kCrossoverField},
                                          {"mutation", &session::kMutationField},
                                          {"seed", &session::kSeedField}};
    for (const auto& [key, field] : kNumbers) {
        const std::string typed = text(key);
        if (typed.empty()) continue;  // left empty: kelvora-cli's default, as the address has it
        if (!session::ParseNumberField(*field, typed))
            return Answer(nlohmann::json{{"field", key}, {"kind", "range"}, {"low", field->low}, {"high", field->high},
                                         {"integer", field->integer}}.dump());
    }
    Algorithm algorithm;
    using Parser = std::string (*)(std::string_view, Algorithm&);
    static constexpr std::pair<const char*, Parser> kChoices[] = {
        {"algorithm", ParseMethod},   {"encoding", ParseEncoding},          {"selection", ParseSelection},
        {"elitism", ParseElitism},    {"crossover_operator", ParseCrossover}, {"mutation_operator", ParseMutation}};
    for (const auto& [key, parse] : kChoices)
        if (const std::string error = text(key).empty() ? std::string() : parse(text(key), algorithm); !error.empty())
            return Answer(nlohmann::json{{"field", key}, {"kind", "badValue"}, {"detail", error}}.dump());
    const int population = text("population").empty()
                               ? SolverParams{}.populationSize
                               : static_cast<int>(*session::ParseNumberField(session::kPopulationField, text("population")));
    if (const AlgorithmFault f = CheckAlgorithm(algorithm, population)) {
        static constexpr const char* kFields[] = {"", "selection", "elitism", "mutation_operator"};
        return Answer(nlohmann::json{{"field", kFields[f.kind]},
                                     {"kind", "algorithm"},
                                     {"algorithm", {{"kind", kAlgorithmKinds[f.kind]}, {"value", f.value}, {"limit", f.limit}}}}
                          .dump());
    }
    return Answer("{}");
}

/// The exact optimum for the target (relative x right, y up) as "a1,a2,a3,distance", distance
/// written in its shortest exact text.
EMSCRIPTEN_KEEPALIVE const char* kv_optimum(int targetX, int targetY) {
    const Geometry g = GeometryFor(targetX, targetY);
    const Optimum best = FindOptimum(g.baseX, g.baseY, g.targetX, g.targetY);
    static char text[96];
    std::snprintf(text, sizeof text, "%d,%d,%d,%.17g", best.pose.a1, best.pose.a2, best.pose.a3, best.distance);
    return text;
}

/// An experiment file's text read and planned, as JSON: for a file at fault {"error": its English
/// words, "fault": {"kind", "path", "value", "expected", "detail", "list": {"kind", "value"},
/// "algorithm": {"kind", "value", "limit"}, "limits": {...}}} (kinds named as the enumerators), else
/// what the page's table and fields show of it ({"text": the file as it is saved, "title", "notes",
/// "configurations": [{"label", PARAMETER: "value value ..."}], "seeds", "targets", "epsilon",
/// "alpha", "baseline", "runs"}).
EMSCRIPTEN_KEEPALIVE const char* kv_experiment_read(const char* text) {
    experiment::Experiment e;
    experiment::ExperimentPlan plan;
    experiment::ExperimentFault fault = experiment::ParseExperiment(text, e);
    if (!fault) fault = experiment::PlanExperiment(e, plan);
    if (fault) return ExperimentFaultAnswer(fault);
    nlohmann::json rows = nlohmann::json::array();
    for (const experiment::ExperimentConfiguration& c : e.configurations) {
        nlohmann::json row{{"label", c.label.value_or("")}};
        for (int p = 0; p < experiment::kParameterCount; ++p) {
            std::string cell;
            for (const std::string& v : c.parameters[static_cast<std::size_t>(p)].values) cell += (cell.empty() ? "" : " ") + v;
            row[experiment::kParameterNames[static_cast<std::size_t>(p)]] = cell;
        }
        rows.push_back(row);
    }
    nlohmann::json labels = nlohmann::json::array();
    for (const experiment::PlannedConfiguration& c : plan.configurations) labels.push_back(c.label);
    const long long runs = static_cast<long long>(plan.configurations.size()) *
                           static_cast<long long>(plan.targets.size()) * plan.seeds.count();
    return Answer(nlohmann::json{{"text", experiment::ExperimentText(e)},
                                 {"title", e.title.value_or("")},
                                 {"notes", e.notes.value_or("")},
                                 {"configurations", rows},
                                 {"labels", labels},
                                 {"seeds", experiment::SeedListText(plan.seeds)},
                                 {"targets", experiment::TargetsFieldText(e, plan)},
                                 {"epsilon", plan.epsilon},
                                 {"alpha", plan.alpha},
                                 {"baseline", plan.baseline},
                                 {"runs", runs}}
                      .dump());
}

/// Starts the experiment of the file's text: a fault as kv_experiment_read gives it, or {"runs": N, "rounds": SEEDS}.
EMSCRIPTEN_KEEPALIVE const char* kv_experiment_start(const char* text) {
    auto s = std::make_unique<Session>();
    experiment::ExperimentFault fault = experiment::ParseExperiment(text, s->experiment);
    if (!fault) fault = experiment::PlanExperiment(s->experiment, s->plan);
    if (fault) return ExperimentFaultAnswer(fault);
    std::vector<std::string> labels;
    for (std::size_t k = 0; k < s->plan.configurations.size(); ++k) {
        s->plans.push_back(s->plan.SweepOf(k));
        labels.push_back(s->plan.configurations[k].label);
    }
    s->order.emplace(s->plans);
    s->optimum.assign(s->order->targets().size(), std::nan(""));
    s->model.Begin(s->plans, labels, "");
    const long long runs = s->order->jobs();
    const long long rounds = static_cast<long long>(s->plans.front().seeds.size());
    current = std::move(s);
    return Answer(nlohmann::json{{"runs", runs}, {"rounds", rounds}}.dump());
}

/// Runs the experiment's next runs for about milliseconds (one run at least): the runs taken so
/// far, in whole rounds, as {"done": RUNS, "runs": N, "rounds": ROUNDS}.
EMSCRIPTEN_KEEPALIVE const char* kv_experiment_step(double milliseconds) {
    if (!current) return Fault("no experiment");
    Session& s = *current;
    const double until = emscripten_get_now() + milliseconds;
    const long long jobs = s.order->jobs();
    do {
        if (s.next >= jobs) break;
        const experiment::RoundOrder::Job job = s.order->At(s.next);
        if (std::isnan(s.optimum[job.target])) {
            const SweepTarget& t = s.order->targets()[job.target];
            s.optimum[job.target] = FindOptimum(kBaseX, kBaseY, kBaseX + t.x, kBaseY - t.y).distance;
        }
        const SweepPlan& plan = s.plans[static_cast<std::size_t>(job.plan)];
        SweepResult result = RunCombination(CombinationAt(plan, job.index), std::nan(""), plan.epsilon, s.buffers);
        MeasureAgainstOptimum(result, s.optimum[job.target]);
        s.round.push_back({job.plan, job.index, std::move(result)});
        if (++s.next % s.order->roundSize() == 0) {
            s.model.Take(s.round, ++s.rounds);
            s.round.clear();
        }
    } while (emscripten_get_now() < until);
    return Answer(nlohmann::json{{"done", s.next}, {"runs", jobs}, {"rounds", s.rounds}}.dump());
}

/// What the experiment's whole rounds found (cancelled: it was stopped), in language (0 Japanese,
/// 1 English): the outcome of each configuration with its run-length distribution, the verdicts,
/// and the files written into directory: runs.csv, experiment.kelvora.json and, for two
/// configurations or more, report.html (made on date, YYYY-MM-DD).
EMSCRIPTEN_KEEPALIVE const char* kv_experiment_result(int cancelled, int language, const char* date,
                                                      const char* directory) {
    if (!current) return Fault("no experiment");
    Session& s = *current;
    s.model.End(cancelled != 0);
    const report::Language lang = language == 1 ? report::Language::English : report::Language::Japanese;
    std::vector<SweepResult> all;
    for (const std::vector<SweepResult>& runs : s.model.results()) all.insert(all.end(), runs.begin(), runs.end());
    const std::string dir = directory;
    const std::string runsCsv = s.model.RunsCsv();
    const std::string experimentText = experiment::ExperimentText(s.experiment);
    const auto write = [&](const std::string& name, const std::string& bytes) {
        if (FILE* f = std::fopen((dir + "/" + name).c_str(), "wb")) {
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
    };
    std::remove((dir + "/report.html").c_str());
    write("runs.csv", runsCsv);
    write("experiment.kelvora.json", experimentText);
    nlohmann::json out{{"rounds", s.rounds}, {"cancelled", cancelled != 0}, {"epsilon", s.plan.epsilon},
                       {"alpha", s.plan.alpha}, {"groups", nlohmann::json::array()}, {"verdicts", nlohmann::json::array()}};
    if (all.empty()) return Answer(out.dump());
    report::ReportInput in;
    in.runs = experiment::GroupRuns(all, s.model.labels());
    for (const experiment::ConfigurationRuns& g : in.runs.groups) {
        const SweepSummaryRow row = experiment::Outcome(g);
        nlohmann::json ecdf = nlohmann::json::array();
        for (const RunLengthPoint& p : RunLengthDistribution(g.firstWithin, g.first.params.generationCount,
                                                             g.first.params.populationSize, false))
            ecdf.push_back({p.x, p.within.rate, p.within.low, p.within.high});
        out["groups"].push_back({{"label", g.label},
                                 {"runs", row.runs},
                                 {"within", ProportionJson(row.withinEpsilon)},
                                 {"optimum", ProportionJson(row.reached)},
                                 {"ert", report::ErtText(row.ertEvaluations)},
                                 {"distance", {row.eliteDistance.q1, row.eliteDistance.median, row.eliteDistance.q3}},
                                 {"firstWithin", row.firstWithinEpsilon.count > 0
                                                     ? nlohmann::json(row.firstWithinEpsilon.median)
                                                     : nlohmann::json(nullptr)},
                                 {"generations", g.first.params.generationCount},
                                 {"ecdf", ecdf}});
    }
    if (in.runs.groups.size() >= 2) {
        if (const std::optional<report::PairChoice> choice = report::ChoosePairs(in.runs, s.plan.baseline)) {
            in.comparison = report::Compare(in.runs, *choice, s.plan.alpha);
            for (const report::PairOutcome& p : in.comparison.pairs)
                out["verdicts"].push_back(report::VerdictText(p.counts, s.plan.alpha, lang));
            write("runs.csv", runsCsv);
            RecordedFile digest = DigestFile(dir + "/runs.csv");
            in.language = lang;
            in.title = s.experiment.title.value_or("");
            in.date = date;
            in.version = kVersion;
            in.epsilon = s.plan.epsilon;
            in.epsilonRecorded = true;
            in.inputName = "runs.csv";
            in.inputSize = digest.size;
            in.inputSha256 = digest.sha256;
            in.experimentName = "experiment.kelvora.json";
            in.experimentJson = experimentText;
            write("report.html", report::RenderHtml(in));
            out["report"] = true;
        }
    }
    return Answer(out.dump());
}

}  // extern "C"
