"""Samples of F that carry an error of their own: the returned estimate must
cover what that error does to f(t), or the point must say it missed."""

import math
import warnings

import numpy as np
import pytest

import invlap


def inverted(F, t, **options):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", invlap.AccuracyWarning)
        return invlap.invert(F, t, full_output=True, **options)


# 10^K + 1/(s+1) rounds to 10^K unless the precision exceeds 3.3 K bits; past
# the evaluator's precision cap the difference is a ball around 0 that holds
# no right bit. f = e^-t all the same.
@pytest.mark.parametrize("K", [300, 1000, 3000])
@pytest.mark.parametrize("method", ["auto", "gwr", "stehfest"])
@pytest.mark.parametrize("digits", [15, 30])
def test_samples_with_no_right_bit_leave_no_false_estimate(K, method, digits):
    result = inverted(f"(10**{K} + 1/(s+1)) - 10**{K}", 1.0, method=method, digits=digits)
    assert abs(result.value - math.exp(-1)) <= result.error
    if K == 300:  # within reach of the higher levels' precision: met
        assert result.error <= 1e-15


def perturbed(relative):
    """1/(s+1) with a relative error of size `relative` that varies with s as
    a sample's rounding would (for real and complex s, scalar or array)."""
    def F(s):
        return 1 / (s + 1) * (1 + relative * np.sin(1e3 * np.abs(s)))
    return F


TIMES = np.array([0.1, 1.0, 5.0])


@pytest.mark.parametrize("relative", [1e-13, 1e-10, 1e-7, 1e-4])
@pytest.mark.parametrize("method", ["auto", "gwr", "stehfest", "talbot", "euler", "hyperbola"])
def test_noisy_double_callable_is_covered_by_its_estimate(method, relative):
    result = inverted(perturbed(relative), TIMES, method=method)
    wrong_by = np.abs(result.value - np.exp(-TIMES))
    assert np.all(wrong_by <= result.error)
    # The noise is there to see: no estimate may claim much better than it.
    assert np.all(result.error >= 0.1 * relative * np.exp(-TIMES))


@pytest.mark.parametrize("vectorized", [False, True])
def test_noisy_vectorized_callable_is_covered_alike(vectorized):
    result = inverted(perturbed(1e-9), TIMES, vectorized=vectorized)
    assert np.all(np.abs(result.value - np.exp(-TIMES)) <= result.error)
