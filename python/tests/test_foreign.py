"""An optimiser of the caller's own, driven through Problem, beside the built-in GA: compare,
outcomes and the IOHprofiler export take its rows."""
import json
import math
import re

import numpy as np
import pytest

import kelvora
from test_problem import StubAskTell

TARGET = (-120, 35)
SEEDS = range(1, 13)
BUDGET = 20 * 30


def stub_rows(budget=BUDGET, epsilon=0.5):
    rows = []
    for seed in SEEDS:
        p, opt = kelvora.Problem(TARGET, budget=budget, epsilon=epsilon), StubAskTell(seed)
        while p.remaining:
            xs = opt.ask(min(20, p.remaining))
            opt.tell(xs, p.evaluate(xs))
        rows.append(p.result("stub", seed=seed))
    return rows


def fisher_p(a, n, b, m):
    """Two-sided Fisher exact test of a/n successes against b/m, summing the tables no likelier."""
    k, total = a + b, n + m
    prob = [math.comb(n, i) * math.comb(m, k - i) / math.comb(total, k) for i in range(max(0, k - m), min(k, n) + 1)]
    observed = math.comb(n, a) * math.comb(m, b) / math.comb(total, k)
    return min(1.0, sum(q for q in prob if q <= observed * (1 + 1e-7)))


@pytest.fixture(scope="module")
def both():
    table = kelvora.sweep(seeds=SEEDS, targets=[TARGET], population=20, generations=30, threads=1)
    return table, stub_rows()


def test_compare_tests_the_stub_against_the_ga_as_derived(both):
    table, rows = both
    ga = np.asarray(table["elite_distance"], float)
    ga_within = int((np.asarray(table["first_generation_within_epsilon"]) > 0).sum())
    stub = np.array([r["elite_distance"] for r in rows])
    stub_within = sum(r["first_evaluation_within_epsilon"] > 0 for r in rows)
    assert 0 < stub_within < len(rows)  # the tests below then see both outcomes
    pair = kelvora.compare(table, results=rows)["pairs"][0]  # each other group against the classic GA
    assert pair["b"]["label"] == "classic" and pair["a"] == dict.fromkeys(
        ["population", "generations", "crossover", "mutation", "encoding", "selection", "elitism", "crossoverOperator",
         "mutationOperator"]) | {"algorithm": "stub", "budget": BUDGET, "label": "stub"}
    assert pair["successes"] == (stub_within, len(stub), ga_within, len(ga))
    u = sum((x > y) + 0.5 * (x == y) for x in stub for y in ga)
    assert pair["mwuU"] == u
    assert pair["a12"] in (pytest.approx(u / (len(ga) * len(stub))), pytest.approx(1 - u / (len(ga) * len(stub))))
    assert pair["fisherP"] == pytest.approx(fisher_p(stub_within, len(stub), ga_within, len(ga)), rel=1e-9)
    # Chosen by its name as the baseline, and alone nothing to compare.
    assert kelvora.compare(table, results=rows, baseline="stub")["pairs"][0]["b"]["algorithm"] == "stub"
    with pytest.raises(ValueError, match=r"one configuration \(stub\)"):
        kelvora.compare(None, results=rows)


def test_outcomes_count_the_stubs_evaluations(both):
    table, rows = both
    row = kelvora.outcomes(table, results=rows)[1]
    firsts = [r["first_evaluation_within_epsilon"] for r in rows]
    hits = [f for f in firsts if f > 0]
    assert row["runs"] == len(rows) and row["withinEpsilon"]["successes"] == len(hits)
    assert row["ertEvaluations"] == pytest.approx((sum(hits) + BUDGET * (len(rows) - len(hits))) / len(hits))
    assert row["firstWithinEpsilon"]["median"] == pytest.approx(np.median(hits))
    assert row["reached"]["successes"] == sum(r["reached_optimum"] for r in rows)


def test_the_ioh_export_holds_every_run(tmp_path):
    rows = stub_rows()
    kelvora.ioh_export(tmp_path, rows)
    meta = json.loads((tmp_path / "stub" / "IOHprofiler_f1_ArmReach.json").read_text())
    assert meta["algorithm"]["name"] == "stub" and not meta["maximization"]
    runs = meta["scenarios"][0]["runs"]
    assert [(r["instance"], r["evals"]) for r in runs] == [(1, BUDGET)] * len(rows)
    assert [r["best"]["y"] for r in runs] == [r["elite_distance"] for r in rows]
    blocks = (tmp_path / "stub" / meta["scenarios"][0]["path"]).read_text().split("evaluations raw_y\n")[1:]
    assert len(blocks) == len(rows)
    for block, row in zip(blocks, rows):
        points = [(int(e), float(y)) for e, y in (line.split() for line in block.splitlines())]
        evaluations, ys = zip(*points)
        assert list(evaluations) == sorted(set(evaluations)) and list(ys) == sorted(ys, reverse=True)
        assert points[-1] == (BUDGET, row["elite_distance"]) and points[0] == tuple(row["improvements"][0])
    assert not list(tmp_path.rglob("*.part"))


@pytest.mark.parametrize("change, message", [
    ({"method": "ga"}, "results[0]: the method name 'ga' is a built-in method's"),
    ({"first_evaluation_within_epsilon": BUDGET + 1}, f"evaluations {BUDGET + 1} are outside 0..{BUDGET}"),
    ({"seed": None}, "results[0]: not a row of Problem.result()"),
    ({"improvements": [(5, 2.0), (5, 1.0)]}, "results[0]: improvements: (5, 1.0) is not a closer distance"),
    ({"improvements": [(BUDGET + 1, 0.5)]}, f"results[0]: improvements: ({BUDGET + 1}, 0.5) is not"),
])
def test_bad_rows_are_named_and_nothing_is_written(change, message, tmp_path):
    rows = stub_rows()[:2]
    rows[0] = rows[0] | change
    if "improvements" not in change:  # what compare does not read
        with pytest.raises(ValueError, match=re.escape(message)):
            kelvora.compare(None, results=rows)
    with pytest.raises(ValueError, match=re.escape(message)):
        kelvora.ioh_export(tmp_path, rows)
    assert not list(tmp_path.iterdir())

