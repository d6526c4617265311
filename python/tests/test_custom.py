import os
import signal

import numpy as np
import pytest

import kelvora


def gray(a):
    return a ^ (a >> 1)


def to_optimum(genotype):
    """A mutation that puts every slot it is handed on the genotype given, in place or returned."""
    def in_place(genes, rng):
        genes[:] = genotype
    def returned(genes, rng):
        return np.tile(np.asarray(genotype, dtype=np.int64), (len(genes), 1))
    return in_place, returned


@pytest.mark.parametrize("encoding, elitism", [("binary", 0), ("gray", 3)])
@pytest.mark.parametrize("how", [0, 1], ids=["in-place", "returned"])
def test_the_mutated_genotypes_are_what_the_run_evaluates(encoding, elitism, how):
    target = (-120, 35)
    best = np.array(kelvora.optimum(target)["pose"])
    genotype = gray(best) if encoding == "gray" else best
    counts = []
    mutation = to_optimum(genotype)[how]

    def counted(genes, rng):
        counts.append(genes.shape)
        assert genes.dtype == np.uint8 and genes.flags.writeable and isinstance(rng, np.random.Generator)
        return mutation(genes, rng)

    r = kelvora.run(seed=3, population=12, generations=6, target=target, encoding=encoding, elitism=elitism,
                    mutation_operator=counted)
    assert counts == [(12 - elitism, 3)] * 6  # one call a generation, the elites left out
    np.testing.assert_array_equal(r.poses[:, elitism:], np.broadcast_to(best, (6, 12 - elitism, 3)))
    assert r.best_fitness[0] == kelvora.optimum(target)["fitness"] and r.reached_optimum
    assert r.algorithm["mutation_operator"] == "custom"


def jitter(genes, rng):
    """Each gene moves by -2..2, drawn from the run's own generator."""
    genes[:] = np.clip(genes.astype(int) + rng.integers(-2, 3, size=genes.shape), 0, 255)


def roulette(fitness, count, rng):
    """Fitness-proportional parents, drawn from the run's own generator."""
    return rng.choice(len(fitness), size=count, p=fitness / fitness.sum())


def blend(pairs, rng):
    """Each child takes each gene from either parent at random."""
    take = rng.integers(0, 2, size=pairs.shape[:1] + (1, 3)).astype(bool)
    return np.where(take, pairs, pairs[:, ::-1])


@pytest.mark.parametrize("own", [dict(mutation_operator=jitter), dict(selection=roulette),
                                 dict(crossover_operator=blend)], ids=["mutation", "selection", "crossover"])
def test_a_custom_run_repeats_for_its_seed(own):
    a, b, c = (kelvora.run(seed=s, generations=30, **own) for s in (8, 8, 9))
    np.testing.assert_array_equal(a.poses, b.poses)
    assert not np.array_equal(a.poses, c.poses)


def test_a_custom_run_writes_its_result_files_but_no_record(tmp_path):
    r = kelvora.run(seed=8, generations=10, mutation_operator=jitter)
    r.write(tmp_path)
    assert sorted(p.name for p in tmp_path.iterdir()) == ["fitness.csv", "results.csv"]
    lines = (tmp_path / "results.csv").read_bytes().split(b"\r\n")
    assert lines[0] == b"%d,%d,%d,%g" % (*r.poses[0, 0], r.fitness[0, 0])
    with pytest.raises(ValueError, match="run_json: a run with an operator of your own has no run.json"):
        r.write(tmp_path, run_json=True)


def raising(genes, rng):
    raise RuntimeError("my operator failed")


@pytest.mark.parametrize("kwargs, error, message", [
    (dict(mutation_operator=raising), RuntimeError, "my operator failed"),
    (dict(mutation_operator=lambda g, rng: g[:2]), ValueError, "mutation_operator: returned (2, 3) uint8"),
    (dict(mutation_operator=lambda g, rng: g * 0.5), ValueError, "mutation_operator: returned (20, 3) float64"),
    (dict(mutation_operator=lambda g, rng: np.full(g.shape, 256)), ValueError, "mutation_operator: returned the gene 256, not in 0..255"),
    (dict(mutation_operator=jitter, method="pso"), ValueError, "mutation_operator: a function of your own needs method 'ga'"),
    (dict(selection=roulette, method="random-search"), ValueError, "selection: a function of your own needs method 'ga'"),
    (dict(selection=lambda f, count, rng: np.zeros(count - 1, int)), ValueError,
     "selection: returned (19,) int64; expected integers of shape (20,)"),
    (dict(selection=lambda f, count, rng: np.full(count, len(f))), ValueError,
     "selection: returned the parent index 20, not in 0..19"),
    (dict(selection=lambda f, count, rng: None), ValueError, "selection: returned 'NoneType'"),
    (dict(crossover_operator=lambda p, rng: p[:, 0]), ValueError,
     "crossover_operator: returned (5, 3) uint8; expected None (changed in place) or integers of shape (5, 2, 3)"),
    (dict(crossover_operator=raising), RuntimeError, "my operator failed"),
    (dict(method="cmaes", trace=True), ValueError, "trace: the method 'cmaes' has no generations to trace"),
])
def test_a_failing_operator_ends_the_run_with_its_error(kwargs, error, message):
    with pytest.raises(error) as raised:
        kelvora.run(seed=1, **kwargs)
    assert message in str(raised.value)


def test_ctrl_c_stops_the_run_at_the_next_generation():
    steps = []

    def interrupting(genes, rng):
        steps.append(len(steps))
        if len(steps) == 3:
            os.kill(os.getpid(), signal.SIGINT)  # as Ctrl-C does, while the run computes

    before = signal.getsignal(signal.SIGINT)
    with pytest.raises(KeyboardInterrupt):
        kelvora.run(seed=1, generations=100, mutation_operator=interrupting)
    assert steps == [0, 1, 2]
    assert signal.getsignal(signal.SIGINT) is before
    assert kelvora.run(seed=1).generations == 100  # the next run is whole


def test_a_run_started_inside_an_operator_leaves_the_outer_run_alone():
    def plain(genes, rng):
        genes[:, 0] ^= 1

    def nesting(genes, rng):
        kelvora.run(seed=99, population=50, generations=3)
        plain(genes, rng)

    a = kelvora.run(seed=5, generations=20, mutation_operator=plain)
    b = kelvora.run(seed=5, generations=20, mutation_operator=nesting)
    np.testing.assert_array_equal(a.poses, b.poses)
    np.testing.assert_array_equal(a.fitness, b.fitness)


def genotypes(poses, encoding):
    """24-bit genotypes of poses [..., 3], gene 1 the high byte, Gray-coded under gray encoding."""
    g = poses.astype(np.uint32)
    if encoding == "gray":
        g = g ^ (g >> 1)
    return (g[..., 0] << 16) | (g[..., 1] << 8) | g[..., 2]


@pytest.mark.parametrize("row", [
    dict(seed=4, population=15, generations=12, elitism=2, mutation=0.2),
    dict(seed=9, population=16, generations=10, encoding="gray", selection="tournament:3",
         crossover_operator="uniform", mutation_operator="creep:3", crossover=0.9, mutation=0.3),
    dict(seed=2, population=12, generations=8, selection=roulette, crossover_operator=blend, elitism=1),
], ids=["classic", "gray-uniform", "own"])
def test_the_trace_makes_every_generation_from_the_one_before(row):
    r = kelvora.run(trace=True, **row)
    n, e, enc = row["population"], row.get("elitism", 0), row.get("encoding", "binary")
    assert r.parents.shape == (r.generations, n, 2) and r.parents.dtype == np.int32
    assert r.crossover_masks.dtype == r.mutated.dtype == np.uint32 and r.initial_poses.shape == (n, 3)
    before = genotypes(r.initial_poses, enc)
    for g in range(r.generations):
        now, (a, b), mask = genotypes(r.poses[g], enc), r.parents[g].T, r.crossover_masks[g]
        child = b >= 0
        parent_a, parent_b = before[a], before[np.where(child, b, a)]
        second = (np.arange(n) - e) % 2 == 1  # a pair's second child swaps the parents' roles
        made = np.where(second, (parent_b & ~mask) | (parent_a & mask), (parent_a & ~mask) | (parent_b & mask))
        np.testing.assert_array_equal(now, (made & 0xFFFFFF) ^ r.mutated[g], err_msg=f"generation {g + 1}")
        assert not child[:e].any() and not r.mutated[g, :e].any() and (mask[~child] == 0).all()
        before = now


def test_an_own_selection_chooses_every_parent():
    def fittest(fitness, count, rng):
        assert fitness.dtype == np.float64 and not fitness.flags.writeable
        return np.full(count, fitness.argmax())

    r = kelvora.run(seed=6, population=10, generations=5, elitism=1, mutation=0, selection=fittest, trace=True)
    best = r.fitness.argmax(axis=1)
    np.testing.assert_array_equal(r.parents[1:, 1:, 0], np.broadcast_to(best[:-1, None], (4, 9)))
    np.testing.assert_array_equal(r.poses[1:], np.broadcast_to(r.poses[:-1][np.arange(4), best[:-1]][:, None], (4, 10, 3)))


def test_an_own_crossover_makes_the_pairs_children():
    calls = []

    def swap(pairs, rng):
        calls.append(pairs.shape)
        pairs[:] = pairs[:, ::-1].copy()

    r = kelvora.run(seed=6, population=11, generations=4, crossover=0.8, elitism=1, mutation=0,
                    crossover_operator=swap, trace=True)
    assert calls == [(4, 2, 3)] * 4  # trunc(10 * 0.8) / 2 pairs a generation
    previous = np.concatenate([r.initial_poses[None], r.poses[:-1]])
    for g in range(4):
        a, b = r.parents[g, 1:9].T
        np.testing.assert_array_equal(r.poses[g, 1:9], previous[g][np.where(np.arange(8) % 2 == 0, b, a)])
        np.testing.assert_array_equal(r.crossover_masks[g, 1:9],
                                      genotypes(previous[g][a], "binary") ^ genotypes(previous[g][b], "binary"))
