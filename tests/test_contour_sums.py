"""The engine's sums over a contour shared by a window of times (what the
hyperbola of a vectorized callable costs): every value within about a rounding
unit of the terms' magnitude of the exact sum of the same doubles, though the
terms that cannot matter are left out and the exponentials are the engine's
own; and a weight that is not finite is never left out."""

import mpmath
import numpy as np
import pytest

from invlap import _engine
from invlap._double_contours import hyperbola_shape, hyperbola_size

EPS = np.finfo(float).eps


def exact_sums(z, w, t):
    """sum Im(w e^(z t)), sum |w| e^(Re z t) and sum |w| |z t| e^(Re z t) at 40
    digits, from the products z t as doubles round them: their rounding (a part
    in 2^53 of a phase of tens of radians) is the doubles', not the sums'."""
    with mpmath.workdps(40):
        ws = [mpmath.mpc(complex(x)) for x in w]
        values, magnitudes, turns = [], [], []
        for ti in t:
            grow = [mpmath.exp(float(x)) for x in z.real * ti]
            turn = [mpmath.mpf(float(x)) for x in z.imag * ti]
            values.append(sum(g * (mpmath.sin(p) * b.real + mpmath.cos(p) * b.imag)
                              for g, p, b in zip(grow, turn, ws)))
            magnitudes.append(sum(abs(b) * g for g, b in zip(grow, ws)))
            turns.append(sum(abs(b) * abs(mpmath.mpc(complex(x)) * ti) * g
                             for g, b, x in zip(grow, ws, z)))
    return values, magnitudes, turns


def engine_sums(z, w, t, workers=1, turns=None):
    value = np.empty(t.size)
    magnitude = np.empty(t.size)
    _engine.shared_contour_sums(t, np.ascontiguousarray(z).view(float),
                                np.ascontiguousarray(w, dtype=complex).view(float),
                                value, magnitude, workers=workers, turns=turns)
    return value, magnitude


# The hyperbola's nodes for windows of a decade and of 10^6, with F whose
# weights grow along the contour (1/sqrt(s): the far terms still count early in
# the window), fall (1/(s+1)) and nearly cancel (exp(-sqrt(s))/s); t across the
# window and past it, where most terms fall away.
@pytest.mark.parametrize("ratio", [10.0, 1e6])
@pytest.mark.parametrize("F", [lambda s: 1 / np.sqrt(s), lambda s: 1 / (s + 1),
                               lambda s: np.exp(-np.sqrt(s)) / s],
                         ids=["1/sqrt(s)", "1/(s+1)", "exp(-sqrt(s))/s"])
def test_sums_hold_the_rounding_of_the_exact_sum(ratio, F):
    n = hyperbola_size(ratio)
    nodes, derivatives, _ = hyperbola_shape(ratio, n)
    t0 = 0.37
    z = nodes / t0
    w = F(z) * derivatives / t0
    t = t0 * np.geomspace(1, 10 * ratio, 23)
    values, magnitudes, turns = exact_sums(z, w, t)
    for workers in (1, 2):
        turn = np.empty(t.size)
        value, magnitude = engine_sums(z, w, t, workers, turn)
        for i in range(t.size):
            assert abs(value[i] - values[i]) <= 1.5 * EPS * magnitudes[i], (t[i], workers)
            assert abs(magnitude[i] - magnitudes[i]) <= 1e-15 * magnitudes[i], (t[i], workers)
            # Summed over the same terms: the tail left out is as negligible.
            assert abs(turn[i] - turns[i]) <= 1e-12 * turns[i], (t[i], workers)


def test_nodes_in_any_order_sum_alike():
    # Only nodes whose real parts fall along the contour have a tail that can
    # be bounded; shuffled, every term is summed, and the sums still agree.
    n = hyperbola_size(1e6)
    nodes, derivatives, _ = hyperbola_shape(1e6, n)
    w = derivatives / np.sqrt(nodes)
    order = np.random.default_rng(3).permutation(nodes.size)
    t = np.geomspace(1.0, 1e6, 9)
    values, magnitudes, _ = exact_sums(nodes, w, t)
    value, magnitude = engine_sums(nodes[order], w[order], t)
    assert all(abs(v - x) <= 1.5 * EPS * m for v, x, m in zip(value, values, magnitudes))


@pytest.mark.parametrize("bad", [np.nan, np.inf])
def test_a_weight_that_is_not_finite_is_never_left_out(bad):
    # The last node's term is negligible at late t, but F's NaN or overflow
    # there must still show in the sum rather than vanish with the tail.
    n = hyperbola_size(10.0)
    nodes, derivatives, _ = hyperbola_shape(10.0, n)
    w = derivatives / (nodes + 1)
    w[-1] = bad
    value, magnitude = engine_sums(nodes, w, np.array([1.0, 10.0, 1000.0]))
    assert not np.isfinite(value).any() and not np.isfinite(magnitude).any()


def test_the_rounding_bound_alone_covers_the_hyperbola_on_an_exact_F():
    # On 1/sqrt(s) the mean of the midpoint and trapezoidal sums is left with
    # the doubles' rounding alone: the bound must cover it, with the rounding
    # of the products z t (eps |z t| of each term, up to six units of the
    # magnitude at the end of a decade window, where it alone allows three).
    from invlap._double_contours import hyperbola
    worst = 0.0
    for t0 in np.geomspace(1e-3, 1e2, 12):
        t = t0 * np.linspace(1, 10, 40)
        rounding = np.empty(t.size)
        value = hyperbola(lambda z, which: 1 / np.sqrt(z), t, np.zeros(t.size, dtype=int),
                          rounding=rounding)[0]
        with mpmath.workdps(30):
            exact = np.array([float(1 / mpmath.sqrt(mpmath.pi * x)) for x in t])
        worst = max(worst, float(np.max(np.abs(value - exact) / rounding)))
    assert worst <= 1.0
