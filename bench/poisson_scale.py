"""The Poisson bootstrap on Dask at scale: a LocalCluster of two worker
processes (one thread each, 2 GB each), both arms generated lazily by dask
in partitions of 10^6 rows and never gathered into one process, B = 1999.

    PYTHONPATH=build/python/python /usr/bin/python3 bench/poisson_scale.py 1e6 1e7 [1e8]

Prints, per size, the seconds of the whole run (two passes: summaries, then
sums and results), the processor seconds its workers spent (on a machine
shared with other jobs the wall-clock seconds exceed them), the seconds of
generating and reading the data alone (the same two passes with nothing
computed but a sum), the row-replicates a second of the whole run, and the
largest resident memory of a worker so far.
"""

import resource
import sys
import time


def main(sizes):
    import dask
    import dask.array as da
    import distributed

    import diffboot.distributed as dbd

    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, memory_limit="2GB",
                                  dashboard_address=":0", silence_logs=40) as cluster, \
            distributed.Client(cluster) as client:
        def worker_seconds():
            return sum(client.run(time.process_time).values())

        def worker_peak_mb():
            return max(client.run(lambda: resource.getrusage(resource.RUSAGE_SELF).ru_maxrss).values()) / 1024

        print("rows/arm  partitions  seconds  worker cpu s  data alone  row-replicates/s  worker peak MB", flush=True)
        for n in sizes:
            chunk = min(n, 10**6)
            x = da.random.RandomState(1).lognormal(1.0, 0.8, size=n, chunks=chunk)
            y = da.random.RandomState(2).lognormal(1.02, 0.8, size=n, chunks=chunk)
            start = time.perf_counter()
            for _ in range(2):
                dask.compute(x.sum(), y.sum())
            data = time.perf_counter() - start
            start, cpu = time.perf_counter(), worker_seconds()
            r = dbd.analyse(x, y, measures=("d_AVE", "d_STD", "g", "lift"), replications=1999)
            seconds, cpu = time.perf_counter() - start, worker_seconds() - cpu
            print("%9.0e  %10d  %7.1f  %12.1f  %10.1f  %16.3g  %14.0f"
                  % (n, x.npartitions, seconds, cpu, data, 2 * n * 1999 / seconds, worker_peak_mb()), flush=True)
        print(r)


if __name__ == "__main__":
    main([int(float(a)) for a in sys.argv[1:]] or [10**6, 10**7])
