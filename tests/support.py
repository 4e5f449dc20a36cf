"""Shared checks for leaks and reference counts, used by several test modules."""

import ctypes
import gc
import subprocess
import sys


class Probe:
    """A fresh, non-immortal object whose reference count means something."""

    def __float__(self):
        return 1.5

    def __index__(self):
        return 1


class Sentinel(Exception):
    """An exception only the test's own callable raises."""


class Unprintable:
    """An object whose str() fails."""

    def __str__(self):
        raise RuntimeError("no text")


class LengthFails(list):
    """A list whose len() raises."""

    def __len__(self):
        raise ValueError("no length")


def refcounts_unchanged(call, *objs):
    gc.collect()  # garbage made earlier must not be freed between the two counts
    before = [sys.getrefcount(o) for o in objs]
    try:
        call()
    except BaseException as exc:  # the internal-failure type derives from BaseException
        del exc  # a kept traceback holds frame locals and would skew the counts
    # An exception kept in a local of the frame that raised it forms a cycle with
    # its traceback; only the collector frees it. A leaked reference stays leaked.
    gc.collect()
    after = [sys.getrefcount(o) for o in objs]
    return before == after


class _MallInfo2(ctypes.Structure):
    _fields_ = [(n, ctypes.c_size_t) for n in ("arena", "ordblks", "smblks", "hblks", "hblkhd",
                                              "usmblks", "fsmblks", "uordblks", "fordblks",
                                              "keepcost")]


_libc = ctypes.CDLL(None)
_libc.mallinfo2.restype = _MallInfo2


def _malloc_bytes():
    info = _libc.mallinfo2()
    return info.uordblks + info.hblkhd


def _quiet(call):
    try:
        call()
    except BaseException:
        pass


def growth(call, per=200, reps=4):
    """Python blocks and malloc'd bytes gained per repetition of `per` calls."""
    for _ in range(per):  # warm-up: freelists, caches, MPFR's constant caches
        _quiet(call)
    deltas = []
    for _ in range(reps):
        gc.collect()
        blocks, bytes_ = sys.getallocatedblocks(), _malloc_bytes()
        for _ in range(per):
            _quiet(call)
        gc.collect()
        deltas.append((sys.getallocatedblocks() - blocks, _malloc_bytes() - bytes_))
    return deltas


def leaks(call, per=200):
    """Only growth in every repetition counts, as CPython's own leak hunter decides."""
    deltas = growth(call, per=per)
    return all(b >= 1 for b, _ in deltas) or all(m >= 1024 for _, m in deltas)


def command_on_a_terminal(arguments, shows=b"/400 [", **popen):
    """The invlap command started with its stderr on a fresh pseudo-terminal, and
    the terminal's reading end, once the progress bar shows `shows` (or two
    minutes pass)."""
    import os
    import pty
    import select
    import signal
    import time

    master, slave = pty.openpty()
    # Ctrl-C reaches a command typed at a terminal: a shell's background job
    # (a test run started with `&`) would hand the child SIGINT ignored.
    child = subprocess.Popen([sys.executable, "-m", "invlap", *arguments],
                             stdout=subprocess.DEVNULL, stderr=slave,
                             preexec_fn=lambda: signal.signal(signal.SIGINT, signal.SIG_DFL),
                             **popen)
    os.close(slave)
    seen = b""
    end = time.monotonic() + 120
    while shows not in seen and time.monotonic() < end:
        if select.select([master], [], [], 0.5)[0]:
            seen += os.read(master, 4096)
    return child, master, seen


def run_python(code, timeout=120):
    """Runs code in a fresh interpreter (for process-wide state); returns the result."""
    return subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                          timeout=timeout)


def assert_reaches_routine(call, sentinel=None):
    """The call got past binding and conversion: it returned, or raised `sentinel`
    (an exception object that only fn_obj raises)."""
    try:
        call()
    except BaseException as exc:
        if exc is not sentinel:
            raise


def outcome(call):
    """("value", result) or ("panic", message): how a call that passes conversion ends.
    Any other exception propagates, so a conversion failure fails the test."""
    try:
        return ("value", call())
    except BaseException as exc:
        if type(exc).__name__ != "PanicException":
            raise
        return ("panic", str(exc))


class Hooks:
    """__float__, __index__ and __len__ all give `what`, or what it returns if it is a
    function (a new outcome per call): raised if that is an exception, else returned."""

    def __init__(self, what):
        self.what = what

    def _give(self):
        outcome = self.what() if callable(self.what) else self.what
        if isinstance(outcome, BaseException):
            raise outcome
        return outcome

    __float__ = __index__ = __len__ = _give


class IterationHooks(list):
    """A two-item list whose iteration yields one item, then the hooks' outcome."""

    def __init__(self, hooks):
        super().__init__([1.0, 2.0])
        self.hooks = hooks

    def __iter__(self):
        yield 1.0
        yield self.hooks._give()


class LengthHooks(list):
    """A one-item list whose length is the hooks' outcome."""

    def __init__(self, hooks):
        super().__init__([1.0])
        self.hooks = hooks

    def __len__(self):
        return len(self.hooks)


def _f(s):
    return 0.5


# One call per conversion that runs a hook: (parameter reported, call of native, hooks).
HOOK_SITES = {
    "x": ("x", lambda native, h: native.besseli_rust(0, h)),
    "n": ("n", lambda native, h: native.besselk_rust(h, 1.0)),
    "prec": ("prec", lambda native, h: native.besseli_rust(0, 1.0, h)),
    "m": ("m", lambda native, h: native.gwr_rust(_f, [1.0], h)),
    "times-item": ("times", lambda native, h: native.gwr_rust(_f, [1.0, h])),
    "times-iteration": ("times", lambda native, h: native.gwr_rust(_f, IterationHooks(h))),
}
