"""invlap.besseli and invlap.besselk: correctly rounded doubles against mpmath at 60
digits (whose float() rounds to nearest), values at many digits, special arguments,
broadcasting and refusals."""

import fractions
import math

import mpmath
import numpy as np
import pytest

import invlap

FUNCTIONS = {"i": (invlap.besseli, mpmath.besseli), "k": (invlap.besselk, mpmath.besselk)}


def reference(kind, n, x):
    with mpmath.workdps(60):
        return float(FUNCTIONS[kind][1](int(n), mpmath.mpf(x)))


@pytest.mark.parametrize("kind", ["i", "k"])
def test_doubles_are_correctly_rounded_on_random_arguments(kind):
    rng = np.random.default_rng(20261208)
    x = np.exp(rng.uniform(np.log(1e-3), np.log(700.0), 300))
    n = rng.choice([0, 1, 2, 7], size=x.size)
    ours = FUNCTIONS[kind][0](n, x)
    expected = np.array([reference(kind, k, v) for k, v in zip(n, x)])
    assert ours.tobytes() == expected.tobytes()


# Arguments whose value lies so near a midpoint between two doubles that the first,
# 64-bit ball cannot settle the rounding (found by a search over 2*10^5 random x):
# the ball's radius must say so, or the nearest double of its midpoint is taken.
HARD_TO_ROUND = [("i", 0, "0x1.37105d7ab63a7p-7"), ("i", 0, "0x1.913bcbcf39270p+5"),
                 ("i", 1, "0x1.f0f3ef319737dp-2"), ("i", 1, "0x1.7cd187ec16c45p+1"),
                 ("k", 0, "0x1.96c3ae2ce2dcfp+5"), ("k", 0, "0x1.51abcc9f15f35p+1"),
                 ("k", 1, "0x1.044bdf2af9107p-5"), ("k", 1, "0x1.8e28895b4f2a0p+3")]


@pytest.mark.parametrize("kind, n, x", HARD_TO_ROUND, ids=[f"{k}{n}({x})" for k, n, x in HARD_TO_ROUND])
def test_hard_cases_are_correctly_rounded(kind, n, x):
    x = float.fromhex(x)
    assert FUNCTIONS[kind][0](n, x) == reference(kind, n, x)


@pytest.mark.parametrize("kind, n, x", [("i", 0, 2.5), ("k", 1, 30.0), ("k", 3, 0.01)])
def test_many_digits(kind, n, x):
    ours = FUNCTIONS[kind][0](n, x, digits=50, output="mpmath")
    with mpmath.workdps(80):
        exact = FUNCTIONS[kind][1](n, mpmath.mpf(x))
        assert abs(ours - exact) <= abs(exact) * mpmath.mpf(10) ** -49


@pytest.mark.parametrize("kind, n, x, expected", [
    ("i", 0, 0.0, 1.0), ("i", 3, 0.0, 0.0), ("i", 1, -2.0, -reference("i", 1, 2.0)),
    ("i", 2, -2.0, reference("i", 2, 2.0)), ("i", 1, -math.inf, -math.inf),
    ("k", 0, 0.0, math.inf), ("k", 1, math.inf, 0.0), ("k", 0, -1.0, math.nan),
    ("i", 0, math.nan, math.nan),
])
def test_special_arguments(kind, n, x, expected):
    value = FUNCTIONS[kind][0](n, x)
    assert value == expected or (math.isnan(value) and math.isnan(expected))


def test_broadcasting_and_scalars():
    values = invlap.besselk([[0], [1]], [0.5, 1.0, 2.0])
    assert values.shape == (2, 3) and values.dtype == np.float64
    assert values[1, 2] == reference("k", 1, 2.0)
    assert type(invlap.besseli(np.int64(1), np.float64(1.0))) is float


@pytest.mark.parametrize("args, kwargs, error, message", [
    ((-1, 1.0), {}, ValueError, "n = -1: orders must be integers from 0 to 1000000"),
    (([0, 1.5], 1.0), {}, ValueError, "n[1] = 1.5: orders must be integers from 0 to 1000000"),
    ((0, 1.0), {"digits": 0}, ValueError, "digits must be None or an integer from 1 to 10000, not 0"),
    ((0, "x"), {}, TypeError, "x must be real numbers or arrays of them"),
])
def test_bad_arguments_are_refused(args, kwargs, error, message):
    with pytest.raises(error) as caught:
        invlap.besseli(*args, **kwargs)
    assert str(caught.value) == message


def rounded_to_double(value):
    """The double nearest to an mpmath value, subnormals included: the exact binary
    value, as a Fraction, rounds once (float(mpf) rounds to 53 bits first and then
    again into the subnormal's fewer bits)."""
    sign = -1.0 if value < 0 else 1.0
    man, exp = abs(value).man_exp
    top = exp + int(man).bit_length()  # 2^(top-1) <= |value| < 2^top
    if top > 1025:
        return sign * math.inf
    if top < -1075:  # below half the smallest subnormal, 2^-1075
        return sign * 0.0
    try:
        return sign * float(fractions.Fraction(int(man)) * fractions.Fraction(2) ** exp)
    except OverflowError:
        return sign * math.inf


# Values beyond the doubles' range and in its subnormal tail. 713.98 and 713.99 sit
# on both sides of where I_0 passes the largest double; K_0 at 705 ... 745 runs
# through the subnormals to the last one; K_n at subnormal x is far beyond the
# largest double (K_3 by the recurrence from K_0 and K_1). 1e9 is beyond 2^29, where
# Arb's functions serve.
EXTREME = [("i", 0, 713.98), ("i", 0, 713.99), ("i", 1, 714.0), ("i", 1, -714.0),
           ("i", 0, 1e9), ("i", 2, 800.0), ("k", 0, 705.5), ("k", 1, 731.25),
           ("k", 0, 744.0), ("k", 1, 800.0), ("k", 0, 1e9), ("k", 1, 1e-320),
           ("k", 0, 5e-324), ("k", 3, 1e-320)]


@pytest.mark.parametrize("kind, n, x", EXTREME, ids=[f"{k}{n}({x})" for k, n, x in EXTREME])
def test_doubles_beyond_the_range_are_inf_or_correctly_rounded_subnormals(kind, n, x):
    with mpmath.workprec(400):  # far beyond a double's rounding: no case lies near a tie
        exact = FUNCTIONS[kind][1](n, mpmath.mpf(x))
        assert FUNCTIONS[kind][0](n, x) == rounded_to_double(exact)


@pytest.mark.parametrize("kind, n, x", [("i", 0, 800.0), ("i", 1, 5000.0), ("k", 1, 1e-320),
                                        ("k", 0, 1e6)])
def test_digits_beyond_the_doubles_range_carry_their_exponent(kind, n, x):
    ours = FUNCTIONS[kind][0](n, x, digits=25, output="mpmath")
    with mpmath.workdps(50):
        exact = FUNCTIONS[kind][1](n, mpmath.mpf(x))
        assert abs(ours - exact) <= abs(exact) * mpmath.mpf(10) ** -24
    assert FUNCTIONS[kind][0](n, x, digits=25) == rounded_to_double(exact)
