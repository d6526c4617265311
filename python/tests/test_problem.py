import numpy as np
import pytest

import kelvora
from test_run import tip_distance

TARGET = (-120, 35)


def test_evaluations_are_the_arms_distances_counted_and_kept():
    p = kelvora.Problem(TARGET, budget=100)
    poses = np.random.default_rng(4).integers(0, 256, size=(60, 3), dtype=np.uint8)
    d = p.evaluate(poses)
    np.testing.assert_allclose(d, tip_distance(poses, TARGET), rtol=0, atol=1e-9)
    assert p.evaluations == 60 and p.remaining == 40
    assert p.best_pose == tuple(int(a) for a in poses[np.argmin(d)]) and p.best_distance == d.min()
    assert p.gap == d.min() - kelvora.optimum(TARGET)["distance"]
    running = np.minimum.accumulate(d)
    firsts = [i + 1 for i in range(len(d)) if i == 0 or running[i] < running[i - 1]]
    assert [e for e, _ in p.improvements] == firsts


def test_the_budget_is_never_overdrawn():
    p = kelvora.Problem(TARGET, budget=10)
    p.evaluate(np.zeros((8, 3), np.uint8))
    with pytest.raises(kelvora.BudgetExhausted, match="budget of 10 evaluations is spent"):
        p.evaluate(np.zeros((3, 3), np.uint8))
    assert p.evaluations == 8  # a refused batch counts nothing
    p.evaluate(np.zeros((2, 3), np.uint8))
    with pytest.raises(RuntimeError):
        p.evaluate(np.zeros(3, np.uint8))


def test_the_optimum_found_is_measured_exactly():
    best = kelvora.optimum(TARGET)
    p = kelvora.Problem(TARGET, budget=5, epsilon=1000)
    p.evaluate(np.array([[0, 0, 0], [10, 20, 30]], np.uint8))
    assert float(p.evaluate(np.array(best["pose"], np.uint8))) == best["distance"]
    row = p.result("mine")
    assert row["reached_optimum"] and row["gap"] == 0 and row["first_evaluation_at_optimum"] == 3
    assert row["first_evaluation_within_epsilon"] == 1 and (row["elite_a1"], row["elite_a2"], row["elite_a3"]) == best["pose"]


class StubAskTell:
    """Stands in for an external optimiser's ask/tell loop: a (1 + lambda) search that moves each angle by -4..4."""

    def __init__(self, seed):
        self.rng = np.random.default_rng(seed)
        self.centre = self.rng.integers(0, 256, 3)
        self.value = np.inf

    def ask(self, k):
        return np.clip(self.centre + self.rng.integers(-4, 5, (k, 3)), 0, 255).astype(np.uint8)

    def tell(self, xs, fs):
        if fs.min() < self.value:
            self.value, self.centre = fs.min(), xs[np.argmin(fs)].astype(int)


def test_an_ask_and_tell_loop_spends_the_budget():
    p, opt = kelvora.Problem(TARGET, budget=2000), StubAskTell(1)
    while p.remaining:
        xs = opt.ask(min(20, p.remaining))
        opt.tell(xs, p.evaluate(xs))
    row = p.result("stub")
    assert row["evaluations"] == 2000 and row["elite_distance"] == opt.value and row["method"] == "stub"


@pytest.mark.parametrize("call, message", [
    (lambda: kelvora.Problem(TARGET, budget=0), "budget: '0' is not an integer in 1..1e+08"),
    (lambda: kelvora.Problem((0, 250), budget=5), "target: '0,250' is not"),
    (lambda: kelvora.Problem(TARGET, 5).evaluate(np.zeros((2, 2), np.uint8)), "poses: expected integers of shape (K, 3)"),
    (lambda: kelvora.Problem(TARGET, 5).evaluate(np.zeros((2, 3))), "poses: expected integers"),
    (lambda: kelvora.Problem(TARGET, 5).evaluate(np.full((1, 3), 256)), "poses: the angle 256 is not in 0..255"),
])
def test_bad_arguments_are_named(call, message):
    with pytest.raises(ValueError) as error:
        call()
    assert message in str(error.value)
