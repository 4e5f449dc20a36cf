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


def refcounts_unchanged(call, *objs):
    before = [sys.getrefcount(o) for o in objs]
    try:
        call()
    except BaseException as exc:  # the internal-failure type derives from BaseException
        del exc  # a kept traceback holds frame locals and would skew the counts
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


def run_python(code, timeout=120):
    """Runs code in a fresh interpreter (for process-wide state); returns the result."""
    return subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                          timeout=timeout)


# --- Stand-in while the numerical routines are stubs; delete together with them. ---
# A stub ends every call that reaches it with an internal failure "... not built yet".
# Reaching it still proves that binding and conversion passed.
def _is_stub_failure(exc):
    return type(exc).__name__ == "PanicException" and str(exc).endswith("not built yet")


def assert_reaches_routine(call, sentinel=None):
    """The call got past binding and conversion: it returned, raised `sentinel`
    (an exception object that only fn_obj raises), or met a stub routine."""
    try:
        call()
    except BaseException as exc:
        if exc is not sentinel and not _is_stub_failure(exc):
            raise
# --- end of stand-in ---


def outcome(call):
    """("value", result) or ("panic", message): how a call that passes conversion ends.
    Any other exception propagates, so a conversion failure fails the test."""
    try:
        return ("value", call())
    except BaseException as exc:
        if type(exc).__name__ != "PanicException":
            raise
        return ("panic", str(exc))
