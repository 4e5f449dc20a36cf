"""invlap.invert on expressions: digits reached on known pairs, the honesty of the
error estimate, broadcasting, workers, t = 0 and the refusals of bad input."""

import functools
import math
import pickle
import warnings

import mpmath
import numpy as np
import pytest

import invlap
from transform_pairs import PAIRS, times_for


@functools.lru_cache(maxsize=None)
def inverted(expression, digits):
    """Values (mpf, all digits) and estimates at the pair's times, with the exact f."""
    exact = {e: f for e, f, _ in PAIRS}[expression]
    times = times_for({e: largest for e, _, largest in PAIRS}[expression])
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", invlap.AccuracyWarning)
        result = invlap.invert(expression, times, digits=digits, output="mpmath",
                               full_output=True)
    with mpmath.workdps(2 * digits + 20):
        truth = [exact(mpmath.mpf(t)) for t in times]
        errors = [abs(v - x) for v, x in zip(result.value, truth)]
        relative = [float(e / abs(x)) for e, x in zip(errors, truth)]
    return relative, [float(e) for e in errors], list(result.error), truth


@pytest.mark.parametrize("digits", [15, 30])
@pytest.mark.parametrize("expression", [p[0] for p in PAIRS])
def test_known_pairs_reach_the_requested_digits_less_one(expression, digits):
    relative, _, _, _ = inverted(expression, digits)
    assert max(relative) <= 10.0 ** (1 - digits)


def test_error_estimate_is_honest():
    # The true error lies below the estimate at 95 % of the points or more, and the
    # estimate overstates it at most 100 times at the median.
    covered, ratios = [], []
    for expression, _, _ in PAIRS:
        for digits in (15, 30):
            _, errors, estimates, _ = inverted(expression, digits)
            covered += [e <= est for e, est in zip(errors, estimates)]
            ratios += [est / e for e, est in zip(errors, estimates) if e > 0]
    assert sum(covered) >= 0.95 * len(covered)
    assert float(np.median(ratios)) <= 100


def test_values_are_float64_in_the_broadcast_shape():
    t = np.array([[0.5], [1.0], [2.0]])
    r = np.array([0.5, 1.0, 2.0, 4.0])
    values = invlap.invert("besselk(0, r*sqrt(s))/s", t, r=r)
    assert values.dtype == np.float64 and values.shape == (3, 4)
    expected = [[float(mpmath.expint(1, ri ** 2 / (4 * ti)) / 2) for ri in r] for ti in t[:, 0]]
    np.testing.assert_allclose(values, expected, rtol=1e-14)


@pytest.mark.parametrize("t, params, kind", [
    (1.0, {}, float),
    (np.float64(1.0), {"a": 2}, float),
    (np.array(1.0), {"a": np.array(2.0)}, float),
    ([1.0], {"a": 2}, np.ndarray),
    (1.0, {"a": [2.0]}, np.ndarray),
], ids=["scalar", "numpy-scalars", "0-d-arrays", "list-t", "list-param"])
def test_scalar_inputs_give_a_float(t, params, kind):
    expression = "1/(s+a)" if params else "1/(s+1)"
    assert type(invlap.invert(expression, t, **params)) is kind


def test_empty_times_give_an_empty_array():
    out = invlap.invert("1/(s+1)", np.empty((0, 3)))
    assert out.shape == (0, 3) and out.dtype == np.float64


def test_results_are_the_same_bits_for_one_and_two_workers():
    t = np.geomspace(0.05, 20, 37)
    one = invlap.invert("exp(-sqrt(s))/s", t, workers=1, full_output=True)
    two = invlap.invert("exp(-sqrt(s))/s", t, workers=2, full_output=True)
    assert one.value.tobytes() == two.value.tobytes()
    assert one.error.tobytes() == two.error.tobytes()


def test_sympy_expression_gives_the_string_result():
    sympy = pytest.importorskip("sympy")
    s, r = sympy.symbols("s r", positive=True)
    F = sympy.besselk(0, r * sympy.sqrt(s)) / s
    t = [0.5, 2.0]
    np.testing.assert_allclose(invlap.invert(F, t, r=0.7),
                               invlap.invert("besselk(0, r*sqrt(s))/s", t, r=0.7), rtol=1e-14)


@pytest.mark.parametrize("expression, expected", [
    ("1/(s+1)", 1.0),                 # s F -> 1
    ("exp(-sqrt(s))/s", 0.0),         # s F -> 0 faster than any power
    ("1/(s**2+1)", 0.0),              # sin(0+)
    ("1/sqrt(s)", math.inf),          # 1/sqrt(pi t) is unbounded at 0
    ("log(s)/s", math.inf),           # f = -euler - log(t)
    ("-log(s)/s", -math.inf),
])
def test_t_zero_is_the_initial_value(expression, expected):
    value = invlap.invert(expression, 0.0)
    assert value == pytest.approx(expected, abs=1e-15)


def test_t_zero_that_does_not_settle_is_nan_with_a_warning():
    with pytest.warns(invlap.AccuracyWarning, match="at 1 of 1 points"):
        assert math.isnan(invlap.invert("sin(s)/s", 0.0))


@pytest.mark.parametrize("t, message", [
    ([1.0, -1.0], "t[1] = -1.0: times must be finite and >= 0"),
    ([[1.0, 2.0], [math.nan, 1.0]], "t[1, 0] = nan: times must be finite and >= 0"),
    (math.inf, "t = inf: times must be finite and >= 0"),
])
def test_bad_times_name_the_first_bad_index(t, message):
    with pytest.raises(ValueError) as caught:
        invlap.invert("1/s", t)
    assert str(caught.value) == message


@pytest.mark.parametrize("t, params, message", [
    ("1.0", {}, "t must be real numbers or arrays of them"),  # NumPy would read the number
    ([0.5, None], {}, "t must be real numbers or arrays of them"),  # NumPy: NaN
    (1.0, {"a": None}, "parameter 'a' is None; give a number or an array of numbers"),
    (np.ma.masked_array([0.5, 1.0], mask=[False, True]), {},
     "t is a masked array, whose mask would be ignored; pass its .compressed() values, or "
     ".filled() with a value of your choice"),
], ids=["string", "none-in-list", "none-parameter", "masked"])
def test_inputs_numpy_would_misread_are_type_errors(t, params, message):
    with pytest.raises(TypeError) as caught:
        invlap.invert("1/(s+a)" if params else "1/s", t, **params)
    assert str(caught.value) == message


@pytest.mark.parametrize("options, message", [
    ({"digits": 0}, "digits must be an integer from 1 to 10000, not 0"),
    ({"digits": 15.0}, "digits must be an integer from 1 to 10000, not 15.0"),
    ({"M": 1}, "M must be None or an integer from 2 to 538714159, not 1"),
    ({"method": "talbott"},
     "unknown method 'talbott'; methods: auto, gwr, talbot, euler, stehfest, hyperbola"),
    ({"method": "hyperbola"}, "method 'hyperbola' applies to callables; expressions have "
                              "'talbot' and 'euler' for complex s"),
    ({"workers": 0}, "workers must be None or an integer from 1 to 4096, not 0"),
    # Past the engine's unsigned int, where it would wrap to another count.
    ({"workers": 99999999999},
     "workers must be None or an integer from 1 to 4096, not 99999999999"),
    ({"output": "str"}, "output must be one of float, mpmath, not 'str'"),
    ({"vectorized": True}, "precision and vectorized apply to callables only"),
])
def test_bad_options_are_refused(options, message):
    with pytest.raises(ValueError) as caught:
        invlap.invert("1/s", 1.0, **options)
    assert str(caught.value) == message


def test_parameters_that_do_not_broadcast_are_refused():
    with pytest.raises(ValueError, match=r"do not broadcast together: t \(3,\), a \(2,\)"):
        invlap.invert("1/(s+a)", [1, 2, 3], a=[1, 2])


def test_a_parameter_the_expression_lacks_is_an_expression_error():
    with pytest.raises(invlap.ExpressionError, match="unknown name 'a'"):
        invlap.invert("1/(s+a)", 1.0)


def test_result_object_pickles():
    result = invlap.invert("1/(s+1)", [1.0, 2.0], full_output=True)
    again = pickle.loads(pickle.dumps(result))
    assert np.array_equal(again.value, result.value) and again.method == "gwr"


def test_a_constant_f_is_exact_and_says_so():
    # F = 1/s makes every Gaver functional exactly 1: the sequence is stationary
    # from the start, and the estimate must not fall back on the value's own size.
    with warnings.catch_warnings():
        warnings.simplefilter("error", invlap.AccuracyWarning)
        result = invlap.invert("2/s", [0.5, 3.0], full_output=True)
    assert list(result.value) == [2.0, 2.0]
    # Nothing but the returned double's own rounding, half a unit in its last place.
    assert max(result.error) <= np.spacing(2.0) / 2 * (1 + 1e-12)


def test_cancellation_inside_F_is_paid_for_with_precision():
    # exp(1e-60/s) - 1 cancels about 200 leading bits of every sample, more than the
    # margin of the working precision: unless the engine raises the precision of
    # those samples, the Gaver sums magnify what is left into noise. The inverse is
    # (I0(2 sqrt(1e-60 t)) - 1) / 1e-60 = t + 1e-60 t^2 / 4 + ... (A&S 29.3.81).
    t = np.array([0.5, 1.0, 2.0])
    result = invlap.invert("(exp(1e-60/s) - 1)*1e60/s", t, method="gwr", full_output=True)
    np.testing.assert_allclose(result.value, t, rtol=2e-16)
    assert np.all(result.error <= 1e-15 * t)
