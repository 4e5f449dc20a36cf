"""The fast first pass of the correctly rounded Bessel arrays (Taylor pieces in
double-word arithmetic with a proven bound) against the exact path alone, and at
arguments whose values lie near a midpoint between doubles against mpmath."""

import math

import mpmath
import numpy as np
import pytest

import invlap
from invlap import _engine

FUNCTIONS = {"i": (invlap.besseli, mpmath.besseli), "k": (invlap.besselk, mpmath.besselk)}


def exact_path(kind, n, x):
    out = np.empty(x.size)
    _engine.bessel(kind, np.full(x.size, float(n)), x, out, digits=0, workers=2, exact=True)
    return out


def piece_edges():
    """The first double of every table piece and the last one before it: 16 pieces
    per binade from 2^-16 to 8, then pieces of width 1/2 up to 705, where the
    tables end."""
    narrow = [2.0 ** b * (1 + k / 16) for b in range(-16, 3) for k in range(16)]
    lower = np.array(narrow + list(np.arange(8.0, 705.5, 0.5)))
    return np.concatenate([lower, np.nextafter(lower, 0), [2.0 ** -16 * 0.999, 705.25, 712.0]])


def arguments(seed, count):
    rng = np.random.default_rng(seed)
    return np.concatenate([np.exp(rng.uniform(math.log(2.0 ** -17), math.log(720.0), count)),
                           rng.uniform(8.0, 705.0, count), piece_edges()])


# Orders 2 and 16 have tables too; 17 is beyond them and takes the exact path.
@pytest.mark.parametrize("kind", ["i", "k"])
@pytest.mark.parametrize("n", [0, 1, 2, 5, 16, 17])
def test_fast_pass_matches_the_exact_path_bit_for_bit(kind, n):
    x = arguments(1000 * n + ord(kind), 6000)
    if kind == "i":
        x = np.concatenate([x, -x[::7]])  # I_n(-x) = (-1)^n I_n(x)
    ours = FUNCTIONS[kind][0](n, x)
    assert ours.tobytes() == exact_path(kind, n, x).tobytes()


# Arguments whose value lies within d ulp of a midpoint between two doubles, d in
# the last column (found by a search over 2*10^5 to 4*10^5 random x per function,
# on 32-digit values; mpmath at 60 digits is the reference below).
NEAR_MIDPOINTS = [
    ("i", 0, "0x1.44d2d73bd9898p-9", 9.8e-6), ("i", 0, "0x1.bbd1e01540357p+8", 3.2e-6),
    ("i", 1, "0x1.217364bd10db9p-16", 1.5e-6), ("i", 1, "0x1.6ee973266b309p-2", 5.5e-6),
    ("i", 1, "0x1.07e247e4b8b6ep+7", 1.1e-6), ("i", 1, "0x1.4cc9338b0c83bp+9", 1.4e-6),
    ("i", 5, "0x1.3665a2215cc67p-12", 3.2e-5), ("i", 5, "0x1.3178de9138eebp+6", 2.3e-7),
    ("i", 5, "0x1.f56e9398a0e29p+6", 1.6e-6), ("i", 5, "0x1.eb1b354a05210p+7", 2.8e-6),
    ("k", 0, "0x1.a9153dcebab71p-12", 1.7e-6), ("k", 0, "0x1.73cc2162652c0p-1", 9.5e-6),
    ("k", 0, "0x1.9926c0c027eadp+7", 1.1e-6), ("k", 0, "0x1.d4666e74a7bd1p+5", 2.3e-6),
    ("k", 1, "0x1.16889bb5dc761p-2", 1.2e-6), ("k", 1, "0x1.0a141ef45903ep+9", 5.5e-7),
    ("k", 5, "0x1.51bfc46c7033fp-15", 1.2e-6), ("k", 5, "0x1.529b021bdc430p+9", 4.8e-6),
]


@pytest.mark.parametrize("kind, n, x, ulps", NEAR_MIDPOINTS,
                         ids=[f"{k}{n}({x})" for k, n, x, _ in NEAR_MIDPOINTS])
def test_values_near_midpoints_are_correctly_rounded(kind, n, x, ulps):
    x = float.fromhex(x)
    with mpmath.workdps(60):  # 2^-199: far below these cases' 2^-75 from the midpoint
        expected = float(FUNCTIONS[kind][1](n, mpmath.mpf(x)))
    points = np.array([x, -x] if kind == "i" else [x])
    out = np.empty(points.size)
    exact_points = _engine.bessel(kind, np.full(points.size, float(n)), points, out, workers=1)
    assert out.tolist() == ([expected, (-1) ** n * expected] if kind == "i" else [expected])
    # From x = 8 on, a piece's bound is at least about 2^-70 of the value (the
    # Horner tail's rounding, u delta^5 |a_5| with delta = 1/4 and a_5 ~ f/5!), more
    # than 2^-18 = 3.8e-6 ulp: a value nearer a midpoint than that is never
    # settled by the fast pass, which must leave it to the exact path.
    if x >= 8 and ulps < 3e-6:
        assert exact_points == points.size


def test_fast_pass_settles_almost_every_point():
    # No piece's bound exceeds 2^-64 of the value (2^-11 ulp), and most are near
    # 2^-68: only points that near a midpoint, a few in 10^5, should need the exact
    # path (within the tables' range, [2^-16, 705)). 10^-3 leaves room, and still
    # fails a rounding test turned round or a bound grown useless.
    rng = np.random.default_rng(7)
    x = np.concatenate([np.exp(rng.uniform(math.log(2.0 ** -16), math.log(705.0), 20000)),
                        rng.uniform(8.0, 705.0, 20000)])
    counts = [_engine.bessel(kind, np.full(x.size, float(n)), x, np.empty(x.size), workers=2)
              for kind in "ik" for n in (0, 1, 5)]
    assert max(counts) <= 1e-3 * x.size
