"""gwr_rust under stress: references, leaks, threads, re-entry and Ctrl-C."""

import signal
import sys
import threading
import time
from concurrent.futures import ThreadPoolExecutor

import pytest

from support import leaks, refcounts_unchanged


class Returned:
    """A fresh, non-immortal result object."""

    def __float__(self):
        return 0.25


class NotAFloat:
    pass


class Callback:
    def __init__(self, returned, fail_at=None):
        self.returned, self.fail_at, self.count = returned, fail_at, 0

    def __call__(self, s):
        self.count += 1
        if self.count == self.fail_at:
            raise ValueError("boom")
        return self.returned


def failure_paths(native):
    """(id, call, objects whose reference counts must not move)."""
    times = [1.0, 2.0]
    ok = Callback(Returned())
    raising = Callback(Returned(), fail_at=3)
    bad = Callback(NotAFloat())
    plain = Returned()  # a non-callable fn_obj
    return [
        ("success", lambda: native.gwr_rust(ok, times, 4), (ok, ok.returned, times)),
        ("raises", lambda: native.gwr_rust(raising, times, 4), (raising, raising.returned, times)),
        ("unconvertible", lambda: native.gwr_rust(bad, times, 4), (bad, bad.returned, times)),
        ("not-callable", lambda: native.gwr_rust(plain, times, 4), (plain, times)),
        ("m-zero", lambda: native.gwr_rust(ok, times, 0), (ok, times)),
        ("memory", lambda: native.gwr_rust(ok, times, 2**40, 15), (ok, times)),
    ]


PATH_IDS = ["success", "raises", "unconvertible", "not-callable", "m-zero", "memory"]


@pytest.mark.parametrize("index", range(len(PATH_IDS)), ids=PATH_IDS)
def test_reference_counts_unchanged(native, index):
    _, call, objects = failure_paths(native)[index]
    assert refcounts_unchanged(call, *objects)


@pytest.mark.parametrize("index", range(len(PATH_IDS)), ids=PATH_IDS)
def test_no_leak_over_repeated_calls(native, index):
    _, call, _ = failure_paths(native)[index]
    assert not leaks(call, per=100)


def test_threads_get_the_serial_results(native):
    def task(i):
        def fn(s):
            time.sleep(0)  # hand the interpreter lock to another thread
            if i % 3 == 0:  # some threads re-enter the module from the callback
                native.gwr_rust(lambda x: 1.0 / (x + 2.0), [0.5], 2)
            return 1.0 / (s + 1.0 + i)
        if i % 4 == 3:
            with pytest.raises(ZeroDivisionError):
                native.gwr_rust(lambda s: 1 / 0, [1.0], 3)
        return native.gwr_rust(fn, [0.5, 1.0, 2.0], 6)

    serial = [task(i) for i in range(8)]
    barrier = threading.Barrier(8)

    def run(i):
        barrier.wait()
        return [task(i) for _ in range(5)]

    old = sys.getswitchinterval()
    sys.setswitchinterval(1e-6)
    try:
        with ThreadPoolExecutor(8) as pool:
            threaded = list(pool.map(run, range(8)))
    finally:
        sys.setswitchinterval(old)
    assert threaded == [[serial[i]] * 5 for i in range(8)]


class Alarm:
    """Raises KeyboardInterrupt from SIGALRM and notes which frame was running."""

    def __enter__(self):
        self.seen_in = []
        self.old = signal.signal(signal.SIGALRM, self.handler)
        return self

    def handler(self, signum, frame):
        self.seen_in.append(frame.f_code.co_name)
        raise KeyboardInterrupt

    def arm(self, seconds):
        signal.setitimer(signal.ITIMER_REAL, seconds)

    def __exit__(self, *exc):
        signal.setitimer(signal.ITIMER_REAL, 0)
        signal.signal(signal.SIGALRM, self.old)


def test_keyboard_interrupt_in_callback_ends_the_call(native):
    stop, raised = KeyboardInterrupt(), []

    def fn(s):
        raised.append(s)
        if len(raised) == 5:
            raise stop
        return 0.5

    with pytest.raises(KeyboardInterrupt) as caught:
        native.gwr_rust(fn, [1.0], 8)
    assert caught.value is stop and len(raised) == 5

    with Alarm() as alarm:  # the signal arrives while Python code of fn runs
        alarm.arm(0.05)
        with pytest.raises(KeyboardInterrupt):
            native.gwr_rust(lambda s: sum(range(200)) * 0.0 + 1.0 / (s + 1.0), [1.0] * 10**6, 8)
        assert alarm.seen_in == ["<lambda>"]


def test_ctrl_c_ends_table_building(native):
    # Tables at 6.6 million bits take well over a second and call nothing back:
    # only the native poll can see the signal before the first callback.
    calls = []
    with Alarm() as alarm:
        alarm.arm(0.1)
        with pytest.raises(KeyboardInterrupt):
            native.gwr_rust(calls.append, [1.0], 10, 2_000_000)
    assert calls == [] and alarm.seen_in == ["test_ctrl_c_ends_table_building"]


def test_ctrl_c_ends_arithmetic_between_callbacks(native):
    # At 664000 bits one time point's functionals and rho table take seconds
    # after its 40 callbacks; the alarm is set by the last of them.
    m = 20
    count = []

    def fn(s):
        count.append(s)
        if len(count) == 2 * m:
            alarm.arm(0.05)
        return 1.0 / (s + 1.0)

    with Alarm() as alarm:
        with pytest.raises(KeyboardInterrupt):
            native.gwr_rust(fn, [1.0, 2.0], m, 200_000)
    assert len(count) == 2 * m
    assert alarm.seen_in == ["test_ctrl_c_ends_arithmetic_between_callbacks"]
