"""The inversion methods side by side: digits reached, the honesty of each method's
error estimate, the automatic choice, and refusals. References: transform_pairs.py
(closed forms in mpmath) and SciPy's double-precision special functions for the
callables' checks at 13 digits."""

import functools
import statistics
import warnings

import mpmath
import numpy as np
import pytest
from scipy.special import erfc, j0

import invlap
from transform_pairs import PAIRS, times_for

# Contour methods see singularities off the real axis: they also get sin t and
# J0(t) = L^-1[1/sqrt(s^2+1)] to t = 20, the latter through the continuation of the
# principal square root along the contour.
OSCILLATING = [("1/(s**2+1)", mpmath.sin), ("1/sqrt(s**2+1)", lambda t: mpmath.besselj(0, t))]
LATE_TIMES = [5.0, 10.0, 20.0]


def cases(method):
    out = [(e, f, times_for(largest)) for e, f, largest in PAIRS]
    if method in ("talbot", "euler"):
        out += [(e, f, LATE_TIMES) for e, f in OSCILLATING]
    return out


@functools.lru_cache(maxsize=None)
def results(method, digits):
    """[(relative error, absolute error, estimate)] over the method's cases."""
    rows = []
    for expression, exact, times in cases(method):
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", invlap.AccuracyWarning)
            r = invlap.invert(expression, times, digits=digits, method=method,
                              output="mpmath", full_output=True)
        with mpmath.workdps(2 * digits + 20):
            for v, est, t in zip(r.value, r.error, times):
                x = exact(mpmath.mpf(t))
                rows.append((float(abs(v - x) / abs(x)), float(abs(v - x)), est))
    return rows


@pytest.mark.parametrize("method, digits", [
    ("talbot", 15), ("talbot", 30), ("euler", 15), ("stehfest", 15), ("auto", 15)])
def test_expression_methods_reach_the_requested_digits_less_one(method, digits):
    assert max(rel for rel, _, _ in results(method, digits)) <= 10.0 ** (1 - digits)


@pytest.mark.parametrize("method, digits", [
    ("talbot", 15), ("talbot", 30), ("euler", 15), ("stehfest", 15), ("auto", 15)])
def test_expression_estimates_are_honest(method, digits):
    rows = results(method, digits)
    assert sum(err <= est for _, err, est in rows) >= 0.95 * len(rows)
    # Useful too: in the median the estimate overstates by 100 at most; Stehfest's by
    # 200, since its real-axis estimate on sin t carries a deliberate margin of ten
    # (its spread can undercut its error that much on an oscillating f).
    most = 200 if method == "stehfest" else 100
    assert statistics.median(est / err for _, err, est in rows if err > 0) <= most


def test_auto_keeps_gwr_where_it_converges_and_turns_to_talbot_where_not():
    smooth = invlap.invert("1/(s+1)", [0.5, 2.0], full_output=True)
    assert smooth.method == "gwr"
    # Far along the wave, real samples cannot resolve it: Talbot's contour.
    wave = invlap.invert("1/(s**2+1)", [0.1, 20.0], full_output=True)
    assert np.broadcast_to(wave.method, (2,))[1] == "talbot"
    np.testing.assert_allclose(wave.value, np.sin([0.1, 20.0]), rtol=1e-14)


# Callables in doubles, t over [1e-2, 1e2]: (F for NumPy, f). Accuracy is measured
# against max(|f|, 1): these f are of order one, and doubles cannot resolve e^-100
# relative to itself from samples of order one.
SMOOTH = [
    (lambda s: 1 / (s + 1), lambda t: np.exp(-t)),
    (lambda s: 1 / s ** 2, lambda t: t),
    (lambda s: 1 / np.sqrt(s), lambda t: 1 / np.sqrt(np.pi * t)),
    (lambda s: np.exp(-np.sqrt(s)) / s, lambda t: erfc(1 / (2 * np.sqrt(t)))),
    (lambda s: np.log(s) / s, lambda t: -np.euler_gamma - np.log(t)),
    (lambda s: 1 / (s * (s + 1)), lambda t: 1 - np.exp(-t)),
]
# Written with the branch cuts going left from +-i, as a contour needs them.
WAVES = [(lambda s: 1 / (s * s + 1), np.sin),
         (lambda s: 1 / (np.sqrt(s + 1j) * np.sqrt(s - 1j)), j0)]
TIMES = np.geomspace(1e-2, 1e2, 21)


def double_run(method, F, f, times):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", invlap.AccuracyWarning)
        r = invlap.invert(F, times, method=method, vectorized=True, full_output=True)
    error = np.abs(r.value - f(times))
    return error / np.maximum(np.abs(f(times)), 1), error, r.error


@pytest.mark.parametrize("method", ["talbot", "hyperbola"])
def test_double_contours_reach_13_digits_on_smooth_transforms(method):
    for F, f in SMOOTH[:1] + SMOOTH[2:]:
        scaled, _, _ = double_run(method, F, f, TIMES)
        assert scaled.max() <= 1e-13
    scaled, _, _ = double_run(method, *SMOOTH[1], TIMES)  # t up to 100: 11 digits of 100
    assert scaled.max() <= 1e-11


@pytest.mark.parametrize("method", ["talbot", "hyperbola", "euler", "stehfest", "gwr"])
def test_double_estimates_are_honest(method):
    covered = []
    for F, f in SMOOTH:
        _, error, estimate = double_run(method, F, f, TIMES)
        covered += list(error <= estimate)
    if method in ("talbot", "hyperbola", "euler"):
        # Including the points where the deformed contours pass right of +-i: the
        # check against the Bromwich line must say so.
        for F, f in WAVES:
            _, error, estimate = double_run(method, F, f, TIMES[TIMES <= 20])
            covered += list(error <= estimate)
    assert sum(covered) >= 0.95 * len(covered)


@pytest.mark.parametrize("F, vectorized, expected", [
    (lambda s: 1 / (s + 1), True, "hyperbola"),
    (lambda s: 1 / (s + 1), False, "talbot"),
    (lambda s: np.exp(-s.real) * 0 + 1 / (s.real + 1), False, "gwr"),  # real answer
], ids=["complex-vectorized", "complex-scalar", "real-only"])
def test_auto_picks_by_what_the_callable_accepts(F, vectorized, expected):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", invlap.AccuracyWarning)
        result = invlap.invert(F, [0.5, 1.0], vectorized=vectorized, full_output=True)
    assert result.method == expected


def test_callable_that_rejects_complex_still_inverts_under_auto():
    def F(s):
        if isinstance(s, complex):
            raise TypeError("real s only")
        return 1 / (s + 1)

    with pytest.warns(invlap.AccuracyWarning):
        result = invlap.invert(F, [0.5, 1.0], full_output=True)
    assert result.method == "gwr"
    np.testing.assert_allclose(result.value, np.exp(-np.array([0.5, 1.0])), rtol=1e-6)


@pytest.mark.parametrize("kwargs, message", [
    ({"method": "talbot", "precision": "multi"},
     "precision='multi' works with method 'gwr' (or 'auto')"),
    ({"method": "weeks"},
     "unknown method 'weeks'; methods: auto, gwr, talbot, euler, stehfest, hyperbola"),
    ({"method": "stehfest", "M": 1}, "M must be None or an integer from 2 to 538714159, not 1"),
    ({"method": "stehfest", "M": 8.5}, "M must be None or an integer from 2 to 538714159, not 8.5"),
])
def test_bad_methods_and_sizes_are_refused(kwargs, message):
    with pytest.raises(ValueError) as caught:
        invlap.invert(lambda s: 1 / (s + 1), 1.0, **kwargs)
    assert str(caught.value) == message
