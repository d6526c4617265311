// kelvora._kelvora: the core and the application layer as Python sees them. Arguments are read with
// the command line's parsers and ranges and refused with its words; a run's history is kept in
// arrays that numpy views without copying; the result files are written by the core's own writer
// and record. Nothing here computes what the core or the application layer computes.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "analysis/landscape.h"
#include "analysis/optimum.h"
#include "analysis/reachmap.h"
#include "batch/ioh_export.h"
#include "batch/sweep.h"
#include "batch/sweep_table.h"
#include "ga/algorithm.h"
#include "ga/run.h"
#include "experiment/experiment_file.h"
#include "experiment/experiment_model.h"
#include "experiment/outcomes.h"
#include "io/replace_file.h"
#include "io/result_files.h"
#include "io/run_record.h"
#include "model/arm.h"
#include "model/kelvora_version.h"
#include "report/comparison.h"
#include "session/labels.h"
#include "session/file_failure.h"
#include "session/numbers.h"
#include "session/run_record.h"
#include "session/sweep_plan.h"
#include "session/sweep_targets.h"

namespace py = pybind11;
using namespace kelvora;

namespace {

// ---- Arguments: Python values read as the command line reads its flags' text ----------------------

// A value as the text a flag would have been given: a str as it is, an int in decimal, a float in
// the shortest form that reads back exactly (repr). A bool is no number here: it reads as its name.
std::string ArgumentText(const py::handle& value) {
    if (py::isinstance<py::str>(value)) return value.cast<std::string>();
    if (py::isinstance<py::bool_>(value)) return value.cast<bool>() ? "True" : "False";
    if (py::isinstance<py::int_>(value) || py::isinstance<py::float_>(value)) return py::repr(value).cast<std::string>();
    return py::str(value).cast<std::string>();
}

[[noreturn]] void Refuse(const std::string& argument, const std::string& message) {
    throw py::value_error(argument + ": " + message);
}

// A number argument by its flag's field: the command line's parser and range, its refusal's words.
double NumberArgument(const char* argument, const session::NumberField& field, const py::handle& value) {
    const std::string text = ArgumentText(value);
    const auto v = session::ParseNumberField(field, text);
    if (!v) Refuse(argument, "'" + text + "' is not " + session::ExpectedText(field));
    return *v;
}

// A target: (X, Y) or "X,Y", relative to the base, x right, y up.
PixelPoint TargetArgument(const py::handle& value) {
    std::string text;
    if (py::isinstance<py::str>(value)) {
        text = value.cast<std::string>();
    } else {
        py::sequence xy = py::reinterpret_borrow<py::sequence>(value);
        if (!py::isinstance<py::sequence>(value) || py::len(xy) != 2) Refuse("target", "expected (X, Y) or 'X,Y'");
        text = ArgumentText(xy[0]) + "," + ArgumentText(xy[1]);
    }
    const auto target = session::ParseTarget(text);
    if (!target) Refuse("target", "'" + text + "' is not " + session::ExpectedTargetText());
    return *target;
}

// The command line's flag names in a message as Python's argument names: --algorithm is method,
// --crossover-operator crossover_operator, and so on; --target is target (targets for a sweep).
std::string ArgumentWords(const std::string& message, const char* targetName = "target") {
    std::string out;
    for (std::size_t at = 0; at < message.size();) {
        const bool flag = message.compare(at, 2, "--") == 0 && at + 2 < message.size() && message[at + 2] >= 'a' &&
                          message[at + 2] <= 'z' && (at == 0 || message[at - 1] == ' ' || message[at - 1] == '(');
        if (!flag) {
            out += message[at++];
            continue;
        }
        std::size_t end = at + 2;
        while (end < message.size() && ((message[end] >= 'a' && message[end] <= 'z') || message[end] == '-')) ++end;
        std::string name = message.substr(at + 2, end - at - 2);
        if (name == "algorithm") name = "method";
        else if (name == "target") name = targetName;
        for (char& c : name)
            if (c == '-') c = '_';
        out += name;
        at = end;
    }
    return out;
}

using ChoiceParser = std::string (*)(std::string_view, Algorithm&);

// One operator choice through the core's parser of its flag, when given (None: the default).
void ChoiceArgument(const char* argument, std::string (*parse)(std::string_view, Algorithm&), const py::handle& value,
                    Algorithm& algorithm) {
    if (value.is_none()) return;
    const std::string text = ArgumentText(value);
    if (const std::string message = parse(text, algorithm); !message.empty()) Refuse(argument, ArgumentWords(message));
}

struct RunArguments {
    RunSetup setup;
    // The caller's own operators (callables), or None.
    py::object selection = py::none(), crossover = py::none(), mutation = py::none();
    bool trace = false;
    PixelPoint target{kOpeningTargetX, kOpeningTargetY};
};

RunArguments ReadRunArguments(const py::handle& seed, const py::handle& population, const py::handle& generations,
                              const py::handle& crossover, const py::handle& mutation, const py::handle& target,
                              const py::handle& method, const py::handle& encoding, const py::handle& selection,
                              const py::handle& elitism, const py::handle& crossoverOperator,
                              const py::handle& mutationOperator, const py::handle& trace) {
    RunArguments a;
    SolverParams& p = a.setup.params;
    p.populationSize = static_cast<int>(NumberArgument("population", session::kPopulationField, population));
    p.generationCount = static_cast<int>(NumberArgument("generations", session::kGenerationsField, generations));
    p.crossoverRate = NumberArgument("crossover", session::kCrossoverField, crossover);
    p.mutationProbability = NumberArgument("mutation", session::kMutationField, mutation);
    a.target = TargetArgument(target);
    if (seed.is_none()) {
        try {
            a.setup.seed = std::random_device{}();
        } catch (...) {  // no entropy source: the clock
            a.setup.seed = ClockSeed();
        }
    } else {
        a.setup.seed = static_cast<std::uint32_t>(NumberArgument("seed", session::kSeedField, seed));
    }
    Algorithm& algorithm = a.setup.algorithm;
    ChoiceArgument("method", ParseMethod, method, algorithm);
    ChoiceArgument("encoding", ParseEncoding, encoding, algorithm);
    // An operator is a built-in spelling or a function of the caller's own (the genetic algorithm's).
    const auto operatorArgument = [&](const char* name, ChoiceParser parse, const py::handle& value, py::object& own) {
        if (!PyCallable_Check(value.ptr())) return ChoiceArgument(name, parse, value, algorithm);
        if (algorithm.method != Method::geneticAlgorithm)
            Refuse(name, "a function of your own needs method 'ga', not '" + MethodName(algorithm) + "'");
        own = py::reinterpret_borrow<py::object>(value);
    };
    operatorArgument("selection", ParseSelection, selection, a.selection);
    ChoiceArgument("elitism", ParseElitism, elitism, algorithm);
    operatorArgument("crossover_operator", ParseCrossover, crossoverOperator, a.crossover);
    operatorArgument("mutation_operator", ParseMutation, mutationOperator, a.mutation);
    a.trace = PyObject_IsTrue(trace.ptr()) == 1;
    if (a.trace && algorithm.method != Method::geneticAlgorithm && algorithm.method != Method::randomSearch)
        Refuse("trace", "the method '" + MethodName(algorithm) + "' has no generations to trace; only ga and random-search do");
    if (const std::string untaken = session::UntakenChoicesText(CheckTakenChoices(algorithm)); !untaken.empty())
        throw py::value_error(ArgumentWords(untaken));
    // The counts that depend on the population, each named by its own argument.
    Algorithm only;
    only.selection = algorithm.selection;
    only.tournamentSize = algorithm.tournamentSize;
    if (const std::string invalid = ValidateAlgorithm(only, p.populationSize); !invalid.empty())
        Refuse("selection", ArgumentWords(invalid));
    only = Algorithm{};
    only.elitism = algorithm.elitism;
    if (const std::string invalid = ValidateAlgorithm(only, p.populationSize); !invalid.empty())
        Refuse("elitism", ArgumentWords(invalid));
    a.setup.geometry = GeometryFor(a.target.x, a.target.y);
    return a;
}

// ---- A run and its history --------------------------------------------------------------------------

// Every generation of a run as it was handed over: the poses as evaluated, their fitness, and the
// summary the result files hold. Filled by the run's observer; read by numpy in place.
struct RunHistory {
    RunSetup setup;
    PixelPoint target;
    int population = 0;
    int generations = 0;                 // generations finished
    std::vector<std::uint8_t> poses;     // [G][N][3], angles in whole degrees
    std::vector<double> fitness;         // [G][N]
    std::vector<double> best;            // [G]
    std::vector<double> average;         // [G]
    std::vector<std::int32_t> bestIndex; // [G]
    std::vector<double> distances;       // [G][N], filled on first use
    RunOutcome outcome;
    std::optional<Optimum> optimum;      // the target's, found when first asked for
    std::string started;                 // when the run started, as run.json records it
    bool custom = false;                 // made with an operator of the caller's own
    std::array<bool, 3> own{};           // which: selection, crossover, mutation
    // The trace, when asked for: [G][N][2] parents (-1: none), [G][N] crossover masks and the bits
    // mutation flipped, [N][3] the initial population's angles.
    bool traced = false;
    std::vector<std::int32_t> parents;
    std::vector<std::uint32_t> masks;
    std::vector<std::uint32_t> mutated;
    std::vector<std::uint8_t> initial;
};

class HistoryObserver final : public RunObserver {
public:
    explicit HistoryObserver(RunHistory& history) : h_(history) {}
    void onGeneration(const GenerationView& view) override {
        const std::size_t n = static_cast<std::size_t>(view.populationSize);
        const std::size_t g = static_cast<std::size_t>(view.generation - 1);
        static_assert(sizeof(Chromosome) == 3);
        std::memcpy(h_.poses.data() + g * n * 3, view.population, n * 3);
        std::memcpy(h_.fitness.data() + g * n, view.fitness, n * sizeof(double));
        h_.best[g] = view.best;
        h_.average[g] = view.average;
        h_.bestIndex[g] = view.bestIndex;
        h_.generations = view.generation;
    }

private:
    RunHistory& h_;
};

// Ctrl-C during a run: while it computes (without the interpreter's lock), SIGINT raises the run's
// stop flag instead of reaching Python; the run ends after the generation it is in. Only on the main
// thread, where Python itself takes signals.
std::atomic<bool> gInterrupted{false};
unsigned long gMainThread = 0;  // the interpreter's main thread, PyThread_get_thread_ident's way

extern "C" void OnInterrupt(int) { gInterrupted.store(true, std::memory_order_release); }

class InterruptScope {
public:
    InterruptScope() {
        gInterrupted.store(false);
        if (PyThread_get_thread_ident() != gMainThread) return;
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        sigemptyset(&action.sa_mask);
        installed_ = ::sigaction(SIGINT, &action, &previous_) == 0;
    }
    ~InterruptScope() {
        if (installed_) ::sigaction(SIGINT, &previous_, nullptr);
    }
    InterruptScope(const InterruptScope&) = delete;
    InterruptScope& operator=(const InterruptScope&) = delete;

private:
    struct sigaction previous_ {};
    bool installed_ = false;
};

// A view that lives only during an operator's call: numpy does not own or free it.
template <class T>
py::array_t<T> CallView(T* data, std::vector<py::ssize_t> shape, bool writable) {
    std::vector<py::ssize_t> strides(shape.size(), sizeof(T));
    for (std::size_t k = shape.size() - 1; k > 0; --k) strides[k - 1] = strides[k] * shape[k];
    py::array_t<T> a(std::move(shape), std::move(strides), data, py::capsule(data, [](void*) {}));
    if (!writable) py::detail::array_proxy(a.ptr())->flags &= ~py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
    return a;
}

std::string ShapeText(const std::vector<py::ssize_t>& shape) {
    std::string text = "(";
    for (std::size_t k = 0; k < shape.size(); ++k) text += (k ? ", " : "") + std::to_string(shape[k]);
    return text + (shape.size() == 1 ? ",)" : ")");
}

// What an operator returned, as integers of the shape expected, each in 0..high; refused naming
// argument otherwise. With a view handed over, None or the view itself: the view as changed in
// place (nullopt).
std::optional<py::array_t<long long, py::array::c_style | py::array::forcecast>> Returned(
    const char* argument, const py::object& out, const py::array* view, const std::vector<py::ssize_t>& shape,
    long long high, const char* what) {
    if (view && (out.is_none() || out.is(*view))) return std::nullopt;
    const py::array given = py::array::ensure(out);
    const char kind = given ? given.dtype().kind() : '?';
    bool fits = given && given.ndim() == static_cast<py::ssize_t>(shape.size()) && (kind == 'u' || kind == 'i');
    for (std::size_t k = 0; fits && k < shape.size(); ++k) fits = given.shape(static_cast<py::ssize_t>(k)) == shape[k];
    if (!fits) {
        const std::string got = py::hasattr(out, "shape") ? py::repr(out.attr("shape")).cast<std::string>() + " " +
                                                                 py::str(out.attr("dtype")).cast<std::string>()
                                                           : py::repr(py::type::of(out).attr("__name__")).cast<std::string>();
        throw py::value_error(std::string(argument) + ": returned " + got + "; expected " +
                              (view ? "None (changed in place) or " : "") + "integers of shape " + ShapeText(shape));
    }
    py::array_t<long long, py::array::c_style | py::array::forcecast> values(given);
    const long long* v = values.data();
    for (py::ssize_t i = 0; i < values.size(); ++i)
        if (v[i] < 0 || v[i] > high)
            throw py::value_error(std::string(argument) + ": returned " + what + " " + std::to_string(v[i]) +
                                  ", not in 0.." + std::to_string(high));
    return values;
}

// The caller's own operators: Python functions called once a step, in the order selection,
// crossover, mutation, each with numpy arrays over the run's own storage (valid during the call)
// and one numpy Generator seeded from the run's seed.
//   selection(fitness, count, rng): fitness float64 [N] read-only; returns count parent indices,
//     pairs first (A, B, A, B, ...), then the copies'.
//   crossover_operator(pairs, rng): pairs uint8 [P, 2, 3], each pair's parents A and B, changed in
//     place into the children 1 and 2 or the children returned.
//   mutation_operator(genes, rng): genes uint8 [count, 3], the slots after the elites, changed in
//     place or returned.
// An exception ends the run after the generation it is in and is raised again once the run has
// returned; the run's later calls are skipped.
class PythonOperators final : public CustomSelection, public CustomCrossover, public CustomMutation {
public:
    PythonOperators(py::object selection, py::object crossover, py::object mutation, std::uint32_t seed)
        : selection_(std::move(selection)), crossover_(std::move(crossover)), mutation_(std::move(mutation)),
          rng_(py::module_::import("numpy").attr("random").attr("default_rng")(seed)) {}
    ~PythonOperators() override {
        py::gil_scoped_acquire gil;
        selection_ = crossover_ = mutation_ = rng_ = py::object();
        error_.reset();
    }

    void select(int, const double* fitness, int n, std::uint16_t* parents, int count, int, CrtRandom&) override {
        Call([&] {
            const auto view = CallView(const_cast<double*>(fitness), {n}, false);
            const auto values = Returned("selection", selection_(view, count, rng_), nullptr, {count}, n - 1,
                                         "the parent index");
            for (int i = 0; i < count; ++i) parents[i] = static_cast<std::uint16_t>(values->data()[i]);
        });
    }

    void cross(int, Chromosome* genotypes, int pairs, CrtRandom&) override {
        Call([&] { Genes("crossover_operator", crossover_, &genotypes->gene[0], {pairs, 2, 3}); });
    }

    void mutate(int, Chromosome* genotypes, int count, CrtRandom&) override {
        Call([&] { Genes("mutation_operator", mutation_, &genotypes->gene[0], {count, 3}); });
    }

    /// Raises the first exception an operator threw, if any (with the interpreter's lock held).
    void rethrow() {
        if (error_) {
            py::error_already_set e = std::move(*error_);
            error_.reset();
            throw e;
        }
    }

private:
    template <class F>
    void Call(F call) {
        if (error_) return;
        py::gil_scoped_acquire gil;
        try {
            call();
        } catch (py::error_already_set& e) {
            error_ = std::move(e);
            gInterrupted.store(true);  // the run ends after this generation
        } catch (const py::value_error& e) {
            PyErr_SetString(PyExc_ValueError, e.what());
            error_ = py::error_already_set();
            gInterrupted.store(true);
        }
    }

    void Genes(const char* argument, const py::object& function, std::uint8_t* genes, std::vector<py::ssize_t> shape) {
        const auto view = CallView(genes, shape, true);
        const auto values = Returned(argument, function(view, rng_), &view, shape, 255, "the gene");
        if (!values) return;
        for (py::ssize_t i = 0; i < values->size(); ++i) genes[i] = static_cast<std::uint8_t>(values->data()[i]);
    }

    py::object selection_, crossover_, mutation_;
    py::object rng_;
    std::optional<py::error_already_set> error_;
};

// The run's trace as arrays: each step's slots' parents, crossover masks and the bits mutation
// flipped, and the initial population's angles.
class TraceRecorder final : public StepRecorder {
public:
    explicit TraceRecorder(RunHistory& history) : h_(history) {}
    void onInitial(const Chromosome* genotypes, int n) override {
        const bool gray = h_.setup.algorithm.method == Method::geneticAlgorithm &&
                          h_.setup.algorithm.encoding == Encoding::gray;
        for (int i = 0; i < 3 * n; ++i) {
            const std::uint8_t g = (&genotypes->gene[0])[i];
            h_.initial[static_cast<std::size_t>(i)] = gray ? static_cast<std::uint8_t>(GrayDecode(g)) : g;
        }
    }
    void onStep(int step, const SlotOrigin* origins, const Chromosome* before, const Chromosome* after,
                int n) override {
        const std::size_t at = static_cast<std::size_t>(step) * static_cast<std::size_t>(n);
        for (int i = 0; i < n; ++i) {
            const SlotOrigin& o = origins[i];
            std::int32_t* p = h_.parents.data() + 2 * (at + static_cast<std::size_t>(i));
            p[0] = o.kind == SlotKind::random ? -1 : o.parents[0];
            p[1] = o.kind == SlotKind::child ? o.parents[1] : -1;
            h_.masks[at + static_cast<std::size_t>(i)] = o.kind == SlotKind::child ? o.mask : 0;
            h_.mutated[at + static_cast<std::size_t>(i)] = Bits(before[i]) ^ Bits(after[i]);
        }
    }

private:
    static std::uint32_t Bits(const Chromosome& c) {
        return (static_cast<std::uint32_t>(c.gene[0]) << 16) | (static_cast<std::uint32_t>(c.gene[1]) << 8) | c.gene[2];
    }
    RunHistory& h_;
};

std::shared_ptr<RunHistory> Run(const RunArguments& arguments) {
    auto history = std::make_shared<RunHistory>();
    RunHistory& h = *history;
    h.setup = arguments.setup;
    h.target = arguments.target;
    h.population = h.setup.params.populationSize;
    const std::size_t n = static_cast<std::size_t>(h.population);
    const std::size_t g = static_cast<std::size_t>(h.setup.params.generationCount);
    h.poses.resize(g * n * 3);
    h.fitness.resize(g * n);
    h.best.resize(g);
    h.average.resize(g);
    h.bestIndex.resize(g);
    h.started = RecordTimeNow();
    std::optional<PythonOperators> own;
    h.own = {!arguments.selection.is_none(), !arguments.crossover.is_none(), !arguments.mutation.is_none()};
    if (h.own[0] || h.own[1] || h.own[2]) {
        own.emplace(arguments.selection, arguments.crossover, arguments.mutation, h.setup.seed);
        if (h.own[0]) h.setup.selection = &*own;
        if (h.own[1]) h.setup.crossover = &*own;
        if (h.own[2]) h.setup.mutation = &*own;
        h.custom = true;
    }
    std::optional<TraceRecorder> recorder;
    if (arguments.trace) {
        h.traced = true;
        h.parents.resize(g * n * 2);
        h.masks.resize(g * n);
        h.mutated.resize(g * n);
        h.initial.resize(n * 3);
        recorder.emplace(h);
    }
    {
        InterruptScope interrupt;
        py::gil_scoped_release unlocked;
        HistoryObserver observer(h);
        RunObserver* observers[] = {&observer};
        // Each thread's runs take turns with one set of buffers, cleared once; a run started from
        // within a run (by a mutation of the caller's own) takes a set of its own.
        thread_local const std::unique_ptr<RunBuffers> shared = std::make_unique<RunBuffers>();
        thread_local bool sharedInUse = false;
        std::unique_ptr<RunBuffers> own;
        RunBuffers* buffers = shared.get();
        if (sharedInUse) buffers = (own = std::make_unique<RunBuffers>()).get();
        const bool lent = !own;
        if (lent) sharedInUse = true;
        try {
            h.outcome = RunSolver(h.setup, observers, *buffers, &gInterrupted, recorder ? &*recorder : nullptr);
        } catch (...) {
            if (lent) sharedInUse = false;
            throw;
        }
        if (lent) sharedInUse = false;
    }
    h.setup.selection = nullptr;
    h.setup.crossover = nullptr;
    h.setup.mutation = nullptr;
    if (own) own->rethrow();
    if (h.outcome.stopped || gInterrupted.load()) {
        PyErr_SetNone(PyExc_KeyboardInterrupt);
        throw py::error_already_set();
    }
    return history;
}

// The target's optimum, found once.
const Optimum& OptimumOf(RunHistory& h) {
    if (!h.optimum) {
        const Geometry& g = h.setup.geometry;
        h.optimum = FindOptimum(g.baseX, g.baseY, g.targetX, g.targetY);
    }
    return *h.optimum;
}

// The distances of every pose of the history, as the run computes them; filled once.
const std::vector<double>& Distances(RunHistory& h) {
    if (h.distances.empty() && !h.poses.empty()) {
        py::gil_scoped_release unlocked;
        std::vector<double> d(h.fitness.size());
        for (std::size_t i = 0; i < d.size(); ++i)
            d[i] = TipDistance(h.setup.geometry, h.poses[3 * i], h.poses[3 * i + 1], h.poses[3 * i + 2]);
        h.distances = std::move(d);
    }
    return h.distances;
}

// A read-only numpy array over storage that owner keeps alive.
template <class T>
py::array View(const T* data, std::vector<py::ssize_t> shape, const py::object& owner) {
    py::array a(py::dtype::of<T>(), std::move(shape), {}, data, owner);
    py::detail::array_proxy(a.ptr())->flags &= ~py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
    return a;
}

py::tuple PoseTuple(const ArmPose& pose) { return py::make_tuple(pose.a1, pose.a2, pose.a3); }

// results.csv, fitness.csv and run.json in directory, as kelvora-cli --output-dir writes them: the
// history handed to the core's writer generation by generation, then the record of the run.
void WriteRun(const RunHistory& h, const std::string& directory, bool runJson) {
    if (directory.empty()) Refuse("directory", "the directory name is empty");
    if (runJson && h.custom)
        Refuse("run_json", "a run with an operator of your own has no run.json: no kelvora-cli command repeats it");
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (error || !std::filesystem::is_directory(directory))
        throw py::value_error("directory: '" + directory + "': " + (error ? error.message() : std::strerror(ENOTDIR)));
    std::string failure;
    {
        py::gil_scoped_release unlocked;
        ResultWriter writer(FlushMode::generation);
        RunReport report;
        report.seed = h.setup.seed;
        if (!writer.open(directory.c_str())) {
            report.refused = true;
        } else {
            if (runJson) std::filesystem::remove(std::filesystem::path(directory) / kRunRecordName, error);
            const std::size_t n = static_cast<std::size_t>(h.population);
            for (int g = 0; g < h.generations; ++g) {
                GenerationView view;
                view.generation = g + 1;
                view.populationSize = h.population;
                view.population = reinterpret_cast<const Chromosome*>(h.poses.data() + g * n * 3);
                view.fitness = h.fitness.data() + g * n;
                view.bestIndex = h.bestIndex[g];
                view.best = h.best[g];
                view.average = h.average[g];
                writer.onGeneration(view);
            }
            writer.onEnd(h.outcome);
            report.generationsRun = h.generations;
        }
        report.results = writer.resultsFailure();
        report.fitness = writer.fitnessFailure();
        for (const ResultFileFailure* f : {&report.results, &report.fitness}) {
            if (!*f) continue;
            if (!failure.empty()) failure += "; ";
            failure += session::FileFailureText(*f, (std::filesystem::path(directory) / f->name).string());
        }
        if (!report.refused && runJson) {
            RunRecord record = session::RecordOfRun("kelvora-python", h.setup, report, h.started, directory);
            record.flush = FlushMode::line;
            const std::string recordError = WriteRunRecord(record, directory.c_str());
            if (!recordError.empty()) failure += (failure.empty() ? "" : "; ") + recordError;
        }
    }
    if (!failure.empty()) {
        PyErr_SetString(PyExc_OSError, failure.c_str());
        throw py::error_already_set();
    }
}

// ---- Sweeps -----------------------------------------------------------------------------------------

// A value or an iterable of values as a list (a str is one value).
std::vector<py::object> Items(const py::handle& value) {
    std::vector<py::object> items;
    if (py::isinstance<py::str>(value) || !py::isinstance<py::iterable>(value)) {
        items.push_back(py::reinterpret_borrow<py::object>(value));
    } else {
        for (const py::handle item : value) items.push_back(py::reinterpret_borrow<py::object>(item));
    }
    return items;
}

template <class T>
std::vector<T> NumberList(const char* argument, const session::NumberField& field, const py::handle& value) {
    std::vector<T> out;
    for (const py::object& item : Items(value)) out.push_back(static_cast<T>(NumberArgument(argument, field, item)));
    return out;
}

// One choice list: each item read by its flag's parser and spelled as the sweep file spells it;
// None leaves the classic choice.
void ChoiceList(std::size_t which, const char* argument, ChoiceParser parse, const py::handle& value,
                session::SweepChoices& choices) {
    if (value.is_none()) return;
    std::vector<std::string> spelled;
    for (const py::object& item : Items(value)) {
        const std::string text = ArgumentText(item);
        Algorithm a;
        if (const std::string message = parse(text, a); !message.empty()) Refuse(argument, ArgumentWords(message));
        spelled.push_back(AlgorithmFields(a)[which]);
        if (std::find(spelled.begin(), spelled.end() - 1, spelled.back()) != spelled.end() - 1)
            Refuse(argument, "'" + text + "' is listed twice");
    }
    choices[which] = std::move(spelled);
}

// A finished sweep as columns, named and ordered as the sweep file's header.
py::dict SweepColumns(const SweepPlan& plan, const std::vector<SweepResult>& results) {
    const std::size_t n = results.size();
    const auto column = [n](auto zero, auto fill) {
        py::array_t<decltype(zero)> a(static_cast<py::ssize_t>(n));
        auto* out = a.mutable_data();
        for (std::size_t i = 0; i < n; ++i) out[i] = fill(i);
        return a;
    };
    const py::module_ numpy = py::module_::import("numpy");
    const auto texts = [&](std::size_t field) {
        py::list list(n);
        for (std::size_t i = 0; i < n; ++i)
            list[i] = py::str(AlgorithmFields(results[i].combination.algorithm)[field]);
        return numpy.attr("array")(list);
    };
    const std::string fingerprint = SweepFingerprint(plan);
    const long long runs = CombinationCount(plan);
    py::dict d;
    const auto& r = results;
    d["seed"] = column(std::uint32_t{}, [&](std::size_t i) { return r[i].combination.seed; });
    d["population"] = column(std::int32_t{}, [&](std::size_t i) { return r[i].combination.params.populationSize; });
    d["generations"] = column(std::int32_t{}, [&](std::size_t i) { return r[i].combination.params.generationCount; });
    d["crossover"] = column(double{}, [&](std::size_t i) { return r[i].combination.params.crossoverRate; });
    d["mutation"] = column(double{}, [&](std::size_t i) { return r[i].combination.params.mutationProbability; });
    const char* const names[] = {"algorithm", "encoding", "selection", "elitism", "crossover_operator", "mutation_operator"};
    for (std::size_t field = 0; field < std::size(names); ++field) d[names[field]] = texts(field);
    d["elitism"] = numpy.attr("asarray")(d["elitism"], "int32");
    d["target_x"] = column(std::int32_t{}, [&](std::size_t i) { return r[i].combination.target.x; });
    d["target_y"] = column(std::int32_t{}, [&](std::size_t i) { return r[i].combination.target.y; });
    d["elite_a1"] = column(std::uint8_t{}, [&](std::size_t i) { return static_cast<std::uint8_t>(r[i].elitePose.a1); });
    d["elite_a2"] = column(std::uint8_t{}, [&](std::size_t i) { return static_cast<std::uint8_t>(r[i].elitePose.a2); });
    d["elite_a3"] = column(std::uint8_t{}, [&](std::size_t i) { return static_cast<std::uint8_t>(r[i].elitePose.a3); });
    d["elite_distance"] = column(double{}, [&](std::size_t i) { return r[i].eliteDistance; });
    d["optimum_distance"] = column(double{}, [&](std::size_t i) { return r[i].optimumDistance; });
    d["gap"] = column(double{}, [&](std::size_t i) { return r[i].eliteDistance - r[i].optimumDistance; });
    d["reached_optimum"] = column(bool{}, [&](std::size_t i) { return r[i].reachedOptimum(); });
    d["first_generation_at_optimum"] = column(std::int32_t{}, [&](std::size_t i) { return r[i].firstGenerationAtOptimum; });
    d["first_generation_within_epsilon"] =
        column(std::int32_t{}, [&](std::size_t i) { return r[i].firstGenerationWithinEpsilon; });
    d["run"] = column(std::int64_t{}, [&](std::size_t i) { return static_cast<std::int64_t>(i) + 1; });
    d["runs"] = column(std::int64_t{}, [&](std::size_t) { return static_cast<std::int64_t>(runs); });
    d["sweep"] = numpy.attr("full")(n, py::str(fingerprint));
    d["epsilon"] = numpy.attr("full")(n, plan.epsilon);
    return d;
}

std::vector<SweepResult> RunPlan(const SweepPlan& plan, const py::object& threads);

py::dict Sweep(const py::object& seeds, const py::object& targets, const py::object& population,
               const py::object& generations, const py::object& crossover, const py::object& mutation,
               const py::object& method, const py::object& encoding, const py::object& selection,
               const py::object& elitism, const py::object& crossoverOperator, const py::object& mutationOperator,
               const py::object& epsilon, const py::object& targetSeed, const py::object& threads) {
    SweepPlan plan;
    plan.populations = NumberList<int>("population", session::kPopulationField, population);
    plan.generations = NumberList<int>("generations", session::kGenerationsField, generations);
    plan.crossovers = NumberList<double>("crossover", session::kCrossoverField, crossover);
    plan.mutations = NumberList<double>("mutation", session::kMutationField, mutation);
    plan.seeds = NumberList<std::uint32_t>("seeds", session::kSeedField, seeds);
    plan.epsilon = NumberArgument("epsilon", session::kEpsilonField, epsilon);
    // Targets: (X, Y) pairs, and at most one "random:K" drawn after them from target_seed.
    int randomTargets = 0;
    for (const py::object& item : targets.is_none() ? std::vector<py::object>{} : Items(targets)) {
        if (py::isinstance<py::str>(item) && item.cast<std::string>().rfind("random:", 0) == 0) {
            const auto k = session::ParseRandomTargets(item.cast<std::string>());
            if (!k || randomTargets)
                Refuse("targets", "'" + item.cast<std::string>() + "' is not random:K with K in 1.." +
                                      std::to_string(session::kMaxRandomTargets) + (randomTargets ? ", given once" : ""));
            randomTargets = *k;
            continue;
        }
        const PixelPoint t = TargetArgument(item);
        plan.targets.push_back({t.x, t.y});
    }
    session::SweepChoices choices = session::ClassicSweepChoices();
    const ChoiceParser parsers[] = {ParseMethod, ParseEncoding, ParseSelection, ParseElitism, ParseCrossover, ParseMutation};
    const py::handle lists[] = {method, encoding, selection, elitism, crossoverOperator, mutationOperator};
    const char* const names[] = {"method", "encoding", "selection", "elitism", "crossover_operator", "mutation_operator"};
    for (std::size_t which = 0; which < choices.size(); ++which)
        ChoiceList(which, names[which], parsers[which], lists[which], choices);
    if (!plan.populations.empty() && !choices[0].empty()) {
        const int smallest = *std::min_element(plan.populations.begin(), plan.populations.end());
        if (const std::string invalid = session::SweepAlgorithms(choices, smallest, plan.algorithms); !invalid.empty())
            throw py::value_error(ArgumentWords(invalid, "targets"));
    } else {
        plan.algorithms.clear();  // an empty list: the plan's check names it
    }
    if (randomTargets > 0) {
        const auto seed = static_cast<std::uint32_t>(NumberArgument("target_seed", session::kSeedField, targetSeed));
        if (const std::string clash = session::AddRandomTargets(plan.targets, randomTargets, seed); !clash.empty())
            throw py::value_error(ArgumentWords(clash, "targets"));
    }
    if (plan.targets.empty() && targets.is_none()) plan.targets.push_back({kOpeningTargetX, kOpeningTargetY});
    if (const session::SweepPlanFault fault = session::CheckSweepPlan(plan))
        throw py::value_error(ArgumentWords(session::SweepPlanFaultText(fault), "targets"));

    return SweepColumns(plan, RunPlan(plan, threads));
}

// The threads argument: None for every core.
int ThreadsArgument(const py::object& threads) {
    return threads.is_none() ? static_cast<int>(std::max(1u, std::thread::hardware_concurrency()))
                             : static_cast<int>(NumberArgument("threads", {"--threads", 1, 1024, true}, threads));
}

// Every run of a checked plan, in the plan's combination order, on threads threads; Ctrl-C raises
// KeyboardInterrupt once the runs under way have ended.
std::vector<SweepResult> RunPlan(const SweepPlan& plan, const py::object& threads) {
    SweepOptions options;
    options.threads = ThreadsArgument(threads);
    std::vector<SweepResult> results(static_cast<std::size_t>(CombinationCount(plan)));
    long long done = 0;
    {
        InterruptScope interrupt;
        options.stop = &gInterrupted;
        py::gil_scoped_release unlocked;
        done = RunSweep(plan, options, [&results](long long index, const SweepResult& r) {
            SweepResult& kept = results[static_cast<std::size_t>(index)];
            kept = r;
            kept.improvements = {};  // the columns do not hold them
        });
    }
    if (done < static_cast<long long>(results.size())) {
        PyErr_SetNone(PyExc_KeyboardInterrupt);
        throw py::error_already_set();
    }
    return results;
}

// ---- Comparisons ------------------------------------------------------------------------------------

// A column of a sweep table (a dict of arrays or a DataFrame) as a list.
py::list Column(const py::object& table, const char* name) {
    py::object column;
    try {
        column = table[py::str(name)];
    } catch (const py::error_already_set&) {
        throw py::value_error(std::string("table: no column '") + name + "'");
    }
    return py::list(py::module_::import("numpy").attr("asarray")(column).attr("tolist")());
}

// What kelvora-cli compare --json says of a configuration.
py::dict ConfigurationDict(const experiment::ConfigurationRuns& g) {
    py::dict d;
    if (!g.method.empty()) {
        // An optimiser of the caller's own: its name and budget, none of the GA's parameters.
        for (const char* key : {"population", "generations", "crossover", "mutation", "encoding", "selection", "elitism",
                                "crossoverOperator", "mutationOperator"})
            d[key] = py::none();
        d["algorithm"] = g.method;
        d["budget"] = g.first.params.generationCount;
        d["label"] = g.label;
        return d;
    }
    const std::vector<std::string> f = AlgorithmFields(g.first.algorithm);
    const SolverParams& p = g.first.params;
    d["population"] = p.populationSize;
    d["generations"] = p.generationCount;
    d["crossover"] = p.crossoverRate;
    d["mutation"] = p.mutationProbability;
    d["algorithm"] = f[0];
    d["encoding"] = f[1];
    d["selection"] = f[2];
    d["elitism"] = f[3];
    d["crossoverOperator"] = f[4];
    d["mutationOperator"] = f[5];
    d["label"] = g.label;
    return d;
}

// The rows of a runs table (a dict of columns or a DataFrame), each read back as its configuration
// and outcome, grouped by configuration; a bad value is refused naming its row and column.
experiment::RunsByConfiguration TableRuns(const py::object& table);

experiment::RunsByConfiguration TableRuns(const py::object& table, const py::object& results) {
    experiment::RunsByConfiguration runs;
    if (!table.is_none()) runs = TableRuns(table);
    if (results.is_none()) return runs;
    // Problem.result() rows: each an optimiser of the caller's own, grouped by its name.
    std::size_t i = 0;
    for (const py::handle row : results) {
        const std::string at = "results[" + std::to_string(i++) + "]: ";
        experiment::ForeignRun r;
        try {
            const py::dict d = py::reinterpret_borrow<py::object>(row).cast<py::dict>();
            r.method = d["method"].cast<std::string>();
            r.target = {d["target_x"].cast<int>(), d["target_y"].cast<int>()};
            r.seed = d["seed"].cast<std::uint32_t>();
            r.budget = d["budget"].cast<long long>();
            r.eliteDistance = d["elite_distance"].cast<double>();
            r.optimumDistance = d["optimum_distance"].cast<double>();
            r.firstWithin = d["first_evaluation_within_epsilon"].cast<long long>();
            r.firstAtOptimum = d["first_evaluation_at_optimum"].cast<long long>();
        } catch (const py::error_already_set& e) {
            throw py::value_error(at + "not a row of Problem.result() (" + e.what() + ")");
        } catch (const py::cast_error& e) {
            throw py::value_error(at + "not a row of Problem.result() (" + e.what() + ")");
        }
        if (const experiment::ForeignRunFault fault = runs.AddForeign(r))
            throw py::value_error(at + experiment::ForeignRunFaultText(fault, r.method));
    }
    return runs;
}

experiment::RunsByConfiguration TableRuns(const py::object& table) {
    const char* const fields[] = {"algorithm", "encoding", "selection", "elitism", "crossover_operator",
                                  "mutation_operator"};
    const ChoiceParser parsers[] = {ParseMethod, ParseEncoding, ParseSelection, ParseElitism, ParseCrossover, ParseMutation};
    const py::list seed = Column(table, "seed"), population = Column(table, "population"),
                   generations = Column(table, "generations"), crossover = Column(table, "crossover"),
                   mutation = Column(table, "mutation"), x = Column(table, "target_x"), y = Column(table, "target_y"),
                   distance = Column(table, "elite_distance"), first = Column(table, "first_generation_within_epsilon");
    // Outcomes beyond compare's: a table without them counts no run at the optimum.
    std::optional<py::list> atOptimum, optimum;
    if (table.attr("__contains__")("first_generation_at_optimum").cast<bool>())
        atOptimum = Column(table, "first_generation_at_optimum");
    if (table.attr("__contains__")("optimum_distance").cast<bool>()) optimum = Column(table, "optimum_distance");
    std::vector<py::list> choice;
    for (const char* f : fields) choice.push_back(Column(table, f));
    experiment::RunsByConfiguration runs;
    const std::size_t n = py::len(seed);
    for (std::size_t i = 0; i < n; ++i) {
        const std::string row = "table: row " + std::to_string(i) + ": ";
        SweepCombination c;
        try {
            c.seed = static_cast<std::uint32_t>(NumberArgument("seed", session::kSeedField, seed[i]));
            c.params.populationSize = static_cast<int>(NumberArgument("population", session::kPopulationField, population[i]));
            c.params.generationCount =
                static_cast<int>(NumberArgument("generations", session::kGenerationsField, generations[i]));
            c.params.crossoverRate = NumberArgument("crossover", session::kCrossoverField, crossover[i]);
            c.params.mutationProbability = NumberArgument("mutation", session::kMutationField, mutation[i]);
            c.target = {static_cast<int>(NumberArgument("target_x", session::kTargetOffsetField, x[i])),
                        static_cast<int>(NumberArgument("target_y", session::kTargetOffsetField, y[i]))};
            for (std::size_t f = 0; f < std::size(fields); ++f)
                if (const std::string message = parsers[f](ArgumentText(choice[f][i]), c.algorithm); !message.empty())
                    Refuse(fields[f], message);
        } catch (const py::value_error& e) {
            throw py::value_error(row + e.what());
        }
        SweepResult result;
        result.combination = c;
        result.eliteDistance = distance[i].cast<double>();
        result.firstGenerationWithinEpsilon = first[i].cast<int>();
        if (atOptimum) result.firstGenerationAtOptimum = (*atOptimum)[i].cast<int>();
        if (optimum) result.optimumDistance = (*optimum)[i].cast<double>();
        runs.Add(result);
    }
    runs.Label(session::DifferingLabels(runs.configurations()));
    return runs;
}

py::dict Compare(const py::object& table, const py::object& baseline, const py::object& alphaValue,
               const py::object& results) {
    const std::string alphaText = ArgumentText(alphaValue);
    const auto alpha = session::ParseNumberField({"--alpha", 0, 1, false, true}, alphaText);
    if (!alpha || *alpha >= 1.0) Refuse("alpha", "'" + alphaText + "' is not a level in (0, 1)");
    experiment::RunsByConfiguration runs = TableRuns(table, results);
    const std::size_t n = table.is_none() ? 0 : py::len(Column(table, "seed"));
    if (runs.groups.size() < 2)
        throw py::value_error(runs.groups.empty()
                                  ? std::string("table: no runs to compare")
                                  : "table: the table holds one configuration (" +
                                        runs.groups.front().label +
                                        "): nothing to compare it with");
    const std::string label = baseline.is_none() ? std::string() : ArgumentText(baseline);
    const std::optional<report::PairChoice> chosen = report::ChoosePairs(runs, label);
    if (!chosen) {
        std::string labels;
        for (const auto& g : runs.groups) labels += (labels.empty() ? "" : "; ") + g.label;
        Refuse("baseline", "'" + label + "' is not a configuration of the table (" + labels + ", or all)");
    }
    report::Comparison comparison;
    {
        py::gil_scoped_release unlocked;
        comparison = report::Compare(runs, *chosen, *alpha);
    }
    py::dict d;
    // The epsilon the table's runs were measured at, where the table says it (a sweep's does), else
    // the one assumed, as compare says of a file that does not record it.
    const bool recorded = n > 0 && table.attr("__contains__")("epsilon").cast<bool>();
    d["epsilon"] = recorded ? Column(table, "epsilon")[0].cast<double>() : kDefaultEpsilon;
    d["epsilonRecorded"] = recorded;
    d["alpha"] = *alpha;
    py::list pairs;
    for (const report::PairOutcome& outcome : comparison.pairs) {
        const PairTest& p = outcome.test;
        const auto& a = runs.groups[p.a];
        const auto& b = runs.groups[p.b];
        py::dict pair;
        pair["a"] = ConfigurationDict(a);
        pair["b"] = ConfigurationDict(b);
        pair["successes"] = py::make_tuple(a.successes(), a.firstWithin.size(), b.successes(), b.firstWithin.size());
        pair["fisherP"] = p.fisherP;
        pair["fisherPHolm"] = p.fisherPHolm;
        pair["mwuU"] = p.u;
        pair["mwuP"] = p.mwuP;
        pair["mwuPHolm"] = p.mwuPHolm;
        pair["a12"] = p.a12;
        pair["verdict"] = PairVerdict(outcome.counts, *alpha);
        pairs.append(pair);
    }
    d["pairs"] = pairs;
    if (comparison.friedman) {
        py::dict f, ranks;
        f["chi2"] = comparison.friedman->chi2;
        f["p"] = comparison.friedman->p;
        for (std::size_t k = 0; k < runs.groups.size(); ++k)
            ranks[py::str(runs.groups[k].label)] = comparison.friedman->meanRanks[k];
        f["ranks"] = ranks;
        f["blocks"] = runs.targets.size();
        f["cd"] = comparison.criticalDifference;
        d["friedman"] = f;
    } else {
        d["friedman"] = py::none();
    }
    return d;
}

// ---- Ask and tell ----------------------------------------------------------------------------------

struct BudgetExhausted : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A target as a problem for an optimiser of the caller's own: poses are evaluated as the run
// evaluates them, counted against a budget, and the best so far is measured against the optimum.
struct Problem {
    Geometry geometry;
    PixelPoint target;
    long long budget = 0;
    long long used = 0;
    double epsilon = 0.5;
    Optimum optimum;
    ArmPose best{};
    double bestDistance = std::numeric_limits<double>::infinity();
    long long firstAtOptimum = 0;      // evaluations when the optimum's distance was first reached, 0: not yet
    long long firstWithin = 0;         // evaluations when epsilon was first reached, 0: not yet
    std::vector<std::pair<long long, double>> improvements;  // (evaluations so far, distance)

    py::array_t<double> evaluate(const py::array& poses) {
        const char kind = poses.dtype().kind();
        const bool one = poses.ndim() == 1;
        if ((kind != 'u' && kind != 'i') || !(one ? poses.shape(0) == 3 : poses.ndim() == 2 && poses.shape(1) == 3))
            Refuse("poses", "expected integers of shape (K, 3) or (3,), got " +
                                py::repr(poses.attr("shape")).cast<std::string>() + " " +
                                py::str(poses.dtype()).cast<std::string>());
        const py::array_t<long long, py::array::c_style | py::array::forcecast> angles(poses);
        const long long k = one ? 1 : angles.shape(0);
        const long long* a = angles.data();
        for (long long i = 0; i < 3 * k; ++i)
            if (a[i] < 0 || a[i] > 255) Refuse("poses", "the angle " + std::to_string(a[i]) + " is not in 0..255");
        if (k > budget - used)
            throw BudgetExhausted("the budget of " + std::to_string(budget) + " evaluations is spent (" +
                                  std::to_string(used) + " used, " + std::to_string(k) + " asked for)");
        py::array_t<double> out(k);
        double* d = out.mutable_data();
        for (long long i = 0; i < k; ++i) {
            const ArmPose pose{static_cast<int>(a[3 * i]), static_cast<int>(a[3 * i + 1]), static_cast<int>(a[3 * i + 2])};
            d[i] = TipDistance(geometry, pose);
            ++used;
            if (d[i] < bestDistance) {
                bestDistance = d[i];
                best = pose;
                improvements.emplace_back(used, d[i]);
                if (!firstAtOptimum && d[i] <= optimum.distance) firstAtOptimum = used;
                if (!firstWithin && d[i] <= epsilon) firstWithin = used;
            }
        }
        if (one) return out.attr("reshape")(py::tuple()).cast<py::array_t<double>>();
        return out;
    }

    py::dict result(const std::string& name, const py::object& seedValue) const {
        py::dict r;
        r["method"] = name;
        r["seed"] = static_cast<std::uint32_t>(NumberArgument("seed", session::kSeedField, seedValue));
        r["target_x"] = target.x;
        r["target_y"] = target.y;
        r["budget"] = budget;
        r["evaluations"] = used;
        r["elite_a1"] = best.a1;
        r["elite_a2"] = best.a2;
        r["elite_a3"] = best.a3;
        r["elite_distance"] = bestDistance;
        r["optimum_distance"] = optimum.distance;
        r["gap"] = bestDistance - optimum.distance;
        r["reached_optimum"] = firstAtOptimum > 0;
        r["first_evaluation_at_optimum"] = firstAtOptimum;
        r["first_evaluation_within_epsilon"] = firstWithin;
        r["epsilon"] = epsilon;
        r["improvements"] = improvements;
        return r;
    }
};

// ---- Experiments ------------------------------------------------------------------------------------

// An experiment file as read and planned by the application layer.
struct ExperimentFile {
    experiment::Experiment experiment;
    experiment::ExperimentPlan plan;
};

ExperimentFile LoadExperiment(const std::string& path) {
    ExperimentFile f;
    if (const experiment::ExperimentFault fault = experiment::OpenExperimentFile(path, f.experiment, f.plan))
        throw py::value_error("path: " + path + ": " + experiment::ExperimentFaultText(fault));
    return f;
}

// Every configuration's runs over every target and seed, the rows kelvora-cli experiment run
// writes, as one table of the sweep's columns.
py::dict RunExperiment(const ExperimentFile& f, const py::object& threads) {
    const py::module_ numpy = py::module_::import("numpy");
    std::vector<py::dict> parts;
    for (std::size_t k = 0; k < f.plan.configurations.size(); ++k) {
        const SweepPlan sweep = f.plan.SweepOf(k);
        parts.push_back(SweepColumns(sweep, RunPlan(sweep, threads)));
    }
    py::dict table;
    for (const auto& [name, column] : parts.front()) {
        py::list columns;
        for (const py::dict& part : parts) columns.append(part[name]);
        table[name] = numpy.attr("concatenate")(columns);
    }
    return table;
}

// Writes the experiment's file whole (through a temporary file and a rename).
void SaveExperiment(const ExperimentFile& f, const std::string& path) {
    if (path.empty()) Refuse("path", "the file name is empty");
    const std::string text = experiment::ExperimentText(f.experiment);
    const std::string error = ReplaceWhole(path, [&text](int fd) {
        for (std::size_t at = 0; at < text.size();) {
            const ssize_t n = ::write(fd, text.data() + at, text.size() - at);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            at += static_cast<std::size_t>(n);
        }
        return true;
    });
    if (!error.empty()) {
        PyErr_SetString(PyExc_OSError, (path + ": " + error).c_str());
        throw py::error_already_set();
    }
}

// ---- The ground truth -------------------------------------------------------------------------------

Geometry TargetGeometry(const py::handle& target) {
    const PixelPoint t = TargetArgument(target);
    return GeometryFor(t.x, t.y);
}

py::dict OptimumDict(const Optimum& o) {
    py::dict d;
    d["pose"] = PoseTuple(o.pose);
    d["distance"] = o.distance;
    d["fitness"] = o.fitness;
    return d;
}

}  // namespace

PYBIND11_MODULE(_kelvora, m) {
    m.doc() = "Kelvora's core: runs, their result files and the exact ground truth";
    gMainThread = py::module_::import("threading").attr("main_thread")().attr("ident").cast<unsigned long>();
    m.attr("version") = kVersion;
    m.attr("DEFAULT_TARGET") = py::make_tuple(kOpeningTargetX, kOpeningTargetY);

    py::class_<RunHistory, std::shared_ptr<RunHistory>>(m, "Run", "One finished run and every generation of it")
        .def_property_readonly("seed", [](const RunHistory& h) { return h.setup.seed; })
        .def_property_readonly("population", [](const RunHistory& h) { return h.population; })
        .def_property_readonly("generations", [](const RunHistory& h) { return h.generations; })
        .def_property_readonly("crossover", [](const RunHistory& h) { return h.setup.params.crossoverRate; })
        .def_property_readonly("mutation", [](const RunHistory& h) { return h.setup.params.mutationProbability; })
        .def_property_readonly("target", [](const RunHistory& h) { return py::make_tuple(h.target.x, h.target.y); })
        .def_property_readonly("method", [](const RunHistory& h) { return MethodName(h.setup.algorithm); })
        .def_property_readonly("algorithm",
                               [](const RunHistory& h) {
                                   const Algorithm& a = h.setup.algorithm;
                                   py::dict d;
                                   d["method"] = MethodName(a);
                                   d["encoding"] = EncodingName(a);
                                   d["selection"] = h.own[0] ? std::string("custom") : SelectionName(a);
                                   d["elitism"] = a.elitism;
                                   d["crossover_operator"] = h.own[1] ? std::string("custom") : CrossoverName(a);
                                   d["mutation_operator"] = h.own[2] ? std::string("custom") : MutationName(a);
                                   return d;
                               })
        .def_property_readonly("poses",
                               [](py::object self) {
                                   const RunHistory& h = self.cast<const RunHistory&>();
                                   return View(h.poses.data(), {h.generations, h.population, 3}, self);
                               })
        .def_property_readonly("fitness",
                               [](py::object self) {
                                   const RunHistory& h = self.cast<const RunHistory&>();
                                   return View(h.fitness.data(), {h.generations, h.population}, self);
                               })
        .def_property_readonly("distances",
                               [](py::object self) {
                                   RunHistory& h = self.cast<RunHistory&>();
                                   return View(Distances(h).data(), {h.generations, h.population}, self);
                               })
        .def_property_readonly("best_fitness",
                               [](py::object self) {
                                   const RunHistory& h = self.cast<const RunHistory&>();
                                   return View(h.best.data(), {h.generations}, self);
                               })
        .def_property_readonly("average_fitness",
                               [](py::object self) {
                                   const RunHistory& h = self.cast<const RunHistory&>();
                                   return View(h.average.data(), {h.generations}, self);
                               })
        .def_property_readonly("best_index",
                               [](py::object self) {
                                   const RunHistory& h = self.cast<const RunHistory&>();
                                   return View(h.bestIndex.data(), {h.generations}, self);
                               })
        .def_property_readonly("parents",
                               [](py::object self) -> py::object {
                                   const RunHistory& h = self.cast<const RunHistory&>();
                                   if (!h.traced) return py::none();
                                   return View(h.parents.data(), {h.generations, h.population, 2}, self);
                               })
        .def_property_readonly("crossover_masks",
                               [](py::object self) -> py::object {
                                   const RunHistory& h = self.cast<const RunHistory&>();
                                   if (!h.traced) return py::none();
                                   return View(h.masks.data(), {h.generations, h.population}, self);
                               })
        .def_property_readonly("mutated",
                               [](py::object self) -> py::object {
                                   const RunHistory& h = self.cast<const RunHistory&>();
                                   if (!h.traced) return py::none();
                                   return View(h.mutated.data(), {h.generations, h.population}, self);
                               })
        .def_property_readonly("initial_poses",
                               [](py::object self) -> py::object {
                                   const RunHistory& h = self.cast<const RunHistory&>();
                                   if (!h.traced) return py::none();
                                   return View(h.initial.data(), {h.population, 3}, self);
                               })
        .def_property_readonly("elite_pose", [](const RunHistory& h) { return PoseTuple(h.outcome.elitePose); })
        .def_property_readonly("elite_fitness", [](const RunHistory& h) { return h.outcome.eliteFitness; })
        .def_property_readonly("elite_distance",
                               [](const RunHistory& h) { return TipDistance(h.setup.geometry, h.outcome.elitePose); })
        .def_property_readonly("optimum_pose", [](RunHistory& h) { return PoseTuple(OptimumOf(h).pose); })
        .def_property_readonly("optimum_distance", [](RunHistory& h) { return OptimumOf(h).distance; })
        .def_property_readonly("reached_optimum",
                               [](RunHistory& h) { return h.outcome.eliteFitness == OptimumOf(h).fitness; })
        .def("write",
             [](const RunHistory& h, const py::object& directory, const py::object& runJson) {
                 WriteRun(h, py::module_::import("os").attr("fspath")(directory).cast<std::string>(),
                          runJson.is_none() ? !h.custom : runJson.cast<bool>());
             },
             py::arg("directory"), py::arg("run_json") = py::none(),
             "Writes results.csv, fitness.csv and run.json into directory (made when missing), the bytes\n"
             "kelvora-cli writes for the same arguments")
        .def("__repr__", [](const RunHistory& h) {
            return "<kelvora.Run seed=" + std::to_string(h.setup.seed) + " population=" + std::to_string(h.population) +
                   " generations=" + std::to_string(h.generations) + " method=" + MethodName(h.setup.algorithm) + ">";
        });

    m.def(
        "run",
        [](const py::object& seed, const py::object& population, const py::object& generations,
           const py::object& crossover, const py::object& mutation, const py::object& target, const py::object& method,
           const py::object& encoding, const py::object& selection, const py::object& elitism,
           const py::object& crossoverOperator, const py::object& mutationOperator, const py::object& trace) {
            return Run(ReadRunArguments(seed, population, generations, crossover, mutation, target, method, encoding,
                                        selection, elitism, crossoverOperator, mutationOperator, trace));
        },
        py::arg("seed"), py::arg("population"), py::arg("generations"), py::arg("crossover"), py::arg("mutation"),
        py::arg("target"), py::arg("method"), py::arg("encoding"), py::arg("selection"), py::arg("elitism"),
        py::arg("crossover_operator"), py::arg("mutation_operator"), py::arg("trace"));

    m.def("sweep", &Sweep, py::arg("seeds"), py::arg("targets"), py::arg("population"), py::arg("generations"),
          py::arg("crossover"), py::arg("mutation"), py::arg("method"), py::arg("encoding"), py::arg("selection"),
          py::arg("elitism"), py::arg("crossover_operator"), py::arg("mutation_operator"), py::arg("epsilon"),
          py::arg("target_seed"), py::arg("threads"));

    m.def("compare", &Compare, py::arg("table"), py::arg("baseline") = py::none(), py::arg("alpha") = 0.05,
          py::arg("results") = py::none(),
          "What kelvora-cli compare --json says of a sweep table (None: none) and Problem.result() rows of\n"
          "optimisers of your own (results): each pair's tests and verdict, and Friedman's");

    py::class_<ExperimentFile>(m, "Experiment",
                               "An experiment file: its configurations, seeds, targets and epsilon, run and saved")
        .def(py::init([](const py::object& path) {
                 return LoadExperiment(py::module_::import("os").attr("fspath")(path).cast<std::string>());
             }),
             py::arg("path"), "Reads and checks the experiment file at path (ValueError naming its fault)")
        .def_property_readonly("title", [](const ExperimentFile& f) { return f.experiment.title; })
        .def_property_readonly("notes", [](const ExperimentFile& f) { return f.experiment.notes; })
        .def_property_readonly("labels",
                               [](const ExperimentFile& f) {
                                   std::vector<std::string> labels;
                                   for (const auto& c : f.plan.configurations) labels.push_back(c.label);
                                   return labels;
                               })
        .def_property_readonly("configurations",
                               [](const ExperimentFile& f) {
                                   py::list list;
                                   for (const auto& c : f.plan.configurations) {
                                       experiment::ConfigurationRuns g;
                                       g.first.params = c.params;
                                       g.first.algorithm = c.algorithm;
                                       g.label = c.label;
                                       list.append(ConfigurationDict(g));
                                   }
                                   return list;
                               })
        .def_property_readonly("seeds", [](const ExperimentFile& f) { return f.plan.seeds.seeds(); })
        .def_property_readonly("targets",
                               [](const ExperimentFile& f) {
                                   py::list list;
                                   for (const SweepTarget& t : f.plan.targets) list.append(py::make_tuple(t.x, t.y));
                                   return list;
                               })
        .def_property_readonly("epsilon", [](const ExperimentFile& f) { return f.plan.epsilon; })
        .def_property_readonly("alpha", [](const ExperimentFile& f) { return f.plan.alpha; })
        .def_property_readonly("baseline",
                               [](const ExperimentFile& f) -> py::object {
                                   if (f.plan.baseline.empty()) return py::none();
                                   return py::str(f.plan.baseline);
                               })
        .def_property_readonly("runs", [](const ExperimentFile& f) {
            return static_cast<long long>(f.plan.configurations.size()) * static_cast<long long>(f.plan.targets.size()) *
                   f.plan.seeds.count();
        })
        .def_property_readonly("text", [](const ExperimentFile& f) { return experiment::ExperimentText(f.experiment); })
        .def("_run", &RunExperiment, py::arg("threads") = py::none())
        .def("save",
             [](const ExperimentFile& f, const py::object& path) {
                 SaveExperiment(f, py::module_::import("os").attr("fspath")(path).cast<std::string>());
             },
             py::arg("path"), "Writes the experiment file, the bytes kelvora's window and kelvora-cli write");

    m.def(
        "outcomes",
        [](const py::object& table, const py::object& results) {
            const experiment::RunsByConfiguration runs = TableRuns(table, results);
            py::list rows;
            for (const experiment::ConfigurationRuns& g : runs.groups) {
                const SweepSummaryRow o = experiment::Outcome(g);
                py::dict r = ConfigurationDict(g);
                const auto proportion = [](const Proportion& p) {
                    py::dict d;
                    d["successes"] = p.successes;
                    d["trials"] = p.trials;
                    d["rate"] = p.rate;
                    d["low"] = p.low;
                    d["high"] = p.high;
                    return d;
                };
                const auto quartiles = [](const Quartiles& q) {
                    py::dict d;
                    d["count"] = q.count;
                    d["q1"] = q.q1;
                    d["median"] = q.median;
                    d["q3"] = q.q3;
                    return d;
                };
                r["runs"] = o.runs;
                r["withinEpsilon"] = proportion(o.withinEpsilon);
                r["reached"] = proportion(o.reached);
                r["eliteDistance"] = quartiles(o.eliteDistance);
                r["firstWithinEpsilon"] = quartiles(o.firstWithinEpsilon);
                r["ertEvaluations"] = o.ertEvaluations;
                rows.append(r);
            }
            return rows;
        },
        py::arg("table"), py::arg("results") = py::none(),
        "Each configuration's outcome in a runs table: runs within epsilon and at the optimum with Wilson\n"
        "intervals, quartiles of the final distance and of the first generation within epsilon, the ERT");

    static py::exception<BudgetExhausted> budgetExhausted(m, "BudgetExhausted", PyExc_RuntimeError);
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const BudgetExhausted& e) {
            budgetExhausted(e.what());
        }
    });
    py::class_<Problem>(m, "Problem",
                        "A target for an optimiser of your own: evaluate(poses) against a budget, the best so far\n"
                        "and its exact gap to the optimum")
        .def(py::init([](const py::object& target, const py::object& budget, const py::object& epsilon) {
                 Problem p;
                 p.target = TargetArgument(target);
                 p.geometry = GeometryFor(p.target.x, p.target.y);
                 p.budget = static_cast<long long>(NumberArgument(
                     "budget", {"--budget", 1, static_cast<double>(kMaxPopulation) * kMaxGenerations, true}, budget));
                 p.epsilon = NumberArgument("epsilon", session::kEpsilonField, epsilon);
                 const Geometry& g = p.geometry;
                 p.optimum = FindOptimum(g.baseX, g.baseY, g.targetX, g.targetY);
                 return p;
             }),
             py::arg("target"), py::arg("budget"), py::arg("epsilon") = 0.5)
        .def("evaluate", &Problem::evaluate, py::arg("poses"),
             "The tip's distance (px) to the target for each pose (uint8 [K, 3] or [3]), counted against the budget")
        .def("result", &Problem::result, py::arg("name") = "mine", py::arg("seed") = 0,
             "The run's row, for compare, outcomes and ioh_export beside Kelvora's own runs: the method's\n"
             "name and seed, the best pose, its distance and gap, when the optimum and epsilon were reached")
        .def_property_readonly("target", [](const Problem& p) { return py::make_tuple(p.target.x, p.target.y); })
        .def_readonly("budget", &Problem::budget)
        .def_readonly("evaluations", &Problem::used)
        .def_property_readonly("remaining", [](const Problem& p) { return p.budget - p.used; })
        .def_property_readonly("best_pose", [](const Problem& p) { return PoseTuple(p.best); })
        .def_readonly("best_distance", &Problem::bestDistance)
        .def_property_readonly("gap", [](const Problem& p) { return p.bestDistance - p.optimum.distance; })
        .def_property_readonly("optimum_pose", [](const Problem& p) { return PoseTuple(p.optimum.pose); })
        .def_property_readonly("optimum_distance", [](const Problem& p) { return p.optimum.distance; })
        .def_readonly("improvements", &Problem::improvements);

    m.def(
        "ioh_export",
        [](const py::object& directoryValue, const py::object& given) {
            const py::list results(given);
            const std::string directory = py::module_::import("os").attr("fspath")(directoryValue).cast<std::string>();
            // Checked as compare checks them, before anything is written.
            const experiment::RunsByConfiguration runs = TableRuns(py::none(), results);
            // Each row's improvements, checked before anything is written: evaluations rising within
            // the budget, distances falling.
            std::vector<std::vector<std::pair<long long, double>>> improvements;
            for (std::size_t i = 0; i < results.size(); ++i) {
                const std::string at = "results[" + std::to_string(i) + "]: ";
                const py::dict d = results[i].cast<py::dict>();
                try {
                    improvements.push_back(d["improvements"].cast<std::vector<std::pair<long long, double>>>());
                } catch (const std::exception&) {
                    throw py::value_error(at + "improvements: not a list of (evaluations, distance)");
                }
                const long long budget = d["budget"].cast<long long>();
                const auto& list = improvements.back();
                for (std::size_t k = 0; k < list.size(); ++k) {
                    const bool rising = k == 0 || (list[k].first > list[k - 1].first && list[k].second < list[k - 1].second);
                    if (!rising || list[k].first < 1 || list[k].first > budget || !(list[k].second >= 0.0))
                        throw py::value_error(at + "improvements: (" + std::to_string(list[k].first) + ", " +
                                              py::repr(py::float_(list[k].second)).cast<std::string>() +
                                              ") is not a closer distance at more evaluations, within 1.." +
                                              std::to_string(budget));
                }
            }
            IohExport out(directory);
            if (std::string failure = out.lock(); !failure.empty()) throw py::value_error("directory: " + failure);
            for (std::size_t i = 0; i < results.size(); ++i) {
                const py::dict d = results[i].cast<py::dict>();
                const SweepTarget t{d["target_x"].cast<int>(), d["target_y"].cast<int>()};
                const auto known = std::find(runs.targets.begin(), runs.targets.end(), t);
                const std::string method = d["method"].cast<std::string>();
                const long long budget = d["budget"].cast<long long>();
                const std::string failure = out.addEvaluations(
                    method, method + ", budget " + std::to_string(budget) + " evaluations",
                    static_cast<int>(known - runs.targets.begin()) + 1, budget, improvements[i],
                    d["optimum_distance"].cast<double>());
                if (!failure.empty()) throw py::value_error("directory: " + failure);
            }
            if (const std::string failure = out.finish(); !failure.empty()) throw py::value_error("directory: " + failure);
        },
        py::arg("directory"), py::arg("results"),
        "Writes Problem.result() rows in the IOHprofiler format, as kelvora-cli sweep --ioh writes a sweep's:\n"
        "one folder per method, each target an instance (numbered in first appearance), each row a run");

    m.def(
        "optimum",
        [](const py::object& target) {
            const Geometry g = TargetGeometry(target);
            return OptimumDict(FindOptimum(g.baseX, g.baseY, g.targetX, g.targetY));
        },
        py::arg("target"), "The best whole-degree pose for a target (X, Y): pose, distance (px), fitness");

    m.def(
        "reach_map",
        []() {
            py::array_t<float> out({kReachMapSide, kReachMapSide});
            float* to = out.mutable_data();
            {
                py::gil_scoped_release unlocked;
                const std::unique_ptr<ReachMap> map = ComputeReachMap(kBaseX, kBaseY);
                for (int i = 0; i < kReachMapSide * kReachMapSide; ++i) to[i] = static_cast<float>(map->distance[i]);
            }
            return out;
        },
        "The optimum distance (px, float32) for every target offset, rows from y = +199 down, columns from\n"
        "x = -199");

    m.def(
        "distance_table",
        [](const py::object& target) {
            const Geometry g = TargetGeometry(target);
            py::array_t<float> out({256, 256, 256});
            float* to = out.mutable_data();
            {
                py::gil_scoped_release unlocked;
                FillDistanceTable(g, to);
            }
            return out;
        },
        py::arg("target"), "Every pose's distance (px, float32) to the target, indexed [a1, a2, a3]");

    m.def(
        "landscape",
        [](const py::object& target, const py::object& neighbourhood, const py::object& epsilon) {
            const PixelPoint t = TargetArgument(target);
            std::vector<std::string> names;
            if (py::isinstance<py::str>(neighbourhood)) {
                const std::string list = neighbourhood.cast<std::string>();
                for (std::size_t from = 0;;) {
                    const std::size_t comma = list.find(',', from);
                    names.push_back(list.substr(from, comma - from));
                    if (comma == std::string::npos) break;
                    from = comma + 1;
                }
            } else {
                names = neighbourhood.cast<std::vector<std::string>>();
            }
            std::vector<Neighbourhood> parsed;
            for (const std::string& name : names) {
                const auto n = ParseNeighbourhood(name);
                if (!n) Refuse("neighbourhood", "'" + name + "' is not binary, gray or creep:S with S in 1..128");
                if (std::find(parsed.begin(), parsed.end(), *n) != parsed.end())
                    Refuse("neighbourhood", "'" + name + "' is listed twice");
                parsed.push_back(*n);
            }
            // The landscape's epsilon takes 0 too: "within" then means exactly on the target.
            static constexpr session::NumberField kLandscapeEpsilon{"--epsilon", 0, 1000, false, false,
                                                                    "a number of pixels"};
            const double e = NumberArgument("epsilon", kLandscapeEpsilon, epsilon);
            DistanceTable table;
            std::vector<LandscapeSummary> rows;
            {
                py::gil_scoped_release unlocked;
                FillDistanceTable(GeometryFor(t.x, t.y), table);
                for (const Neighbourhood& n : parsed) rows.push_back(AnalyseLandscape(table, n, e));
            }
            const auto share = [](long long count) { return static_cast<double>(count) / kPoseCount; };
            py::dict d;
            d["target"] = py::make_tuple(t.x, t.y);
            d["optimum"] = OptimumDict(table.optimum);
            d["epsilon"] = e;
            py::list list;
            for (const LandscapeSummary& s : rows) {
                py::dict r;
                r["name"] = NeighbourhoodName(s.neighbourhood);
                r["localOptima"] = s.localOptima;
                r["localOptimaWithin"] = s.localOptimaWithin;
                r["basinOptimum"] = s.basinOptimum;
                r["basinOptimumShare"] = share(s.basinOptimum);
                r["startsWithin"] = s.startsWithin;
                r["startsWithinShare"] = share(s.startsWithin);
                r["fdc"] = s.fdc;
                list.append(r);
            }
            d["neighbourhoods"] = list;
            return d;
        },
        py::arg("target"), py::arg("neighbourhood") = "gray", py::arg("epsilon") = 0.5,
        "The exact landscape of a target: local optima, basins and FDC per neighbourhood");
}
