"""The rules decided once in the engine and read by Python: the methods' registry,
the tolerance test, the f(0+) rule and the expression language's function table
(whose branch cuts decide where each method may run). References: closed forms."""

import math
import warnings

import mpmath
import numpy as np
import pytest

import invlap
from invlap import _engine

INF, NAN = math.inf, math.nan


@pytest.mark.parametrize("value, error, digits, met", [
    (2.0, 2e-15, 15, True),
    (-2.0, 2.1e-15, 15, False),
    # f = 0 exactly has no relative error: the bound is 10^-digits itself.
    (0.0, 1e-16, 15, True),
    (0.0, 1e-14, 15, False),
    (INF, 0.0, 15, True),   # an infinite f(0+) is exact
    (NAN, 0.0, 15, False),
    (1.0, NAN, 15, False),
])
def test_the_tolerance_test(value, error, digits, met):
    assert _engine.tolerance_met(value, error, digits) is met
    assert _engine.tolerance_missed(np.array([value]), np.array([error]), digits) == (not met)


def test_a_zero_value_with_a_tiny_estimate_meets_the_tolerance():
    # f(0+) of 1/(s^2+1) is sin(0) = 0, read off with a small nonzero estimate:
    # without the zero case it would warn (an error in this suite).
    r = invlap.invert("1/(s**2+1)", [0.0, 1.0], full_output=True)
    assert r.value[0] == 0.0 and 0 < r.error[0] < 1e-15
    assert r.value[1] == pytest.approx(math.sin(1.0), rel=1e-14)


@pytest.mark.parametrize("expression, function, f0", [
    ("1/(s+1)", lambda s: 1 / (s + 1), 1.0),
    ("1/sqrt(s)", lambda s: 1 / math.sqrt(s), INF),
    ("-1/sqrt(s)", lambda s: -1 / math.sqrt(s), -INF),
    ("1/(s**2+1)", lambda s: 1 / (s * s + 1), 0.0),
    ("sin(log(s))/s", lambda s: math.sin(math.log(s)) / s, NAN),
])
def test_expressions_and_callables_share_the_initial_value_rule(expression, function, f0):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", invlap.AccuracyWarning)
        from_expression = invlap.invert(expression, 0.0, digits=12)
        from_callable = invlap.invert(function, 0.0)
    np.testing.assert_allclose([from_expression, from_callable], [f0, f0], rtol=1e-12, atol=1e-15)


def test_the_registry_names_the_methods_results_report():
    names = [name for name, *_ in _engine.METHODS]
    assert names[:6] == ["gwr", "talbot", "euler", "stehfest", "auto", "initial value"]
    for name, samples, expressions, _ in _engine.METHODS:
        if expressions and name != "auto":
            r = invlap.invert("1/(s+1)", 1.0, method=name, full_output=True, digits=10)
            assert r.method == name
            assert r.value == pytest.approx(math.exp(-1.0), rel=1e-9)
    assert invlap.invert("1/(s+1)", 0.0, full_output=True).method == "initial value"


def test_the_language_has_the_engines_functions():
    with pytest.raises(invlap.ExpressionError, match="not a function"):
        invlap.compile_expression("lgamma(s)")
    for name, _, order in _engine.FUNCTIONS:
        program = invlap.compile_expression(f"{name}(1, s)" if order else f"{name}(s)")
        assert program.code[-1][0] == name


# Transforms whose only singularities come from one function's branch cut. The
# contour methods are placed by the cut the function table gives: a cut left out
# would let a contour pass on the wrong side of the branch points, a value off
# with an estimate that need not show it.
CUTS = [
    ("1/sqrt(s**2+1)", lambda t: mpmath.besselj(0, t)),           # sqrt: branch points +-i
    ("log(1+1/s**2)/2", lambda t: (1 - mpmath.cos(t)) / t),        # log: 0 and +-i
    ("atan(1/s)", lambda t: mpmath.sin(t) / t),                    # atan: +-i
    ("atanh(1/s)", lambda t: mpmath.sinh(t) / t),                  # atanh: 1 and -1
    # asinh: +-i, where asinh stays bounded, so only its cut shows them; the
    # inverse is (1/t) times the integral of J0 from 0 to t.
    ("asinh(1/s)", lambda t: mpmath.quad(mpmath.j0, [0, t]) / t),
    ("besselk(0, sqrt(s+1))", lambda t: mpmath.exp(-t - 1 / (4 * t)) / (2 * t)),  # K0: -1
]


@pytest.mark.parametrize("method", ["talbot", "euler", "auto"])
@pytest.mark.parametrize("expression, exact", CUTS)
def test_cuts_place_the_contours(expression, exact, method):
    times = [0.5, 4.0, 12.0, 30.0]
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", invlap.AccuracyWarning)
        r = invlap.invert(expression, times, method=method, digits=12, full_output=True)
    with mpmath.workdps(40):
        for t, value, error in zip(times, r.value, r.error):
            true_error = abs(mpmath.mpf(value) - exact(mpmath.mpf(t)))
            assert true_error <= error, (expression, method, t, value, error)
