"""Time per call, from Python, of besseli_rust and besselk_rust at the default
precision (34 digits), beside mpmath at 34 digits and scipy.special (double).

    python bench/bench_bessel.py [--quick]

Prints nanoseconds per call and the ratios mpmath/ours and ours/scipy;
--quick leaves mpmath out. Each figure is the best of five repeats of at
least 0.2 s, so that other load on the machine inflates it as little as
possible.
"""

import sys
import timeit

import mpmath
import scipy.special

from invlap import _native

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


def main():
    quick = "--quick" in sys.argv
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


if __name__ == "__main__":
    main()
