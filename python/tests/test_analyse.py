"""analyse(): every field equals the program's json for the same values, for
every kind of input and option; the missing values, the replicates, the
table form of the result, errors, threads and interrupts."""

import _thread
import math
import threading
import tracemalloc

import numpy as np
import pandas as pd
import pytest

import diffboot
from conftest import assert_equals_json, bits, program_json, run_program, write_sample

RNG = np.random.default_rng(20240611)

# (paired, sizes, how the values are given, options of analyse, the same for the program)
CASES = [
    (False, (23, 17), "list", {}, []),
    (True, (30, 30), "int32", dict(level="90%", replications=499, seed=7, measures="all", permutations=199,
                                    threads=2), ["--level", "90%", "-B", "499", "-s", "7", "--measures", "all",
                                                 "--p-values", "--permutations", "199"]),
    (False, (40, 35), "float32", dict(level=98, replications=299, seed=123, measures=["d_MED", "g", "delta"],
                                      permutations=99, threads=1),
     ["--level", "98", "-B", "299", "-s", "123", "--measures", "d_MED,g,delta", "--p-values", "--permutations", "99"]),
    (True, (12, 12), "strided", dict(level=0.8, measures=["MED_d"]), ["--level", "0.8", "--measures", "MED_d"]),
    (False, (9, 14), "series", dict(level=0.95, seed=2147483647), ["-s", "2147483647"]),
    (False, (21, 16), "list", dict(level="99.9%", replications=199), ["--level", "0.999", "-B", "199"]),
    (True, (15, 15), "list", dict(level=0.6), ["-a", "0.2"]),
    (False, (25, 31), "list", dict(quantiles=[0.1, 0.999], measures="all", permutations=99),
     ["--quantiles", "0.1,0.999", "--measures", "all", "--p-values", "--permutations", "99"]),
    (True, (20, 20), "list", dict(quantiles=0.5, measures=["Q50_d"]), ["--quantiles", "0.5", "--measures", "Q50_d"]),
    (False, (25, 20), "list", dict(quantiles=[0.1, 0.9], measures="d_Q90"), ["--quantiles", "0.1,0.9", "--measures",
                                                                             "d_Q90"]),
    (False, (18, 22), "series", dict(acceleration="samples", measures="all"), ["--acceleration", "samples",
                                                                               "--measures", "all"]),
    (True, (16, 16), "list", dict(confidence_level=0.9, n_resamples=499), ["--level", "0.9", "-B", "499"]),
]


def given(values, how):
    if how == "list":
        return list(values)
    if how == "int32":
        return np.round(values * 10).astype(np.int32)
    if how == "float32":
        return values.astype(np.float32)
    if how == "strided":
        wide = np.zeros((len(values), 3))
        wide[:, 1] = values
        return wide[:, 1]
    return pd.Series(values, name="v")


@pytest.mark.parametrize("paired,sizes,how,options,args", CASES)
def test_every_field_equals_the_programs_json(program, tmp_path, paired, sizes, how, options, args):
    x, y = (given(RNG.lognormal(1.0, 0.8, n) - 2.0, how) for n in sizes)
    write_sample(tmp_path / "x.txt", np.asarray(x, dtype=np.float64))
    write_sample(tmp_path / "y.txt", np.asarray(y, dtype=np.float64))
    r = diffboot.analyse(x, y, paired=paired, **options)
    assert_equals_json(r, program_json(["-p" if paired else "-u", *args, "x.txt", "y.txt"], tmp_path))


@pytest.mark.parametrize("paired", [False, True])
def test_missing_values_are_left_out_and_counted_as_the_tables(program, tmp_path, paired):
    x = pd.Series(RNG.normal(5, 2, 25)).astype("Float64")
    y = pd.Series(RNG.normal(6, 2, 25))
    x[[0, 7, 8]] = pd.NA
    y[[8, 20]] = np.nan
    pd.DataFrame({"a": x, "b": y}).to_csv(tmp_path / "t.csv", index=False, float_format=repr)
    r = diffboot.analyse(x, y, paired=paired)
    assert (r.missing_x, r.missing_y, r.pairs_dropped) == ((3, 2, 4) if paired else (3, 2, None))
    assert_equals_json(r, program_json(["-p" if paired else "-u", "--table", "t.csv", "a", "b"], tmp_path))


def test_replicates_and_the_frame_are_the_programs(program, tmp_path):
    x, y = RNG.normal(0, 1, 15), RNG.normal(1, 2, 18)
    write_sample(tmp_path / "x.txt", x)
    write_sample(tmp_path / "y.txt", y)
    r = diffboot.analyse(x, y, replications=199, measures=["d_AVE", "delta"], permutations=99, replicates=True,
                         labels=("x.txt", "y.txt"))
    args = ["-u", "-B", "199", "--measures", "d_AVE,delta", "--p-values", "--permutations", "99"]
    run_program([*args, "--replicates", "r.csv", "x.txt", "y.txt"], tmp_path)
    written = pd.read_csv(tmp_path / "r.csv", float_precision="round_trip")
    assert list(r.replicates) == list(written.columns)
    for name, column in written.items():
        assert [bits(v) for v in r.replicates[name]] == [bits(v) for v in column]
    csv = run_program([*args, "-f", "csv", "x.txt", "y.txt"], tmp_path).splitlines()
    frame = r.to_frame()
    assert list(frame.columns) == csv[0].split(",")
    assert frame.to_csv(index=False, float_format=repr, header=False).splitlines() == [
        line.replace("NaN", "") for line in csv[1:]]
    assert diffboot.analyse(x, y).replicates is None
    text, html = repr(r), r._repr_html_()
    assert "B = 199" in text and "seed 286761062" in text and "95% intervals" in text and "<table>" in html
    assert ("%.6g" % r["delta"].bca_upper) in text


def test_float64_is_read_without_a_copy():
    x, y = np.linspace(0.0, 1.0, 1_000_000), np.linspace(0.5, 1.5, 1_000_000) ** 2
    tracemalloc.start()
    diffboot.analyse(x, y, paired=True, replications=99)
    _, peak = tracemalloc.get_traced_memory()
    tracemalloc.stop()
    assert peak < x.nbytes / 10, "a copy of the values was made in Python"


ERRORS = [
    (([], [1.0, 2.0, 3.0]), {}, diffboot.Error, "sample 1 has no values"),
    (([math.nan] * 4, [1.0, 2.0, 3.0]), {}, diffboot.Error, "sample 1 has no values"),
    (([1.0, math.inf, 3.0, 4.0], [1.0, 2.0, 3.0]), {}, diffboot.Error, "sample 1 holds a value that is not a finite "
     "number, at index 1"),
    (([1.0, 2.0, 3.0], [math.nan, 1.0, -math.inf, 4.0]), {}, diffboot.Error, "not a finite number, at index 2"),
    (([1.0, 2.0, 3.0], [1.0, 2.0, 3.0]), dict(seed=np.random.default_rng(1)), TypeError,
     "not a Generator: the run draws from the program's own generator, seeded by an integer"),
    (([1.0, 2.0, 3.0], [1.0, 2.0, 3.0]), dict(level=0.9, confidence_level=0.9), TypeError, "not both"),
    (([1.0, 2.0, 3.0], [1.0, 2.0, 3.0]), dict(replications=999, n_resamples=999), TypeError, "not both"),
    (([1.0, 2.0, 3.0], [1.0, 2.0, 3.0]), dict(random_state=1), TypeError, "unexpected keyword arguments: random_state"),
    (([1.0, 2.0, 3.0], [1.0, 2.0, 3.0]), dict(acceleration="jack"), diffboot.Error,
     'acceleration "jack" is not grid or samples'),
    (([1.0, 2.0, 3.0], [1.0, 2.0, 3.0]), dict(acceleration="samples", method="poisson"), diffboot.Error,
     "acceleration samples is not for the Poisson bootstrap"),
    (([1.0, 2.0], [1.0, 2.0, 3.0]), dict(paired=True), diffboot.Error, "samples of equal size"),
    (([1.0, 2.0, 3.0], [1.0, 2.0, 3.0]), dict(replications=10**9), diffboot.Error,
     "replications 1000000000 is not a whole number from 99 to 1000000"),
    (([1.0, 2.0, 3.0], [1.0, 2.0, 3.0]), dict(permutations=10**20), diffboot.Error, "permutations"),
    (([1.0, 2.0, 3.0], [1.0, 2.0, 3.0]), dict(seed=0), diffboot.Error, "seed 0 is not a whole number"),
    (([1.0, 2.0, 3.0], [1.0, 2.0, 3.0]), dict(level=0.9995), diffboot.Error, "level 0.9995 is not a level from 0.5 to 0.999"),
    (([1.0, 2.0, 3.0], [1.0, 2.0, 3.0]), dict(measures=["AVE_d"]), diffboot.Error,
     "AVE_d is not a measure of an unpaired experiment"),
    ((np.ones((3, 2)), [1.0, 2.0, 3.0]), {}, diffboot.Error, "2 dimensions"),
    ((5.0, [1.0, 2.0, 3.0]), {}, TypeError, "one-dimensional"),
    ((np.array([1, "a", 3], dtype=object), [1.0, 2.0, 3.0]), {}, TypeError, "not a real number"),
    ((["1", "2", "3"], [1.0, 2.0, 3.0]), {}, TypeError, "real numbers"),
    (([True, False, True], [1.0, 2.0, 3.0]), {}, diffboot.Error, "sample 2 holds 2, at index 1, which is not 0 or 1"),
    (([1.0, 2.0, 3.0], [1.0, 2.0, 3.0]), dict(replications=99.5), TypeError, "whole number"),
    (([1.0, 2.0, 3.0], [1.0, 2.0, 3.0]), dict(measures=[1]), TypeError, "measures"),
    (([1.0, 2.0, 3.0], [1.0, 2.0, 3.0]), dict(threads=-1), diffboot.Error, "threads -1"),
]


@pytest.mark.parametrize("values,options,kind,message", ERRORS)
def test_bad_input_is_an_error_with_the_programs_message(values, options, kind, message):
    with pytest.raises(kind, match=None) as caught:
        diffboot.analyse(*values, **options)
    assert message in str(caught.value)
    assert issubclass(diffboot.Error, ValueError)


def test_two_threads_at_once_give_what_each_gives_alone():
    samples = [(RNG.normal(0, 1, 400), RNG.normal(0.2, 1, 380), False), (RNG.normal(0, 1, 300),) * 2 + (True,)]
    alone = [diffboot.analyse(x, y, paired=p, replications=999) for x, y, p in samples]
    together = [None, None]

    def run(k):
        x, y, p = samples[k]
        together[k] = diffboot.analyse(x, y, paired=p, replications=999)

    threads = [threading.Thread(target=run, args=(k,)) for k in (0, 1)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for a, b in zip(alone, together):
        assert [[bits(getattr(m, f)) for f in diffboot.FIELDS] for m in a.measures] == \
               [[bits(getattr(m, f)) for f in diffboot.FIELDS] for m in b.measures]


@pytest.mark.parametrize("method", ["bootstrap", "poisson"])
def test_an_interrupt_stops_a_long_run_and_leaves_nothing_behind(method):
    x, y = RNG.normal(0, 1, 3000), RNG.normal(0, 1, 3000)
    before = diffboot.analyse(x[:50], y[:50], method=method)
    timer = threading.Timer(0.3, _thread.interrupt_main)
    timer.start()
    with pytest.raises(KeyboardInterrupt):
        diffboot.analyse(x, y, replications=1_000_000, progress=True, method=method)
    timer.join()
    after = diffboot.analyse(x[:50], y[:50], method=method)
    assert [bits(getattr(m, f)) for m in before.measures for f in diffboot.FIELDS] == \
           [bits(getattr(m, f)) for m in after.measures for f in diffboot.FIELDS]


def test_notes_on_the_numbers_are_warnings(program, tmp_path):
    """What the program says on standard error beside its numbers, the package says as warnings."""
    import subprocess

    from conftest import PROGRAM

    x, y = [1.0, 2.0, 3.0, 4.0], [-5.0, -6.0, -7.0, -4.0]
    write_sample(tmp_path / "x.txt", x)
    write_sample(tmp_path / "y.txt", y)
    done = subprocess.run([PROGRAM, "--no-files", "-u", "--measures", "lift", "x.txt", "y.txt"], cwd=tmp_path,
                          capture_output=True, text=True)
    said = [line.strip() for line in done.stderr.splitlines() if "reads reversed" in line]
    assert said
    with pytest.warns(diffboot.DiffbootWarning) as caught:
        r = diffboot.analyse(x, y, measures=["lift"])
    assert [str(w.message).strip() for w in caught] == said
    assert r["lift"].notes == [str(w.message) for w in caught]
