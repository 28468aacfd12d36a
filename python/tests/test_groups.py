"""Several groups: analyse_frame(control=, sequential=) and analyse_groups()
give the program's json for --control and --sequential, comparison by
comparison (p_holm too), a comparison too small stops alone, and each bad
input is refused once."""

import subprocess
import warnings

import numpy as np
import pandas as pd
import pytest

import diffboot
from conftest import EXAMPLES, PROGRAM, assert_equals_json, program_json, run_program, write_sample

RNG = np.random.default_rng(48)


def repeated_measures():
    """Ids missing from some times; day21 shares a single id with day10."""
    rows = [(i, t, RNG.normal(40 + 10 * k, 3)) for i in range(1, 9) for k, t in enumerate(("day0", "day10"))]
    rows += [(1, "day21", 70.0), (20, "day21", 71.5), (21, "day21", 69.0)]
    return pd.DataFrame(rows, columns=["id", "time", "weight"]).sample(frac=1.0, random_state=2)


def wide():
    df = pd.DataFrame({"c0": RNG.normal(0, 1, 12), "c1": RNG.normal(0.5, 1, 12), "c2": RNG.normal(1, 1, 12)})
    df.loc[3, "c1"] = np.nan
    return df


OPTIONS = dict(replications=299, seed=11)
ARGS = ["-B", "299", "-s", "11"]
CHICKS = lambda: pd.read_csv(EXAMPLES / "chickwts.csv")
CHICK_TABLE = ["--table", "t.csv", "--by", "feed", "--value", "weight"]

# (name, data, run, program arguments); `run(data)` gives the comparisons.
CASES = [
    ("against a control, with Holm", CHICKS,
     lambda d: diffboot.analyse_frame(d, by="feed", value="weight", control="casein",
                                      groups=("horsebean", "linseed", "soybean"), permutations=199, **OPTIONS),
     ["-u", "--p-values", "--permutations", "199", *CHICK_TABLE, "--control", "casein", "horsebean", "linseed",
      "soybean"]),
    ("every other group, sorted", CHICKS,
     lambda d: diffboot.analyse_frame(d, by="feed", value="weight", control="linseed", measures="all", **OPTIONS),
     ["-u", "--measures", "all", *CHICK_TABLE, "--control", "linseed", "casein", "horsebean", "meatmeal", "soybean",
      "sunflower"]),
    ("in sequence, paired by id", lambda: pd.read_csv(EXAMPLES / "chick_growth.csv"),
     lambda d: diffboot.analyse_frame(d, by="time", value="value", id="id", paired=True, sequential=True,
                                      groups=("day0", "day10", "day21"), permutations=199, **OPTIONS),
     ["-p", "--p-values", "--permutations", "199", "--table", "t.csv", "--by", "time", "--value", "value", "--id",
      "id", "--sequential", "day0", "day10", "day21"]),
    ("groups that are numbers", lambda: pd.read_csv(EXAMPLES / "toothgrowth.tsv", sep="\t"),
     lambda d: diffboot.analyse_frame(d, by="dose", value="len", sequential=True, **OPTIONS),
     ["-u", "--table", "t.csv", "--by", "dose", "--value", "len", "--sequential", "0.5", "1", "2"]),
    ("columns of a wide frame, paired", wide,
     lambda d: diffboot.analyse_groups(d, control="c0", paired=True, **OPTIONS),
     ["-p", "--table", "t.csv", "--control", "c0", "c1", "c2"]),
]


@pytest.mark.parametrize("name,data,run,args", CASES, ids=[c[0] for c in CASES])
def test_each_comparison_is_the_programs(program, tmp_path, name, data, run, args):
    df = data()
    df.to_csv(tmp_path / "t.csv", index=False, float_format=repr)
    results = run(df)
    j = program_json([*ARGS, *args], tmp_path)
    assert results.design == j["design"] and list(results.groups) == j["groups"]
    assert results.names == [c["comparison"] for c in j["comparisons"]]
    for r, c in zip(results, j["comparisons"]):
        assert r.comparison == c["comparison"] and r.stopped is None
        assert_equals_json(r, c)
        assert results[r.comparison] is r


def test_to_frame_has_the_programs_csv_columns(program, tmp_path):
    write_sample(tmp_path / "c.txt", RNG.normal(0, 1, 10))
    write_sample(tmp_path / "a.txt", RNG.normal(1, 1, 11))
    write_sample(tmp_path / "b.txt", RNG.normal(2, 1, 9))
    samples = {n: np.loadtxt(tmp_path / n) for n in ("a.txt", "b.txt", "c.txt")}
    results = diffboot.analyse_groups(samples, control="c.txt", permutations=99, **OPTIONS)
    csv = run_program(["-u", "-f", "csv", "--p-values", "--permutations", "99", *ARGS, "--control", "c.txt",
                       "a.txt", "b.txt"], tmp_path)
    theirs = pd.read_csv(pd.io.common.StringIO(csv))
    ours = results.to_frame(index=False)
    assert list(ours.columns) == list(theirs.columns)
    assert list(ours["comparison"]) == list(theirs["comparison"]) == ["a.txt - c.txt"] * 4 + ["b.txt - c.txt"] * 4
    assert ours["p_holm"].tolist() == pytest.approx(theirs["p_holm"].tolist(), nan_ok=True)
    assert results.to_frame().loc[("b.txt - c.txt", "d_AVE"), "estimate"] == results["b.txt - c.txt"]["d_AVE"].estimate


def test_a_comparison_of_too_few_pairs_stops_alone(program, tmp_path):
    df = repeated_measures()
    df.to_csv(tmp_path / "t.csv", index=False, float_format=repr)
    with pytest.warns(diffboot.DiffbootWarning, match=r"^day21 - day10: Too few values for a paired experiment"):
        results = diffboot.analyse_frame(df, by="time", value="weight", id="id", paired=True, sequential=True,
                                         groups=("day0", "day10", "day21"), **OPTIONS)
    done = subprocess.run([PROGRAM, "--no-files", "-f", "json", "-p", *ARGS, "--table", "t.csv", "--by", "time",
                           "--value", "weight", "--id", "id", "--sequential", "day0", "day10", "day21"],
                          cwd=tmp_path, capture_output=True, text=True)
    assert done.returncode == 1
    import json

    given, stopped = json.loads(done.stdout)["comparisons"]
    assert_equals_json(results[0], given)
    assert results.stopped == {"day21 - day10": stopped["stopped"]}
    assert results[1].measures == [] and "stopped: Too few values" in repr(results[1])
    assert list(results.to_frame()["comparison"].unique()) == ["day10 - day0"]


FRAME = pd.DataFrame({"g": list("aaabbbccc"), "v": np.arange(9.0)})

REFUSED = [
    (dict(control="a", groups=("b", "d")), 'no group "d"', "its groups: a, b, c"),
    (dict(control="a", groups=("b", "b")), 'the group "b" is named twice', ""),
    (dict(control="a", groups=()), '1 group named ("a"), but a comparison needs two', ""),
    (dict(control="a", groups=("b", "a")), 'the control "a" is among the groups compared with it', ""),
    (dict(control="a", sequential=True), "two designs: give one", ""),
    (dict(sequential=True, columns=("a", "b")), "name it with by=COLUMN", ""),
    (dict(control="a", labels=("x", "y")), "labels= names the two samples of one run", ""),
]


@pytest.mark.parametrize("options,message,also", REFUSED, ids=[r[1] for r in REFUSED])
def test_bad_groups_are_refused(options, message, also):
    options = dict(options)
    by = {} if "columns" in options else dict(by="g", value="v")
    with pytest.raises(diffboot.Error) as caught:
        diffboot.analyse_frame(FRAME, **by, **options)
    assert message in str(caught.value) and also in str(caught.value)


def test_a_sample_that_is_not_there_lists_those_that_are():
    with pytest.raises(diffboot.Error, match=r'no group "z" \(their groups: a, b\)'):
        diffboot.analyse_groups({"a": [1.0, 2, 3], "b": [2.0, 3, 4]}, control="z")
    with pytest.raises(KeyError, match="'b - z' is not a comparison"):
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            diffboot.analyse_groups({"a": [1.0, 2, 3], "b": [2.0, 3, 4]}, sequential=True, replications=99)["b - z"]
