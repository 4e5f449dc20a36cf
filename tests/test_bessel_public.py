"""invlap.besseli and invlap.besselk: correctly rounded doubles against mpmath at 60
digits (whose float() rounds to nearest), values at many digits, special arguments,
broadcasting and refusals."""

import math

import mpmath
import numpy as np
import pytest

import invlap

FUNCTIONS = {"i": (invlap.besseli, mpmath.besseli), "k": (invlap.besselk, mpmath.besselk)}


def reference(kind, n, x):
    with mpmath.workdps(60):
        return float(FUNCTIONS[kind][1](int(n), mpmath.mpf(x)))


@pytest.mark.parametrize("kind", ["i", "k"])
def test_doubles_are_correctly_rounded_on_random_arguments(kind):
    rng = np.random.default_rng(20261208)
    x = np.exp(rng.uniform(np.log(1e-3), np.log(700.0), 300))
    n = rng.choice([0, 1, 2, 7], size=x.size)
    ours = FUNCTIONS[kind][0](n, x)
    expected = np.array([reference(kind, k, v) for k, v in zip(n, x)])
    assert ours.tobytes() == expected.tobytes()


@pytest.mark.parametrize("kind, n, x", [("i", 0, 2.5), ("k", 1, 30.0), ("k", 3, 0.01)])
def test_many_digits(kind, n, x):
    ours = FUNCTIONS[kind][0](n, x, digits=50, output="mpmath")
    with mpmath.workdps(80):
        exact = FUNCTIONS[kind][1](n, mpmath.mpf(x))
        assert abs(ours - exact) <= abs(exact) * mpmath.mpf(10) ** -49


@pytest.mark.parametrize("kind, n, x, expected", [
    ("i", 0, 0.0, 1.0), ("i", 3, 0.0, 0.0), ("i", 1, -2.0, -reference("i", 1, 2.0)),
    ("i", 2, -2.0, reference("i", 2, 2.0)), ("i", 1, -math.inf, -math.inf),
    ("k", 0, 0.0, math.inf), ("k", 1, math.inf, 0.0), ("k", 0, -1.0, math.nan),
    ("i", 0, math.nan, math.nan),
])
def test_special_arguments(kind, n, x, expected):
    value = FUNCTIONS[kind][0](n, x)
    assert value == expected or (math.isnan(value) and math.isnan(expected))


def test_broadcasting_and_scalars():
    values = invlap.besselk([[0], [1]], [0.5, 1.0, 2.0])
    assert values.shape == (2, 3) and values.dtype == np.float64
    assert values[1, 2] == reference("k", 1, 2.0)
    assert type(invlap.besseli(np.int64(1), np.float64(1.0))) is float


@pytest.mark.parametrize("args, kwargs, error, message", [
    ((-1, 1.0), {}, ValueError, "n = -1: orders must be integers from 0 to 1000000"),
    (([0, 1.5], 1.0), {}, ValueError, "n[1] = 1.5: orders must be integers from 0 to 1000000"),
    ((0, 1.0), {"digits": 0}, ValueError, "digits must be None or an integer from 1 to 10000, not 0"),
    ((0, "x"), {}, TypeError, "x must be real numbers or arrays of them"),
])
def test_bad_arguments_are_refused(args, kwargs, error, message):
    with pytest.raises(error) as caught:
        invlap.besseli(*args, **kwargs)
    assert str(caught.value) == message
