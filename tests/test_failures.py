"""Internal failures, their exception type and stderr report, and exceptions that
come back through Python code called by the module."""

import re
import sys
import traceback

import pytest

from support import run_python


def unsupported_order(native):
    """A call that ends in an internal failure, returning the raised exception."""
    try:
        native.besseli_rust(5, 1.0)
    except BaseException as exc:
        return exc
    raise AssertionError("an unsupported order must fail")


def test_panic_type_properties(native, panic_type):
    assert panic_type.__name__ == "PanicException"
    assert panic_type.__module__ == "pyo3_runtime"
    assert panic_type.__mro__ == (panic_type, BaseException, object)
    assert not issubclass(panic_type, Exception)
    assert panic_type.__doc__.startswith("\n") and panic_type.__doc__.endswith("\n")
    assert "PanicException" not in dir(native)
    assert "pyo3_runtime" not in sys.modules


def test_every_internal_failure_has_the_same_type(native, panic_type):
    raised = [unsupported_order(native)]
    for call in (lambda: native.besselk_rust(7, 2.0), lambda: native.gwr_rust(None, [1.0], 0)):
        with pytest.raises(BaseException) as caught:
            call()
        raised.append(caught.value)
    assert all(type(exc) is panic_type for exc in raised)


def test_message_is_the_only_argument(native):
    exc = unsupported_order(native)
    assert exc.args == (str(exc),)
    assert str(exc)


def report_of(stderr, message):
    """The lines of the stderr report that ends with `message` on a line of its own."""
    lines = stderr.splitlines()
    at = lines.index(message)
    return lines[at - 1:at + 1]


def test_failure_report_names_thread_location_and_message(native, capfd):
    capfd.readouterr()
    message = str(unsupported_order(native))
    heading, line = report_of(capfd.readouterr().err, message)
    assert line == message
    assert "thread" in heading
    assert re.search(r"\S+\.cpp:\d+", heading)


def test_backtrace_hint_only_once_per_process():
    # Three identical failures from one source line: their reports differ only in
    # the first one's extra trailing line, the hint.
    result = run_python(
        "import os\n"
        "from invlap import _native\n"
        "for _ in range(3):\n"
        "    os.write(2, b'--mark--\\n')\n"
        "    try:\n"
        "        _native.besseli_rust(5, 1.0)\n"
        "    except BaseException:\n"
        "        pass\n"
        "os.write(2, b'--mark--\\n')\n")  # what follows (a sanitizer's summary) is no report
    assert result.returncode == 0, result.stderr
    first, second, third = [s.strip("\n").splitlines()
                            for s in result.stderr.split("--mark--\n")[1:4]]
    assert len(first) == len(second) + 1 and first[:-1] == second
    assert third == second


class Calls:
    """__float__, __index__ and __len__ all run `action`."""

    def __init__(self, action):
        self.action = action

    def __float__(self):
        return self.action()

    def __index__(self):
        return self.action()

    def __len__(self):
        return self.action()


class IterationCalls(list):
    """A list whose iteration runs the hooks' action after one item."""

    def __init__(self, hooks):
        super().__init__([1.0, 2.0])
        self.hooks = hooks

    def __iter__(self):
        yield 1.0
        yield self.hooks.action()


class LengthCalls(list):
    """A one-item list whose __len__ runs the hooks' __len__."""

    def __init__(self, hooks):
        super().__init__([1.0])
        self.hooks = hooks

    def __len__(self):
        return len(self.hooks)


def f(s):
    return 1.0


# Each call runs the hook of one conversion (x, n, m, prec, a times item, the
# iteration of times, the length of times).
HOOK_CALLS = {
    "x": lambda native, h: native.besseli_rust(0, h),
    "n": lambda native, h: native.besselk_rust(h, 1.0),
    "prec": lambda native, h: native.besseli_rust(0, 1.0, h),
    "m": lambda native, h: native.gwr_rust(f, [1.0], h),
    "times-item": lambda native, h: native.gwr_rust(f, [1.0, h]),
    "times-iteration": lambda native, h: native.gwr_rust(f, IterationCalls(h)),
}


@pytest.mark.parametrize("call", HOOK_CALLS.values(), ids=HOOK_CALLS.keys())
def test_hook_exception_is_the_same_object_with_its_frame(native, call):
    boom = ValueError("boom")

    def raise_boom():
        raise boom

    with pytest.raises(ValueError) as caught:
        call(native, Calls(raise_boom))
    assert caught.value is boom
    assert "raise_boom" in [frame.name for frame in traceback.extract_tb(boom.__traceback__)]


# A failure of the length query is discarded, unless it is an internal failure.
RESUMING_CALLS = dict(HOOK_CALLS, **{
    "times-length": lambda native, h: native.gwr_rust(f, LengthCalls(h)),
})


@pytest.mark.parametrize("call", RESUMING_CALLS.values(), ids=RESUMING_CALLS.keys())
def test_panic_through_python_code_is_resumed(native, panic_type, capfd, call):
    inner = []

    def nested_failure():
        try:
            native.besseli_rust(5, 1.0)
        except BaseException as exc:
            inner.append(exc)
            raise

    capfd.readouterr()
    with pytest.raises(BaseException) as caught:
        call(native, Calls(nested_failure))
    [original] = inner
    message = str(original)
    assert type(caught.value) is panic_type and caught.value is not original
    assert caught.value.args == (message,)
    err = capfd.readouterr().err.splitlines()
    assert err.count(message) == 1, "the resumed failure must not be reported again"
    notice = err.index("Python stack trace below:")
    assert err.index(message) < notice - 1  # the nested failure's own report comes first
    trace = err[notice + 1:]
    assert trace[0] == "Traceback (most recent call last):"
    assert any("nested_failure" in line for line in trace)
    assert trace[-1] == f"pyo3_runtime.PanicException: {message}"


def test_panic_subclass_is_passed_on(native, panic_type):
    derived = type("DerivedPanic", (panic_type,), {})("not resumed")

    def raise_derived():
        raise derived

    with pytest.raises(BaseException) as caught:
        native.besseli_rust(0, Calls(raise_derived))
    assert caught.value is derived


class Unprintable:
    def __str__(self):
        raise RuntimeError("no text")


def test_unprintable_panic_is_resumed_with_fixed_message(native, panic_type, capfd):
    original = panic_type(Unprintable())

    def raise_original():
        raise original

    with pytest.raises(BaseException) as caught:
        native.besselk_rust(Calls(raise_original), 1.0)
    assert type(caught.value) is panic_type and caught.value is not original
    assert caught.value.args == ("Unwrapped panic from Python code",)
    assert "Python stack trace below:" in capfd.readouterr().err.splitlines()
