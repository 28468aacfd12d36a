#!/usr/bin/python3
"""Writes quantiles_numpy.inc: numpy's default quantiles (linear
interpolation) of the samples quantiles_test.cpp makes, as C++ rows
{n, tied, p, quantile}. Run once from this folder; the table is kept."""
import numpy as np

MASK = (1 << 64) - 1


def sample(n, tied):
    # The test's generator: a 64-bit linear congruential sequence, the same
    # integer and double operations in both languages.
    s = (88172645463325252 + n) & MASK
    out = []
    for _ in range(n):
        s = (s * 6364136223846793005 + 1442695040888963407) & MASK
        out.append(float((s >> 33) % 5) if tied else float(s >> 11) * 2.0**-53 * 200.0 - 100.0)
    return out


SIZES = [2, 3, 4, 5, 7, 10, 33, 100, 101, 999, 1000]
PROBABILITIES = [0.001, 0.01, 0.1, 0.25, 0.3, 0.5, 0.75, 0.9, 0.95, 0.99, 0.999]

with open("quantiles_numpy.inc", "w") as f:
    f.write("// numpy %s, np.quantile(sample, p): written by quantiles_table.py\n" % np.__version__)
    for n in SIZES:
        for tied in (False, True):
            v = np.array(sample(n, tied))
            for p in PROBABILITIES:
                f.write("{%d, %s, %r, %r},\n" % (n, "true" if tied else "false", p, float(np.quantile(v, p))))
