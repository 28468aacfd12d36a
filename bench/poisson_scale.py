"""The Poisson bootstrap on Dask at scale: a LocalCluster of two worker
processes (one thread each, 2 GB each), both arms generated lazily by dask
in partitions of 10^6 rows and never gathered into one process, B = 1999.

    PYTHONPATH=build/python/python /usr/bin/python3 bench/poisson_scale.py 1e6 1e7 [1e8]

Prints, per size, the seconds of the two passes (summaries, then sums and
results) and of the whole run, and the row-replicates a second.
"""

import sys
import time


def main(sizes):
    import dask.array as da
    import distributed

    import diffboot.distributed as dbd

    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, memory_limit="2GB",
                                  dashboard_address=":0", silence_logs=40) as cluster, distributed.Client(cluster):
        print("rows/arm  partitions  seconds  row-replicates/s")
        for n in sizes:
            chunk = min(n, 10**6)
            x = da.random.RandomState(1).lognormal(1.0, 0.8, size=n, chunks=chunk)
            y = da.random.RandomState(2).lognormal(1.02, 0.8, size=n, chunks=chunk)
            start = time.perf_counter()
            r = dbd.analyse(x, y, measures=("d_AVE", "d_STD", "g", "lift"), replications=1999)
            seconds = time.perf_counter() - start
            print("%9.0e  %10d  %7.1f  %.3g" % (n, x.npartitions, seconds, 2 * n * 1999 / seconds))
        print(r)


if __name__ == "__main__":
    main([int(float(a)) for a in sys.argv[1:]] or [10**6, 10**7])
