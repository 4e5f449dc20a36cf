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


def best_process_time_of(rounds, fn):
    """The least processor time, in seconds, of `rounds` calls of fn(): on a shared
    machine the wall time also counts the other processes' turns, the processor time
    only this one's work (all of its threads)."""
    best = float("inf")
    for _ in range(rounds):
        start = time.process_time()
        fn()
        best = min(best, time.process_time() - start)
    return best
