"""The engine under pressure: memory it cannot have, Ctrl-C in a long job, and the
references and memory of its entry points over many calls."""

import os
import signal
import time

import numpy as np
import pytest

import invlap
from invlap import _engine
from invlap._inversion import _native_program as native_program
from support import Probe, leaks, refcounts_unchanged


# GWR's tables at 10^4 digits (the automatic choice takes the contour there, whose
# nodes fit: it is slow, not refused).
@pytest.mark.parametrize("options", [{"M": 10**6}, {"digits": 10000, "method": "gwr"}],
                         ids=["M", "digits"])
def test_work_that_cannot_fit_is_refused_before_it_starts(options):
    started = time.perf_counter()
    with pytest.raises(MemoryError, match="not enough memory for the inversion at this precision"):
        invlap.invert("1/(s+1)", [1.0, 2.0], **options)
    assert time.perf_counter() - started < 1.0


def _threads():
    return len(os.listdir("/proc/self/task"))


def test_ctrl_c_ends_a_long_job_and_its_threads():
    def interrupt(signum, frame):
        raise KeyboardInterrupt

    threads = _threads()
    old = signal.signal(signal.SIGALRM, interrupt)
    signal.setitimer(signal.ITIMER_REAL, 0.3)
    started = time.perf_counter()
    try:
        with pytest.raises(KeyboardInterrupt):
            # Minutes of work: Arb's K0 at these arguments and 40 digits, 400 points.
            invlap.invert("besselk(0, 7*sqrt(s))/s", np.linspace(0.01, 1, 400), digits=40,
                          workers=2)
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0)
        signal.signal(signal.SIGALRM, old)
    assert time.perf_counter() - started < 1.3
    assert _threads() == threads


def _program():
    return native_program(invlap.compile_expression("1/(s+a)", ["a"]))


def _read_only(array):
    array.setflags(write=False)
    return array


def _expression_call(t=None, values=None):
    program = _program()
    t = np.array([0.5, 1.0]) if t is None else t
    out = np.empty(2) if values is None else values
    return lambda: _engine.invert_expression(program, t, np.array([[1.0], [2.0]]), out,
                                             np.empty(2), digits=10)


ENTRY_CALLS = {
    "program": lambda: _engine.Program((("s", 0, 0), ("powi", 0, -1)), (), 0),
    "program-bad-op": lambda: _engine.Program((("sinc", 0, 0),), (), 0),
    "program-bad-constant": lambda: _engine.Program((("const", 0, 0),), ((1, 0),), 0),
    "expression": _expression_call(),
    "expression-bad-t": _expression_call(t=np.array([1, 2])),
    "expression-readonly-values": _expression_call(values=_read_only(np.empty(2))),
    "double-samples": lambda: _engine.invert_double_samples(
        np.array([1.0]), np.full((1, 8), 0.5), [2, 4], np.empty(1), np.empty(1)),
    "double-samples-bad-terms": lambda: _engine.invert_double_samples(
        np.array([1.0]), np.full((1, 8), 0.5), [5], np.empty(1), np.empty(1)),
    "value-samples": lambda: _engine.invert_value_samples(
        1.0, [0.5, ("-1f", -3), 0.25, ("3", 0)], 2, 64, 10),
    "value-samples-bad-item": lambda: _engine.invert_value_samples(
        1.0, [0.5, "x", 0.25, 1.0], 2, 64, 10),
}


@pytest.mark.parametrize("name", sorted(ENTRY_CALLS))
def test_entry_points_do_not_leak(name):
    assert not leaks(ENTRY_CALLS[name], per=50)


def test_failed_calls_keep_reference_counts():
    probe = Probe()
    t = np.array([1.0])
    values = np.empty(1)
    progress = Probe()  # not callable: refused when first called
    program = _program()
    for call in [
        lambda: _engine.invert_expression(program, t, np.empty((1, 1)), values, probe),
        lambda: _engine.invert_expression(probe, t, np.empty((1, 1)), values, values),
        lambda: _engine.invert_double_samples(t, probe, [1], values, values),
        lambda: _engine.invert_value_samples(1.0, [probe, probe], 1, 64, 10),
        lambda: _engine.invert_expression(program, t, np.empty((1, 1)), values, np.empty(1),
                                          progress=progress),
    ]:
        assert refcounts_unchanged(call, probe, program, t, values, progress)
