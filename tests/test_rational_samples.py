"""GWR's samples of a rational F are made in limb arithmetic with their own error
bound, and left to Arb wherever that bound cannot vouch for the level's precision
(a cancellation inside F, a zero parameter, too few guard bits at 50 digits). Either
way the value must meet the tolerance and its estimate cover the true error, which
comes here from closed forms in mpmath at twice the digits and more."""

import mpmath
import pytest

import invlap

TIMES = [0.1, 0.7, 1.9, 4.3]

# (F, parameters, exact f(t) in mpmath)
CASES = {
    "pole": ("1/(s+1)", {}, lambda t: mpmath.exp(-t)),
    "double pole": ("(s-1)/(s+1)**2", {}, lambda t: (1 - 2 * t) * mpmath.exp(-t)),
    "two poles": ("1/(s**2+3*s+2)", {}, lambda t: mpmath.exp(-t) - mpmath.exp(-2 * t)),
    "negative power": ("s**-3", {}, lambda t: t**2 / 2),
    "inexact constant": ("(1/3)/(s+1/3)", {}, lambda t: mpmath.exp(-t / 3) / 3),
    # Poles 2^-20, 2^-100 and 2^-150 apart: the difference of the two fractions
    # cancels 20 bits (within the limbs' guard bits), 100 and 150 (beyond them:
    # Arb's way, at a raised precision; made in limbs, 150 would leave the
    # samples 42 right bits at 15 digits).
    "20-bit cancellation": ("1/(s+a) - 1/(s+b)", {"a": 1.0, "b": 1.0 + 2.0**-20},
                            lambda t: mpmath.exp(-t) - mpmath.exp(-(1 + mpmath.mpf(2)**-20) * t)),
    "100-bit cancellation": ("1/(s+1) - 1/(s+1+2**-100)", {},
                             lambda t: mpmath.exp(-t) - mpmath.exp(-(1 + mpmath.mpf(2)**-100) * t)),
    "150-bit cancellation": ("1/(s+1) - 1/(s+1+2**-150)", {},
                             lambda t: mpmath.exp(-t) - mpmath.exp(-(1 + mpmath.mpf(2)**-150) * t)),
    # F = 1/(s+1), as the difference of 1/(s+1) (1 + 2^-150) and 1/(s+1) scaled
    # back by 2^150, which magnifies the rounding of the product 2^150 times:
    # made in limbs, the samples would keep about 40 right bits.
    "magnified rounding": ("((1/(s+1))*(1 + 2**-150) - 1/(s+1)) * 2**150", {},
                           lambda t: mpmath.exp(-t)),
    "zero parameter": ("1/(s+a) + a*s/(s+2)**2", {"a": 0.0}, lambda t: mpmath.mpf(1)),
    "parameters": ("a/(s*s + b*s + a)", {"a": 2.0, "b": 3.0},
                   lambda t: 2 * (mpmath.exp(-t) - mpmath.exp(-2 * t))),
}


def assert_within_estimates(case, digits, result):
    _, _, exact = CASES[case]
    # Enough digits for the references that cancel 45 of them.
    with mpmath.workdps(2 * digits + 80):
        for t, value, estimate in zip(TIMES, result.value, result.error):
            f = exact(mpmath.mpf(t))
            error = abs(value - f)
            assert error <= estimate, (case, t)
            assert error <= mpmath.mpf(10)**-digits * abs(f) or f == 0, (case, t)


@pytest.mark.parametrize("digits", [15, 30, 50])
@pytest.mark.parametrize("case", sorted(CASES))
def test_rational_samples_meet_the_tolerance_within_their_estimate(case, digits):
    F, parameters, _ = CASES[case]
    result = invlap.invert(F, TIMES, digits=digits, method="gwr", output="mpmath",
                           full_output=True, workers=1, **parameters)
    assert_within_estimates(case, digits, result)


# The first level's terms alone, as given, meet the tolerance on these: no later
# level can then make up for samples less accurate than claimed ("magnified
# rounding" is "pole" by way of a difference that needs Arb's raised precision).
@pytest.mark.parametrize("digits", [15, 30])
@pytest.mark.parametrize("case", ["pole", "inexact constant", "magnified rounding",
                                  "zero parameter"])
def test_first_level_alone_meets_the_tolerance(case, digits):
    F, parameters, _ = CASES[case]
    first_level_terms = invlap._engine.gwr_levels(digits)[0][0]
    result = invlap.invert(F, TIMES, digits=digits, method="gwr", M=first_level_terms,
                           output="mpmath", full_output=True, workers=1, **parameters)
    assert_within_estimates(case, digits, result)
