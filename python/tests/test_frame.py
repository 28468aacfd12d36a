"""analyse_frame(): the wide and long forms give what --table gives for the
same table, bit for bit, labelled by columns or groups; and its errors."""

import numpy as np
import pandas as pd
import pytest

import diffboot
from conftest import EXAMPLES, assert_equals_json, program_json

RNG = np.random.default_rng(7)


def long_table():
    """Two groups with ids in shuffled order, missing cells and an id in one group only."""
    ids = np.arange(1, 21)
    rows = [(i, g, RNG.normal(10 if g == "A" else 11, 2)) for i in ids for g in ("A", "B") if (i, g) != (5, "B")]
    rows.append((99, "C", 1.0))
    df = pd.DataFrame(rows, columns=["id", "group", "value"]).sample(frac=1.0, random_state=3).reset_index(drop=True)
    df.loc[[2, 11], "value"] = np.nan
    return df


CASES = [
    (lambda: pd.read_csv(EXAMPLES / "chickwts.csv"), dict(by="feed", groups=("horsebean", "linseed")),
     ["-u", "--table", "chickwts.csv", "--by", "feed", "horsebean", "linseed"], ("horsebean", "linseed")),
    (lambda: pd.read_csv(EXAMPLES / "sleep_wide.csv"), dict(columns=("drug1", "drug2"), paired=True),
     ["-p", "--table", "sleep_wide.csv", "drug1", "drug2"], ("drug1", "drug2")),
    (long_table, dict(by="group", groups=("A", "B"), value="value", id="id", paired=True, seed=5),
     ["-p", "-s", "5", "--table", "t.csv", "--by", "group", "--value", "value", "--id", "id", "A", "B"], ("A", "B")),
    (long_table, dict(by="group", groups=("A", "B"), value="value", measures="all"),
     ["-u", "--measures", "all", "--table", "t.csv", "--by", "group", "--value", "value", "A", "B"], ("A", "B")),
]


@pytest.mark.parametrize("frame,options,args,labels", CASES)
def test_the_frame_forms_equal_the_tables(program, tmp_path, frame, options, args, labels):
    df = frame()
    df.to_csv(tmp_path / "t.csv", index=False, float_format=repr)
    for name in ("chickwts.csv", "sleep_wide.csv"):
        (tmp_path / name).write_bytes((EXAMPLES / name).read_bytes())
    r = diffboot.analyse_frame(df, **options)
    assert r.labels == labels
    assert_equals_json(r, program_json(args, tmp_path))


ERRORS = [
    (pd.DataFrame({"id": [1, 1, 2], "g": ["A", "A", "B"], "v": [1.0, 2.0, 3.0]}),
     dict(by="g", groups=("A", "B"), value="v", id="id", paired=True), 'the data have the id "1" twice in the group "A" (rows 1 and 2)'),
    (pd.DataFrame({"a": [1.0, 2.0, 3.0], "b": ["4", "n/a?", "6"]}), dict(columns=("a", "b")),
     'the column "b", row 2: "n/a?" is not a number'),
    (pd.DataFrame({"g": ["A"], "v": [1.0], "w": [2.0]}), dict(by="g", groups=("A", "B")),
     "3 columns: name the values with value=COLUMN"),
    (pd.DataFrame({"a": [1.0]}), dict(columns=("a", "nope")), "no column 'nope'"),
    (pd.DataFrame({"a": [1.0]}), dict(), "name either columns"),
]


@pytest.mark.parametrize("df,options,message", ERRORS)
def test_frame_errors(df, options, message):
    with pytest.raises(diffboot.Error) as caught:
        diffboot.analyse_frame(df, **options)
    assert message in str(caught.value)


def program_stop(args, cwd):
    """The program's message on standard error for args that it refuses."""
    import subprocess

    from conftest import PROGRAM

    done = subprocess.run([PROGRAM, "--no-files", *args], cwd=cwd, capture_output=True, text=True)
    assert done.returncode == 1, done.stdout
    return done.stderr


# The same table through the program and the frame: the same pairs, counts
# and stops, since one rule decides both.
SAME = [
    # groups of 4 and 3 rows paired without ids: refused, not padded
    (pd.DataFrame({"g": list("aaaabbb"), "v": [1.0, 2, 3, 4, 5, 6, 7]}), dict(by="g", groups=("a", "b"), value="v"),
     ["--by", "g", "--value", "v", "a", "b"], 'the groups "a" and "b" have 4 and 3 rows: pair them by id'),
    # a row without an id (NA, empty) is left out and counted
    (pd.DataFrame({"id": ["1", "2", None, "3", "1", "2", "", "3", "4"], "g": list("aaaabbbbb"),
                   "v": [1.0, 2, 3, 4, 5, 7, 8, 6, 9]}),
     dict(by="g", groups=("a", "b"), value="v", id="id"), ["--by", "g", "--value", "v", "--id", "id", "a", "b"], None),
    # a numeric id column with NaN: the same rule
    (pd.DataFrame({"id": [1.0, 2.0, np.nan, 3.0, 1.0, 2.0, 3.0], "g": list("aaaabbb"), "v": [1.0, 2, 3, 4, 5, 7, 6]}),
     dict(by="g", groups=("a", "b"), value="v", id="id"), ["--by", "g", "--value", "v", "--id", "id", "a", "b"], None),
]


@pytest.mark.parametrize("df,options,args,stop", SAME)
def test_the_program_and_the_frame_pair_alike(tmp_path, df, options, args, stop):
    df.to_csv(tmp_path / "t.csv", index=False, float_format=repr)
    args = ["-p", "-B", "99", "--table", "t.csv", *args]
    if stop is not None:
        assert stop in program_stop(args, tmp_path)
        with pytest.raises(diffboot.Error, match=stop):
            diffboot.analyse_frame(df, paired=True, replications=99, **options)
        return
    r = diffboot.analyse_frame(df, paired=True, replications=99, **options)
    assert r.pairs_dropped > 0
    assert_equals_json(r, program_json(args, tmp_path))


MASKED = np.ma.masked_array([1.0, 2.0, 1e6, 4.0], mask=[0, 0, 1, 0])

# Columns read as the program reads cells: what it refuses, the frame refuses.
CELLS = [
    (pd.DataFrame({"a": pd.array([1, 2, None, 4], dtype="Int64"), "b": pd.array([1.5, None, 3.5, 4.5], dtype="Float64")}),
     None, (3, 3, 1, 1)),
    (pd.DataFrame({"a": [1.0, 2.0, 3.0], "b": np.array([4.0, True, 6.0], dtype=object)}), TypeError, "truth value"),
    (pd.DataFrame({"a": [1.0, 2.0, 3.0], "b": ["4", "1_0", "6"]}), diffboot.Error, '"1_0" is not a number'),
    (pd.DataFrame({"a": [1.0, 2.0, 3.0], "b": ["4", "\u0665", "6"]}), diffboot.Error, "is not a number"),
    (pd.DataFrame({"a": [1.0, 2.0, 3.0], "b": pd.to_datetime(["2020-01-01"] * 3)}), TypeError, "not numbers"),
    (pd.DataFrame([[1.0, 2.0, 3.0]] * 3, columns=["a", "b", "b"]), diffboot.Error, "2 columns named 'b'"),
]


@pytest.mark.parametrize("df,error,expected", CELLS)
def test_cells_are_read_as_the_program_reads_them(df, error, expected):
    if error is None:
        r = diffboot.analyse_frame(df, columns=("a", "b"), replications=99)
        assert (r.n_x, r.n_y, r.missing_x, r.missing_y) == expected
        return
    with pytest.raises(error, match=expected):
        diffboot.analyse_frame(df, columns=("a", "b"), replications=99)


def test_groups_are_found_by_value_and_must_differ():
    df = pd.DataFrame({"g": [0.5] * 3 + [1.0] * 3, "v": [1.0, 2, 3, 4, 5, 7]})
    assert diffboot.analyse_frame(df, by="g", groups=("0.50", 1), replications=99).n_x == 3
    with pytest.raises(diffboot.Error, match="name the same group"):
        diffboot.analyse_frame(df, by="g", groups=(1, 1.0), replications=99)


def test_masked_values_are_missing():
    r = diffboot.analyse(MASKED, [1.0, 2.0, 3.0, 5.0], replications=99)
    assert (r.n_x, r.missing_x) == (3, 1)
    with pytest.raises(TypeError, match="real numbers"):
        diffboot.analyse(pd.Series(pd.to_datetime(["2020-01-01"] * 3)), [1.0, 2.0, 3.0])


def test_pandas_na_in_an_object_array_is_missing():
    r = diffboot.analyse(np.array([1.0, pd.NA, 3.0, 4.0], dtype=object), [1.0, 2.0, 3.0], replications=99)
    assert (r.n_x, r.missing_x) == (3, 1)
