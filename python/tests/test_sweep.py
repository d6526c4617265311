import csv
import json

import numpy as np
import pytest

import kelvora

# Sweeps by keyword arguments and the same by kelvora-cli sweep's flags.
PLANS = [
    (dict(seeds=range(1, 7), population=[10, 20], generations=30, encoding=["binary", "gray"],
          method=["ga", "cmaes"], targets=[(68, 180), "random:2"], target_seed=9, threads=2),
     ["--seeds", "1..6", "--population", "10,20", "--generations", "30", "--encoding", "binary,gray",
      "--algorithm", "ga,cmaes", "--target", "68,180", "--targets", "random:2", "--target-seed", "9", "--threads", "2"]),
    (dict(seeds=[5, 3], crossover=[0.2, 0.9], mutation=0.05, selection=["tournament:4", "rank"], elitism=[0, 3],
          crossover_operator="uniform", mutation_operator=["creep:2"], generations=15, epsilon=2.5),
     ["--seeds", "5,3", "--crossover", "0.2,0.9", "--mutation", "0.05", "--selection", "tournament:4,rank",
      "--elitism", "0,3", "--crossover-operator", "uniform", "--mutation-operator", "creep:2", "--generations", "15",
      "--epsilon", "2.5"]),
]


def assert_columns_are_the_files(ours, path):
    """Each column of a table is the CSV file's column of the same name, row for row."""
    with open(path, newline="") as f:
        rows = list(csv.DictReader(f))
    assert list(ours) == list(rows[0])
    for name, column in ours.items():
        column = np.asarray(column)
        assert len(column) == len(rows), name
        texts = [row[name] for row in rows]
        if column.dtype == bool:
            expected = np.array([t == "true" for t in texts])
        elif column.dtype.kind in "iuf":
            expected = np.array([float(t) if t else 0 for t in texts])
        else:
            expected = np.array(texts)
        np.testing.assert_array_equal(column, expected, err_msg=name)


@pytest.mark.parametrize("kwargs, flags", PLANS)
def test_columns_are_the_command_lines_file(kwargs, flags, cli, tmp_path):
    ours = kelvora.sweep(**kwargs)
    cli("sweep", *flags, "--output", tmp_path / "sweep.csv", "--quiet")
    assert_columns_are_the_files(ours, tmp_path / "sweep.csv")


@pytest.mark.parametrize("kwargs, message", [
    (dict(seeds=[1, 1]), "seeds: seed 1 is listed twice"),
    (dict(seeds=[]), "seeds: the list is empty"),
    (dict(seeds=[1], population=[20, 20]), "population: '20' is listed twice"),
    (dict(seeds=[1], encoding=["gray", "gray"]), "encoding: 'gray' is listed twice"),
    (dict(seeds=[1], method="cmaes", encoding="gray"), "encoding: 'gray' does not apply to any method method lists"),
    (dict(seeds=[1], population=[5, 20], elitism=5), "elitism: elitism 5 is outside 0..4"),
    (dict(seeds=[1], targets=[(0, 0), (0, 0)]), "targets: '0,0' is given twice"),
    (dict(seeds=[1], targets=["random:0"]), "targets: 'random:0' is not random:K"),
    (dict(seeds=[1], epsilon=0), "epsilon: '0' is not a number of pixels in (0, 1000]"),
])
def test_bad_plans_are_named(kwargs, message):
    with pytest.raises(ValueError) as error:
        kelvora.sweep(**kwargs)
    assert message in str(error.value)


@pytest.mark.parametrize("baseline", [None, "all", "gray"])
def test_compare_is_the_command_lines(baseline, cli, tmp_path):
    kwargs, flags = PLANS[0]
    cli("sweep", *flags, "--output", tmp_path / "sweep.csv", "--quiet")
    printed = json.loads(cli("compare", tmp_path / "sweep.csv", "--json", "--alpha", "0.1",
                             *(["--baseline", baseline] if baseline else [])))
    ours = kelvora.compare(kelvora.sweep(**kwargs), baseline=baseline, alpha=0.1)
    printed = json.loads(json.dumps(printed))
    assert json.loads(json.dumps(ours)) == printed


@pytest.mark.parametrize("kwargs, message", [
    (dict(alpha=1), "alpha: '1' is not a level in (0, 1)"),
    (dict(baseline="grey"), "baseline: 'grey' is not a configuration of the table"),
    (dict(table={"seed": [1]}), "table: no column 'population'"),
])
def test_compare_refuses(kwargs, message):
    table = kwargs.pop("table", None) or kelvora.sweep(seeds=[1, 2], generations=5, encoding=["binary", "gray"])
    with pytest.raises(ValueError) as error:
        kelvora.compare(table, **kwargs)
    assert message in str(error.value)
