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


def test_a_custom_run_repeats_for_its_seed():
    a, b, c = (kelvora.run(seed=s, generations=30, mutation_operator=jitter) for s in (8, 8, 9))
    np.testing.assert_array_equal(a.poses, b.poses)
    assert not np.array_equal(a.poses, c.poses)


def test_a_custom_run_writes_its_result_files_but_no_record(tmp_path):
    r = kelvora.run(seed=8, generations=10, mutation_operator=jitter)
    r.write(tmp_path)
    assert sorted(p.name for p in tmp_path.iterdir()) == ["fitness.csv", "results.csv"]
    lines = (tmp_path / "results.csv").read_bytes().split(b"\r\n")
    assert lines[0] == b"%d,%d,%d,%g" % (*r.poses[0, 0], r.fitness[0, 0])
    with pytest.raises(ValueError, match="run_json: a run with a mutation of your own has no run.json"):
        r.write(tmp_path, run_json=True)


def raising(genes, rng):
    raise RuntimeError("my operator failed")


@pytest.mark.parametrize("kwargs, error, message", [
    (dict(mutation_operator=raising), RuntimeError, "my operator failed"),
    (dict(mutation_operator=lambda g, rng: g[:2]), ValueError, "mutation_operator: returned (2, 3) uint8"),
    (dict(mutation_operator=lambda g, rng: g * 0.5), ValueError, "mutation_operator: returned (20, 3) float64"),
    (dict(mutation_operator=lambda g, rng: g.astype(int) + 256), ValueError, "not a byte in 0..255"),
    (dict(mutation_operator=jitter, method="pso"), ValueError, "mutation_operator: a function of your own needs method 'ga'"),
    (dict(crossover_operator=jitter), ValueError, "crossover_operator: a function of your own is taken for mutation_operator only"),
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
