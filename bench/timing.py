"""The one timing rule of the benchmarks: the best of several rounds, so that a
busy machine's interruptions drop out (the machine is shared)."""

import time


def best_of(rounds, fn):
    """The shortest wall time, in seconds, of `rounds` calls of fn()."""
    best = float("inf")
    for _ in range(rounds):
        start = time.perf_counter()
        fn()
        best = min(best, time.perf_counter() - start)
    return best
