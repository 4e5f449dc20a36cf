"""invlap.invert on Python callables: floats, arrays and mpf values."""

import math
import warnings

import mpmath
import numpy as np
import pytest

import invlap

TIMES = [0.2, 1.0, 3.0]


def exact(t):
    return np.exp(-np.asarray(t))


def scalar_F(s, a=1.0):
    return 1.0 / (s + a)


def real_only_F(s, a=1.0):
    # math.exp refuses complex s: under "auto" this callable must take GWR.
    return math.exp(-0.0 * s) / (s + a)


def vector_F(s, a=1.0):
    return 1.0 / (s + a)


def test_float_callable_reaches_about_seven_digits_and_says_so():
    with pytest.warns(invlap.AccuracyWarning) as caught:
        result = invlap.invert(real_only_F, TIMES, full_output=True)
    assert result.method == "gwr"
    # The default tolerance for doubles is 12 digits: GWR on real samples gets about 7.
    assert str(caught[0].message) == ("the estimated error exceeds the tolerance of 12 digits "
                                      "at 3 of 3 points (full_output=True gives the estimates)")
    true_error = np.abs(result.value - exact(TIMES))
    assert np.all(true_error <= 1e-6)
    assert np.all(true_error <= result.error)  # the doubles' rounding is in the estimate


# (method, agreement of scalar and vectorized F, accuracy): complex samples may differ
# in the last bit (Python's complex division is not NumPy's), which Euler's rule
# magnifies about 10^5 times.
@pytest.mark.parametrize("method, agree, rtol", [
    ("gwr", 0.0, 1e-6), ("talbot", 1e-14, 1e-12), ("euler", 1e-11, 1e-9)])
def test_vectorized_callable_gives_the_scalar_callable_values(method, agree, rtol):
    t = np.array([[0.2], [1.0]])
    a = np.array([1.0, 2.0, 0.5])
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", invlap.AccuracyWarning)
        plain = invlap.invert(scalar_F, t, a=a, method=method)
        vector = invlap.invert(vector_F, t, a=a, vectorized=True, method=method)
    assert plain.shape == (2, 3)
    if method == "gwr":
        assert plain.tobytes() == vector.tobytes()
    np.testing.assert_allclose(vector, plain, rtol=agree)
    np.testing.assert_allclose(plain, np.exp(-a * t), rtol=rtol)


def test_vectorized_callable_sees_one_array_per_call():
    calls = []

    def F(s):
        calls.append(s.shape)
        return 1.0 / (s + 1.0)

    with pytest.warns(invlap.AccuracyWarning):
        invlap.invert(F, np.linspace(0.5, 2, 40), vectorized=True, method="gwr")
    assert calls == [(40, 24)]


@pytest.mark.parametrize("digits", [15, 25])
def test_mpf_callable_reaches_the_requested_digits(digits):
    seen = set()

    def F(s):
        seen.add(type(s))
        return 1 / (s + 1)

    values = invlap.invert(F, TIMES, digits=digits, precision="multi", output="mpmath")
    assert seen == {mpmath.mpf}
    with mpmath.workdps(digits + 10):
        worst = max(abs(v - mpmath.exp(-mpmath.mpf(t))) / mpmath.exp(-mpmath.mpf(t))
                    for v, t in zip(values, TIMES))
    assert worst <= 10.0 ** (1 - digits)


def test_given_M_is_used_as_given():
    # m = 2 alone is far from converged: the estimate and the value say so.
    with pytest.warns(invlap.AccuracyWarning):
        result = invlap.invert(scalar_F, 1.0, M=2, full_output=True, method="gwr")
    assert abs(result.value - math.exp(-1)) > 1e-4
    assert result.error >= abs(result.value - math.exp(-1))


def test_callable_exception_reaches_the_caller_unchanged():
    boom = ZeroDivisionError("from F")

    def F(s):
        raise boom

    with pytest.raises(ZeroDivisionError) as caught:
        invlap.invert(F, 1.0)
    assert caught.value is boom


@pytest.mark.parametrize("F, options, wanted", [
    (lambda s: None, {"vectorized": True}, "NoneType, not real numbers"),  # NumPy: NaN
    (lambda s: None, {"vectorized": True, "method": "talbot"}, "NoneType, not numbers"),
    (lambda s: None, {}, "NoneType, not a real number"),
    (lambda s: "0.5", {}, "str, not a real number"),  # float() would read it
    (lambda s: "0.5", {"method": "talbot"}, "str, not a number"),  # and complex()
    (lambda s: "0.5", {"precision": "multi"}, "str, not a real number"),  # and mpmath.mpf
], ids=["vectorized", "vectorized-contour", "scalar", "text", "text-contour", "text-mpf"])
def test_a_return_that_is_not_a_number_is_a_type_error_naming_F(F, options, wanted):
    with pytest.raises(TypeError) as caught:
        invlap.invert(F, TIMES, **options)
    assert str(caught.value) == f"F (<lambda>) returned {wanted}"


def test_t_zero_of_a_callable_is_the_initial_value():
    with pytest.warns(invlap.AccuracyWarning):  # doubles cannot settle s F(s) to 15 digits
        assert invlap.invert(lambda s: 2 / (s + 1), 0.0, digits=15) == pytest.approx(2.0, rel=1e-12)
    with warnings.catch_warnings():  # but to the 12 digits asked of doubles by default
        warnings.simplefilter("error", invlap.AccuracyWarning)
        assert invlap.invert(lambda s: 2 / (s + 1), 0.0) == pytest.approx(2.0, rel=1e-12)
    with warnings.catch_warnings():
        warnings.simplefilter("error", invlap.AccuracyWarning)
        value = invlap.invert(lambda s: 2 / (s + 1), 0.0, precision="multi")
    assert value == pytest.approx(2.0, rel=1e-15)


def test_a_point_gives_the_same_result_wherever_it_stands():
    # The estimate of the doubles' rounding draws its nudges from the point itself,
    # not from its index: a Dask block or a reordered array must not change a value.
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", invlap.AccuracyWarning)
        values = invlap.invert(real_only_F, [0.7, 0.3, 0.7], full_output=True)
        alone = invlap.invert(real_only_F, 0.7, full_output=True)
    assert values.value[0] == values.value[2] == alone.value
    assert values.error[0] == values.error[2] == alone.error


def test_a_complex_F_that_is_real_at_the_first_trial_point_is_still_complex():
    # 1/(s^4 - 1) is -1/5 at s = 1 + 1j: taken for a real-only F, its complex
    # returns on the real axis then raised a TypeError.
    t = np.array([1.0, 2.0])
    value = invlap.invert(lambda s: 1 / (s ** 4 - 1), t)
    np.testing.assert_allclose(value, (np.sinh(t) - np.sin(t)) / 2, rtol=1e-11)
