"""Kelvora from Python: runs of the three-link arm's search as numpy arrays, their result files, and
the exact ground truth (the optimum, the reach map, every pose's distance, the landscape).

    >>> import kelvora
    >>> run = kelvora.run(seed=7, population=20, generations=100, target=(68, 180))
    >>> run.poses.shape                 # every generation's poses, angles in degrees
    (100, 20, 3)
    >>> run.write("out")                # results.csv, fitness.csv, run.json as kelvora-cli writes them

Arguments are named and bounded as kelvora-cli's flags are; a bad one raises ValueError naming it.
"""

from . import _kelvora
from ._kelvora import (BudgetExhausted, Problem, Run, compare, outcomes, ioh_export, optimum, reach_map, distance_table,
                       landscape)

__all__ = ["Run", "run", "sweep", "compare", "outcomes", "Experiment", "Problem", "BudgetExhausted", "optimum",
           "reach_map", "distance_table", "landscape", "ioh_export", "__version__"]
__version__ = _kelvora.version


def run(seed=None, population=20, generations=100, crossover=0.5, mutation=0.1, target=_kelvora.DEFAULT_TARGET,
        method="ga", encoding=None, selection=None, elitism=None, crossover_operator=None, mutation_operator=None,
        trace=False):
    """Runs one search and returns its Run: every generation's poses, fitness and summary.

    seed: 0..4294967295 (None: a random one, kept in Run.seed); population: 1..10000;
    generations: 1..10000; crossover: 0.001..1; mutation: 0..1 per gene; target: (X, Y) relative
    to the base, x right, y up, each -199..199; method: "ga", "random-search" or a baseline
    ("ccd", "fabrik", "jacobian-transpose", "dls", "de", "pso", "cmaes", "simulated-annealing",
    "one-plus-one", "hill-climbing"); encoding "binary" | "gray"; selection "roulette" |
    "tournament:K" | "rank"; elitism 0..population - 1; crossover_operator "one-point" |
    "two-point" | "uniform"; mutation_operator "bit-flip" | "creep:S". None leaves a choice at the
    classic algorithm's. Ctrl-C stops the run after the generation it is in (KeyboardInterrupt).

    selection, crossover_operator and mutation_operator may each be a function of your own (method
    "ga"), called once a generation with numpy arrays over the run's storage and rng, a
    numpy.random.Generator seeded from the run's seed (one for all of them, called in this order):
      selection(fitness, count, rng) -> count parent indices 0..N-1: pairs first (A, B, A, B, ...),
          then the selected copies'; fitness float64 [N] is the population's, read-only.
      crossover_operator(pairs, rng): pairs uint8 [P, 2, 3], each crossover pair's parents A and B,
          changed in place into its two children (or the children returned); not called without pairs.
      mutation_operator(genes, rng): genes uint8 [count, 3], every slot but the elites, changed in
          place (or the new genes returned).
    Genes are the genotype's bytes: Gray-coded under encoding "gray". Such a run repeats for the same
    seed and the same functions; it writes results.csv and fitness.csv but no run.json.

    trace=True also keeps how every slot came to be, as Run.parents int32 [G, N, 2] (indices into
    the generation before, Run.initial_poses before the first; -1 where there is none),
    Run.crossover_masks uint32 [G, N] (a child's 24-bit mask, gene 1 the high byte) and Run.mutated
    uint32 [G, N] (the bits mutation flipped).
    """
    return _kelvora.run(seed, population, generations, crossover, mutation, target, method, encoding, selection,
                        elitism, crossover_operator, mutation_operator, trace)


def _table(columns):
    """The columns as a pandas DataFrame when pandas is installed, else as they are."""
    try:
        import pandas
    except ImportError:
        return columns
    return pandas.DataFrame(columns)


class Experiment(_kelvora.Experiment):
    """An experiment file (NAME.kelvora.json): Experiment(path) reads and checks it (ValueError naming
    its fault); labels, configurations, seeds, targets, epsilon, alpha, baseline, title and notes say
    what it holds; run() runs it; save(path) writes it again, byte for byte as it was read.
    """

    def run(self, threads=None):
        """Runs every configuration over every target and seed on every core (threads: how many) and
        returns the runs table, the rows kelvora-cli experiment run writes, as sweep returns it."""
        return _table(self._run(threads))


def sweep(seeds, targets=None, population=20, generations=100, crossover=0.5, mutation=0.1, method="ga",
          encoding=None, selection=None, elitism=None, crossover_operator=None, mutation_operator=None,
          epsilon=0.5, target_seed=1, threads=None):
    """Runs every combination of the lists, targets and seeds, as kelvora-cli sweep does, on every core.

    Each of population, generations, crossover, mutation and the six algorithm choices is a value or a
    list of values (a sweep over their cartesian product, each method taking only the choices it takes);
    seeds is an iterable of seeds (range(1, 101)); targets a list of (X, Y) and at most one "random:K",
    drawn from target_seed after the ones given (None: the default target). Returns the sweep file's
    columns, one row per run in the file's order: a pandas DataFrame when pandas is installed, else a
    dict of numpy arrays. A generation column is 0 where the file's is empty (never got there).
    """
    return _table(_kelvora.sweep(seeds, targets, population, generations, crossover, mutation, method, encoding,
                                 selection, elitism, crossover_operator, mutation_operator, epsilon, target_seed,
                                 threads))
