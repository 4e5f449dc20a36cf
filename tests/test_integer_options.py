"""Integer options (digits, M, workers, the engine's counts) are read whole: NumPy
integer scalars work like Python ints, and a value out of range is refused in the
caller's words, never reduced modulo a power of two or taken past MPFR's largest
precision into an internal failure."""

import mpmath
import numpy as np
import pytest

import invlap
from invlap import _engine

MAX_M = 538714159  # the largest M whose GWR precision, 2.4 M digits, fits 2^32 - 1 bits


def F(s):
    return 1 / (s + 1)


@pytest.mark.parametrize("call, message", [
    # Past MPFR's precision range: once an internal failure from the bits rule.
    (lambda: invlap.invert("1/(s+1)", 1.0, M=10**9),
     f"M must be None or an integer from 2 to {MAX_M}, not 1000000000"),
    # Once reduced modulo 2^64: it behaved exactly as M = 3.
    (lambda: invlap.invert("1/(s+1)", 1.0, M=2**64 + 3, method="gwr"),
     f"M must be None or an integer from 2 to {MAX_M}, not an integer of 65 bits"),
    # Past the interpreter's limit on decimal text: described, not printed.
    (lambda: invlap.invert("1/(s+1)", 1.0, M=10**5000),
     f"M must be None or an integer from 2 to {MAX_M}, not an integer of 16610 bits"),
    # Once 0 modulo 2^32 (a wrong message) or 1 (silently accepted).
    (lambda: invlap.invert("1/(s+1)", 1.0, workers=2**40),
     "workers must be None or an integer from 1 to 4096, not 1099511627776"),
    (lambda: invlap.invert(F, 1.0, workers=2**32 + 1),
     "workers must be None or an integer from 1 to 4096, not 4294967297"),
    (lambda: invlap.besseli(0, np.ones(10), workers=2**40),
     "workers must be None or an integer from 1 to 4096, not 1099511627776"),
    (lambda: invlap.besselk(0, 1.0, digits=2**32 + 20),
     "digits must be None or an integer from 1 to 10000, not 4294967316"),
], ids=["M-past-precision", "M-modulo-2**64", "M-huge", "workers-2**40",
        "workers-2**32+1-callable", "bessel-workers", "bessel-digits"])
def test_out_of_range_integers_are_refused_by_name(call, message):
    with pytest.raises(ValueError) as caught:
        call()
    assert str(caught.value) == message


def test_the_largest_m_fits_the_precision_range():
    # MAX_M is the boundary itself: its level fits 2^32 - 1 bits, one more term
    # (about 8 bits more) would not, and the engine refuses that one by name.
    ((m, bits),) = _engine.gwr_levels(15, MAX_M)
    assert m == MAX_M and 2**32 - 1 - 8 < bits <= 2**32 - 1
    with pytest.raises(OverflowError) as caught:
        _engine.gwr_levels(15, MAX_M + 1)
    assert str(caught.value) == f"m must be an integer from 0 to {MAX_M}, not {MAX_M + 1}"


def test_the_largest_m_is_a_memory_refusal_not_an_internal_failure():
    with pytest.raises(MemoryError):
        invlap.invert("1/(s+1)", 1.0, M=MAX_M, method="gwr")


# The engine's own check, behind invlap's: every count the C++ side narrows.
T, ONE = np.ones(1), np.ones(1)


def engine_call(name, **counts):
    program = _engine.Program((("s", 0, 0),), (), 0)
    calls = {
        "invert_expression": lambda: _engine.invert_expression(
            program, T, np.empty((1, 0)), np.empty(1), np.empty(1), **counts),
        "invert_double_samples": lambda: _engine.invert_double_samples(
            T, np.ones((1, 4)), counts.pop("terms", [2]), np.empty(1), np.empty(1), **counts),
        "bessel": lambda: _engine.bessel("i", np.zeros(1), ONE, np.empty(1), **counts),
        "gwr_levels": lambda: _engine.gwr_levels(**counts),
        "require_value_samples_memory": lambda: _engine.require_value_samples_memory(**counts),
    }
    return calls[name]()


@pytest.mark.parametrize("name, counts, kind, message", [
    ("invert_expression", {"m": 2**64 + 3}, OverflowError,
     f"m must be an integer from 0 to {MAX_M}, not a number of more than 64 bits"),
    ("invert_expression", {"workers": 2**32 + 1}, OverflowError,
     "workers must be an integer from 1 to 4096, not 4294967297"),
    ("invert_expression", {"digits": 2**32 + 15}, OverflowError,
     "digits must be an integer from 1 to 10000, not 4294967311"),
    ("invert_double_samples", {"terms": [2**64 + 1]}, OverflowError,
     "m must be an integer from 1 to 2, not a number of more than 64 bits"),
    ("bessel", {"workers": 2**32 + 1}, OverflowError,
     "workers must be an integer from 1 to 4096, not 4294967297"),
    ("bessel", {"digits": -1}, ValueError, "digits must be an integer from 0 to 10000, not -1"),
    ("gwr_levels", {"digits": 15, "m": True}, TypeError,
     f"m must be an integer from 0 to {MAX_M}, not a bool"),
    ("require_value_samples_memory", {"m": 4, "bits": 2**32}, OverflowError,
     "bits must be an integer from 2 to 4294967295, not 4294967296"),
])
def test_the_engine_refuses_what_it_would_narrow(name, counts, kind, message):
    with pytest.raises(kind) as caught:
        engine_call(name, **counts)
    assert str(caught.value) == message


@pytest.mark.parametrize("option, plain, numpy_integer", [
    ("digits", 20, np.int64(20)),
    ("M", 12, np.int32(12)),
    ("workers", 2, np.uint8(2)),
])
def test_numpy_integer_scalars_work_like_ints(option, plain, numpy_integer):
    expected = invlap.invert("1/(s+1)", [0.5, 1.0], **{option: plain})
    got = invlap.invert("1/(s+1)", [0.5, 1.0], **{option: numpy_integer})
    np.testing.assert_array_equal(got, expected)
    # The values are exp(-t) (a closed form), so the option reached the engine.
    np.testing.assert_allclose(got, np.exp(-np.array([0.5, 1.0])), rtol=1e-11)


def test_numpy_integer_digits_for_the_bessel_functions():
    value = invlap.besseli(0, 1.0, digits=np.int16(40), output="mpmath")
    with mpmath.workdps(60):
        assert abs(value - mpmath.besseli(0, 1)) < mpmath.mpf(10) ** -39
        k1 = float(mpmath.besselk(1, 2))
    assert invlap.besselk(1, 2.0, workers=np.int64(1)) == k1  # correctly rounded
