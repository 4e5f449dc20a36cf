"""The inversions behind `invlap invert`: f(t) per curve and, on request, t df/dt."""

import contextlib
import dataclasses
import os
import sys
import time
import warnings

import mpmath
import numpy as np

import invlap
from invlap._rules import text_digits

__all__ = ["Series", "run_inversions"]

# The bar stays hidden for runs shorter than this (seconds): a quick table
# should not flash a bar first.
PROGRESS_DELAY_S = 1.0


@dataclasses.dataclass
class Series:
    """One quantity over every curve and time: rows are curves, columns times."""

    label: str      # plain text, for the table, the CSV and messages
    values: object  # mpf values, (curves, times)
    errors: object  # floats, (curves, times)
    method: object  # one name, or names (curves, times) where the method varied
    seconds: float = 0.0      # the whole inversion's wall-clock time
    evaluations: object = None  # invlap.Evaluations, for a callable F

    def method_at(self, c, j):
        return self.method if isinstance(self.method, str) else self.method[c, j]

    def method_names(self):
        if isinstance(self.method, str):
            return [self.method]
        return list(dict.fromkeys(self.method.ravel().tolist()))


def run_inversions(expression, times, curves, options, derivative, warn):
    """[f] or [f, t df/dt], with a progress bar on a terminal; `warn(text)` reports
    each warning once, as one line."""
    k, n = curves.count, times.size
    params = curves.arrays()
    total = k * n * (2 if derivative else 1) + (k if derivative else 0)
    # A callable's bar counts the values of s F gave, against invert's estimate.
    values = callable(expression)
    with (_progress_bar(None if values else total, "F" if values else "pt") as progress,
          warnings.catch_warnings(record=True) as caught):
        warnings.simplefilter("always")
        series = [_invert("f(t)", expression, times, params, options, progress.part(0), k, n)]
        _report(caught, "f(t)", warn)
        if derivative:
            series.append(_derivative(expression, times, params, options, progress, k, n))
            _report(caught, series[-1].label, warn)
    return series


def _invert(label, expression, times, params, options, progress, k, n):
    start = time.perf_counter()
    result = invlap.invert(expression, times, full_output=True, output="mpmath",
                           progress=progress, params=params, **options)
    seconds = time.perf_counter() - start
    method = result.method
    if not isinstance(method, str):
        method = np.reshape(np.asarray(method, dtype=object), (k, n))
    return Series(label, np.reshape(result.value, (k, n)),
                  np.reshape(np.asarray(result.error, dtype=float), (k, n)), method,
                  seconds, result.evaluations)


def _derivative(expression, times, params, options, progress, k, n):
    """t df/dt = t L^-1[s F(s) - f(0+)](t), which holds for f(0+) finite.

    Subtracting f(0+) changes only the distribution at t = 0 (the inverse of a
    constant is a multiple of the delta function), but it takes a large constant out
    of the samples before the sums that cancel it. An infinite or undefined f(0+) is
    left out: the inverse of s F(s) alone still gives f' for t > 0.
    """
    name = _unused_name(params)
    start = invlap.invert(expression, 0.0, progress=progress.part(k * n), params=params,
                          **options)
    start = np.where(np.isfinite(start), start, 0.0)
    if callable(expression):
        def shifted(s, **keywords):
            start = keywords.pop(name)
            return s * expression(s, **keywords) - start
    else:
        shifted = f"s*({expression}\n) - {name}"  # the newline ends any comment in F
    slope = _invert("t*df/dt", shifted, times, {**params, name: start}, options,
                    progress.part(k * n + k), k, n)
    with mpmath.workdps(text_digits(options["digits"])), np.errstate(invalid="ignore"):
        slope.values = slope.values * times
    slope.errors = slope.errors * times
    return slope


def _unused_name(params):
    name = "f0"
    while name in params:
        name += "_"
    return name


def _report(caught, label, warn):
    for message in dict.fromkeys(str(w.message) for w in caught):
        warn(f"{label}: {message}")
    caught.clear()


class _NoBar:
    def part(self, offset):
        return None


class _Bar:
    def __init__(self, bar, values):
        self.bar = bar
        self.values = values

    def part(self, offset):
        """The progress callback of one inversion whose points come after `offset`."""
        if self.values:
            return self._values_part()

        def update(done):
            self.bar.update(offset + done - self.bar.n)
        return update

    def _values_part(self):
        """The progress callback of one inversion of a callable: the values of s
        F gave, after those of the inversions before it, against its estimate."""
        offset = self.bar.n

        def update(done, total):
            self.bar.total = offset + total
            self.bar.update(offset + done - self.bar.n)
        return update


@contextlib.contextmanager
def _progress_bar(total, unit):
    """A bar on stderr counting points (or values of F, whose total each inversion
    estimates), only when stderr is a terminal and tqdm is installed (it is
    optional: pip install 'invlap[cli]')."""
    tqdm = _tqdm() if sys.stderr.isatty() else None
    if tqdm is None:
        yield _NoBar()
        return
    # A terminal that reports no size (0 x 0, as `script` gives) would get no bar at
    # all: tqdm draws nothing on a screen of no rows.
    size = os.get_terminal_size(sys.stderr.fileno())
    bar = tqdm(total=total, unit=unit, desc="invlap", file=sys.stderr, leave=False,
               delay=PROGRESS_DELAY_S, ncols=size.columns or 80, nrows=size.lines or 24)
    try:
        yield _Bar(bar, total is None)
    finally:
        bar.close()


def _tqdm():
    try:
        from tqdm import tqdm
    except ImportError:
        return None
    # The bar is redrawn from the engine's progress calls, so tqdm's monitor thread
    # (which tunes the redraw rate of slow loops) has nothing to do; left running,
    # it sleeps through the interpreter's exit as a daemon thread.
    tqdm.monitor_interval = 0
    return tqdm
