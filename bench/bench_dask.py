"""Dask's overhead over a local invert, on a sweep of the radial-flow transform at 15 digits.

    python bench/bench_dask.py [--points N] [--block B] [--contiguous] [--rounds R]
                               [--expression F]

Inverts F (default the radial-flow transform K0(sqrt s)/(s sqrt(s) K1(sqrt s))) at N
times (default 10**6) on a log grid t in [1e-2, 1e6], three ways:
  * local invert with workers=2;
  * a distributed.LocalCluster of 2 worker processes x 1 thread;
  * a LocalCluster of 1 worker process x 2 threads.
For Dask the grid is a NumPy array cut into blocks of B points (default N/100, at most
10**4). The points are interleaved over the blocks, each holding times from all along
the grid: a point near t = 0.01 costs about a hundred times one at t >= 1 today, and
distributed tends to start from the last block, so blocks cut in order (--contiguous)
leave the costliest for the end, one thread busy and the other idle.

The time of a way is its best of R rounds (default 3), the ways taking turns; a Dask
round runs from building the graph to the values back in this process. Starting the
clusters (both stay up throughout) and one small warm-up sweep that loads the engine
on each worker are not timed. Prints seconds, microseconds per point and each way's
time over the local one (goal: at most 1.10), and checks that every way gave the same
bits. At today's speed of the Bessel functions the default size takes hours: --points
2000 gives the figures in minutes.
"""

import argparse
import contextlib
import math
import time
import warnings

import dask.array as da
import numpy as np
from distributed import Client, LocalCluster

import invlap

RADIAL = "besselk(0, sqrt(s))/(s*sqrt(s)*besselk(1, sqrt(s)))"
GOAL = 1.10


def cluster_way(stack, F, grid, block, processes, threads):
    """A round on a new LocalCluster (closed with `stack`), made after one untimed warm-up."""
    # A free port for the scheduler's HTTP server: another cluster may hold 8787.
    cluster = stack.enter_context(LocalCluster(
        n_workers=processes, threads_per_worker=threads, processes=True, dashboard_address=":0"))
    client = stack.enter_context(Client(cluster))
    # Eight one-point blocks: every worker process loads the engine and makes the program.
    warm_up = da.from_array(grid[:: max(1, grid.size // 8)][:8], chunks=1)
    client.compute(invlap.invert(F, warm_up)).result()
    return lambda: client.compute(invlap.invert(F, da.from_array(grid, chunks=block))).result()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--points", type=int, default=10**6)
    parser.add_argument("--block", type=int, default=None)
    parser.add_argument("--contiguous", action="store_true")
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--expression", default=RADIAL)
    args = parser.parse_args()
    F, grid = args.expression, np.geomspace(1e-2, 1e6, args.points)
    block = args.block or max(1, min(10**4, -(-args.points // 100)))
    blocks = -(-args.points // block)
    if not args.contiguous:  # point i goes to block i mod blocks
        grid = grid[np.argsort(np.arange(grid.size) % blocks, kind="stable")]
    print(f"{F}, 15 digits, {args.points} points (t in [1e-2, 1e6]), {blocks} blocks of {block} "
          f"points, {'contiguous' if args.contiguous else 'interleaved'}, best of {args.rounds}")
    warnings.simplefilter("ignore", invlap.AccuracyWarning)  # bits are compared, not accuracy
    invlap.invert(F, grid[:2], workers=2)  # makes the program before timing
    with contextlib.ExitStack() as stack:
        ways = {"local invert, workers=2": lambda: invlap.invert(F, grid, workers=2),
                "LocalCluster 2 processes x 1 thread": cluster_way(stack, F, grid, block, 2, 1),
                "LocalCluster 1 process x 2 threads": cluster_way(stack, F, grid, block, 1, 2)}
        best, values = dict.fromkeys(ways, math.inf), {}
        # The ways take turns in every round, so that a change in the machine's load
        # falls on all of them alike.
        for _ in range(args.rounds):
            for name, run in ways.items():
                start = time.perf_counter()
                values[name] = run()
                best[name] = min(best[name], time.perf_counter() - start)
    local, reference = best["local invert, workers=2"], values["local invert, workers=2"]
    print(f"{'':36}{'seconds':>9}{'us/point':>10}{'/ local':>9}  (goal <= {GOAL:.2f})")
    for name, seconds in best.items():
        same = "" if values[name].tobytes() == reference.tobytes() else "   NOT THE LOCAL BITS"
        print(f"{name:36}{seconds:9.2f}{seconds / args.points * 1e6:10.1f}"
              f"{seconds / local:9.3f}{same}")


if __name__ == "__main__":
    main()
