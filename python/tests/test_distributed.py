"""diffboot.distributed on a LocalCluster of two worker processes: the same
numbers on any number of workers and partitions, in any row order with ids,
as method="poisson" and --poisson; what it refuses; a worker lost mid-run."""

import os

import numpy as np
import pandas as pd
import pytest

import diffboot
from conftest import FIELDS, bits, program_json, write_sample

dask = pytest.importorskip("dask")
da = pytest.importorskip("dask.array")
dd = pytest.importorskip("dask.dataframe")
distributed = pytest.importorskip("distributed")

import diffboot.distributed as dbd  # noqa: E402

RNG = np.random.default_rng(20240612)
X = RNG.lognormal(1.0, 0.8, 3000)
Y = RNG.lognormal(1.1, 0.8, 2000)
ALL = ("d_AVE", "d_STD", "g", "lift")


@pytest.fixture(scope="module")
def client():
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=":0",
                                  silence_logs=40) as cluster, distributed.Client(cluster) as c:
        yield c


def chunks(v, parts):
    return da.from_array(v, chunks=-(-len(v) // parts))


def assert_close(a, b, tolerance=1e-12):
    assert [m.name for m in a.measures] == [m.name for m in b.measures]
    assert (a.n_x, a.n_y, a.missing_x, a.missing_y) == (b.n_x, b.n_y, b.missing_x, b.missing_y)
    for m, n in zip(a.measures, b.measures):
        for f in FIELDS:
            u, v = getattr(m, f), getattr(n, f)
            assert abs(u - v) <= tolerance * abs(v), (m.name, f, u, v)


def test_the_same_numbers_on_any_partitions_and_as_one_machine(client):
    alone = diffboot.analyse(X, Y, method="poisson", measures=ALL, seed=5, replications=499)
    assert alone.method == "poisson"
    for parts in (1, 7, 64):
        r = dbd.analyse(chunks(X, parts), chunks(Y, parts), measures=ALL, seed=5, replications=499)
        assert r.method == "poisson"
        assert_close(r, alone)
    # Paired "all" takes the lift, whose second halves are weighed as their pairs.
    paired = diffboot.analyse(X[:2000], Y, paired=True, method="poisson", measures="all", replications=199)
    assert [m.name for m in paired.measures] == ["AVE_d", "g", "lift"]
    frame = dd.from_pandas(pd.DataFrame({"a": X[:2000], "b": Y}), npartitions=1)
    assert_close(dbd.analyse_frame(frame, columns=("a", "b"), paired=True, measures="all", replications=199), paired)
    assert_close(dbd.analyse(chunks(X[:2000], 7), chunks(Y, 7), paired=True, measures="all", replications=199),
                 paired)


def test_the_same_bits_on_one_and_two_workers(client):
    x, y = chunks(X, 7), chunks(Y, 5)
    two = dbd.analyse(x, y, measures=ALL, replications=199)
    with distributed.LocalCluster(n_workers=1, threads_per_worker=1, processes=True, dashboard_address=":0",
                                  silence_logs=40) as cluster, distributed.Client(cluster):
        one = dbd.analyse(x, y, measures=ALL, replications=199)
    for m, n in zip(two.measures, one.measures):
        assert [bits(getattr(m, f)) for f in FIELDS] == [bits(getattr(n, f)) for f in FIELDS]


def test_ids_keep_the_counts_in_any_row_order(client):
    df = pd.DataFrame({"arm": ["B"] * len(X) + ["A"] * len(Y), "revenue": np.r_[X, Y],
                       "user": ["u%d" % (7 * i + 3) for i in range(len(X) + len(Y))]})
    ordered = dbd.analyse_frame(dd.from_pandas(df, npartitions=3), by="arm", groups=("B", "A"), value="revenue",
                                id="user", measures=ALL, replications=199)
    shuffled = dbd.analyse_frame(dd.from_pandas(df.sample(frac=1, random_state=4), npartitions=11), by="arm",
                                 groups=("B", "A"), value="revenue", id="user", measures=ALL, replications=199)
    assert ordered.labels == ("B", "A") and ordered.n_x == len(X)
    assert_close(shuffled, ordered)
    pairs = pd.DataFrame({"a": X[:2000], "b": Y, "user": ["u%d" % (7 * i + 3) for i in range(2000)]})
    runs = [dbd.analyse_frame(dd.from_pandas(p, npartitions=k), columns=("a", "b"), paired=True, id="user",
                              measures="all", replications=199)
            for p, k in ((pairs, 3), (pairs.sample(frac=1, random_state=4), 11))]
    assert_close(runs[1], runs[0])
    # Without ids a long frame keys each group's rows by position, as analyse() does.
    by_position = dbd.analyse_frame(dd.from_pandas(df, npartitions=4), by="arm", groups=("B", "A"), value="revenue",
                                    measures=ALL, replications=199)
    assert_close(by_position, diffboot.analyse(X, Y, method="poisson", measures=ALL, replications=199))


def test_the_command_lines_poisson_bootstrap(program, tmp_path):
    write_sample(tmp_path / "x.txt", X[:500])
    for paired in (False, True):
        y = Y[:500] if paired else Y[:400]
        write_sample(tmp_path / "y.txt", y)
        j = program_json(["--poisson", "-p" if paired else "-u", "--measures", "all", "-s", "3", "-B", "299",
                          "x.txt", "y.txt"], tmp_path)
        assert j["inputs"]["method"] == "poisson"
        r = diffboot.analyse(X[:500], y, paired=paired, method="poisson", measures="all", seed=3, replications=299)
        assert [m.name for m in r.measures] == [m["measure"] for m in j["measures"]]
        for m, row in zip(r.measures, j["measures"]):
            assert [bits(getattr(m, f)) for f in FIELDS] == [bits(row[f]) for f in FIELDS]


def test_the_bounds_agree_with_the_usual_bootstrap_within_monte_carlo_error():
    # 10^5 values an arm, B = 1999, four seeds of each bootstrap: their mean
    # differences within four Monte Carlo standard errors, in units of the
    # measure's se. A percentile bound's error is 2.67 se / sqrt(B) a run; a
    # BCa bound adds twice z0's error, 1.25 / sqrt(B); a t bound's is 1.96
    # times the se's, whose relative error is 1 / sqrt(2 B). The difference of
    # two runs has sqrt(2) times that, the mean of four half of it.
    rng = np.random.default_rng(100000)
    x, y = rng.lognormal(1.0, 0.8, 10**5), rng.lognormal(1.05, 0.8, 10**5)
    seeds, b = (1, 2, 3, 4), 1999
    error = {"percentile": 2.67 / np.sqrt(b), "bca": np.hypot(2.67, 2 * 1.25) / np.sqrt(b),
             "t": 1.96 / np.sqrt(2 * b), "se": 1 / np.sqrt(2 * b)}
    tolerance = {k: 4 * np.sqrt(2) * e / np.sqrt(len(seeds)) for k, e in error.items()}
    differences = {}
    for seed in seeds:
        p = diffboot.analyse(x, y, method="poisson", measures=ALL, seed=seed, replications=b)
        u = diffboot.analyse(x, y, measures=ALL, seed=seed, replications=b)
        for m, n in zip(p.measures, u.measures):
            assert abs(m.estimate - n.estimate) <= 1e-12 * abs(n.estimate), m.name
            d = differences.setdefault(m.name, {})
            d.setdefault("se", []).append(m.se / n.se - 1)
            for kind in ("percentile", "bca", "t"):
                for side in ("lower", "upper"):
                    f = "%s_%s" % (kind, side)
                    d.setdefault(f, []).append((getattr(m, f) - getattr(n, f)) / n.se)
    for name, d in differences.items():
        for f, values in d.items():
            assert abs(np.mean(values)) < tolerance[f.split("_")[0]], (name, f, values)


@pytest.mark.parametrize("call,error,message", [
    (lambda: dbd.analyse(chunks(X, 3), chunks(Y, 3), measures=["d_MED"]), diffboot.Error,
     "d_MED needs order statistics across the parts"),
    (lambda: dbd.analyse(chunks(X, 3), chunks(Y, 3), measures="delta"), diffboot.Error, "delta needs order statistics"),
    (lambda: dbd.analyse(chunks(X, 3), chunks(Y[:0], 1)), diffboot.Error, "sample 2 has no values"),
    (lambda: dbd.analyse(chunks(X, 3), chunks(np.r_[Y, np.inf], 3)), diffboot.Error, "not a finite number"),
    (lambda: dbd.analyse_frame(dd.from_pandas(pd.DataFrame({"a": X[:100], "b": ["v"] * 100}), npartitions=2),
                               columns=("a", "b")), TypeError, "b must hold real numbers"),
    (lambda: dbd.analyse(X, Y), TypeError, "x must be a dask Series"),
])
def test_what_it_refuses(client, call, error, message):
    with pytest.raises(error, match=message):
        call()


def test_missing_values_are_left_out_and_counted(client):
    x = X.copy()
    x[[5, 600, 2999]] = np.nan
    r = dbd.analyse(chunks(x, 4), chunks(Y, 4), replications=199)
    assert (r.n_x, r.missing_x) == (2997, 3)
    assert_close(r, diffboot.analyse(x, Y, method="poisson", replications=199))


def _loses_its_worker_once(part, marker):
    """The partition, after ending its worker's process the first time."""
    if not os.path.exists(marker):
        open(marker, "w").close()
        os._exit(1)
    return part


def test_a_worker_lost_mid_run_changes_nothing(client, tmp_path):
    whole = dbd.analyse(chunks(X, 6), chunks(Y, 6), measures=ALL, replications=199)
    series = dd.from_pandas(pd.Series(X), npartitions=6)
    marker = str(tmp_path / "lost")
    lossy = series.map_partitions(_loses_its_worker_once, marker, meta=series._meta)
    r = dbd.analyse(lossy, chunks(Y, 6), measures=ALL, replications=199)
    assert os.path.exists(marker)
    assert_close(r, whole)


def test_ids_are_keys_by_value_and_name_one_row(client):
    rng = np.random.default_rng(11)
    a, b = rng.normal(0, 1, 60), rng.normal(0.5, 1, 60)
    runs = []
    for user in (np.arange(60), np.arange(60).astype(float), [str(i) for i in range(60)]):
        frame = pd.DataFrame({"a": a, "b": b, "user": user})
        runs.append(dbd.analyse_frame(dd.from_pandas(frame, npartitions=3), columns=("a", "b"), paired=True,
                                      id="user", replications=99))
    assert_close(runs[1], runs[0])
    assert_close(runs[2], runs[0])
    twice = pd.DataFrame({"a": a, "b": b, "user": [i // 2 for i in range(60)]})
    with pytest.raises(diffboot.Error, match="name a row twice"):
        dbd.analyse_frame(dd.from_pandas(twice, npartitions=4), columns=("a", "b"), id="user", replications=99)
    # Missing cells and ids: counted as the program counts pairs.
    holes = pd.DataFrame({"a": a, "b": b, "user": [str(i) for i in range(60)]})
    holes.loc[[1, 2], "a"] = np.nan
    holes.loc[[2, 3], "b"] = np.nan
    holes.loc[[5, 7, 9], "user"] = ["NA", "", None]
    r = dbd.analyse_frame(dd.from_pandas(holes, npartitions=3), columns=("a", "b"), paired=True, id="user",
                          replications=99)
    assert (r.missing_x, r.missing_y, r.pairs_dropped, r.n_x) == (2, 2, 6, 54)


def test_the_lift_is_clipped_on_dask_as_on_one_machine(client):
    # x mostly 0 and y positive: the lift is near -1 with a wide se, its t bound clipped at -1.
    rng = np.random.default_rng(5)
    x, y = np.r_[np.zeros(59), 60.0], rng.uniform(9.0, 11.0, 60)
    one = diffboot.analyse(x, y, method="poisson", measures=["lift"], replications=199)
    dask_run = dbd.analyse(da.from_array(x, chunks=20), da.from_array(y, chunks=25), measures=["lift"],
                           replications=199)
    assert one["lift"].t_lower == -1.0 or one["lift"].basic_lower == -1.0
    assert_close(dask_run, one)


def test_a_group_the_frame_does_not_hold_is_named_as_the_library_names_it():
    df = pd.DataFrame({"arm": ["A", "B", "A", "B", "C"] * 8, "v": RNG.normal(0, 1, 40)})
    with pytest.raises(diffboot.Error) as pandas_says:
        diffboot.analyse_frame(df, by="arm", groups=("A", "b"), value="v", method="poisson")
    with pytest.raises(diffboot.Error) as dask_says:
        dbd.analyse_frame(dd.from_pandas(df, npartitions=3), by="arm", groups=("A", "b"), value="v")
    assert str(dask_says.value) == str(pandas_says.value)
    assert 'no group "b"' in str(dask_says.value) and "A, B, C" in str(dask_says.value)
