"""Identities that tie functions together: a fault in one of them (a cache that
hands I's values to K, a recurrence off by one order, a method that reads the
wrong samples) breaks an identity that no single function's table would notice.
Each side is computed independently; the identity is exact mathematics."""

import math

import mpmath
import numpy as np
import pytest

import invlap

TIMES = [1.0, 2.0, 4.5]


# The Wronskian I_n(s) K_(n+1)(s) + I_(n+1)(s) K_n(s) = 1/s (DLMF 10.28.2),
# so f = 1: both kinds at one argument in one expression, for the engine's
# own orders 0 and 1 (made as a pair and kept) and the recurrence above them.
@pytest.mark.parametrize("n", [0, 1, 3])
@pytest.mark.parametrize("method", ["auto", "gwr", "stehfest", "talbot", "euler"])
def test_wronskian_through_the_engine_inverts_to_one(method, n):
    F = f"besseli({n},s)*besselk({n + 1},s) + besseli({n + 1},s)*besselk({n},s)"
    result = invlap.invert(F, TIMES, method=method, full_output=True)
    np.testing.assert_allclose(result.value, 1.0, rtol=1e-14)
    assert np.all(np.abs(result.value - 1.0) <= result.error)
    if method == "auto":
        # 1/s is GWR's easiest case: a fault on the real axis that sends the
        # automatic choice to the contours is a fault all the same.
        assert result.method == "gwr"


def test_wronskian_through_the_public_arrays():
    n = np.array([0, 1, 2, 5, 10, 40])[:, None]
    x = np.array([0.01, 0.3, 1.0, 2.5, 17.0, 90.0, 600.0])
    wronskian = (invlap.besseli(n, x) * invlap.besselk(n + 1, x)
                 + invlap.besseli(n + 1, x) * invlap.besselk(n, x))
    # Correctly rounded doubles, two positive products and a sum: a few ulp.
    np.testing.assert_allclose(wronskian * x, 1.0, rtol=4e-16, atol=0)


def test_wronskian_through_the_public_arrays_at_40_digits():
    n = np.array([0, 1, 7])[:, None]
    x = np.array([0.25, 3.0, 45.0])
    arrays = {(f, k): f(n + k, x, digits=40, output="mpmath")
              for f in (invlap.besseli, invlap.besselk) for k in (0, 1)}
    with mpmath.workdps(60):
        for i in range(n.shape[0]):
            for j, xj in enumerate(x):
                w = (arrays[invlap.besseli, 0][i, j] * arrays[invlap.besselk, 1][i, j]
                     + arrays[invlap.besseli, 1][i, j] * arrays[invlap.besselk, 0][i, j])
                assert abs(w * mpmath.mpf(xj) - 1) < mpmath.mpf(10) ** -38


# Transforms equal as functions but written two ways, so that they reach the
# engine as different programs: the inversions must agree within their
# estimates and each meet the tolerance.
EQUAL_PAIRS = [
    # K_2 from the recurrence in the engine; K_0 and K_1 from the pair.
    ("besselk(2, sqrt(s))/s", "(besselk(0, sqrt(s)) + 2*besselk(1, sqrt(s))/sqrt(s))/s"),
    # I_2 from Arb; I_0 and I_1 from the project's own series.
    ("besseli(2, 1/s)/s", "(besseli(0, 1/s) - 2*s*besseli(1, 1/s))/s"),
    ("exp(-sqrt(s))/s", "1/(s*exp(sqrt(s)))"),
    ("1/(s**2-1)", "(1/(s-1) - 1/(s+1))/2"),
    ("tanh(s/2)/s", "(1-exp(-s))/(s*(1+exp(-s)))"),
]


@pytest.mark.parametrize("first, second", EQUAL_PAIRS)
def test_a_transform_written_two_ways_inverts_alike(first, second):
    times = [0.3, 1.7, 3.5]
    a = invlap.invert(first, times, full_output=True)
    b = invlap.invert(second, times, full_output=True)
    assert np.all(np.abs(a.value - b.value) <= a.error + b.error)


# Through the methods by name as well: a method that mishandles one program
# but not the other shows here even where auto would have avoided it.
@pytest.mark.parametrize("method", ["gwr", "stehfest", "talbot", "euler"])
@pytest.mark.parametrize("first, second", EQUAL_PAIRS[:3])
def test_equal_transforms_agree_under_each_method(method, first, second):
    a = invlap.invert(first, 1.3, method=method, full_output=True)
    b = invlap.invert(second, 1.3, method=method, full_output=True)
    assert abs(a.value - b.value) <= a.error + b.error
    assert math.isfinite(a.value)
