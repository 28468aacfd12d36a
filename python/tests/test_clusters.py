"""The cluster bootstrap through the package: analyse(clusters=) and
analyse_frame(cluster=) against the program's --cluster json, bit for bit,
and each refusal the package decides."""

import math

import numpy as np
import pandas as pd
import pytest

import diffboot
from conftest import EXAMPLES, assert_equals_json, program_json

SESSIONS = pd.read_csv(EXAMPLES / "sessions.csv")
RUN = ["--table", "sessions.csv", "--by", "arm", "--value", "revenue", "--cluster", "user"]


def sessions_with_gaps():
    """sessions.csv with missing values and missing clusters in both arms, users as numbers."""
    df = SESSIONS.copy()
    df["user"] = df["user"].str[1:].astype(float) + np.where(df["arm"] == "A", 0, 1000)
    df.loc[[3, 40], "user"] = math.nan
    df.loc[[5, 1500], "revenue"] = math.nan
    df.loc[[1501, 1502], "user"] = math.nan
    return df


def user_cell(u):
    return "" if u != u else str(int(u)) if isinstance(u, float) else u


# (name, frame, analyse_frame's options, the program's options)
CASES = [
    ("sessions, all measures", SESSIONS, {"measures": "all", "replications": 999},
     ["--measures", "all", "-B", "999"]),
    ("sessions, two-sample acceleration", SESSIONS, {"acceleration": "samples", "seed": 7},
     ["--acceleration", "samples", "-s", "7"]),
    ("numeric users, missing values and clusters", sessions_with_gaps(), {"quantiles": [0.9]},
     ["--quantiles", "0.9"]),
]


@pytest.mark.parametrize("name, df, options, args", CASES, ids=[c[0] for c in CASES])
def test_frame_and_values_equal_the_program(tmp_path, program, name, df, options, args):
    with open(tmp_path / "sessions.csv", "w") as f:
        f.write("user,arm,revenue\n")
        for u, arm, v in df.itertuples(index=False):
            f.write("%s,%s,%s\n" % (user_cell(u), arm, "" if v != v else repr(v)))
    j = program_json(RUN + args + ["A", "B"], tmp_path)
    framed = diffboot.analyse_frame(df, by="arm", groups=("A", "B"), value="revenue", cluster="user", **options)
    assert_equals_json(framed, j)
    assert framed.cluster == "user" and framed.to_frame()["clusters_x"].iloc[0] == j["inputs"]["clusters_x"]
    a, b = df[df["arm"] == "A"], df[df["arm"] == "B"]
    plain = diffboot.analyse(a["revenue"], b["revenue"], clusters=(a["user"], b["user"]), **options)
    assert_equals_json(plain, j)


def test_clusters_of_one_value_each_are_the_plain_run():
    x, y = [1.5, 2.0, 7.25, 3.0, 4.5], [0.5, 2.5, 1.0, 6.0]
    one = diffboot.analyse(x, y, clusters=(["a", "b", "c", "d", "e"], [1, 2, 3, 4]), measures="all")
    plain = diffboot.analyse(x, y, measures="all")
    assert [(m.se, m.bca_lower, m.bca_upper, m.acceleration) for m in one.measures] == \
           [(m.se, m.bca_lower, m.bca_upper, m.acceleration) for m in plain.measures]
    assert (one.clusters_x, one.clusters_y, plain.clusters_x) == (5, 4, None)


FRAME = pd.DataFrame({"user": ["u1", "u1", "u2", "u3", "v1", "v2", "v3", "v3"], "arm": list("AAAABBBB"),
                      "v": [1.0, 2.0, 3.0, 4.0, 2.0, 3.0, 5.0, 1.0]})

# (name, call, exception, how the message begins)
REFUSALS = [
    ("paired", lambda: diffboot.analyse_frame(FRAME, by="arm", groups=("A", "B"), value="v", cluster="user",
                                              paired=True),
     diffboot.Error, "clusters go with an unpaired experiment"),
    ("no such column", lambda: diffboot.analyse_frame(FRAME, by="arm", groups=("A", "B"), value="v",
                                                      cluster="visitor"),
     diffboot.Error, "the frame has no column 'visitor' (its columns: user, arm, v)"),
    ("a cluster in both arms", lambda: diffboot.analyse(FRAME.v[:4], FRAME.v[4:], clusters=(FRAME.user[:4],
                                                                                           ["v1", "v2", "u1", "v3"])),
     diffboot.Error, 'the cluster "u1" has values in both sample 1 and sample 2'),
    ("two clusters", lambda: diffboot.analyse([1, 2, 3], [4, 5, 6], clusters=(["a", "a", "b"], ["c", "d", "e"])),
     diffboot.Error, "sample 1 has 2 clusters: the cluster bootstrap needs at least 3"),
    ("wide form", lambda: diffboot.analyse_frame(FRAME, columns=("v", "v"), cluster="user"),
     diffboot.Error, "cluster= groups the rows of a long frame"),
    ("several groups", lambda: diffboot.analyse_frame(FRAME, by="arm", value="v", control="A", cluster="user"),
     diffboot.Error, "cluster= is for a run of two groups"),
    ("Poisson", lambda: diffboot.analyse(FRAME.v[:4], FRAME.v[4:], method="poisson",
                                         clusters=(FRAME.user[:4], FRAME.user[4:])),
     diffboot.Error, "clusters are not part of the Poisson bootstrap"),
    ("not two sequences", lambda: diffboot.analyse([1, 2, 3], [4, 5, 6], clusters="user"),
     TypeError, "clusters must be two sequences of keys"),
]


@pytest.mark.parametrize("name, call, error, message", REFUSALS, ids=[r[0] for r in REFUSALS])
def test_refusals(name, call, error, message):
    with pytest.raises(error) as raised:
        call()
    assert str(raised.value).startswith(message), str(raised.value)
