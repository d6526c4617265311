import json

import numpy as np
import pytest

import kelvora
from test_run import tip_distance

TARGETS = [(68, 180), (-120, 35), (0, 0), (199, -199)]


@pytest.mark.parametrize("target", TARGETS)
def test_optimum_is_the_command_lines(target, cli):
    printed = json.loads(cli("optimum", f"--target={target[0]},{target[1]}", "--json"))
    o = kelvora.optimum(target)
    assert list(o["pose"]) == printed["pose"]
    assert o["distance"] == printed["distance"] and o["fitness"] == printed["fitness"]


@pytest.mark.parametrize("target", TARGETS[:2])
def test_distance_table_is_every_pose(target):
    table = kelvora.distance_table(target)
    assert table.shape == (256, 256, 256) and table.dtype == np.float32
    assert table.flags.owndata and table.flags.c_contiguous  # the core filled numpy's own buffer
    # Every pose of a1 = 0, 97 and 255 against the arm's formula, each the double rounded once, and
    # the whole table's minimum at the optimum.
    a = np.indices((256, 256)).reshape(2, -1).T
    for a1 in [0, 97, 255]:
        poses = np.column_stack([np.full(len(a), a1), a])
        expected = tip_distance(poses, target)
        np.testing.assert_allclose(table[a1].ravel(), expected, rtol=2**-24, atol=1e-9)
    optimum = kelvora.optimum(target)
    assert table.min() == table[optimum["pose"]] == np.float32(optimum["distance"])


def test_reach_map_rows_are_optima():
    m = kelvora.reach_map()
    assert m.shape == (399, 399) and m.dtype == np.float32
    for x, y in TARGETS:
        assert m[199 - y, x + 199] == np.float32(kelvora.optimum((x, y))["distance"])


def test_landscape_is_the_command_lines(cli):
    printed = json.loads(cli("landscape", "--target=-120,35", "--neighbourhood", "binary,creep:3", "--epsilon", "1.5",
                             "--json"))
    ours = kelvora.landscape((-120, 35), neighbourhood=["binary", "creep:3"], epsilon=1.5)
    printed["target"] = tuple(printed["target"])
    printed["optimum"]["pose"] = tuple(printed["optimum"]["pose"])
    assert ours == printed


@pytest.mark.parametrize("kwargs, message", [
    (dict(neighbourhood="grey"), "neighbourhood: 'grey' is not binary, gray or creep:S with S in 1..128"),
    (dict(neighbourhood="gray,gray"), "neighbourhood: 'gray' is listed twice"),
    (dict(epsilon=-1), "epsilon: '-1' is not a number of pixels in 0..1000"),
    (dict(target=(0, 300)), "target: '0,300' is not"),
])
def test_landscape_refuses(kwargs, message):
    with pytest.raises(ValueError, match=message.replace("(", r"\(").replace(")", r"\)")):
        kelvora.landscape(**{"target": (0, 0), **kwargs})
