"""How often the intervals hold the true difference when users, not rows,
were randomised: simulated sessions of 50 users an arm, 1 to 20 rows each
(uniform), values a user's level plus a row's noise of equal variance (an
intraclass correlation of 0.5), the same in both arms (a true difference of
0). Each data set is run twice by the program, B = 999: the rows resampled
(the plain run) and the users (--cluster user); the script counts the 95%
BCa and t intervals of d_AVE that hold 0.

    /usr/bin/python3 bench/cluster_coverage.py PROGRAM [SETS] [SEED]

SETS defaults to 2000 (about 25 s on two cores: each run takes a few
milliseconds); the binomial standard error of a share near 0.95 from 2000
sets is 0.005.
"""

import concurrent.futures
import json
import math
import os
import random
import subprocess
import sys
import tempfile

USERS, MOST_ROWS, B = 50, 20, 999


def data_set(rng):
    """The csv text of one simulated experiment."""
    lines = ["user,arm,revenue"]
    for arm in "AB":
        for u in range(USERS):
            level = rng.gauss(0.0, 1.0)
            for _ in range(rng.randint(1, MOST_ROWS)):
                lines.append("%s%03d,%s,%.17g" % (arm, u, arm, level + rng.gauss(0.0, 1.0)))
    return "\n".join(lines) + "\n"


def holds(program, path, clustered, seed):
    """(BCa holds 0, t holds 0) of d_AVE for one run."""
    args = [program, "-u", "--table", path, "--by", "arm", "--value", "revenue", "--measures", "d_AVE", "-B", str(B),
            "-s", str(seed), "-f", "json"]
    if clustered:
        args += ["--cluster", "user"]
    run = subprocess.run(args + ["A", "B"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=True)
    m = json.loads(run.stdout)["measures"][0]
    return m["bca_lower"] <= 0.0 <= m["bca_upper"], m["t_lower"] <= 0.0 <= m["t_upper"]


def one_set(program, k, seed):
    rng = random.Random(seed * 100003 + k)
    with tempfile.NamedTemporaryFile("w", suffix=".csv", delete=False) as f:
        f.write(data_set(rng))
    try:
        return holds(program, f.name, False, k + 1) + holds(program, f.name, True, k + 1)
    finally:
        os.unlink(f.name)


def main(program, sets=2000, seed=1):
    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        found = list(pool.map(lambda k: one_set(program, k, seed), range(sets)))
    print("%d data sets, 50 users an arm of 1 to 20 rows, ICC 0.5, true difference 0, B = %d" % (sets, B))
    print("resampled  95%% BCa holds 0  95%% t holds 0   (binomial se %.3f)" % math.sqrt(0.95 * 0.05 / sets))
    for name, at in (("rows", 0), ("users", 2)):
        bca = sum(f[at] for f in found) / sets
        t = sum(f[at + 1] for f in found) / sets
        print("%-9s  %15.3f  %13.3f" % (name, bca, t))


if __name__ == "__main__":
    main(os.path.abspath(sys.argv[1]), *(int(a) for a in sys.argv[2:4]))
