"""The calls of a callable F: counted as F sees them, shared by the times of a
window, spread over workers without changing a bit, and reported as progress."""

import contextvars
import threading
import time
import warnings

import numpy as np
import pytest

import invlap

TIMES = np.geomspace(1e-3, 1e3, 1000)


class Counted:
    """F(s) = 1/sqrt(s + a), counting its calls and values of s itself."""

    def __init__(self, pause=0.0):
        self.calls = 0
        self.values = 0
        self.pause = pause
        self.lock = threading.Lock()

    def __call__(self, s, a=0.0):
        with self.lock:
            self.calls += 1
            self.values += np.size(s)
        if self.pause:
            time.sleep(self.pause)
        return 1 / np.sqrt(s + a)


@pytest.mark.parametrize("options", [{}, {"vectorized": True}, {"method": "gwr"},
                                     {"precision": "multi", "digits": 20}],
                         ids=["plain", "vectorized", "gwr", "multi"])
def test_the_reported_evaluations_are_those_F_saw(options):
    F = Counted()
    t = TIMES[::100] if options.get("precision") else TIMES
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", invlap.AccuracyWarning)
        result = invlap.invert(F, t, full_output=True, **options)
    counted = result.evaluations
    assert (counted.calls, counted.values) == (F.calls, F.values)
    assert 0 < counted.seconds_in_F <= counted.seconds


@pytest.mark.parametrize("vectorized", [False, True])
def test_times_share_the_values_of_F(vectorized):
    # One contour per time takes 25 values of s per time; windows of times
    # sharing their nodes, with the probes and the line's checks, take about
    # one per time here.
    F = Counted()
    result = invlap.invert(F, TIMES, vectorized=vectorized, full_output=True)
    assert result.evaluations.values <= 1.5 * TIMES.size
    exact = 1 / np.sqrt(np.pi * TIMES)
    assert np.all(np.abs(result.value - exact) <= result.error)


CASES = {
    # the shared hyperbola, a wide window and its decades
    "hyperbola": (lambda s, a: np.exp(-np.sqrt(s)) / s + a / (s + a), {}),
    # the line's check and the decades, with poles at +-i
    "waves": (lambda s, a: 1 / (s * s + a), {}),
    "gwr": (lambda s, a: 1 / (s + a), {"method": "gwr"}),
}


@pytest.mark.parametrize("case", CASES)
def test_results_are_the_same_bits_whatever_the_workers(case):
    F, options = CASES[case]
    t = np.geomspace(0.01, 100, 30)[:, None]
    a = np.array([1.0, 2.0])
    results = []
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", invlap.AccuracyWarning)
        for workers in (1, 2, 3):
            result = invlap.invert(F, t, a=a, workers=workers, full_output=True, **options)
            results.append((result.value.tobytes(), result.error.tobytes(),
                            result.evaluations.values))
    assert results[0] == results[1] == results[2]


def test_an_exception_in_a_worker_reaches_the_caller_unchanged():
    boom = ZeroDivisionError("from F")

    def F(s):
        if abs(s) > 50:
            raise boom
        return 1 / (s + 1)

    with pytest.raises(ZeroDivisionError) as caught:
        invlap.invert(F, [1.0, 2.0], workers=2)
    assert caught.value is boom


def test_progress_counts_the_values_of_F_against_a_total_given_up_front():
    F = Counted(pause=1e-3)
    reports = []
    result = invlap.invert(F, TIMES, progress=lambda done, total: reports.append((done, total)),
                           full_output=True)
    done = [d for d, _ in reports]
    assert len(reports) >= 2 and done == sorted(done)
    assert done[-1] <= result.evaluations.values
    # The first total is the estimate made before F's first value, within a
    # fifth of what the work took (probes, contours and the line's checks);
    # none falls below what was done.
    assert 0.8 * result.evaluations.values <= reports[0][1] <= 1.25 * result.evaluations.values
    assert all(total >= d for d, total in reports)


SETTING = contextvars.ContextVar("setting", default="unset")


@pytest.mark.parametrize("workers", [None, 2])
def test_F_runs_on_the_calling_thread_unless_workers_are_given(workers):
    # A solver reusing one workspace is unsafe on two threads at once: only an
    # explicit count spreads the calls, each in the caller's context.
    seen = set()

    def F(s):
        seen.add((threading.get_ident(), SETTING.get()))
        return s ** -0.5

    token = SETTING.set("caller's")
    try:
        invlap.invert(F, np.geomspace(0.1, 10, 20), workers=workers)
    finally:
        SETTING.reset(token)
    threads = {thread for thread, _ in seen}
    assert {setting for _, setting in seen} == {"caller's"}
    if workers is None:
        assert threads == {threading.get_ident()}
    else:
        assert len(threads - {threading.get_ident()}) == 2
