"""Conversion of each argument to its machine value, and the exceptions of a failed one."""

import sys
import traceback

import pytest

from support import (HOOK_SITES, Hooks, LengthFails, Sentinel, Unprintable, assert_reaches_routine,
                     outcome)


def raising_fn(sentinel):
    def fn(s):
        raise sentinel
    return fn


class IndexOnly:
    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value


class FloatSub(float):
    pass


class IntSub(int):
    pass


class StrSub(str):
    pass


class Holder:
    class Inner:
        pass


class TypeErrorSub(TypeError):
    pass


def f(s):
    return 1.0 / s


NOT_INTEGER = "'float' object cannot be interpreted as an integer"
NOT_REAL = "must be real number, not {}"
OUT_OF_RANGE = "out of range integral type conversion attempted"

# (function, args, kwargs, exception type, exact message)
CONVERSION_FAILURES = {
    "x-str": ("besseli_rust", (0, "1"), {}, TypeError, "argument 'x': " + NOT_REAL.format("str")),
    "x-none": ("besselk_rust", (0, None), {}, TypeError, "argument 'x': " + NOT_REAL.format("NoneType")),
    "n-float": ("besseli_rust", (1.0, 1.0), {}, TypeError, "argument 'n': " + NOT_INTEGER),
    "n-minus-one": ("besseli_rust", (-1, 1.0), {}, OverflowError, OUT_OF_RANGE),
    "n-2**32": ("besselk_rust", (2**32, 1.0), {}, OverflowError, OUT_OF_RANGE),
    "n-index-minus-one": ("besseli_rust", (Hooks(-1), 1.0), {}, OverflowError, OUT_OF_RANGE),
    "n-beyond-c-long": ("besseli_rust", (2**64, 1.0), {}, OverflowError,
                        "Python int too large to convert to C long"),
    "prec-none-bessel": ("besselk_rust", (0, 1.0, None), {}, TypeError,
                         "argument 'prec': 'NoneType' object cannot be interpreted as an integer"),
    "prec-float-bessel": ("besseli_rust", (0, 1.0), {"prec": 5.0}, TypeError,
                          "argument 'prec': " + NOT_INTEGER),
    "prec-negative-gwr": ("gwr_rust", (f, [1.0]), {"prec": -5}, OverflowError, OUT_OF_RANGE),
    "prec-2**32-gwr": ("gwr_rust", (f, [1.0], 2, 2**32), {}, OverflowError, OUT_OF_RANGE),
    "m-negative": ("gwr_rust", (f, [1.0]), {"m": -1}, OverflowError,
                   "can't convert negative int to unsigned"),
    "m-2**64": ("gwr_rust", (f, [1.0]), {"m": 2**64}, OverflowError, "int too big to convert"),
    "m-index-2**64": ("gwr_rust", (f, [1.0], Hooks(2**64)), {}, OverflowError, "int too big to convert"),
    "m-float": ("gwr_rust", (f, [1.0]), {"m": 2.0}, TypeError, "argument 'm': " + NOT_INTEGER),
    "m-none": ("gwr_rust", (f, [1.0], None), {}, TypeError,
               "argument 'm': 'NoneType' object cannot be interpreted as an integer"),
    "m-index-not-int": ("gwr_rust", (f, [1.0], Hooks(2.0)), {}, TypeError,
                        "argument 'm': __index__ returned non-int (type float)"),
    "times-str": ("gwr_rust", (f, "abc"), {}, TypeError, "argument 'times': Can't extract `str` to `Vec`"),
    "times-str-subclass": ("gwr_rust", (f, StrSub("1")), {}, TypeError,
                           "argument 'times': Can't extract `str` to `Vec`"),
    "times-int": ("gwr_rust", (f, 5), {}, TypeError,
                  "argument 'times': 'int' object cannot be converted to 'Sequence'"),
    "times-set": ("gwr_rust", (f, {1.0}), {}, TypeError,
                  "argument 'times': 'set' object cannot be converted to 'Sequence'"),
    "times-dict": ("gwr_rust", (f, {1.0: 1.0}), {}, TypeError,
                   "argument 'times': 'dict' object cannot be converted to 'Sequence'"),
    "times-generator": ("gwr_rust", (f, (t for t in [1.0])), {}, TypeError,
                        "argument 'times': 'generator' object cannot be converted to 'Sequence'"),
    "times-none": ("gwr_rust", (f, None), {}, TypeError,
                   "argument 'times': 'NoneType' object cannot be converted to 'Sequence'"),
    "times-qualified-name": ("gwr_rust", (f, Holder.Inner()), {}, TypeError,
                             "argument 'times': 'Holder.Inner' object cannot be converted to 'Sequence'"),
    "times-bad-item": ("gwr_rust", (f, [1.0, 2.0, "a"]), {}, TypeError,
                       "argument 'times': " + NOT_REAL.format("str")),
    # Parameter order decides which failure is reported.
    "order-n-before-x": ("besseli_rust", ("a", "b"), {}, TypeError,
                         "argument 'n': 'str' object cannot be interpreted as an integer"),
    "order-x-before-prec": ("besseli_rust", (0, "b"), {"prec": "c"}, TypeError,
                            "argument 'x': " + NOT_REAL.format("str")),
    "order-times-before-m": ("gwr_rust", (f, "x"), {"m": 1.5}, TypeError,
                             "argument 'times': Can't extract `str` to `Vec`"),
    "order-m-before-prec": ("gwr_rust", (None, [1.0]), {"prec": "p", "m": 1.5}, TypeError,
                            "argument 'm': 'float' object cannot be interpreted as an integer"),
    "times-iterator": ("gwr_rust", (f, map(float, [1.0])), {}, TypeError,
                                   "argument 'times': 'map' object cannot be converted to 'Sequence'"),
    "x-unencodable-message": ("besseli_rust", (0, Hooks(TypeError("bad \udc80"))), {}, TypeError,
                              "argument 'x': bad \ufffd"),
}


@pytest.mark.parametrize("name, args, kwargs, exc_type, message", CONVERSION_FAILURES.values(),
                         ids=CONVERSION_FAILURES.keys())
def test_conversion_failure(native, name, args, kwargs, exc_type, message):
    with pytest.raises(BaseException) as caught:
        getattr(native, name)(*args, **kwargs)
    assert type(caught.value) is exc_type
    assert str(caught.value) == message


# Arguments that must convert to the same machine value as the plain one: the
# call then ends the same way (same result, or same failure inside the routine).
SAME_AS = {
    "x-int": ((0, 2), (0, 2.0)),
    "x-bool": ((0, True), (0, 1.0)),
    "x-float-subclass": ((1, FloatSub(2.5)), (1, 2.5)),
    "x-dunder-float": ((1, Hooks(2.5)), (1, 2.5)),
    "x-dunder-index": ((1, IndexOnly(2)), (1, 2.0)),
    # -1.0 is also the conversion's failure value; with nothing pending it is a value.
    "x-minus-one": ((0, Hooks(-1.0)), (0, -1.0)),
    "n-bool": ((True, 2.5), (1, 2.5)),
    "n-dunder-index": ((Hooks(1), 2.5), (1, 2.5)),
    "n-int-subclass": ((IntSub(1), 2.5), (1, 2.5)),
    "n-largest": ((2**32 - 1, 1.0), (5, 1.0)),
    "prec-dunder-index": ((0, 2.5, Hooks(20)), (0, 2.5, 20)),
    "prec-bool": ((0, 2.5, True), (0, 2.5, 1)),
}


@pytest.mark.parametrize("given, plain", SAME_AS.values(), ids=SAME_AS.keys())
def test_bessel_argument_converts_like_plain_value(native, given, plain):
    expected = outcome(lambda: native.besseli_rust(*plain))
    assert outcome(lambda: native.besseli_rust(*given)) == expected


GWR_PASSES = {
    "times-tuple-with-int": ((1.0, 2), {}),
    "times-empty": ([], {"m": 1}),
    "times-bytes": (b"\x01", {}),
    "m-bool": ([1.0], {"m": True}),
    "m-dunder-index": ([1.0], {"m": Hooks(3)}),
    "m-int-subclass": ([1.0], {"m": IntSub(3)}),
    "prec-dunder-index": ([1.0], {"prec": Hooks(20)}),
    "prec-none": ([1.0], {"prec": None}),
}


@pytest.mark.parametrize("times, kwargs", GWR_PASSES.values(), ids=GWR_PASSES.keys())
def test_gwr_arguments_pass_conversion(native, times, kwargs):
    sentinel = Sentinel()
    assert_reaches_routine(lambda: native.gwr_rust(raising_fn(sentinel), times, **kwargs), sentinel)


class LenLies(list):
    def __len__(self):
        return 2**62


@pytest.mark.parametrize("times", [LengthFails([1.0]), LenLies([1.0])], ids=["len-raises", "len-lies"])
def test_length_only_sizes_the_vector(native, times):
    sentinel = Sentinel()
    assert_reaches_routine(lambda: native.gwr_rust(raising_fn(sentinel), times, m=2), sentinel)


def test_gwr_prec_none_is_absent(native):
    def run(**kwargs):
        seen = []
        def fn(s):
            seen.append(s)
            return 1.0 / (s + 1.0)
        return outcome(lambda: native.gwr_rust(fn, [1.0], 3, **kwargs)), seen
    assert run(prec=None) == run()


@pytest.mark.parametrize("site", HOOK_SITES.values(), ids=HOOK_SITES.keys())
@pytest.mark.parametrize("error_type", [ValueError, TypeErrorSub, ZeroDivisionError])
def test_hook_exception_passes_unchanged(native, site, error_type):
    error = error_type("from the hook")
    _, call = site
    with pytest.raises(BaseException) as caught:
        call(native, Hooks(error))
    assert caught.value is error
    assert str(error) == "from the hook"
    assert "_give" in [frame.name for frame in traceback.extract_tb(error.__traceback__)]


def chained_type_error():
    root = ValueError("root")
    try:
        raise TypeError("inner") from root
    except TypeError as exc:
        return exc, root


def contexted_type_error():
    try:
        try:
            raise KeyError("context")
        except KeyError:
            raise TypeError("inner")
    except TypeError as exc:
        return exc, None


@pytest.mark.parametrize("site", HOOK_SITES.values(), ids=HOOK_SITES.keys())
@pytest.mark.parametrize("make", [chained_type_error, contexted_type_error], ids=["cause", "context"])
def test_reworded_type_error_keeps_cause(native, site, make):
    error, cause = make()
    parameter, call = site
    with pytest.raises(BaseException) as caught:
        call(native, Hooks(error))
    reworded = caught.value
    assert type(reworded) is TypeError and reworded is not error
    assert str(reworded) == f"argument '{parameter}': inner"
    assert reworded.__cause__ is cause
    assert reworded.__suppress_context__ is True


def test_unprintable_type_error(native, monkeypatch):
    reports = []
    monkeypatch.setattr(sys, "unraisablehook", reports.append)
    error = TypeError(Unprintable())
    with pytest.raises(TypeError) as caught:
        native.besseli_rust(0, Hooks(error))
    assert str(caught.value) == "argument 'x': <unprintable TypeError object>"
    [report] = reports
    assert type(report.exc_value) is RuntimeError and str(report.exc_value) == "no text"
    assert report.object is error
