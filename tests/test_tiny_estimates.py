"""Error estimates below the smallest double are carried as their logarithm
(InversionResult.error_log10) instead of becoming 0."""

import numpy as np
import pytest

import invlap

TIMES = [0.5, 1.0, 3.0]
LOG10_2 = np.log10(2.0)


def scaled(factor):
    return lambda s: factor / (s + 1)


# 2^2000 F(s) has exactly 2^2000 times F's samples: a power of two scales every
# rounding alike, so its values and estimates are F's times 2^2000, and there
# they are ordinary doubles. The carried logarithm must be theirs less 2000 log10 2.
@pytest.mark.parametrize("small, large, options", [
    ("1/(s+1)", "2**2000/(s+1)", {}),
    (scaled(1), scaled(2**2000), {"precision": "multi"}),
], ids=["expression", "multi-precision-callable"])
def test_estimates_below_the_double_range_are_carried(small, large, options):
    # With mpf output: a double's own rounding would dwarf these estimates.
    tiny = invlap.invert(small, TIMES, digits=300, full_output=True, output="mpmath", **options)
    ordinary = invlap.invert(large, TIMES, digits=300, full_output=True, output="mpmath",
                             **options)
    assert np.all(tiny.error < np.finfo(float).tiny)  # the double lost them
    np.testing.assert_allclose(tiny.error_log10, np.log10(ordinary.error) - 2000 * LOG10_2,
                               rtol=0, atol=1e-9)


def test_ordinary_estimates_have_their_own_logarithm():
    result = invlap.invert("1/(s+1)", TIMES, full_output=True)
    assert np.all(result.error > np.finfo(float).tiny)
    np.testing.assert_array_equal(result.error_log10, np.log10(result.error))


def test_a_subnormal_value_s_rounding_is_in_its_estimate():
    # f(1e6) = 2.82e-310 is a subnormal double, a unit of 4.9e-324 at 11 digits:
    # half that unit, no double itself, was dropped, and the estimate said 2e-331.
    t = 1e6
    result = invlap.invert("1e-300*(sqrt(s+1)-sqrt(s))", t, full_output=True)
    exact = 1e-300 * (1 - np.exp(-t)) / (2 * np.sqrt(np.pi) * t ** 1.5)
    assert result.error_log10 >= np.log10(np.spacing(exact)) - LOG10_2
    assert result.error >= abs(result.value - exact)


def test_a_value_below_the_double_range_returned_as_0_has_its_underflow_in_the_estimate():
    # 1/(sqrt(s) sinh(sqrt(s))) at t = 1e-4 is 2 e^(-2500) / sqrt(pi t), about
    # 2e-1084: 0.0 as a double, which the estimate of its own digits (1e-1086)
    # did not cover.
    import mpmath

    t = 1e-4
    result = invlap.invert("1/(sqrt(s)*sinh(sqrt(s)))", [t, 1e-3], full_output=True)
    exact = 2 * mpmath.exp(-1 / (4 * mpmath.mpf(t))) / mpmath.sqrt(mpmath.pi * t)
    assert result.value[0] == 0.0
    assert result.error_log10[0] >= float(mpmath.log10(exact))


# A callable's F that underflows at every node (e^(-10 sqrt(s)) / s near t = 0,
# where f = erfc(5 / sqrt(t)) is 1e-10860 at t = 1e-6) sums to 0 with an
# estimate of 0: exact, it claimed, for a value that is not.
@pytest.mark.parametrize("vectorized", [False, True], ids=["plain", "vectorized"])
def test_a_callable_that_underflows_everywhere_does_not_claim_an_exact_zero(vectorized):
    result = invlap.invert(lambda s: np.exp(-10 * np.sqrt(s)) / s, [1e-6, 1e-5],
                           vectorized=vectorized, full_output=True)
    assert np.all(result.value == 0) and np.all(result.error > 0)
