#!/usr/bin/env python3
"""Benchmarks of the Python module (not a test: figures to read, no limits).

    PYTHONPATH=build/python /usr/bin/python3 bench/bench_python.py [--series 100] [--length 32768]

1. Call overhead: the time per quorvel.analyse on a 4,096-value series, against
   the time of the extension's own call (the library's work and the result's
   conversion) and a pure-Python no-op call.
2. analyse_many throughput: series of 32,768 values on a dask LocalCluster of
   1 and of 2 single-threaded workers (best of --rounds rounds); the speed-up
   of 2 over 1. The scheduler and the client share the same cores.
"""
import argparse
import time

import numpy as np

import quorvel
from quorvel import _core


def per_call(function, repeats, rounds=5):
    """The best of a few rounds: other load on the machine only adds time."""
    function()  # warm
    best = float("inf")
    for _ in range(rounds):
        start = time.perf_counter()
        for _ in range(repeats):
            function()
        best = min(best, (time.perf_counter() - start) / repeats)
    return best


def call_overhead(repeats):
    x = np.random.default_rng(1).standard_normal(4096)
    settings = quorvel._settings()
    whole = per_call(lambda: quorvel.analyse(x), repeats)
    core = per_call(lambda: _core.analyse(x, title="", threads=0, **settings), repeats)
    print(f"analyse, 4,096 values: {whole * 1e3:.3f} ms per call; extension alone {core * 1e3:.3f} ms; "
          f"Python wrapper overhead {(whole - core) * 1e6:.1f} us per call")


def throughput(count, length, rounds):
    from distributed import Client, LocalCluster

    rng = np.random.default_rng(2)
    series = {f"s{i}": rng.standard_normal(length) for i in range(count)}
    times = {}
    for workers in (1, 2):
        with LocalCluster(n_workers=workers, threads_per_worker=1, dashboard_address=None) as cluster, \
                Client(cluster) as client:
            quorvel.analyse_many({"warm": series["s0"]}, client=client)
            # The best of a few rounds: a batch of short calls is at the
            # mercy of the machine's other load.
            times[workers] = float("inf")
            for _ in range(rounds):
                start = time.perf_counter()
                frame = quorvel.analyse_many(series, client=client)
                times[workers] = min(times[workers], time.perf_counter() - start)
                assert frame["error"].isna().all()
        print(f"analyse_many, {count} series of {length} values, {workers} worker(s): "
              f"{times[workers]:.2f} s, {count / times[workers]:.1f} series/s")
    print(f"speed-up of 2 workers over 1: {times[1] / times[2]:.2f}x")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--series", type=int, default=100)
    parser.add_argument("--length", type=int, default=32768)
    parser.add_argument("--repeats", type=int, default=20)
    parser.add_argument("--rounds", type=int, default=5)
    args = parser.parse_args()
    call_overhead(args.repeats)
    throughput(args.series, args.length, args.rounds)


if __name__ == "__main__":
    main()
