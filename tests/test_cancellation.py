"""A huge term of F whose inverse sits at t = 0 (a constant) cancels in the Gaver
differences and takes f's digits with its rounding: the estimate must cover that
loss, or the precision must keep f."""

import math
import warnings

import pytest

import invlap


# f(t) > 0 from the exact inverse of each transform, at t = 1; each sample is the
# huge term (within 1e-40 of it) plus the part that carries f.
@pytest.mark.parametrize("F, exact", [
    ("10**50 + 1/(s+1)", math.exp(-1)),       # 10^50 delta(t) + e^-t
    ("(10**60*s+1)/s", 1.0),                  # 10^60 delta(t) + 1
    ("10**100", 0.0),                         # 10^100 delta(t)
    ("10**30 + 1/(s**2+1)", math.sin(1)),
], ids=["constant-plus-exp", "constant-plus-step", "constant-alone", "constant-plus-sin"])
@pytest.mark.parametrize("method", ["gwr", "auto"])
def test_cancelled_constant_is_covered_by_the_estimate(F, exact, method):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", invlap.AccuracyWarning)
        result = invlap.invert(F, 1.0, full_output=True, method=method)
    assert abs(result.value - exact) <= result.error


def test_cancelled_constant_in_a_multi_precision_callable_is_covered():
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", invlap.AccuracyWarning)
        result = invlap.invert(lambda s: 10**50 + 1 / (s + 1), 1.0, precision="multi",
                               full_output=True)
    assert abs(result.value - math.exp(-1)) <= result.error
