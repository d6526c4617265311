import numpy as np
import pytest

import kelvora
from test_sweep import assert_columns_are_the_files

ROOT_EXAMPLES = __import__("pathlib").Path(__file__).resolve().parents[2] / "examples"

SMALL = """{
  "format": "kelvora-experiment",
  "version": 1,
  "title": "small",
  "configurations": [
    {"label": "classic", "generations": 30},
    {"label": "gray", "generations": 30, "encoding": "gray", "elitism": [0, 2]}
  ],
  "seeds": "1..6",
  "targets": [[-120, 35], "random:2"],
  "epsilon": 1.5,
  "baseline": "classic"
}
"""


@pytest.fixture
def small(tmp_path):
    path = tmp_path / "small.kelvora.json"
    path.write_text(SMALL)
    return path


def test_an_experiment_runs_the_rows_of_the_command_line(small, cli, tmp_path):
    e = kelvora.Experiment(small)
    assert e.labels[0] == "classic" and len(e.labels) == 3 and e.runs == 3 * 3 * 6
    assert e.seeds == list(range(1, 7)) and e.targets[0] == (-120, 35) and len(e.targets) == 3
    assert (e.epsilon, e.alpha, e.baseline, e.title, e.notes) == (1.5, 0.05, "classic", "small", None)
    assert [c["encoding"] for c in e.configurations] == ["binary", "gray", "gray"]
    table = e.run(threads=2)
    cli("experiment", "run", small, "--output", tmp_path / "runs.csv", "--quiet")
    assert_columns_are_the_files(dict(table), tmp_path / "runs.csv")


@pytest.mark.parametrize("name", ["gray-coding", "methods", "population"])
def test_saving_writes_the_file_read(name, tmp_path):
    source = ROOT_EXAMPLES / f"{name}.kelvora.json"
    e = kelvora.Experiment(source)
    e.save(tmp_path / "again.kelvora.json")
    assert (tmp_path / "again.kelvora.json").read_bytes() == source.read_bytes() == e.text.encode()


@pytest.mark.parametrize("edit, message", [
    (("1..6", "6..1"), "seeds"),
    (('"epsilon": 1.5', '"epsilon": 0'), "epsilon: 0 is outside (0, 1000]"),
    (('"baseline": "classic"', '"baseline": "grey"'), "grey"),
    (("kelvora-experiment", "other"), "small.kelvora.json"),
])
def test_a_bad_file_is_refused_naming_its_fault(edit, message, tmp_path):
    path = tmp_path / "small.kelvora.json"
    path.write_text(SMALL.replace(*edit))
    with pytest.raises(ValueError) as error:
        kelvora.Experiment(path)
    assert message in str(error.value) and str(path) in str(error.value)


def test_outcomes_count_each_configurations_runs(small):
    table = dict(kelvora.Experiment(small).run())
    rows = kelvora.outcomes(table)
    encodings = table["encoding"], table["elitism"]
    assert [(r["encoding"], r["elitism"]) for r in rows] == [("binary", "0"), ("gray", "0"), ("gray", "2")]
    for r in rows:
        mine = (encodings[0] == r["encoding"]) & (encodings[1] == int(r["elitism"]))
        within = table["first_generation_within_epsilon"][mine]
        assert r["runs"] == mine.sum() == 18
        assert r["withinEpsilon"]["successes"] == (within > 0).sum()
        assert r["reached"]["successes"] == table["reached_optimum"][mine].sum()
        assert r["eliteDistance"]["median"] == pytest.approx(np.median(table["elite_distance"][mine]), abs=1e-12)
        assert r["withinEpsilon"]["low"] <= r["withinEpsilon"]["rate"] <= r["withinEpsilon"]["high"]
