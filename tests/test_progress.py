"""The progress callback: paced from when it returns, and never in the way of the work."""

import time

import numpy as np
import pytest

import invlap
from invlap import _engine

# The radial-flow ratio of well testing: a few milliseconds a point.
RADIAL = "besselk(0, sqrt(s))/(s*sqrt(s)*besselk(1, sqrt(s)))"
# A tenth of a second per call: slower than the interval between calls.
SLOW_S = 0.1

# Jobs of a second or more here, so that the pacing has room to show.
JOBS = {
    "engine": lambda progress: invlap.invert(RADIAL, np.geomspace(1e-2, 1e4, 1200),
                                             progress=progress),
    "mpmath callable": lambda progress: invlap.invert(
        lambda s: 1 / (s + 1), np.linspace(0.5, 5, 400), digits=30, precision="multi",
        progress=progress),
}


@pytest.mark.parametrize("name", JOBS)
def test_a_slow_callback_is_called_once_per_interval_after_it_returns(name):
    invlap.invert(RADIAL, 1.0)  # compiled before the clock starts
    start = time.monotonic()
    JOBS[name](None)
    alone = time.monotonic() - start
    calls = []

    def slow(done):
        calls.append(done)
        time.sleep(SLOW_S)

    start = time.monotonic()
    JOBS[name](slow)
    elapsed = time.monotonic() - start
    # Each call is its own time plus a full interval before the next; calls
    # scheduled before the callback ran came back to back.
    assert 1 <= len(calls) <= 1 + elapsed / (SLOW_S + _engine.progress_interval_s)
    # Generous, for a busy machine: a callback that stalled the work took hundreds
    # of times as long.
    assert elapsed <= 3 * alone + SLOW_S * len(calls) + 2.0


def test_the_work_goes_on_while_the_callback_runs():
    # One worker: were it the calling thread, the job would stand still while the
    # callback sleeps, and the process would spend no CPU time meanwhile.
    spent = []

    def sleepy(done):
        if not spent:
            before = time.process_time()  # every thread of the process
            time.sleep(0.5)
            spent.append(time.process_time() - before)

    invlap.invert(RADIAL, np.geomspace(1e-2, 1e4, 1200), workers=1, progress=sleepy)
    # A worker with even a fifth of a core for the half second passes.
    assert spent and spent[0] > 0.1
