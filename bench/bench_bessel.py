"""Time per call, from Python, of besseli_rust and besselk_rust at the default
precision (34 digits), beside mpmath at 34 digits and scipy.special (double);
then invlap.besseli and invlap.besselk (correctly rounded doubles) over arrays.

    python bench/bench_bessel.py [--quick] [--arrays]

Prints nanoseconds per call and the ratios mpmath/ours and ours/scipy;
--quick leaves mpmath out. Each figure is the best of five repeats of at
least 0.2 s, so that other load on the machine inflates it as little as
possible. --arrays prints only the array table: microseconds per element on
one worker over 10^6 points of [1e-3, 700] (goal: 3), both log-spaced (three
points in four below 25, where the series and, for K, its logarithm serve)
and uniform (almost all on the expansion), beside scipy.special.iv/kv.
"""

import sys
import timeit

import mpmath
import numpy as np
import scipy.special

import invlap
from invlap import _native
from timing import best_of

POINTS = [0.5, 1.0, 10.0, 24.5, 30.0, 100.0, 700.0]
FUNCTIONS = [
    ("I0", lambda x: _native.besseli_rust(0, x), lambda x: mpmath.besseli(0, x), scipy.special.i0),
    ("I1", lambda x: _native.besseli_rust(1, x), lambda x: mpmath.besseli(1, x), scipy.special.i1),
    ("K0", lambda x: _native.besselk_rust(0, x), lambda x: mpmath.besselk(0, x), scipy.special.k0),
    ("K1", lambda x: _native.besselk_rust(1, x), lambda x: mpmath.besselk(1, x), scipy.special.k1),
]


def ns_per_call(function, x):
    timer = timeit.Timer(lambda: function(x))
    number, _ = timer.autorange()
    return min(timer.repeat(repeat=5, number=number)) / number * 1e9


ARRAY_SIZE = 10**6
ARRAY_GOAL_US = 3.0


def array_section():
    grids = {"log": np.geomspace(1e-3, 700, ARRAY_SIZE),
             "uniform": np.random.default_rng(1).uniform(1e-3, 700, ARRAY_SIZE)}
    print(f"invlap.besseli/besselk over {ARRAY_SIZE:.0e} elements of [1e-3, 700], one worker,"
          f" microseconds per element (goal {ARRAY_GOAL_US:g}); scipy for scale")
    print(f"{'fn':>3} {'grid':>8} {'ours':>7} {'scipy':>7} {'ours/sp':>8}")
    for name, ours, theirs in (("I", invlap.besseli, scipy.special.iv),
                               ("K", invlap.besselk, scipy.special.kv)):
        for n in (0, 1):
            for grid_name, x in grids.items():
                t_ours = best_of(3, lambda: ours(n, x, workers=1)) / x.size * 1e6
                t_sp = best_of(3, lambda: theirs(n, x)) / x.size * 1e6
                print(f"{name}{n:<2} {grid_name:>8} {t_ours:>7.2f} {t_sp:>7.3f} {t_ours / t_sp:>8.0f}")


def main():
    quick = "--quick" in sys.argv
    if "--arrays" in sys.argv:
        array_section()
        return
    mpmath.mp.dps = 34
    print(f"invlap._native from {_native.__file__}")
    print("ns per call, best of 5; ratios mpmath/ours and ours/scipy")
    print(f"{'fn':>3} {'x':>6} {'ours':>9} {'mpmath':>10} {'scipy':>7} {'mp/ours':>8} {'ours/sp':>8}")
    for name, ours, mp, sp in FUNCTIONS:
        for x in POINTS:
            t_ours = ns_per_call(ours, x)
            t_mp = float("nan") if quick else ns_per_call(mp, x)
            t_sp = ns_per_call(sp, x)
            print(f"{name:>3} {x:>6} {t_ours:>9.0f} {t_mp:>10.0f} {t_sp:>7.0f} "
                  f"{t_mp / t_ours:>8.1f} {t_ours / t_sp:>8.1f}")
    print()
    array_section()


if __name__ == "__main__":
    main()
