"""Internal failures, their exception type and stderr report, and exceptions that
come back through Python code called by the module."""

import re
import sys

import pytest

from support import HOOK_SITES, Hooks, LengthHooks, Unprintable, run_python


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


# A failure of the length query is discarded, unless it is an internal failure.
RESUMING_SITES = dict(HOOK_SITES, **{
    "times-length": ("times", lambda native, h: native.gwr_rust(None, LengthHooks(h))),
})


@pytest.mark.parametrize("site", RESUMING_SITES.values(), ids=RESUMING_SITES.keys())
def test_panic_through_python_code_is_resumed(native, panic_type, capfd, site):
    _, call = site
    inner = []

    def nested_failure():
        try:
            native.besseli_rust(5, 1.0)
        except BaseException as exc:
            inner.append(exc)
            raise

    capfd.readouterr()
    with pytest.raises(BaseException) as caught:
        call(native, Hooks(nested_failure))
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
    with pytest.raises(BaseException) as caught:
        native.besseli_rust(0, Hooks(derived))
    assert caught.value is derived


def test_unprintable_panic_is_resumed_with_fixed_message(native, panic_type, capfd):
    original = panic_type(Unprintable())
    with pytest.raises(BaseException) as caught:
        native.besselk_rust(Hooks(original), 1.0)
    assert type(caught.value) is panic_type and caught.value is not original
    assert caught.value.args == ("Unwrapped panic from Python code",)
    assert "Python stack trace below:" in capfd.readouterr().err.splitlines()
