"""The automatic choice, where the choice is the point: each row is a case
one method serves best (cheapest, or alone), and the value must be right too,
so that a choice that turns elsewhere is caught even when the other method
happens to get the value."""

import math

import mpmath
import numpy as np
import pytest

import invlap



def cosh_step(t):
    """L^-1[1/(s cosh sqrt(s))] = 1 + (4/pi) sum_k (-1)^(k+1)/(2k+1) e^(-(2k+1)^2 pi^2 t/4)."""
    with mpmath.workdps(40):
        return float(1 + 4 / mpmath.pi * mpmath.nsum(
            lambda k: (-1) ** (k + 1) / (2 * k + 1) * mpmath.exp(-(2 * k + 1) ** 2 * mpmath.pi ** 2 * t / 4),
            [0, mpmath.inf]))


# (F, times, f, the method auto must report at each time)
CHOICES = [
    # f(0+) by the initial-value theorem, then GWR on a smooth f.
    ("1/(s+1)", [0.0, 0.5, 2.0], lambda t: math.exp(-t), ["initial value", "gwr", "gwr"]),
    # A wave, late: Talbot, then the Bromwich line where Talbot's contour no
    # longer reaches the poles.
    ("1/(s**2+1)", [20.0, 300.0], math.sin, ["talbot", "euler"]),
    ("1/((s+0.01)**2+100)", [10.0, 50.0], lambda t: math.exp(-0.01 * t) * math.sin(10 * t) / 10,
     ["talbot", "euler"]),
    # Growth e^t: GWR's first sample ln2/t lies left of the pole at t = 2.
    ("1/(s-1)", [0.5, 2.0], math.exp, ["gwr", "talbot"]),
    # Poles at -((k + 1/2) pi)^2 without end, all on the negative real axis:
    # cosh is zero only where its argument is imaginary, so the scan vouches
    # for the right half-plane, and Talbot's contour serves at every time
    # (at t = 0.01 moved out to the saddle; its estimate there is the value's
    # rounding, as GWR's is).
    ("1/(s*cosh(sqrt(s)))", [0.01, 5.0, 20.0], lambda t: cosh_step(t),
     ["talbot", "talbot", "talbot"]),
    # Flat at t = 0: GWR's further levels converge, the contours would cost more.
    ("exp(-sqrt(s))/s", [0.01, 1.0], lambda t: math.erfc(1 / (2 * math.sqrt(t))), ["gwr", "gwr"]),
]


@pytest.mark.parametrize("F, times, f, methods", CHOICES, ids=[c[0] for c in CHOICES])
def test_auto_chooses_the_method_that_serves_the_case(F, times, f, methods):
    result = invlap.invert(F, times, full_output=True)
    reported = [result.method] * len(times) if isinstance(result.method, str) else list(result.method)
    assert reported == methods
    exact = np.array([f(t) for t in times])
    np.testing.assert_allclose(result.value, exact, rtol=1e-13, atol=1e-300)

