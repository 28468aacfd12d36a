"""diffboot.distributed of 0/1 outcomes: d_PROP and lift are the Poisson
d_AVE and lift of the 0/1 values, the same bytes on 1, 3 and 7 partitions
(paired: but the acceleration's last place);
h and values other than 0 and 1 are refused."""

import numpy as np
import pandas as pd
import pytest

import diffboot
from conftest import FIELDS, bits

dd = pytest.importorskip("dask.dataframe")

import diffboot.distributed as dbd  # noqa: E402

RNG = np.random.default_rng(4904)
A = RNG.random(3000) < 0.12
B = RNG.random(3000) < 0.10
OPTIONS = dict(replications=499, seed=11)


def numbers(r):
    return [(m.name,) + tuple(bits(getattr(m, f)) for f in FIELDS) for m in r.measures]


def long_frame():
    converted = pd.array(np.concatenate([A, B[:2500]]), dtype="boolean")
    converted[[5, 3100]] = pd.NA  # a missing outcome in each arm
    return pd.DataFrame({"arm": ["A"] * 3000 + ["B"] * 2500, "converted": converted})


@pytest.mark.parametrize("paired", [False, True])
def test_the_same_bytes_on_any_partitions_and_as_the_poisson_d_ave(paired):
    if paired:
        df = pd.DataFrame({"a": A, "b": B})
        run = lambda parts: dbd.analyse_frame(dd.from_pandas(df, npartitions=parts), columns=("a", "b"), paired=True,
                                              **OPTIONS)
        x, y = A.astype(float), B.astype(float)
    else:
        df = long_frame()
        run = lambda parts: dbd.analyse_frame(dd.from_pandas(df, npartitions=parts), by="arm", groups=("A", "B"),
                                              value="converted", **OPTIONS)
        x = df.converted[df.arm == "A"].to_numpy(dtype=float, na_value=np.nan)
        y = df.converted[df.arm == "B"].to_numpy(dtype=float, na_value=np.nan)
    runs = [run(parts) for parts in (1, 3, 7)]
    assert [m.name for m in runs[0].measures] == (["PROP_d", "lift"] if paired else ["d_PROP", "lift"])
    if paired:  # the differences' acceleration adds its parts' sums in their grouping: the last place may differ
        for r in runs[1:]:
            assert [m.acceleration for m in r.measures] == pytest.approx([m.acceleration for m in runs[0].measures],
                                                                         rel=1e-14)
        same = lambda r: [n[:-1] for n in numbers(r)]
    else:
        same = numbers
    assert same(runs[0]) == same(runs[1]) == same(runs[2])
    assert runs[0].test == ("p_mcnemar" if paired else "p_z") and runs[0].proportions
    if not paired:
        assert (runs[0].n_x, runs[0].n_y, runs[0].missing_x, runs[0].missing_y) == (2999, 2499, 1, 1)
    mean = "AVE_d" if paired else "d_AVE"
    plain = diffboot.analyse(x, y, paired=paired, method="poisson", measures=[mean, "lift"], **OPTIONS)
    assert [n[1:] for n in numbers(runs[0])] == [n[1:] for n in numbers(plain)]


@pytest.mark.parametrize("call,message", [
    (lambda: dbd.analyse_frame(dd.from_pandas(long_frame(), npartitions=3), by="arm", groups=("A", "B"),
                               value="converted", measures=["d_PROP", "h"], replications=99),
     "h is not given by the Poisson bootstrap of proportions"),
    (lambda: dbd.analyse_frame(dd.from_pandas(pd.DataFrame({"a": [0.0, 1, 2, 1] * 5, "b": [1.0, 0, 0, 1] * 5}),
                                              npartitions=2), columns=("a", "b"), proportions=True, replications=99),
     r"a holds 2.0, which is not 0 or 1"),
], ids=["h", "a value other than 0 and 1"])
def test_what_it_refuses(call, message):
    with pytest.raises(diffboot.Error, match=message):
        call()
