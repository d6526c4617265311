import os
import signal

import numpy as np
import pytest

import kelvora

# Every method and every operator choice at least once; each row's keyword arguments and the flags
# kelvora-cli takes for the same run.
ROWS = [
    dict(seed=7),
    dict(seed=1, population=30, generations=40, crossover=0.9, mutation=0.02, target=(-120, 35),
         encoding="gray", selection="tournament:3", elitism=2, crossover_operator="two-point",
         mutation_operator="creep:4"),
    dict(seed=4294967295, population=1, generations=5, crossover=0.001, mutation=0.0, selection="rank",
         crossover_operator="uniform"),
    dict(seed=0, population=7, generations=60, mutation=1.0, elitism=6, mutation_operator="creep:128"),
] + [dict(seed=11, population=12, generations=25, target=(150, -90), method=m)
     for m in ["random-search", "ccd", "fabrik", "jacobian-transpose", "dls", "de", "pso", "cmaes",
               "simulated-annealing", "one-plus-one"]] + [
    dict(seed=3, population=10, generations=20, method="hill-climbing", encoding="gray", mutation_operator="creep:2"),
    dict(seed=5, population=10, generations=20, method="one-plus-one", encoding="gray"),
]


def flags(row):
    names = {"method": "--algorithm", "crossover_operator": "--crossover-operator",
             "mutation_operator": "--mutation-operator"}
    out = []
    for key, value in row.items():
        if key == "target":
            value = f"{value[0]},{value[1]}"
        out += [names.get(key, "--" + key), value]
    return out


@pytest.mark.parametrize("row", ROWS, ids=lambda r: "-".join(str(v) for v in r.values()))
def test_files_are_the_command_lines(row, cli, tmp_path):
    kelvora.run(**row).write(tmp_path / "py")
    cli(*flags(row), "--quiet", "--output-dir", tmp_path / "cli")
    for name in ["results.csv", "fitness.csv"]:
        assert (tmp_path / "py" / name).read_bytes() == (tmp_path / "cli" / name).read_bytes(), name


def test_run_json_is_accepted_and_repeats_the_run(cli, tmp_path):
    row = ROWS[1]
    kelvora.run(**row).write(tmp_path)
    report = cli("inspect", tmp_path / "results.csv")
    assert "run.json          describes this file" in report
    command = next(line for line in report.splitlines() if line.startswith("reproduce")).split()[2:]
    cli(*command, "--quiet", "--output-dir", tmp_path / "again")
    assert (tmp_path / "again" / "results.csv").read_bytes() == (tmp_path / "results.csv").read_bytes()


def tip_distance(poses, target):
    """The tip's distance to a target relative to the base, from the arm's own formula (links 60,
    100 and 40 px, angle sums in degrees converted as the model converts them)."""
    rad = 0.017453292222222222
    t = np.cumsum(poses.astype(np.float64), axis=-1) * rad
    x = 60 * np.cos(t[..., 0]) + 100 * np.cos(t[..., 1]) + 40 * np.cos(t[..., 2])
    y = 60 * np.sin(t[..., 0]) + 100 * np.sin(t[..., 1]) + 40 * np.sin(t[..., 2])
    return np.hypot(x - target[0], y - target[1])


@pytest.mark.parametrize("row", [ROWS[1], ROWS[2], ROWS[6]], ids=["ga", "one", "ccd"])
def test_arrays_hold_every_generation(row):
    r = kelvora.run(**row)
    g, n = row["generations"], row["population"]
    assert r.poses.shape == (g, n, 3) and r.poses.dtype == np.uint8
    for a in [r.distances, r.fitness]:
        assert a.shape == (g, n) and a.dtype == np.float64
    assert r.best_fitness.shape == r.average_fitness.shape == r.best_index.shape == (g,)
    target = row.get("target", (68, 180))
    np.testing.assert_allclose(r.distances, tip_distance(r.poses, target), rtol=0, atol=1e-9)
    np.testing.assert_allclose(r.fitness, 1 / (r.distances + 1), rtol=1e-12)
    np.testing.assert_array_equal(r.best_index, r.fitness.argmax(axis=1))
    np.testing.assert_array_equal(r.best_fitness, r.fitness.max(axis=1))
    np.testing.assert_allclose(r.average_fitness, r.fitness.mean(axis=1), rtol=1e-12)
    assert r.elite_fitness == r.best_fitness.max()
    first = np.argmax(r.best_fitness == r.elite_fitness)
    assert r.elite_pose == tuple(r.poses[first, r.best_index[first]])
    assert r.elite_distance >= r.optimum_distance
    assert r.optimum_distance == pytest.approx(tip_distance(np.array(r.optimum_pose), target), abs=1e-9)


def test_arrays_are_views_of_the_run():
    r = kelvora.run(seed=2, population=50, generations=30)
    for name in ["poses", "fitness", "distances", "best_fitness", "average_fitness", "best_index"]:
        a, b = getattr(r, name), getattr(r, name)
        assert a.base is r and not a.flags.owndata and not a.flags.writeable, name
        assert a.__array_interface__["data"][0] == b.__array_interface__["data"][0], name
    poses = r.poses
    del r
    assert poses.base.generations == 30  # the run lives as long as a view of it


@pytest.mark.parametrize("kwargs, message", [
    (dict(population=0), "population: '0' is not an integer in 1..10000"),
    (dict(population=2.5), "population: '2.5' is not an integer in 1..10000"),
    (dict(population=True), "population: 'True' is not an integer"),
    (dict(generations=10001), "generations: '10001' is not an integer in 1..10000"),
    (dict(crossover=0.0), "crossover: '0.0' is not a number in 0.001..1"),
    (dict(mutation=float("nan")), "mutation: 'nan' is not a number in 0..1"),
    (dict(seed=-1), "seed: '-1' is not an integer in 0..4294967295"),
    (dict(seed=2 ** 32), "seed: '4294967296' is not"),
    (dict(target=(200, 0)), "target: '200,0' is not X,Y with integers X and Y in -199..199"),
    (dict(target=(1, 2, 3)), "target: expected (X, Y)"),
    (dict(method="ga2"), "method: algorithm 'ga2' is not one of ga, random-search"),
    (dict(encoding="grey"), "encoding: encoding 'grey' is not one of binary, gray"),
    (dict(selection="tournament:21"), "selection: tournament size 21 is outside 2..20"),
    (dict(elitism=20), "elitism: elitism 20 is outside 0..19"),
    (dict(crossover_operator="three-point"), "crossover_operator: crossover operator 'three-point' is not"),
    (dict(mutation_operator="creep:129"), "mutation_operator: creep step 129 is outside 1..128"),
    (dict(method="cmaes", encoding="gray"), "method cmaes takes no operator choices"),
])
def test_bad_arguments_are_named(kwargs, message):
    with pytest.raises(ValueError) as error:
        kelvora.run(**kwargs)
    assert message in str(error.value)
    assert "--" not in str(error.value)


