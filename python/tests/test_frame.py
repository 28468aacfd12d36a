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
    (long_table, dict(by="group", groups=("B", "A"), value="value", paired=True),
     ["-p", "--table", "t.csv", "--by", "group", "--value", "value", "B", "A"], ("B", "A")),
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
     dict(by="g", groups=("A", "B"), value="v", id="id", paired=True), "the id '1' twice in the group 'A'"),
    (pd.DataFrame({"a": [1.0, 2.0, 3.0], "b": ["4", "n/a?", "6"]}), dict(columns=("a", "b")),
     "'n/a?' is not a number"),
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
