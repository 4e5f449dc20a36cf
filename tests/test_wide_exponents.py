"""Transforms whose Bessel values lie beyond the doubles' range: the engine's balls
carry their exponents, and only f(t) is rounded to a double, to +-inf or a signed 0
where it lies beyond. F = c/s inverts to the constant c at every t, so each case
checks one value; references: DLMF 10.28.2 (I_0 K_1 + I_1 K_0 = 1/x) and mpmath."""

import math
import warnings

import mpmath
import numpy as np
import pytest

import invlap

METHODS = ["gwr", "talbot", "euler", "stehfest"]


@pytest.mark.parametrize("method", METHODS)
def test_products_of_huge_and_tiny_values_keep_every_digit(method):
    # Each term is about e^x times e^-x: beyond the doubles from x = 714 on, with both
    # orders of one argument made together in the engine; their sum is 1/x.
    x = np.array([800.0, 5000.0, 1e5])
    result = invlap.invert("(besseli(0, x)*besselk(1, x) + besseli(1, x)*besselk(0, x))/s",
                           1.0, x=x, method=method, full_output=True)
    assert result.value == pytest.approx(1 / x, rel=1e-14)
    assert np.all(result.error <= 1e-15 / x)


BEYOND = [("besseli(0, 800)/s", math.inf, lambda: mpmath.besseli(0, 800)),
          ("-besseli(1, 800)/s", -math.inf, lambda: -mpmath.besseli(1, 800)),
          ("besselk(0, 800)/s", 0.0, lambda: mpmath.besselk(0, 800)),
          ("-besselk(1, 800)/s", -0.0, lambda: -mpmath.besselk(1, 800))]


@pytest.mark.parametrize("expression, double, exact", BEYOND, ids=[b[0] for b in BEYOND])
@pytest.mark.parametrize("method", ["gwr", "talbot"])
def test_values_beyond_the_doubles_round_to_signed_inf_or_zero(method, expression, double,
                                                               exact):
    with warnings.catch_warnings():
        warnings.simplefilter("error", invlap.AccuracyWarning)
        value = invlap.invert(expression, 1.0, method=method)
    assert value == double and math.copysign(1, value) == math.copysign(1, double)
    # The decimal value keeps the exponent the double cannot hold. (Its digits are
    # checked loosely: the methods judge their estimate against the tolerance in
    # doubles, which cannot tell an error relative to an infinite value.)
    digits = invlap.invert(expression, 1.0, method=method, output="mpmath")
    with mpmath.workdps(40):
        assert abs(digits - exact()) <= abs(exact()) * mpmath.mpf(10) ** -14
