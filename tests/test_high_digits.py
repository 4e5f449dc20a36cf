"""Hundreds of digits: the automatic choice turns to the Talbot contour, whose values
reach the digits asked for with estimates that hold them, past the double range of the
tolerance itself (10**-500 is no double); and nothing that fits is refused."""

import os

import mpmath
import pytest

import invlap
from support import run_python

# (F, t, digits, closed form of f): each a few tenths of a second.
CLOSED_FORMS = [
    ("1/(s+1)", 1.0, 500, lambda t: mpmath.exp(-t)),
    ("1/(s**2+1)", 2.0, 320, mpmath.sin),
    ("exp(-sqrt(s))/s", 0.5, 300, lambda t: mpmath.erfc(1 / (2 * mpmath.sqrt(t)))),
]


@pytest.mark.parametrize("F, t, digits, exact", CLOSED_FORMS, ids=[c[0] for c in CLOSED_FORMS])
def test_auto_reaches_hundreds_of_digits_by_talbot_with_an_honest_estimate(F, t, digits,
                                                                              exact):
    result = invlap.invert(F, t, digits=digits, output="mpmath", full_output=True)
    assert result.method == "talbot"
    with mpmath.workdps(digits + 40):
        expected = exact(mpmath.mpf(t))
        true_log10 = float(mpmath.log10(abs(result.value - expected)))
        wanted_log10 = float(mpmath.log10(abs(expected))) - digits
    assert true_log10 <= wanted_log10
    # The estimate is carried as a logarithm below the doubles; it must cover the
    # true error and meet the tolerance (no AccuracyWarning: pytest makes it an error).
    assert true_log10 <= float(result.error_log10) <= wanted_log10


def test_auto_keeps_gwr_where_it_costs_less():
    # Low digits, and Bessel functions of s, whose complex samples cost tens of real ones.
    assert invlap.invert("1/(s+1)", 1.0, digits=30, full_output=True).method == "gwr"
    radial = "besselk(0, sqrt(s))/(s*sqrt(s)*besselk(1, sqrt(s)))"
    assert invlap.invert(radial, 1.0, digits=100, full_output=True).method == "gwr"


def test_an_estimate_below_the_doubles_is_carried_and_judged():
    # 600 nodes reach about 354 digits: the estimate lies below the smallest double,
    # and the tolerance 10**-400 is 0 as one. The estimate must come back as itself
    # (Arb's radius as a double clamps near 1e-301), and its miss be seen.
    with pytest.warns(invlap.AccuracyWarning):
        result = invlap.invert("1/(s+1)", 1.0, digits=400, method="talbot", M=600,
                               full_output=True, output="mpmath")
    with mpmath.workdps(440):
        true_log10 = float(mpmath.log10(abs(result.value - mpmath.exp(-1))))
    assert true_log10 <= float(result.error_log10) < -340


@pytest.mark.skipif(os.environ.get("INVLAP_SANITIZE") == "1",
                    reason="AddressSanitizer cannot start under an address-space limit")
def test_work_that_fits_is_not_refused():
    # Under a 2 GiB address space: 1000 digits by the contour, and GWR at 200 digits,
    # whose first level's tables fit although all its levels counted at the largest
    # level's raised precision would not.
    code = """
import resource
resource.setrlimit(resource.RLIMIT_AS, (2 << 30, 2 << 30))
import warnings, mpmath, invlap
r = invlap.invert("1/(s+1)", 2.0, digits=1000, output="mpmath", full_output=True)
with mpmath.workdps(1040):
    print(r.method, float(mpmath.log10(abs(r.value / mpmath.exp(-2) - 1))) < -1000)
r = invlap.invert("1/(s+1)", 1.0, digits=200, method="gwr", output="mpmath")
with mpmath.workdps(240):
    print(float(mpmath.log10(abs(r / mpmath.exp(-1) - 1))) < -199)
"""
    done = run_python(code)
    assert done.returncode == 0, done.stderr
    assert done.stdout.split() == ["talbot", "True", "True"]
