"""0/1 outcomes and their counts through the package against the program's
json: rows (numbers, truth values, texts) and counts, paired and unpaired,
the test's p-value under the program's name, and each refusal once."""

import numpy as np
import pandas as pd
import pytest

import diffboot
from conftest import assert_equals_json, program_json, run_program

RNG = np.random.default_rng(49)
NA = pd.NA


def outcomes(n, p):
    return (RNG.random(n) < p).astype(float)


X, Y = outcomes(40, 0.45), outcomes(36, 0.3)
ARGS = ["--proportions", "--measures", "all", "-B", "299", "-s", "7", "--p-values", "--permutations", "199"]
OPTIONS = dict(measures="all", replications=299, seed=7, permutations=199)


def long_csv(path, x, y):
    path.write_text("arm,converted\n" + "".join("a,%s\n" % v for v in x) + "".join("b,%s\n" % v for v in y))


# (name, how the door is given the rows, the rows as the program's table): unpaired.
UNPAIRED = [
    ("numbers", lambda: diffboot.analyse(X, Y, proportions=True, labels=("a", "b"), **OPTIONS),
     [int(v) for v in X], [int(v) for v in Y]),
    ("numpy truth values imply it", lambda: diffboot.analyse(X == 1, Y == 1, labels=("a", "b"), **OPTIONS),
     [int(v) for v in X], [int(v) for v in Y]),
    ("pandas boolean with NA", lambda: diffboot.analyse_frame(
        pd.DataFrame({"arm": ["a"] * 5 + ["b"] * 4,
                      "converted": pd.array([True, NA, False, True, True, False, False, NA, True], dtype="boolean")}),
        by="arm", groups=("a", "b"), **OPTIONS),
     ["TRUE", "NA", "FALSE", "TRUE", "TRUE"], ["FALSE", "FALSE", "NA", "TRUE"]),
    ("texts", lambda: diffboot.analyse_frame(
        pd.DataFrame({"arm": ["a"] * 5 + ["b"] * 5, "converted": ["yes", "no", "yes", "yes", "no",
                                                                  "no", "no", "yes", "no", "no"]}),
        by="arm", groups=("a", "b"), proportions=True, **OPTIONS),
     ["yes", "no", "yes", "yes", "no"], ["no", "no", "yes", "no", "no"]),
]


@pytest.mark.parametrize("name,door,x,y", UNPAIRED, ids=[c[0] for c in UNPAIRED])
def test_unpaired_rows_equal_the_programs(program, tmp_path, name, door, x, y):
    long_csv(tmp_path / "t.csv", x, y)
    j = program_json(["-u", *ARGS, "--table", "t.csv", "--by", "arm", "--value", "converted", "a", "b"], tmp_path)
    p_z = [m["p_z"] for m in j["measures"]]
    r = door()
    assert r.proportions
    assert_equals_json(r, _as_p_t(j))
    frame = r.to_frame()
    assert "p_t" not in frame.columns
    assert frame["p_z"].tolist()[:1] == p_z[:1]


def test_paired_truth_values_equal_the_programs(program, tmp_path):
    a, b = X[:30] == 1, Y[:30] == 1
    cell = lambda v: "TRUE" if v else "FALSE"
    (tmp_path / "t.csv").write_text("a,b\n" + "".join("%s,%s\n" % (cell(u), cell(v)) for u, v in zip(a, b)))
    j = program_json(["-p", *ARGS, "--table", "t.csv", "a", "b"], tmp_path)
    r = diffboot.analyse_frame(pd.DataFrame({"a": a, "b": b}), columns=("a", "b"), paired=True, **OPTIONS)
    assert [m.name for m in r.measures] == ["PROP_d", "lift", "h"]
    p_mcnemar = j["measures"][0]["p_mcnemar"]
    assert_equals_json(r, _as_p_t(j))
    assert r.to_frame()["p_mcnemar"].tolist()[0] == p_mcnemar


# (name, analyse_counts' arguments, the program's --counts arguments)
COUNTS = [
    ("unpaired", ((412, 10000), (455, 10000)), ["-u", "412/10000", "455/10000"]),
    ("unpaired, a billion trials", ((41200000, 10**9), (45500000, 10**9)), ["41200000/1000000000",
                                                                           "45500000/1000000000"]),
    ("paired table", ((40, 12, 25, 123),), ["-p", "40/12/25/123"]),
    ("paired table by name", (dict(both=40, x_only=12, y_only=25, neither=123),), ["40/12/25/123"]),
]


@pytest.mark.parametrize("name,counts,args", COUNTS, ids=[c[0] for c in COUNTS])
def test_counts_equal_the_programs(program, tmp_path, name, counts, args):
    j = program_json(["--counts", "-B", "299", "-s", "7", "--p-values", *args], tmp_path)
    with pytest.warns(diffboot.DiffbootWarning, match="p_permutation is not given for counts"):
        r = diffboot.analyse_counts(*counts, replications=299, seed=7, permutations=9999)
    test = "p_mcnemar" if len(counts) == 1 else "p_z"
    p = j["measures"][0][test]
    assert_equals_json(r, _as_p_t(j))
    assert r.to_frame()[test].tolist()[0] == p


# (name, the door's call, the message, or the type of the door's own refusal)
REFUSALS = [
    ("a value other than 0 and 1", lambda: diffboot.analyse([1, 0, 2, 1], [0, 1, 1, 0], proportions=True),
     "sample 1 holds 2, at index 2, which is not 0 or 1"),
    ("a text other than an outcome", lambda: diffboot.analyse_frame(
        pd.DataFrame({"a": ["yes", "maybe", "no"], "b": ["no", "no", "yes"]}), columns=("a", "b"), proportions=True),
     'the column "a", row 2: "maybe"'),
    ("successes not whole", lambda: diffboot.analyse_counts((412.5, 10000), (455, 10000)),
     "sample 1: successes 412.5 is not a whole number"),
    ("negative successes", lambda: diffboot.analyse_counts((3, 10), (-4, 10)),
     "sample 2: successes -4 is not a whole number"),
    ("successes above the trials", lambda: diffboot.analyse_counts((12, 10), (4, 10)),
     "sample 1: 12 successes of 10 trials, more than the trials"),
    ("no trials", lambda: diffboot.analyse_counts((0, 0), (4, 10)), r"sample 1: no trials \(0 trials\)"),
    ("an empty table", lambda: diffboot.analyse_counts((0, 0, 0, 0)), "the pairs' table holds no pairs"),
    ("a measure of numbers", lambda: diffboot.analyse_counts((5, 10), (5, 10), measures="d_AVE"),
     "d_AVE is not a measure of proportions"),
    ("three counts", lambda: diffboot.analyse_counts((1, 2, 3)), TypeError),
    ("a table by other names", lambda: diffboot.analyse_counts(dict(both=1, x=2, y=3, neither=4)), TypeError),
]


@pytest.mark.parametrize("name,call,refusal", REFUSALS, ids=[c[0] for c in REFUSALS])
def test_each_refusal(name, call, refusal):
    if isinstance(refusal, type):
        with pytest.raises(refusal):
            call()
    else:
        with pytest.raises(diffboot.Error, match=refusal):
            call()


def test_several_groups_read_outcomes(program, tmp_path):
    arms = ["a"] * 8 + ["b"] * 8 + ["c"] * 8
    converted = ["TRUE", "FALSE", "TRUE", "TRUE", "FALSE", "FALSE", "TRUE", "FALSE"] * 3
    pd.DataFrame({"arm": arms, "converted": converted}).to_csv(tmp_path / "t.csv", index=False)
    j = run_program(["-u", "--proportions", "-B", "199", "-f", "csv", "--table", "t.csv", "--by", "arm",
                     "--value", "converted", "--control", "a", "b", "c"], tmp_path)
    r = diffboot.analyse_frame(pd.DataFrame({"arm": arms, "converted": converted}), by="arm", control="a",
                               proportions=True, replications=199)
    ours = r.to_frame(index=False)
    import io

    theirs = pd.read_csv(io.StringIO(j))
    assert ours["measure"].tolist() == theirs["measure"].tolist()
    assert ours["bca_lower"].tolist() == theirs["bca_lower"].tolist()


def _as_p_t(j):
    """The program's json with its test's p-value under p_t, the field the package's MeasureResult names it."""
    for row in j["measures"]:
        for name in ("p_z", "p_mcnemar"):
            if name in row:
                row["p_t"] = row.pop(name)
    return j
