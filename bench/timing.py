"""The one timing rule of the benchmarks: the best of several rounds, so that a
busy machine's interruptions drop out (the machine is shared)."""

import time


def _best(rounds, fn, clock):
    best = float("inf")
    for _ in range(rounds):
        start = clock()
        fn()
        best = min(best, clock() - start)
    return best


def best_of(rounds, fn):
    """The shortest wall time, in seconds, of `rounds` calls of fn()."""
    return _best(rounds, fn, time.perf_counter)


def best_process_time_of(rounds, fn):
    """The least processor time, in seconds, of `rounds` calls of fn(): on a shared
    machine the wall time also counts the other processes' turns, the processor time
    only this one's work (all of its threads)."""
    return _best(rounds, fn, time.process_time)
