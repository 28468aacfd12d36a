"""The Python package's own costs: a call at n = 30 (B = 1999, one thread),
to hold beside the library's BM_analyse_n30, and 10^7 float64 values per
sample from numpy (unpaired, B = 99). Run with the built package on
PYTHONPATH: PYTHONPATH=build/python/python /usr/bin/python3 bench/python_bench.py"""

import resource
import time

import numpy as np

import diffboot


def best_of(runs, call):
    best = float("inf")
    for _ in range(runs):
        start = time.perf_counter()
        call()
        best = min(best, time.perf_counter() - start)
    return best


rng = np.random.default_rng(42)
x, y = rng.normal(10, 3, 30), rng.normal(10, 3, 30)
small = best_of(200, lambda: diffboot.analyse(x, y, threads=1))
print("analyse, n = 30, B = 1999, 1 thread: %.1f us a call (best of 200)" % (small * 1e6))
big_x, big_y = rng.normal(10, 3, 10_000_000), rng.normal(11, 3, 10_000_000)
before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
big = best_of(1, lambda: diffboot.analyse(big_x, big_y, replications=99))
grown = (resource.getrusage(resource.RUSAGE_SELF).ru_maxrss - before) / 1024
print("analyse, n = 10^7 + 10^7 float64, B = 99, every core: %.1f s; peak memory %.0f MB beyond the arrays' %.0f MB"
      % (big, grown, (big_x.nbytes + big_y.nbytes) / 2**20))

# Beside scipy's BCa bootstrap of the difference of means (B = 1999), where
# scipy is installed (it is not one of the package's needs).
try:
    from scipy import stats
except ImportError:
    stats = None
if stats is not None:
    for n in (3000, 10_000):
        x, y = rng.lognormal(0, 1, n), rng.lognormal(0.05, 1, n)
        theirs = best_of(3, lambda: stats.bootstrap(
            (x, y), lambda a, b, axis: a.mean(axis=axis) - b.mean(axis=axis), method="BCa",
            n_resamples=1999, vectorized=True, random_state=1))
        mean_only = best_of(3, lambda: diffboot.analyse(x, y, measures=("d_AVE",)))
        every = best_of(3, lambda: diffboot.analyse(x, y, measures=("all",)))
        print("n = %d a sample, B = 1999, BCa: scipy (d_AVE) %.3f s; diffboot d_AVE %.3f s (%.0fx), all measures %.3f s (%.0fx)"
              % (n, theirs, mean_only, theirs / mean_only, every, theirs / every))
