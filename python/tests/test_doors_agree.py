"""Every door the same: data sets at the edges of what the program reads
(ties, negative zeros, missing values, values near the ends of the double
range, pairs with missing halves, ids with NA) through the program's json
and through the package, equal bit for bit; the Poisson bootstrap equal to
--poisson."""

import math

import numpy as np
import pandas as pd
import pytest

import diffboot
from conftest import assert_equals_json, program_json

RNG = np.random.default_rng(2026)
NAN = math.nan


def normal(n, mean=0.0, sd=1.0):
    return list(RNG.normal(mean, sd, n))


# (name, x, y): unpaired samples; NaN is a missing value.
UNPAIRED = [
    ("ties", [1, 1, 1, 2, 2, 3, 3, 3], [1, 2, 2, 2, 3, 3, 3, 4, 4]),
    ("negative zeros", [-0.0, 0.0, 1, -1, 2, -0.0], [0, -0.0, 3, 4, 0.5]),
    ("missing values", [1, NAN, 3, 4, 5, NAN], [2, 3, NAN, 5, 6]),
    ("near the largest doubles", [v * 1e155 for v in normal(12, 3)], [v * 1e155 for v in normal(10, 2)]),
    ("near the smallest doubles", [v * 1e-155 for v in normal(12, 3)], [v * 1e-155 for v in normal(10, 2)]),
    ("tiny samples", [1.5, 2.5, 9.0], [0.5, 1.0, 1.25]),
    ("integers", list(RNG.integers(0, 20, 25).astype(float)), list(RNG.integers(3, 25, 31).astype(float))),
    ("skewed", list(RNG.lognormal(0, 1.5, 40)), list(RNG.lognormal(0.3, 1.2, 35))),
    ("negative mean of y", [1, 2, 3, 4], [-5, -6, -7, -4]),
    ("mixed signs", normal(20, 0.5), normal(18, 0.1)),
    ("one outlier", [1, 2, 3, 4, 5, 6, 1e6], [2, 3, 4, 5, 6, 7]),
    ("rounded", [round(v, 1) for v in normal(30, 10, 2)], [round(v, 1) for v in normal(30, 11, 2)]),
]

# (name, x, y): paired samples of equal length; a pair with a missing half is left out.
PAIRED = [
    ("paired ties", [1, 2, 2, 3, 3, 3], [1, 1, 2, 2, 3, 4]),
    ("paired missing halves", [1, NAN, 3, 4, 5, 6, NAN], [2, 3, NAN, 5, 6.5, 8, NAN]),
    ("paired negative zeros", [-0.0, 1, 2, 0.0, 3], [0.0, 1, -0.0, 0.5, 2]),
    ("paired near the largest doubles", [v * 1e155 for v in normal(9, 2)], [v * 1e155 for v in normal(9, 1)]),
    ("paired near the smallest doubles", [v * 1e-160 for v in normal(9, 2)], [v * 1e-160 for v in normal(9, 1)]),
    ("paired two pairs", [1.0, 4.0], [2.0, 3.5]),
    ("paired skewed", list(RNG.lognormal(0, 1, 30)), list(RNG.lognormal(0.2, 1, 30))),
    ("paired negative mean of y", [1, 2, 3, 4, 6], [-5, -6, -7, -4, -3]),
]


def cell(v):
    return "NA" if v != v else repr(float(v))


def long_table(path, x, y):
    rows = ["g,v"] + ["x,%s" % cell(v) for v in x] + ["y,%s" % cell(v) for v in y]
    path.write_text("\n".join(rows) + "\n")


def wide_table(path, x, y):
    path.write_text("x,y\n" + "".join("%s,%s\n" % (cell(a), cell(b)) for a, b in zip(x, y)))


OPTIONS = dict(measures="all", quantiles=[0.1, 0.5, 0.9], replications=299, seed=17)
ARGS = ["--measures", "all", "--quantiles", "0.1,0.5,0.9", "-B", "299", "-s", "17"]


@pytest.mark.parametrize("name,x,y", UNPAIRED, ids=[c[0] for c in UNPAIRED])
def test_unpaired_data_sets(program, tmp_path, name, x, y):
    long_table(tmp_path / "t.csv", x, y)
    j = program_json(["-u", *ARGS, "--table", "t.csv", "--by", "g", "--value", "v", "x", "y"], tmp_path)
    assert_equals_json(diffboot.analyse(x, y, labels=("x", "y"), **OPTIONS), j)


@pytest.mark.parametrize("name,x,y", PAIRED, ids=[c[0] for c in PAIRED])
def test_paired_data_sets(program, tmp_path, name, x, y):
    wide_table(tmp_path / "t.csv", x, y)
    j = program_json(["-p", *ARGS, "--table", "t.csv", "x", "y"], tmp_path)
    assert_equals_json(diffboot.analyse_frame(pd.DataFrame({"x": x, "y": y}), columns=("x", "y"), paired=True,
                                              **OPTIONS), j)


def test_ids_with_na_pair_alike(program, tmp_path):
    ids = ["1", "2", "NA", "3", "4", "", "1", "2", "3", "4", "5", None]
    frame = pd.DataFrame({"id": ids, "g": list("aaaaaabbbbbb"),
                          "v": [1.0, 2.5, 3.0, 4.5, 5.0, 6.0, 1.5, 2.0, 3.5, 4.0, 7.0, 8.0]})
    frame.to_csv(tmp_path / "t.csv", index=False)
    j = program_json(["-p", *ARGS, "--table", "t.csv", "--by", "g", "--value", "v", "--id", "id", "a", "b"], tmp_path)
    r = diffboot.analyse_frame(frame, by="g", groups=("a", "b"), value="v", id="id", paired=True, **OPTIONS)
    assert r.pairs_dropped == 4
    assert_equals_json(r, j)


@pytest.mark.parametrize("paired", [False, True])
def test_the_poisson_bootstrap_equals_the_programs(program, tmp_path, paired):
    x, y = normal(40, 1, 2), normal(40, 0.5, 3)
    x[3], y[7] = NAN, NAN
    (wide_table if paired else long_table)(tmp_path / "t.csv", x, y)
    table = ["--table", "t.csv", "x", "y"] if paired else ["--table", "t.csv", "--by", "g", "--value", "v", "x", "y"]
    j = program_json(["-p" if paired else "-u", "--poisson", "--measures", "all", "-B", "299", "-s", "17", *table],
                     tmp_path)
    frame = pd.DataFrame({"x": x, "y": y})
    r = diffboot.analyse_frame(frame, columns=("x", "y"), paired=paired, method="poisson", measures="all",
                               replications=299, seed=17)
    assert_equals_json(r, j)
