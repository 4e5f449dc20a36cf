"""Every call of a callable F goes through here: counted, timed, spread over
threads and reported as progress.

For a user whose F is a numerical solver (a finite-difference solve per s), the
calls of F are the whole cost: how many there were, and how long they took
against the rest, is what they need to see, and what the progress bar counts.
"""

import concurrent.futures
import contextvars
import inspect
import threading
import time

import numpy as np

from invlap import _engine
from invlap.result import Evaluations

__all__ = ["Evaluator"]


class Evaluator:
    """Calls F: a vectorized F once per array of s, a plain F once per s, the
    values of s of one batch spread over `workers` threads.

    Each value of a plain F depends on its s (and parameters) only, and lands in
    its own slot: the results are the same bits whatever the number of workers.
    A vectorized F gets each array whole (its own code decides how to use the
    cores): split into pieces, NumPy's vector loops could round a piece's ends
    differently from the whole.
    """

    def __init__(self, F, vectorized, workers, progress):
        self.F = F
        self.vectorized = vectorized
        self.workers = max(1, int(workers))
        self.calls = 0
        self.values = 0
        self.seconds_in_F = 0.0
        self.started = time.perf_counter()
        self.expected = 0
        self._report = _reporter(progress)
        self._pool = None

    def expect(self, count):
        """Adds `count` to the estimate of the values of s still to come."""
        self.expected += int(count)

    def summary(self):
        return Evaluations(self.calls, self.values, self.seconds_in_F,
                           time.perf_counter() - self.started)

    def close(self):
        if self._pool is not None:
            self._pool.shutdown(wait=True, cancel_futures=True)
            self._pool = None

    def vector(self, s, keywords):
        """F(s, **keywords) for one array s: one call."""
        start = time.perf_counter()
        try:
            return self.F(s, **keywords)
        finally:
            self._count(1, np.size(s), start)

    def each(self, points, keywords, convert, dtype):
        """[convert(F, F(x, **keywords[r]))] for every x of points (rows, n), one
        row of parameters per row of points, as an array of `dtype`."""
        points = np.asarray(points)
        out = np.empty(points.shape, dtype=dtype)
        flat = out.reshape(-1)
        values = points.reshape(-1).tolist()
        width = points.shape[-1] if points.ndim else 1
        start = time.perf_counter()
        if self.workers == 1 or len(values) < 2:
            try:
                for k, x in enumerate(values):
                    flat[k] = convert(self.F, self.F(x, **keywords[k // width]))
                    self.values += 1
                    self.calls += 1
                    self._report(self.values, self._total())
            finally:
                self.seconds_in_F += time.perf_counter() - start
            return out
        self._spread(values, keywords, width, convert, flat)
        self._count(len(values), len(values), start)
        return out

    def _spread(self, values, keywords, width, convert, flat):
        """Contiguous pieces of the batch, one per thread; this thread waits and
        reports progress (the callback runs here, never in a worker)."""
        if self._pool is None:
            self._pool = concurrent.futures.ThreadPoolExecutor(self.workers)
        stop = threading.Event()
        done = [0] * self.workers
        bounds = np.linspace(0, len(values), self.workers + 1).astype(int)

        def piece(p):
            for k in range(bounds[p], bounds[p + 1]):
                if stop.is_set():
                    return
                flat[k] = convert(self.F, self.F(values[k], **keywords[k // width]))
                done[p] += 1

        # Each piece in its own copy of the caller's context: F sees the
        # caller's NumPy errstate, decimal context and the like, as it would
        # on the calling thread (a context is entered by one thread at a time).
        futures = [self._pool.submit(contextvars.copy_context().run, piece, p)
                   for p in range(self.workers)]
        try:
            pending = set(futures)
            while pending:
                finished, pending = concurrent.futures.wait(
                    pending, timeout=_engine.progress_interval_s,
                    return_when=concurrent.futures.FIRST_EXCEPTION)
                if any(f.exception() is not None for f in finished):
                    break
                self._report(self.values + sum(done), self._total())
        finally:
            stop.set()
            concurrent.futures.wait(futures)
        # The first piece's exception in the order of s: the same one whatever
        # the number of workers, when F fails at one s.
        for future in futures:
            if future.exception() is not None:
                raise future.exception()

    def _count(self, calls, values, start):
        self.seconds_in_F += time.perf_counter() - start
        self.calls += calls
        self.values += values
        self._report(self.values, self._total())

    def _total(self):
        return max(self.expected, self.values)


def _reporter(progress):
    """report(done, total): progress(done), or progress(done, total) for a
    callback that takes two arguments, at most once per the engine's interval
    counted from when the previous call returned."""
    if progress is None:
        return lambda done, total: None
    both = _takes_two(progress)
    interval = _engine.progress_interval_s
    next_at = time.monotonic()

    def report(done, total):
        nonlocal next_at
        if time.monotonic() >= next_at:
            progress(done, total) if both else progress(done)
            next_at = time.monotonic() + interval
    return report


def _takes_two(progress):
    try:
        parameters = inspect.signature(progress).parameters.values()
    except (TypeError, ValueError):
        return False
    positional = [p for p in parameters
                  if p.kind in (p.POSITIONAL_ONLY, p.POSITIONAL_OR_KEYWORD)]
    return len(positional) >= 2 or any(p.kind == p.VAR_POSITIONAL for p in parameters)
