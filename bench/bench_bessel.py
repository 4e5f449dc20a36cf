"""Time per call, from Python, of besseli_rust and besselk_rust at the default
precision (34 digits), beside mpmath at 34 digits and scipy.special (double);
then invlap.besseli and invlap.besselk (correctly rounded doubles) over arrays.

    python bench/bench_bessel.py [--quick] [--arrays]

Prints nanoseconds per call and the ratios mpmath/ours and ours/scipy;
--quick leaves mpmath out. Each figure is the best of five repeats of at
least 0.2 s, so that other load on the machine inflates it as little as
possible. --arrays prints only the array tables: nanoseconds per element
over 10^6 points of [1e-3, 700], log-spaced (half of them below 1) and
uniform, orders 0, 1 and 5, on one worker and on the default workers, beside
scipy.special.iv/kv in the same run (goal: at most twice SciPy's time on one
worker), then the cost of an order's first call, which builds its tables.
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
ARRAY_GOAL_RATIO = 2.0
ARRAY_ROUNDS = 5


def array_section():
    grids = {"log": np.geomspace(1e-3, 700, ARRAY_SIZE),
             "uniform": np.random.default_rng(1).uniform(1e-3, 700, ARRAY_SIZE)}
    print(f"invlap.besseli/besselk over {ARRAY_SIZE:.0e} elements of [1e-3, 700] (correctly"
          f" rounded) against scipy.special.iv/kv, nanoseconds per element, best of"
          f" {ARRAY_ROUNDS}; 1w: one worker, all: default workers;"
          f" goal: ours/scipy <= {ARRAY_GOAL_RATIO:g}")
    print(f"{'fn':>3} {'grid':>8} {'ours 1w':>8} {'ours all':>8} {'scipy':>7} {'1w/sp':>6}"
          f" {'all/sp':>6}  goal")
    for name, ours, theirs in (("I", invlap.besseli, scipy.special.iv),
                               ("K", invlap.besselk, scipy.special.kv)):
        for n in (0, 1, 5):
            for grid_name, x in grids.items():
                ours(n, x)  # the first call builds the order's tables; timed apart below
                t_one = best_of(ARRAY_ROUNDS, lambda: ours(n, x, workers=1)) / x.size * 1e9
                t_all = best_of(ARRAY_ROUNDS, lambda: ours(n, x)) / x.size * 1e9
                t_sp = best_of(ARRAY_ROUNDS, lambda: theirs(n, x)) / x.size * 1e9
                met = "met" if t_one / t_sp <= ARRAY_GOAL_RATIO else "missed"
                print(f"{name}{n:<2} {grid_name:>8} {t_one:>8.0f} {t_all:>8.0f} {t_sp:>7.0f}"
                      f" {t_one / t_sp:>6.2f} {t_all / t_sp:>6.2f}  <= {ARRAY_GOAL_RATIO:g}: {met}")


def first_call_section():
    """The one-off cost of an order's first call: its Taylor tables are built then."""
    code = ("import time, numpy as np, invlap; x = np.geomspace(1e-3, 700, 1000);"
            "t = time.perf_counter(); f(n, x, workers=1); print(time.perf_counter() - t)")
    import subprocess
    print("first call in a fresh process (tables built), 10^3 log-spaced points, one worker:")
    for name in ("besseli", "besselk"):
        for n in (0, 1, 5):
            out = subprocess.run([sys.executable, "-c", f"n = {n}; from invlap import {name} as f; "
                                  + code], capture_output=True, text=True, check=True).stdout
            print(f"  {name}({n}, x): {float(out) * 1e3:.0f} ms")


def main():
    quick = "--quick" in sys.argv
    if "--arrays" in sys.argv:
        array_section()
        first_call_section()
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
    first_call_section()


if __name__ == "__main__":
    main()
