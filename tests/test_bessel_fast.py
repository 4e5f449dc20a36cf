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


# Arguments whose value lies within 3e-6 ulp of a midpoint between two doubles
# (found by a search over 2*10^5 random x per order, on 32-digit values): the
# pieces' bounds, about 2^-67 of the value (2^-14 ulp), cannot settle them, so
# they must go to the exact path; a fast pass that rounds its own value without
# the bound gets some of them wrong.
NEAR_MIDPOINTS = [
    ("i", 0, "0x1.a2fbfa4c44e9bp+6"), ("i", 0, "0x1.6fa1d3f82608ep+5"),
    ("i", 0, "0x1.44d2d73bd9898p-9"), ("i", 1, "0x1.217364bd10db9p-16"),
    ("i", 1, "0x1.6ee973266b309p-2"), ("i", 1, "0x1.eae26b1be2ac7p+0"),
    ("i", 5, "0x1.3178de9138eebp+6"), ("i", 5, "0x1.f56e9398a0e29p+6"),
    ("i", 5, "0x1.eb1b354a05210p+7"), ("k", 0, "0x1.a9153dcebab71p-12"),
    ("k", 0, "0x1.d4666e74a7bd1p+5"), ("k", 0, "0x1.73cc2162652c0p-1"),
    ("k", 1, "0x1.0a141ef45903ep+9"), ("k", 1, "0x1.16889bb5dc761p-2"),
    ("k", 1, "0x1.5bafbb59e9d6ep+8"), ("k", 5, "0x1.51bfc46c7033fp-15"),
    ("k", 5, "0x1.529b021bdc430p+9"), ("k", 5, "0x1.553e79d5bd7f8p-9"),
]


@pytest.mark.parametrize("kind, n, x", NEAR_MIDPOINTS,
                         ids=[f"{k}{n}({x})" for k, n, x in NEAR_MIDPOINTS])
def test_values_near_midpoints_are_correctly_rounded(kind, n, x):
    x = float.fromhex(x)
    with mpmath.workdps(60):  # 2^-199: far below these cases' 2^-75 from the midpoint
        expected = float(FUNCTIONS[kind][1](n, mpmath.mpf(x)))
    assert FUNCTIONS[kind][0](n, np.array([x, -x] if kind == "i" else [x])).tolist() == (
        [expected, (-1) ** n * expected] if kind == "i" else [expected])
